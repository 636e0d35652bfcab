// Linear decoding of a code section with the instruction table.
#include "CodeWalk.h"

namespace mcb {

namespace mcbtools {

std::vector<CodeItem> walkCode(std::span<const TUint8> code)
{
    std::vector<CodeItem> items;
    size_t pc = 0;
    while (pc < code.size()) {
        CodeItem item;
        item.offset = TUint32(pc);
        const InstructionInfo* row = findInstruction(TInt8(code[pc]));
        const auto length = size_t(instructionLength(TInt8(code[pc])));
        if (row && pc + length <= code.size()) {
            item.row = row;
            item.length = TUint32(length);
        }
        items.push_back(item);
        pc += item.length;
    }
    return items;
}

TInt64 operandValue(const InstructionInfo& row, const TUint8* instruction, int index)
{
    const TInt32 v = readOperand(row, instruction, index);
    const OperandInfo& operand = row.operands[index];
    if (!operand.isSigned && operand.width == 4)
        return TInt64(TUint32(v));
    return v;
}

bool operandTarget(const InstructionInfo& row, const CodeItem& item, TInt64 value, int index,
                   TInt64& target)
{
    const auto at = TInt32(item.offset);
    const auto offset = TInt32(value);
    switch (row.operands[index].kind) {
    case OperandKind::JumpOffset: target = jumpTarget(at, row, offset); return true;
    case OperandKind::HandlerOffset: target = handlerResume(at, row, offset); return true;
    case OperandKind::CodeAddress: target = value; return true;
    default: return false;
    }
}

TInt64 offsetForTarget(OperandKind kind, TInt64 target, TInt64 lastOperandByte)
{
    const TInt64 offset = target - lastOperandByte;
    return kind == OperandKind::HandlerOffset ? offset - 1 : offset;
}

}  // namespace mcbtools

}  // namespace mcb
