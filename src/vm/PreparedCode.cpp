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
    if (!plain_.empty()) plain_.pop_back();  // the old end-of-code entry
    plain_.resize(size_t(from));
    plain_.reserve(size_t(code.getSize()) + 1);
    for (TInt32 at = from; at < code.getSize(); ++at) plain_.push_back(decodeAt(code, at));
    plain_.push_back({kEndOfCode, 1, 0, 0, 0});
    entries_ = plain_;
    fuse();
}

namespace {
TUint16 rowOf(mcb::Op op) { return TUint16(mcb::findInstruction(op) - mcb::kInstructions); }

// The compares in the order of the fused handlers.
constexpr mcb::Op kCompares[] = {mcb::Op::Lt, mcb::Op::Le, mcb::Op::Gt,
                                 mcb::Op::Ge, mcb::Op::Eq, mcb::Op::Ne};
}  // namespace

// ldloc k; push c; <compare>; jz L  ->  one compare-and-branch
// ldloca k; incm                    ->  one increment of a local
// ldloc k; push c; add|sub           ->  a local plus a constant
// ldloca k; ldloc m; addm|store      ->  local += local, local = local
void PreparedCode::fuse() {
    const TInt32 n = TInt32(plain_.size()) - 1;
    auto is = [&](TInt32 at, mcb::Op op) { return at < n && plain_[size_t(at)].handler == rowOf(op); };
    for (TInt32 at = 0; at < n; ++at) {
        // (a branch out of the code stays plain, so that it fails where it stands)
        if (is(at, mcb::Op::LoadLocal) && is(at + 2, mcb::Op::Push) && is(at + 8, mcb::Op::JumpIfZero) &&
            TUint32(plain_[size_t(at + 8)].a) < TUint32(n)) {
            for (TUint16 k = 0; k < 6; ++k)
                if (is(at + 7, kCompares[k])) {
                    const PreparedInstruction& jz = plain_[size_t(at + 8)];
                    entries_[size_t(at)] = {TUint16(kLoadPushCompareJump + k), 11, plain_[size_t(at)].a,
                                            plain_[size_t(at + 2)].a, jz.a};
                }
        } else if (is(at, mcb::Op::LoadLocal) && is(at + 2, mcb::Op::Push) &&
                   (is(at + 7, mcb::Op::Add) || is(at + 7, mcb::Op::Sub))) {
            TUint16 h = is(at + 7, mcb::Op::Add) ? kLoadAddConstant : kLoadSubConstant;
            entries_[size_t(at)] = {h, 8, plain_[size_t(at)].a, plain_[size_t(at + 2)].a, 0};
        } else if (is(at, mcb::Op::LocalAddr) && is(at + 2, mcb::Op::LoadLocal) && is(at + 4, mcb::Op::Store)) {
            entries_[size_t(at)] = {kCopyLocal, 5, plain_[size_t(at)].a, plain_[size_t(at + 2)].a, 0};
        } else if (is(at, mcb::Op::LocalAddr) && is(at + 2, mcb::Op::IncMem)) {
            entries_[size_t(at)] = {kIncrementLocal, 3, plain_[size_t(at)].a, 0, 0};
        } else if (is(at, mcb::Op::LocalAddr) && is(at + 2, mcb::Op::LoadLocal) && is(at + 4, mcb::Op::AddMem)) {
            entries_[size_t(at)] = {kAddLocalToLocal, 5, plain_[size_t(at)].a, plain_[size_t(at + 2)].a, 0};
        }
    }
    // A second pass, now that the tests are fused: a jump onto one runs it, and
    // so does a local's increment right before such a jump.
    auto fusedTestAt = [&](TInt32 jump) -> TInt32 {
        if (!is(jump, mcb::Op::Jump) && !is(jump, mcb::Op::JumpW)) return -1;
        TInt32 target = plain_[size_t(jump)].a;
        if (target < 0 || target >= n) return -1;
        TUint16 h = entries_[size_t(target)].handler;
        return h >= kLoadPushCompareJump && h < kLoadPushCompareJump + 6 ? h - kLoadPushCompareJump : -1;
    };
    for (TInt32 at = 0; at < n; ++at) {
        if (TInt32 k = fusedTestAt(at); k >= 0) {
            const PreparedInstruction& t = entries_[size_t(plain_[size_t(at)].a)];
            entries_[size_t(at)] = {TUint16(kJumpToCompare + k), plain_[size_t(at)].length, t.a, t.b, t.c};
        }
    }
    for (TInt32 at = 0; at < n; ++at) {
        if (entries_[size_t(at)].handler != kIncrementLocal) continue;
        if (TInt32 k = fusedTestAt(at + 3); k >= 0)
            entries_[size_t(at)] = {TUint16(kIncrementJumpToCompare + k), 3, plain_[size_t(at)].a,
                                    plain_[size_t(at + 3)].a, 0};
    }
    // Both local operands of the add are byte operands, so they share a word.
    for (TInt32 at = 0; at + 5 < n; ++at) {
        const PreparedInstruction& step = entries_[size_t(at + 5)];
        if (entries_[size_t(at)].handler != kAddLocalToLocal || step.handler < kIncrementJumpToCompare ||
            step.handler >= kIncrementJumpToCompare + 6)
            continue;
        const PreparedInstruction& add = entries_[size_t(at)];
        TInt32 locals = TInt32(TUint32(TUint16(TInt16(add.a))) | (TUint32(TUint16(TInt16(add.b))) << 16));
        entries_[size_t(at)] = {TUint16(kAddStepToCompare + (step.handler - kIncrementJumpToCompare)), 5, locals,
                                step.a, step.b};
    }
}
