// PreparedCode: the code decoded once at load, one 8-byte entry per code byte
// offset, so that the interpreter never decodes an opcode and a jump to any
// offset (even into the middle of another instruction) behaves as the raw bytes
// say. Operands that do not fit an entry are read from the code bytes.
#pragma once

#include "foundation/MemoryBudget.h"
#include "foundation/Vec.h"
#include "vm/Instructions.h"

#include <vector>

namespace mcb {

// Plain instructions: `a` is operand 0 (jump and handler targets already
// absolute), `x` operand 1 when it is one byte wide; wider later operands stay
// in the code bytes. Fused entries say below what they keep.
struct PreparedInstruction {
    TUint16 handler;  // row of the instruction table, or one of the extra handlers below
    TUint8 length;    // opcode byte plus operands
    TInt8 x;          // a one-byte second operand (or a local of a fused entry)
    TInt32 a;
};
static_assert(sizeof(PreparedInstruction) == 8, "prepared code costs 8 bytes per code byte");

// The handler lists keep one family to a line.
// clang-format off
// The six compares of the fused tests, in handler order.
#define MCB_FUSED_COMPARES(X, prefix, suffix) \
    X(prefix##Lt##suffix) X(prefix##Le##suffix) X(prefix##Gt##suffix) \
    X(prefix##Ge##suffix) X(prefix##Eq##suffix) X(prefix##Ne##suffix)

// The binary operations that take a pushed constant (push c; <op>) or a local
// (ldloc k; <op>) as their right operand in one fused entry: name, result from a
// (below) and b (on top), and whether b == 0 fails, which sends the pair to the
// plain entries (a constant 0 leaves them unfused). The interpreter's plain
// handlers of these instructions come from the same list.
#define MCB_OPERAND_OPERATIONS(Y, X)              \
    Y(Add, TInt32(TUint32(a) + TUint32(b)), false, X) \
    Y(Sub, TInt32(TUint32(a) - TUint32(b)), false, X) \
    Y(Mul, TInt32(TUint32(a) * TUint32(b)), false, X) \
    Y(Div, divide(a, b), true, X)                 \
    Y(Rem, remainder(a, b), true, X)              \
    Y(And, a & b, false, X)                       \
    Y(Or, a | b, false, X)                        \
    Y(Xor, a ^ b, false, X)                       \
    Y(Shl, shiftLeft(a, b), false, X)             \
    Y(Shr, shiftRight(a, b), false, X)            \
    Y(Eq, bool32(a == b), false, X)               \
    Y(Lt, bool32(a < b), false, X)                \
    Y(Le, bool32(a <= b), false, X)               \
    Y(Ne, bool32(a != b), false, X)               \
    Y(Gt, bool32(a > b), false, X)                \
    Y(Ge, bool32(a >= b), false, X)
#define MCB_CONSTANT_HANDLER(name, result, failsOnZero, X) X(name##Const)

// The in-place operations that a local takes from a pushed constant (ldloca k;
// push c; <op>m) or from another local (ldloca k; ldloc j; <op>m) in one fused
// entry: name, the new value from m (the local) and b (the operand), and whether
// b == 0 fails (as above). The plain in-place handlers come from this list too.
#define MCB_INPLACE_OPERATIONS(Y, X)                    \
    Y(AddMem, TInt32(TUint32(m) + TUint32(b)), false, X) \
    Y(SubMem, TInt32(TUint32(m) - TUint32(b)), false, X) \
    Y(MulMem, TInt32(TUint32(m) * TUint32(b)), false, X) \
    Y(DivMem, divide(m, b), true, X)                    \
    Y(RemMem, remainder(m, b), true, X)                 \
    Y(AndMem, m & b, false, X)                          \
    Y(OrMem, m | b, false, X)                           \
    Y(XorMem, m ^ b, false, X)                          \
    Y(ShlMem, shiftLeft(m, b), false, X)                \
    Y(ShrMem, shiftRight(m, b), false, X)
#define MCB_LOCAL_HANDLER(name, result, failsOnZero, X) X(name##Local)
#define MCB_LOCAL_CONSTANT_HANDLER(name, result, failsOnZero, X) X(name##LocalConst)

// The handlers after the instruction table's rows, in number order: three that
// stop the run, then the fused sequences described in PreparedCode. The
// interpreter has a label L_<name> for each.
#define MCB_EXTRA_HANDLERS(X)                                           \
    X(InvalidOpcode) X(CutOff) X(EndOfCode)                            \
    MCB_FUSED_COMPARES(X, , Jump)                                      \
    X(IncrementLocal) X(DecrementLocal)                                \
    MCB_FUSED_COMPARES(X, JumpTo, )                                    \
    MCB_FUSED_COMPARES(X, StepTo, )                                    \
    X(CopyLocal) X(InlineElement)                                      \
    X(LoadField) X(LoadLocalField) X(LoadGlobal) X(LocalFieldAddr) X(GlobalAddr) X(LoadCellField) \
    MCB_OPERAND_OPERATIONS(MCB_CONSTANT_HANDLER, X)                    \
    MCB_OPERAND_OPERATIONS(MCB_LOCAL_HANDLER, X)                       \
    MCB_OPERAND_OPERATIONS(MCB_LOCAL_CONSTANT_HANDLER, X)              \
    MCB_INPLACE_OPERATIONS(MCB_CONSTANT_HANDLER, X)                    \
    MCB_INPLACE_OPERATIONS(MCB_LOCAL_HANDLER, X)                       \
    MCB_FUSED_COMPARES(X, Branch, )                                    \
    MCB_FUSED_COMPARES(X, Branch, Const)                               \
    MCB_FUSED_COMPARES(X, Branch, Local)                               \
    X(TwoLocals) X(AddressAndLocal)

// Fused entries whose handlers advance by the constant length of their
// sequence, as far as possible without a load. Each has a twin, <name>Wide,
// after the extra handlers: the same sequence with its wide forms, where
// PreparedCode::fuse() says which (the locals' ldloc_w and ldloca_w with an
// operand that fits one byte, 3 bytes longer each; jz_w; fielda_w).
#define MCB_TWINNED_HANDLERS(X)                                        \
    X(IncrementLocal) X(DecrementLocal) X(CopyLocal)                   \
    X(TwoLocals) X(AddressAndLocal)                                    \
    X(LoadField) X(LoadLocalField) X(LoadGlobal) X(LocalFieldAddr) X(GlobalAddr) \
    MCB_FUSED_COMPARES(X, Branch, )                                    \
    MCB_FUSED_COMPARES(X, Branch, Const)                               \
    MCB_FUSED_COMPARES(X, Branch, Local)                               \
    MCB_OPERAND_OPERATIONS(MCB_LOCAL_HANDLER, X)                       \
    MCB_OPERAND_OPERATIONS(MCB_LOCAL_CONSTANT_HANDLER, X)              \
    MCB_INPLACE_OPERATIONS(MCB_CONSTANT_HANDLER, X)                    \
    MCB_INPLACE_OPERATIONS(MCB_LOCAL_HANDLER, X)

// clang-format on

namespace handler {
enum : TUint16 {
    LastInstructionRow = TUint16(kInstructionCount - 1),
#define MCB_HANDLER_NUMBER(name) name,
    MCB_EXTRA_HANDLERS(MCB_HANDLER_NUMBER)
#undef MCB_HANDLER_NUMBER
#define MCB_WIDE_HANDLER_NUMBER(name) name##Wide,
        MCB_TWINNED_HANDLERS(MCB_WIDE_HANDLER_NUMBER)
#undef MCB_WIDE_HANDLER_NUMBER
            Count
};
}  // namespace handler

class PreparedCode {
public:
    static constexpr TUint16 kInvalidOpcode = handler::InvalidOpcode;  // a = the opcode
    static constexpr TUint16 kCutOff = handler::CutOff;
    static constexpr TUint16 kEndOfCode = handler::EndOfCode;
    // Fused sequences, each replacing only the entry at its first offset, so a
    // jump into the middle of one still runs the plain instructions there.
    // ldloc k; push c; <compare>; jz L: x = k, a = L, c in the code bytes (+ 6 compares)
    static constexpr TUint16 kLoadPushCompareJump = handler::LtJump;
    // ldloca k; incm and ldloca k; decm: a = k
    static constexpr TUint16 kIncrementLocal = handler::IncrementLocal;
    static constexpr TUint16 kDecrementLocal = handler::DecrementLocal;
    // ldloca k; push c; <op>m with op in MCB_INPLACE_OPERATIONS: x = k, a = c
    // (+ 10 operations); ldloca k; ldloc j; <op>m: x = k, a = j (+ 10 operations)
    static constexpr TUint16 kInPlaceConstant = handler::AddMemConst;
    static constexpr TUint16 kInPlaceLocal = handler::AddMemLocal;
    // jmp T onto a fused compare-and-branch: a = T; the test runs at once (+ 6 compares)
    static constexpr TUint16 kJumpToCompare = handler::JumpToLt;
    // ldloca k; incm; jmp T onto a fused test, a counting loop's step: x = k,
    // a = T (+ 6 compares)
    static constexpr TUint16 kIncrementJumpToCompare = handler::StepToLt;
    // ldloc k; push c; <op> with op in MCB_OPERAND_OPERATIONS, a local and a
    // constant: x = k, a = c (+ 16 operations)
    static constexpr TUint16 kLocalConstantOperation = handler::AddLocalConst;
    // ldloca k; ldloc m; store, one local assigned to another: a = k, x = m
    static constexpr TUint16 kCopyLocal = handler::CopyLocal;
    // native g f where the row offers an inline element read: a = the row's
    // access, packed; unsound operands run the plain native instead
    static constexpr TUint16 kInlineElement = handler::InlineElement;
    // Field reads and addresses, a = n of fielda n (or fielda_w n); x = k:
    //   fielda n; deref             -> kLoadField
    //   ldloc k; fielda n; deref    -> kLoadLocalField
    //   ldglobals; fielda n; deref  -> kLoadGlobal
    //   ldloc k; fielda n           -> kLocalFieldAddr
    //   ldglobals; fielda n         -> kGlobalAddr
    static constexpr TUint16 kLoadField = handler::LoadField;
    static constexpr TUint16 kLoadLocalField = handler::LoadLocalField;
    static constexpr TUint16 kLoadGlobal = handler::LoadGlobal;
    static constexpr TUint16 kLocalFieldAddr = handler::LocalFieldAddr;
    static constexpr TUint16 kGlobalAddr = handler::GlobalAddr;
    //   ldlocd1f k, n; deref        -> kLoadCellField (x = k, a = n): the field of
    //                                  the object in the cell that local k holds
    static constexpr TUint16 kLoadCellField = handler::LoadCellField;
    // push c; <op> with op in MCB_OPERAND_OPERATIONS: a = c (+ 16 operations)
    static constexpr TUint16 kConstantOperation = handler::AddConst;
    // ldloc k; <op>, the same operations on a local: x = k (+ 16 operations)
    static constexpr TUint16 kLocalOperation = handler::AddLocal;
    // A compare and the jz (or jz_w) after it, L inside the code: <cmp>; jz L
    // (a = L), push c; <cmp>; jz L (a = L, c in the code bytes) and ldloc k;
    // <cmp>; jz L (x = k, a = L), each + 6 compares
    static constexpr TUint16 kCompareBranch = handler::BranchLt;
    static constexpr TUint16 kConstantCompareBranch = handler::BranchLtConst;
    static constexpr TUint16 kLocalCompareBranch = handler::BranchLtLocal;
    // ldloc j; ldloc k and ldloca j; ldloc k where ldloc k fused with nothing
    // after it: a = j, x = k
    static constexpr TUint16 kTwoLocals = handler::TwoLocals;
    static constexpr TUint16 kAddressAndLocal = handler::AddressAndLocal;
    static constexpr TUint16 kHandlerCount = handler::Count;
    // The wide twin of a twinned handler (MCB_TWINNED_HANDLERS), else 0.
    static TUint16 wideTwin(TUint16 handler);
    static_assert(kHandlerCount <= 65536, "a handler number is two bytes");

    // Fast code has the fused entries (and any cache added later, at virtual
    // call sites, say); reference code is one plain entry per offset, exactly as
    // plainAt() decodes it, nothing fused, nothing cached: a later cache is made
    // only when mode() is Fast, never checked in the loop. DifferentialTest.cpp
    // (tests/vm) runs random programs both ways and compares what they leave.
    enum class Mode { Fast, Reference };
    // Decodes (and in fast mode fuses) every offset of `code`, charging the
    // entries to the current memory budget first.
    void build(const Vec<TUint8>& code, Mode mode = Mode::Fast);
    Mode mode() const { return mode_; }
    // How many entries are not plain instructions (none in reference code).
    TInt32 fusedCount() const;
    // One entry past the end is the end-of-code entry, so running off the code
    // needs no bounds check in the loop.
    const PreparedInstruction* data() const { return entries_.data(); }
    TInt32 size() const { return TInt32(entries_.size()) - 1; }

    // The plain, unfused entry at `at` of `size` code bytes: where a fused
    // entry cannot take its fast path, this runs instead.
    static PreparedInstruction plainAt(const TUint8* code, TInt32 size, TInt32 at);

private:
    // A fused sequence's lengths with its narrow forms and with its wide ones.
    struct Lengths {
        TInt32 narrow, wide;
    };
    void fuse();
    void fusePairs();
    bool isLocal(TInt32 at, bool address = false) const;
    bool place(TInt32 at, TUint16 h, TInt32 length, Lengths lengths, TInt32 x, TInt32 a);
    void fuseConstantOperation(TInt32 at);
    void fuseLocalOperation(TInt32 at);
    bool fuseFieldAccess(TInt32 at);
    bool fuseInPlace(TInt32 at);
    bool fuseLocalConstantOperation(TInt32 at);
    bool fuseCompareBranch(TInt32 at, TInt32 compare, TUint16 family, TInt8 x, Lengths lengths);

    std::vector<PreparedInstruction> entries_;
    BudgetCharge charge_;
    Mode mode_ = Mode::Fast;
};

}  // namespace mcb
