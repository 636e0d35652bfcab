// Linear decoding of a code section with the instruction table.
#include "CodeWalk.h"

namespace mcbtools {

std::vector<CodeItem> walkCode(std::span<const uint8_t> code)
{
    std::vector<CodeItem> items;
    size_t pc = 0;
    while (pc < code.size()) {
        CodeItem item;
        item.offset = static_cast<uint32_t>(pc);
        const mcb::InstructionInfo* row = mcb::findInstruction(static_cast<TInt8>(code[pc]));
        const auto length = static_cast<size_t>(mcb::instructionLength(static_cast<TInt8>(code[pc])));
        if (row && pc + length <= code.size()) {
            item.row = row;
            item.length = static_cast<uint32_t>(length);
        }
        items.push_back(item);
        pc += item.length;
    }
    return items;
}

int64_t operandValue(const mcb::InstructionInfo& row, const uint8_t* instruction, int index)
{
    const TInt32 v = mcb::readOperand(row, instruction, index);
    const mcb::OperandInfo& operand = row.operands[index];
    if (!operand.isSigned && operand.width == 4)
        return static_cast<int64_t>(static_cast<uint32_t>(v));
    return v;
}

bool operandTarget(const mcb::InstructionInfo& row, const CodeItem& item, int64_t value, int index,
                   int64_t& target)
{
    const auto at = static_cast<TInt32>(item.offset);
    const auto offset = static_cast<TInt32>(value);
    switch (row.operands[index].kind) {
    case mcb::OperandKind::JumpOffset: target = mcb::jumpTarget(at, row, offset); return true;
    case mcb::OperandKind::HandlerOffset: target = mcb::handlerResume(at, row, offset); return true;
    case mcb::OperandKind::CodeAddress: target = value; return true;
    default: return false;
    }
}

int64_t offsetForTarget(mcb::OperandKind kind, int64_t target, int64_t lastOperandByte)
{
    const int64_t offset = target - lastOperandByte;
    return kind == mcb::OperandKind::HandlerOffset ? offset - 1 : offset;
}

}  // namespace mcbtools
