// Decoding of every code offset into a PreparedInstruction, and the fusion of
// common sequences.
#include "vm/PreparedCode.h"

#include "vm/NativeRegistry.h"

namespace mcb {

PreparedInstruction PreparedCode::plainAt(const TUint8* code, TInt32 size, TInt32 at) {
    TInt8 opcode = TInt8(code[at]);
    const InstructionInfo* row = findInstruction(opcode);
    if (!row) return {TUint16(kInvalidOpcode), 1, 0, opcode};
    TInt32 length = 1 + operandLength(*row);
    if (at + length > size) return {TUint16(kCutOff), 1, 0, opcode};
    PreparedInstruction p{TUint16(row - kInstructions), TUint8(length), 0, 0};
    if (row->operandCount > 0) {
        p.a = readOperand(*row, code + at, 0);
        const OperandKind kind = row->operands[0].kind;
        if (kind == OperandKind::JumpOffset || kind == OperandKind::HandlerOffset) p.a = jumpTarget(at, *row, p.a);
    }
    if (row->operandCount > 1 && row->operands[1].width == 1) p.x = TInt8(readOperand(*row, code + at, 1));
    return p;
}

void PreparedCode::build(const Vec<TUint8>& code, Mode mode) {
    const TInt32 n = code.getSize();
    BudgetCharge charge((TUint64(n) + 1) * sizeof(PreparedInstruction));
    std::vector<PreparedInstruction> fresh;
    fresh.reserve(size_t(n) + 1);
    for (TInt32 at = 0; at < n; ++at) fresh.push_back(plainAt(code.data(), n, at));
    fresh.push_back({TUint16(kEndOfCode), 1, 0, 0});
    entries_.swap(fresh);
    charge_ = std::move(charge);
    mode_ = mode;
    if (mode == Mode::Fast) fuse();
}

TInt32 PreparedCode::fusedCount() const {
    TInt32 fused = 0;
    for (TInt32 at = 0; at < size(); ++at) fused += entries_[size_t(at)].handler > kEndOfCode ? 1 : 0;
    return fused;
}

namespace {
TUint16 rowOf(Op op) { return TUint16(findInstruction(op) - kInstructions); }

// The operations that take a pushed operand, in the order of their fused handlers.
struct OperandOperation {
    Op op;
    bool failsOnZero;
};
#define MCB_OPERAND_OPERATION(name, result, failsOnZero, unused) {Op::name, failsOnZero},
constexpr OperandOperation kOperandOperations[] = {MCB_OPERAND_OPERATIONS(MCB_OPERAND_OPERATION, )};
#undef MCB_OPERAND_OPERATION

// The in-place operations, in the order of their fused handlers.
#define MCB_INPLACE_OPERATION(name, result, failsOnZero, unused) {Op::name, failsOnZero},
constexpr OperandOperation kInPlaceOperations[] = {MCB_INPLACE_OPERATIONS(MCB_INPLACE_OPERATION, )};
#undef MCB_INPLACE_OPERATION

// The compares in the order of the fused handlers.
constexpr Op kCompares[] = {
#define MCB_COMPARE_OP(name) Op::name,
    MCB_FUSED_COMPARES(MCB_COMPARE_OP, , )
#undef MCB_COMPARE_OP
};

bool within(TUint16 handler, TUint16 first, TInt32 count) { return handler >= first && handler < first + count; }

constexpr TUint16 kTwinned[] = {
#define MCB_TWINNED_NUMBER(name) handler::name,
    MCB_TWINNED_HANDLERS(MCB_TWINNED_NUMBER)
#undef MCB_TWINNED_NUMBER
};
constexpr TUint16 kFirstWide = handler::IncrementLocalWide;
}  // namespace

TUint16 PreparedCode::wideTwin(TUint16 h) {
    for (size_t i = 0; i < std::size(kTwinned); ++i)
        if (kTwinned[i] == h) return TUint16(kFirstWide + i);
    return 0;
}

// ldloc k or ldloc_w k (ldloca, ldloca_w) with k in one byte, as a fused entry
// holds it.
bool PreparedCode::isLocal(TInt32 at, bool address) const {
    if (at >= size()) return false;
    const PreparedInstruction& p = entries_[size_t(at)];
    const Op narrow = address ? Op::LocalAddr : Op::LoadLocal, wide = address ? Op::LocalAddrW : Op::LoadLocalW;
    return p.handler == rowOf(narrow) || (p.handler == rowOf(wide) && p.a == TInt8(p.a));
}

// The entry at `at` becomes handler h where the sequence has its one-byte
// length, or h's wide twin where it has its 4-byte length (every local in its
// 4-byte form); a mix stays plain, as the handlers advance by a constant.
bool PreparedCode::place(TInt32 at, TUint16 h, TInt32 length, Lengths lengths, TInt32 x, TInt32 a) {
    if (length != lengths.narrow && length != lengths.wide) return false;
    entries_[size_t(at)] = {length == lengths.narrow ? h : wideTwin(h), TUint8(length), TInt8(x), a};
    return true;
}

// ldloc k; push c; <compare>; jz L  ->  one compare-and-branch
// ldloca k; incm|decm               ->  one increment or decrement of a local
// ldloc k; push c; add|sub           ->  a local plus a constant
// ldloca k; ldloc m; store          ->  local = local
// ldloca k; push c|ldloc j; <op>m    ->  local op= constant or local
// push c; <op>                       ->  the operation with a constant
// ldloc k; <op>                      ->  the operation with a local
// native g f (a vector element read) ->  read inline when its operands are sound
// [ldloc k | ldglobals;] fielda n [; deref] -> a field's address or value
// ldlocd1f k, n; deref               ->  a field's value through a reference cell
// [push c | ldloc k;] <compare>; jz L -> one compare-and-branch
// ldloc j | ldloca j; ldloc k        ->  both pushed (see fusePairs)
// ldloc_w, ldloca_w, fielda_w and jz_w fuse as their 1-byte forms do, through
// twin handlers (see place()).
// Every pattern looks only at entries after its first, which are still plain
// when it is tried.
void PreparedCode::fuse() {
    const TInt32 n = size();
    std::vector<PreparedInstruction>& e = entries_;
    auto is = [&](TInt32 at, Op op) { return at < n && e[size_t(at)].handler == rowOf(op); };
    for (TInt32 at = 0; at < n; ++at) {
        const PreparedInstruction first = e[size_t(at)];
        const TInt32 second = at + first.length;
        // (a branch out of the code stays plain, so that it fails where it stands)
        if (is(at, Op::LoadLocal) && is(at + 2, Op::Push) && is(at + 8, Op::JumpIfZero) &&
            TUint32(e[size_t(at + 8)].a) < TUint32(n)) {
            for (TUint16 k = 0; k < 6; ++k)
                if (is(at + 7, kCompares[k]))
                    e[size_t(at)] = {TUint16(kLoadPushCompareJump + k), 11, TInt8(first.a), e[size_t(at + 8)].a};
        } else if (isLocal(at) && is(second, Op::Push) && fuseLocalConstantOperation(at)) {
        } else if (isLocal(at, true) && isLocal(second) && is(second + e[size_t(second)].length, Op::Store)) {
            place(at, kCopyLocal, second + e[size_t(second)].length + 1 - at, {5, 11}, e[size_t(second)].a, first.a);
        } else if (isLocal(at, true) && (is(second, Op::IncMem) || is(second, Op::DecMem))) {
            place(at, is(second, Op::IncMem) ? kIncrementLocal : kDecrementLocal, second + 1 - at, {3, 6}, 0, first.a);
        } else if (isLocal(at, true) && fuseInPlace(at)) {
        } else if (fuseCompareBranch(at, at, kCompareBranch, 0, {4, 6})) {
        } else if (is(at, Op::Push) && fuseCompareBranch(at, at + 5, kConstantCompareBranch, 0, {9, 11})) {
        } else if (isLocal(at) && fuseCompareBranch(at, second, kLocalCompareBranch, TInt8(first.a), {6, 8})) {
        } else if (is(at, Op::LocalDeref1Field) && first.length == 3 && is(at + 3, Op::Deref)) {
            e[size_t(at)] = {TUint16(kLoadCellField), 4, TInt8(first.a), first.x};
        } else if (fuseFieldAccess(at)) {
        } else if (is(at, mcb::Op::Push)) {
            fuseConstantOperation(at);
        } else if (isLocal(at)) {
            fuseLocalOperation(at);
        } else if (is(at, Op::Native)) {
            const natives::Function* f = natives::findFunction(first.a, TUint8(first.x));
            if (f && f->access.kind != natives::InlineAccess::None)
                e[size_t(at)] = {kInlineElement, first.length, 0, natives::packAccess(f->access)};
        }
    }
    fusePairs();
    // A jump onto a fused test runs it (only plain jumps are rewritten, and a
    // test is never a jump, so the order of this pass does not matter).
    for (TInt32 at = 0; at < n; ++at) {
        if (!is(at, Op::Jump) && !is(at, Op::JumpW)) continue;
        const TInt32 target = e[size_t(at)].a;
        if (target < 0 || target >= n || !within(e[size_t(target)].handler, kLoadPushCompareJump, 6)) continue;
        const TUint16 k = TUint16(e[size_t(target)].handler - kLoadPushCompareJump);
        e[size_t(at)] = {TUint16(kJumpToCompare + k), e[size_t(at)].length, 0, target};
    }
    // ... and so does a local's increment right before such a jump.
    for (TInt32 at = 0; at + 3 < n; ++at) {
        const PreparedInstruction& jump = e[size_t(at + 3)];
        if (e[size_t(at)].handler != kIncrementLocal || !within(jump.handler, kJumpToCompare, 6)) continue;
        e[size_t(at)] = {TUint16(kIncrementJumpToCompare + (jump.handler - kJumpToCompare)), 3, TInt8(e[size_t(at)].a),
                         jump.a};
    }
}

// A local pushed after a local or a local's address, where the second fused
// with nothing after it (a fused one already saves that dispatch). Going
// forwards, the entry after `at` is still as the first pass left it.
void PreparedCode::fusePairs() {
    std::vector<PreparedInstruction>& e = entries_;
    for (TInt32 at = 0; at < size(); ++at) {
        const PreparedInstruction first = e[size_t(at)];
        const TInt32 second = at + first.length;
        if (!isLocal(second)) continue;
        const TInt32 length = second + e[size_t(second)].length - at;
        if (isLocal(at))
            place(at, kTwoLocals, length, {4, 10}, e[size_t(second)].a, first.a);
        else if (isLocal(at, true))
            place(at, kAddressAndLocal, length, {4, 10}, e[size_t(second)].a, first.a);
    }
}

// The compare at `compare` and a jz (or jz_w) right after it with a target
// inside the code become one entry at `at` of the family.
bool PreparedCode::fuseCompareBranch(TInt32 at, TInt32 compare, TUint16 family, TInt8 x, Lengths lengths) {
    const TInt32 n = size();
    if (compare >= n) return false;
    const TInt32 jump = compare + 1;
    if (jump >= n) return false;
    const TUint16 j = entries_[size_t(jump)].handler;
    if (j != rowOf(Op::JumpIfZero) && j != rowOf(Op::JumpIfZeroW)) return false;
    const TInt32 target = entries_[size_t(jump)].a;
    if (TUint32(target) >= TUint32(n)) return false;
    for (TUint16 k = 0; k < 6; ++k) {
        if (entries_[size_t(compare)].handler != rowOf(kCompares[k])) continue;
        return place(at, TUint16(family + k), jump + entries_[size_t(jump)].length - at, lengths, x, target);
    }
    return false;
}

// A field address from a local or the globals, and a field read from any of
// these or from the stack top.
bool PreparedCode::fuseFieldAccess(TInt32 at) {
    const TInt32 n = size();
    std::vector<PreparedInstruction>& e = entries_;
    const PreparedInstruction first = e[size_t(at)];
    const bool local = isLocal(at), globals = first.handler == rowOf(Op::PushGlobals);
    const TInt32 field = local || globals ? at + first.length : at;
    auto isField = [&](TInt32 i) {
        return i < n && (e[size_t(i)].handler == rowOf(Op::FieldAddr) || e[size_t(i)].handler == rowOf(Op::FieldAddrW));
    };
    if (!isField(field)) return false;
    const PreparedInstruction f = e[size_t(field)];
    const TInt32 deref = field + f.length;
    const bool load = deref < n && e[size_t(deref)].handler == rowOf(Op::Deref);
    if (!local && !globals && !load) return false;
    const TUint16 h = local     ? (load ? kLoadLocalField : kLocalFieldAddr)
                      : globals ? (load ? kLoadGlobal : kGlobalAddr)
                                : kLoadField;
    const TInt32 length = deref - at + (load ? 1 : 0);
    const TInt32 narrow = (local ? 2 : globals ? 1 : 0) + 2 + (load ? 1 : 0);  // fielda_w: 3 more
    return place(at, h, length, {narrow, narrow + 3}, local ? first.a : 0, f.a);
}

// ldloca k followed by a pushed constant or a local and an in-place operation.
bool PreparedCode::fuseInPlace(TInt32 at) {
    const PreparedInstruction local = entries_[size_t(at)];
    const TInt32 second = at + local.length;
    if (second >= size()) return false;
    const PreparedInstruction operand = entries_[size_t(second)];
    const bool constant = operand.handler == rowOf(Op::Push);
    if (!constant && !isLocal(second)) return false;
    const TInt32 op = second + operand.length;
    if (op >= size()) return false;
    for (TUint16 k = 0; k < std::size(kInPlaceOperations); ++k) {
        if (entries_[size_t(op)].handler != rowOf(kInPlaceOperations[k].op)) continue;
        if (constant && kInPlaceOperations[k].failsOnZero && operand.a == 0) return false;
        const TUint16 h = constant ? kInPlaceConstant : kInPlaceLocal;
        place(at, TUint16(h + k), op + 1 - at, {constant ? 8 : 5, 11}, local.a, operand.a);
        return true;
    }
    return false;
}

// Division and remainder by 0 fail in their own instruction, so they stay plain.
void PreparedCode::fuseConstantOperation(TInt32 at) {
    const PreparedInstruction push = entries_[size_t(at)];
    if (at + 5 >= size()) return;
    const TUint16 next = entries_[size_t(at + 5)].handler;
    for (TUint16 k = 0; k < std::size(kOperandOperations); ++k) {
        if (next != rowOf(kOperandOperations[k].op)) continue;
        if (kOperandOperations[k].failsOnZero && push.a == 0) return;
        entries_[size_t(at)] = {TUint16(kConstantOperation + k), 6, 0, push.a};
        return;
    }
}

// ldloc k; push c; <op>: a division by a constant 0 stays plain.
bool PreparedCode::fuseLocalConstantOperation(TInt32 at) {
    const TInt32 push = at + entries_[size_t(at)].length, op = push + 5;
    if (op >= size()) return false;
    const TUint16 next = entries_[size_t(op)].handler;
    const TInt32 c = entries_[size_t(push)].a;
    for (TUint16 k = 0; k < std::size(kOperandOperations); ++k) {
        if (next != rowOf(kOperandOperations[k].op)) continue;
        if (kOperandOperations[k].failsOnZero && c == 0) return false;
        place(at, TUint16(kLocalConstantOperation + k), op + 1 - at, {8, 11}, entries_[size_t(at)].a, c);
        return true;
    }
    return false;
}

// A division by a local holding 0 falls back to the plain pair, which fails in its own
// instruction.
void PreparedCode::fuseLocalOperation(TInt32 at) {
    const TInt32 op = at + entries_[size_t(at)].length;
    if (op >= size()) return;
    const TUint16 next = entries_[size_t(op)].handler;
    for (TUint16 k = 0; k < std::size(kOperandOperations); ++k) {
        if (next != rowOf(kOperandOperations[k].op)) continue;
        place(at, TUint16(kLocalOperation + k), op + 1 - at, {3, 6}, entries_[size_t(at)].a, 0);
        return;
    }
}

}  // namespace mcb
