// Linear decoding of a code section with the instruction table, as the loader walks it:
// an opcode outside the table is one byte, an instruction cut off by the end of the code
// leaves its remaining bytes undecoded.
#pragma once

#include "vm/Instructions.h"

#include <cstdint>
#include <span>
#include <vector>

namespace mcbtools {

struct CodeItem {
    uint32_t offset = 0;
    uint32_t length = 1;
    const mcb::InstructionInfo* row = nullptr;  // null: a raw byte
};

std::vector<CodeItem> walkCode(std::span<const uint8_t> code);

// The operand value as the interpreter reads it; unsigned 4-byte operands keep their sign bit
// as a positive number.
int64_t operandValue(const mcb::InstructionInfo& row, const uint8_t* instruction, int index);

// The code address an operand designates, for jump, handler and call operands.
bool operandTarget(const mcb::InstructionInfo& row, const CodeItem& item, int64_t value,
                   int index, int64_t& target);

// The inverse for jump and handler offsets: the operand that designates `target`.
int64_t offsetForTarget(mcb::OperandKind kind, int64_t target, int64_t lastOperandByte);

}  // namespace mcbtools
