// Linear decoding of a code section with the instruction table, as the loader walks it:
// an opcode outside the table is one byte, an instruction cut off by the end of the code
// leaves its remaining bytes undecoded.
#pragma once

#include "vm/Instructions.h"
#include "foundation/Types.h"

#include <span>
#include <vector>

namespace mcb {

namespace mcbtools {

struct CodeItem {
    TUint32 offset = 0;
    TUint32 length = 1;
    const InstructionInfo* row = nullptr;  // null: a raw byte
};

std::vector<CodeItem> walkCode(std::span<const TUint8> code);

// The operand value as the interpreter reads it; unsigned 4-byte operands keep their sign bit
// as a positive number.
TInt64 operandValue(const InstructionInfo& row, const TUint8* instruction, int index);

// The code address an operand designates, for jump, handler and call operands.
bool operandTarget(const InstructionInfo& row, const CodeItem& item, TInt64 value,
                   int index, TInt64& target);

// The inverse for jump and handler offsets: the operand that designates `target`.
TInt64 offsetForTarget(OperandKind kind, TInt64 target, TInt64 lastOperandByte);

}  // namespace mcbtools

}  // namespace mcb
