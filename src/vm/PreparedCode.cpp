// Decoding of every code offset into a PreparedInstruction.
#include "vm/PreparedCode.h"

namespace {
PreparedInstruction decodeAt(const Vec<TUint8>& code, TInt32 at) {
    TInt8 opcode = TInt8(code.data()[at]);
    const mcb::InstructionInfo* row = mcb::findInstruction(opcode);
    if (!row) return {PreparedCode::kInvalidOpcode, 1, opcode, 0, 0};
    TInt32 length = 1 + mcb::operandLength(*row);
    if (at + length > code.getSize()) return {PreparedCode::kCutOff, 1, opcode, 0, 0};
    PreparedInstruction p{TUint16(row - mcb::kInstructions), TUint16(length), 0, 0, 0};
    TInt32* slots[3] = {&p.a, &p.b, &p.c};
    for (TInt32 i = 0; i < row->operandCount; ++i) {
        TInt32 v = mcb::readOperand(*row, code.data() + at, i);
        switch (row->operands[i].kind) {
        case mcb::OperandKind::JumpOffset:
        case mcb::OperandKind::HandlerOffset: v = mcb::jumpTarget(at, *row, v); break;
        default: break;
        }
        *slots[i] = v;
    }
    return p;
}
}  // namespace

void PreparedCode::build(const Vec<TUint8>& code, TInt32 from) {
    if (!entries_.empty()) entries_.pop_back();  // the old end-of-code entry
    entries_.resize(size_t(from));
    entries_.reserve(size_t(code.getSize()) + 1);
    for (TInt32 at = from; at < code.getSize(); ++at) entries_.push_back(decodeAt(code, at));
    entries_.push_back({kEndOfCode, 1, 0, 0, 0});
}
