// PreparedCode: the code decoded once at load, one entry per code byte offset,
// so that the interpreter never decodes operands and a jump to any offset (even
// into the middle of another instruction) behaves as the raw bytes say.
#pragma once

#include "foundation/Vec.h"
#include "vm/Instructions.h"

#include <vector>

struct PreparedInstruction {
    TUint16 handler;  // row of the instruction table, or one of the extra handlers below
    TUint16 length;   // opcode byte plus operands
    TInt32 a;         // operands, jump and handler targets already absolute
    TInt32 b;
    TInt32 c;
};

class PreparedCode {
public:
    static constexpr TUint16 kInvalidOpcode = TUint16(mcb::kInstructionCount);
    static constexpr TUint16 kCutOff = TUint16(mcb::kInstructionCount + 1);
    static constexpr TUint16 kEndOfCode = TUint16(mcb::kInstructionCount + 2);
    // Fused sequences, each replacing only the entry at its first offset, so a
    // jump into the middle of one still runs the plain instructions there.
    static constexpr TUint16 kLoadPushCompareJump = TUint16(mcb::kInstructionCount + 3);  // + 6 compares
    static constexpr TUint16 kIncrementLocal = TUint16(mcb::kInstructionCount + 9);
    static constexpr TUint16 kAddLocalToLocal = TUint16(mcb::kInstructionCount + 10);
    // jmp onto a fused compare-and-branch: the test runs at once (+ 6 compares)
    static constexpr TUint16 kJumpToCompare = TUint16(mcb::kInstructionCount + 11);
    // ldloca; incm; jmp onto a fused test: a counting loop's step (+ 6 compares)
    static constexpr TUint16 kIncrementJumpToCompare = TUint16(mcb::kInstructionCount + 17);
    // ldloca; ldloc; addm followed by such a step: an accumulating loop's whole
    // body after its test (+ 6 compares)
    static constexpr TUint16 kAddStepToCompare = TUint16(mcb::kInstructionCount + 23);
    // ldloc k; push c; add|sub: a local plus or minus a constant
    static constexpr TUint16 kLoadAddConstant = TUint16(mcb::kInstructionCount + 29);
    static constexpr TUint16 kLoadSubConstant = TUint16(mcb::kInstructionCount + 30);
    // ldloca k; ldloc m; store: one local assigned to another
    static constexpr TUint16 kCopyLocal = TUint16(mcb::kInstructionCount + 31);
    static constexpr TUint16 kHandlerCount = TUint16(mcb::kInstructionCount + 32);

    // Decodes every offset of `code` from `from` on (earlier entries are kept).
    void build(const Vec<TUint8>& code, TInt32 from = 0);
    // One entry past the end is the end-of-code entry, so running off the code
    // needs no bounds check in the loop.
    const PreparedInstruction* data() const { return entries_.data(); }
    // The same entries without fusion: where a fused entry cannot take its
    // fast path, the plain instruction at the same offset runs instead.
    const PreparedInstruction* plain() const { return plain_.data(); }
    TInt32 size() const { return TInt32(entries_.size()) - 1; }

private:
    void fuse();

    std::vector<PreparedInstruction> entries_;
    std::vector<PreparedInstruction> plain_;
};
