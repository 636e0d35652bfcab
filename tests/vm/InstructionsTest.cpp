// The instruction table: which opcodes exist, their lengths and the lookups.
#include "vm/Instructions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace mcb;

namespace {

bool isInvalidOpcode(int op) {
    static const std::set<int> singles = {56, 77, 115, 116, 127};
    if (singles.count(op)) return true;
    auto in = [op](int lo, int hi) { return op >= lo && op <= hi; };
    return in(66, 72) || in(87, 96) || in(98, 104) || in(107, 113) || in(121, 124) ||
           in(-70, -1) || in(-107, -101) || in(-116, -111) || in(-120, -118);
}

}  // namespace

TEST(Instructions, EveryOpcodeIsEitherInTheTableOrInvalid) {
    int valid = 0;
    for (int op = -128; op <= 127; ++op) {
        const InstructionInfo* row = findInstruction(TInt8(op));
        EXPECT_EQ(row == nullptr, isInvalidOpcode(op)) << "opcode " << op;
        if (row) {
            EXPECT_EQ(row->opcode, op);
            ++valid;
        }
    }
    EXPECT_EQ(valid, kInstructionCount);
}

TEST(Instructions, MnemonicsAreUniqueLowerCaseAndFindTheirRow) {
    std::set<std::string_view> seen;
    for (const auto& row : kInstructions) {
        EXPECT_TRUE(seen.insert(row.mnemonic).second) << row.mnemonic;
        for (char c : row.mnemonic) EXPECT_FALSE(c >= 'A' && c <= 'Z') << row.mnemonic;
        EXPECT_EQ(findInstruction(row.mnemonic), &row);
        EXPECT_FALSE(row.meaning.empty());
    }
    EXPECT_EQ(findInstruction("no-such-op"), nullptr);
}

TEST(Instructions, LengthsOperandsJumpsAndHandlers) {
    const std::pair<int, int> lengths[] = {{0, 1},  {1, 2},   {10, 3},    {14, 9},   {16, 9},  {17, 6},
                                           {65, 9}, {78, 3},  {117, 9},   {-109, 7}, {-123, 3},
                                           {56, 1}};  // outside the set: opcode byte only
    for (auto [op, length] : lengths) EXPECT_EQ(instructionLength(TInt8(op)), length) << "opcode " << op;

    const TUint8 native[] = {78, 8, 0x87};  // narrow operands extend by signedness
    EXPECT_EQ(readOperand(*findInstruction(Op::Native), native, 1), 135);
    const TUint8 jump[] = {12, 0xFE, 0xFF};
    EXPECT_EQ(readOperand(*findInstruction(Op::Jump), jump, 0), -2);
    const TUint8 alloc[] = {17, 2, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(TUint32(readOperand(*findInstruction(Op::Alloc), alloc, 1)), 0xFFFFFFFFu);
    const TUint8 local[] = {1, 0xFF};
    EXPECT_EQ(readOperand(*findInstruction(Op::LoadLocal), local, 0), -1);
    const TUint8 push64[] = {65, 1, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(readOperand(*findInstruction(Op::Push64), push64, 1), 2);

    const InstructionInfo& jmp = *findInstruction(Op::Jump);  // counted from the last operand byte
    EXPECT_EQ(jumpTarget(10, jmp, 1), 13);
    EXPECT_EQ(jumpTarget(10, jmp, -2), 10);
    EXPECT_EQ(jumpTarget(10, *findInstruction(Op::JumpW), 1), 15);
    const InstructionInfo& handler = *findInstruction(Op::PushHandler);
    EXPECT_EQ(handlerAddress(0, handler, 4), 12);
    EXPECT_EQ(handlerResume(0, handler, 4), 13);
}
