// PreparedCode: the code decoded once at load, one 8-byte entry per code byte
// offset, so that the interpreter never decodes an opcode and a jump to any
// offset (even into the middle of another instruction) behaves as the raw bytes
// say. Operands that do not fit an entry are read from the code bytes.
#pragma once

#include "foundation/Vec.h"
#include "heap/MemoryBudget.h"
#include "vm/Instructions.h"

#include <vector>

// Plain instructions: `a` is operand 0 (jump and handler targets already
// absolute), `x` operand 1 when it is one byte wide; wider later operands stay
// in the code bytes. Fused entries say below what they keep.
struct PreparedInstruction {
    TUint8 handler;  // row of the instruction table, or one of the extra handlers below
    TUint8 length;   // opcode byte plus operands
    TInt16 x;
    TInt32 a;
};
static_assert(sizeof(PreparedInstruction) == 8, "prepared code costs 8 bytes per code byte");

class PreparedCode {
public:
    static constexpr TUint16 kInvalidOpcode = TUint16(mcb::kInstructionCount);  // a = the opcode
    static constexpr TUint16 kCutOff = TUint16(mcb::kInstructionCount + 1);
    static constexpr TUint16 kEndOfCode = TUint16(mcb::kInstructionCount + 2);
    // Fused sequences, each replacing only the entry at its first offset, so a
    // jump into the middle of one still runs the plain instructions there.
    // ldloc k; push c; <compare>; jz L: x = k, a = L, c in the code bytes (+ 6 compares)
    static constexpr TUint16 kLoadPushCompareJump = TUint16(mcb::kInstructionCount + 3);
    // ldloca k; incm: a = k
    static constexpr TUint16 kIncrementLocal = TUint16(mcb::kInstructionCount + 9);
    // ldloca k; ldloc m; addm: a = k, x = m
    static constexpr TUint16 kAddLocalToLocal = TUint16(mcb::kInstructionCount + 10);
    // jmp T onto a fused compare-and-branch: a = T; the test runs at once (+ 6 compares)
    static constexpr TUint16 kJumpToCompare = TUint16(mcb::kInstructionCount + 11);
    // ldloca k; incm; jmp T onto a fused test, a counting loop's step: x = k,
    // a = T (+ 6 compares)
    static constexpr TUint16 kIncrementJumpToCompare = TUint16(mcb::kInstructionCount + 17);
    // ldloca i; ldloc j; addm followed by such a step, an accumulating loop's
    // whole body after its test: x = the step's k, a = T; i and j in the code
    // bytes (+ 6 compares)
    static constexpr TUint16 kAddStepToCompare = TUint16(mcb::kInstructionCount + 23);
    // ldloc k; push c; add|sub, a local plus or minus a constant: x = k, a = c
    static constexpr TUint16 kLoadAddConstant = TUint16(mcb::kInstructionCount + 29);
    static constexpr TUint16 kLoadSubConstant = TUint16(mcb::kInstructionCount + 30);
    // ldloca k; ldloc m; store, one local assigned to another: a = k, x = m
    static constexpr TUint16 kCopyLocal = TUint16(mcb::kInstructionCount + 31);
    static constexpr TUint16 kHandlerCount = TUint16(mcb::kInstructionCount + 32);
    static_assert(kHandlerCount <= 256, "a handler number is one byte");

    // Decodes and fuses every offset of `code`, charging the entries to the
    // current memory budget first.
    void build(const Vec<TUint8>& code);
    // One entry past the end is the end-of-code entry, so running off the code
    // needs no bounds check in the loop.
    const PreparedInstruction* data() const { return entries_.data(); }
    TInt32 size() const { return TInt32(entries_.size()) - 1; }

    // The plain, unfused entry at `at` of `size` code bytes: where a fused
    // entry cannot take its fast path, this runs instead.
    static PreparedInstruction plainAt(const TUint8* code, TInt32 size, TInt32 at);

private:
    void fuse();

    std::vector<PreparedInstruction> entries_;
    BudgetCharge charge_;
};
