// VirtualMachine::run(): the interpreter loop over the prepared code. Dispatch
// is a computed goto per instruction-table row; operands were decoded at load.
// Every stack index, address and code target is checked before use.
#include "vm/VirtualMachine.h"

#include "objects/OVector.h"
#include "vm/NativeRegistry.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace mcb {

static_assert(std::endian::native == std::endian::little, "operands are read as stored");

namespace {

// Valid stack pointers per row for instructions with a fixed stack effect:
// lo <= sp <= lo + span. Rows with a variable effect check for themselves.
struct StackBounds {
    std::array<TInt32, PreparedCode::kHandlerCount> lo{};
    std::array<TUint32, PreparedCode::kHandlerCount> span{};
};

constexpr bool hasFixedEffect(TInt32 h) {
    return h < kInstructionCount && kInstructions[h].pops >= 0 && kInstructions[h].pushes >= 0;
}

constexpr StackBounds makeStackBounds() {
    StackBounds b;
    for (TInt32 h = 0; h < PreparedCode::kHandlerCount; ++h) {
        if (!hasFixedEffect(h)) {
            b.lo[size_t(h)] = -1;
            b.span[size_t(h)] = TUint32(kStackWords);
            continue;
        }
        const TInt32 pops = kInstructions[h].pops, pushes = kInstructions[h].pushes;
        TInt32 lo = pops - 1;
        TInt32 hi = kStackWords - 1 - (pushes > pops ? pushes - pops : 0);
        b.lo[size_t(h)] = lo;
        b.span[size_t(h)] = TUint32(hi - lo);
    }
    return b;
}
constexpr StackBounds kStackBounds = makeStackBounds();

constexpr TInt32 row(Op op) { return TInt32(findInstruction(op) - kInstructions); }

TInt32 divide(TInt32 a, TInt32 b) {
    if (b == 0) vmerr::raise(vmerr::DivisionByZero);
    if (b == -1) return TInt32(0u - TUint32(a));
    return a / b;
}

TInt32 remainder(TInt32 a, TInt32 b) {
    if (b == 0) vmerr::raise(vmerr::DivisionByZero);
    if (b == -1) return 0;
    return a % b;
}

TInt32 shiftLeft(TInt32 v, TInt32 n);
TInt32 shiftRight(TInt32 v, TInt32 n) {
    if (n > 31) return 0;
    if (n < 0) return n < -31 ? 0 : shiftLeft(v, -n);
    return v >> n;
}
TInt32 shiftLeft(TInt32 v, TInt32 n) {
    if (n > 31) return 0;
    if (n < 0) return n < -31 ? 0 : shiftRight(v, -n);
    return TInt32(TUint32(v) << n);
}

TInt32 byteDivide(TInt32 a, TInt32 b, bool remainderOnly) {
    TInt32 x = TInt8(a), y = TInt8(b);
    if (y == 0) vmerr::raise(vmerr::msg::DivisionByZero);
    return remainderOnly ? remainder(x, y) : divide(x, y);
}

TInt32 bool32(bool b) { return b ? -1 : 0; }

// The byte length of n words at `address`; a length beyond the 32-bit address
// space can lie in no memory.
TUint32 wordBytes(TUint32 address, TInt32 n) {
    TUint64 bytes = TUint64(TUint32(n)) * 4u;
    if (bytes > 0xFFFFFFFFu) VMMemory::raiseBadAddress(address);
    return TUint32(bytes);
}

TInt32 lowHalf(TInt32 v) { return TInt16(v); }

}  // namespace

void VirtualMachine::run() {
    // clang-format off
    static const void* const kLabels[PreparedCode::kHandlerCount] = {
#define MCB_LABEL(name, ...) hasFixedEffect(row(Op::name)) ? &&C_##name : &&L_##name,
        MCB_INSTRUCTIONS(MCB_LABEL)
#undef MCB_LABEL
#define MCB_EXTRA_LABEL(name) &&L_##name,
        MCB_EXTRA_HANDLERS(MCB_EXTRA_LABEL)
#undef MCB_EXTRA_LABEL
#define MCB_WIDE_LABEL(name) &&L_##name##Wide,
        MCB_TWINNED_HANDLERS(MCB_WIDE_LABEL)
#undef MCB_WIDE_LABEL
    };
    // clang-format on
    static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == PreparedCode::kHandlerCount);

    std::intptr_t pc = pc_;  // pointer-wide: finding the entry needs no sign extension
    if (pc < 0) return;
    MemoryBudget::setCurrent(memoryBudget_.budget);  // what the natives allocate is this application's
    TInt32 sp = sp_;
    TInt32* const s = stack_;
    VMMemory& mem = memory_;
    const PreparedInstruction* const code = prepared_.data();
    const TUint8* const bytes = tables_.code.data();
    const TInt32 codeSize = prepared_.size();
    const PreparedInstruction* ip = nullptr;
    PreparedInstruction unfused{};  // a fused entry's first instruction, when it runs alone

    // A 32-bit operand that the prepared entry does not hold, from the code bytes
    // (little-endian, as the hosts are).
    auto codeWord = [bytes](TInt32 at) {
        TInt32 v;
        std::memcpy(&v, bytes + at, 4);
        return v;
    };

    auto word = [&mem](TUint32 a) -> TInt32& { return *reinterpret_cast<TInt32*>(mem.wordPtr(a)); };
    auto byteAt = [&mem](TUint32 a) -> TInt8& { return *reinterpret_cast<TInt8*>(mem.ptr(a, 1)); };
    // 16-bit stores may be unaligned: copy the bytes instead of casting.
    auto storeHalf = [&mem](TUint32 a, TInt32 v) {
        TInt16 h = TInt16(v);
        std::memcpy(mem.ptr(a, 2), &h, 2);
    };
    auto localIndex = [&sp](TInt32 k) {
        TInt64 i = TInt64(sp) + 1 + k;
        if (i < 0 || i >= kStackWords) vmerr::raise(vmerr::msg::StackIndexOutOfRange);
        return TInt32(i);
    };
    auto inStack = [](TInt64 i) { return TUint64(i) < TUint64(kStackWords); };
    auto needPush = [&sp](TInt64 n) {
        if (TInt64(sp) + n >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
    };
    auto needPop = [&sp](TInt64 n) {
        if (TInt64(sp) - n < -1) vmerr::raise(vmerr::msg::StackUnderflow);
    };
    // A vector element read without the native call, when the handle, the vector
    // and the index are sound; otherwise false, and the native runs (and raises
    // what it raises). A heap that fails its checks raises here as it would there.
    auto inlineElement = [&](const natives::InlineAccess& access) __attribute__((always_inline)) {
        if (sp < 1) return false;
        const VMAddr handle = VMAddr(s[sp - 1]);
        if ((handle & 3) != 0 || !mem.contains(handle, 4)) return false;
        const VMAddr object = *mem.uncheckedWord(handle);
        GCObject* o = object != 0 ? heap_.findObject(object) : nullptr;
        if (!o || o->kind() != OVectorBase::kGCKind) return false;
        const auto* v = static_cast<const OVectorBase*>(o);
        const TInt32 index = s[sp];
        if (v->elementBytes() != access.elementBytes || index < 0 || index >= v->size()) return false;
        const VMAddr at = v->storage() + TUint32(index) * access.elementBytes;
        const bool word = access.references || access.elementBytes == 4;
        if (access.kind == natives::InlineAccess::ElementAddress && !access.references) {
            s[--sp] = TInt32(at);
            return true;
        }
        if (!mem.contains(at, word ? 4 : 1) || (word && (at & 3) != 0)) return false;
        const TInt32 value = word ? TInt32(*mem.uncheckedWord(at)) : TInt32(TInt8(*mem.unchecked(at)));
        if (access.references)  // the reference replaces the vector
            s[--sp] = value;
        else  // the value replaces the index, above the vector
            s[sp] = value;
        return true;
    };
    auto sync = [&] {
        sp_ = sp;
        pc_ = pc;
    };

#define DISPATCH()                  \
    do {                            \
        ip = code + pc;             \
        goto* kLabels[ip->handler]; \
    } while (0)
#define NEXT()            \
    do {                  \
        pc += ip->length; \
        DISPATCH();       \
    } while (0)
// Every transfer of control spends one unit of the budget, if one is set.
#define JUMP(target)                                              \
    do {                                                          \
        TInt32 t_ = (target);                                     \
        if (TUint32(t_) >= TUint32(codeSize)) goto L_JumpOutside; \
        if (budget_ >= 0 && budget_-- == 0) goto L_OutOfBudget;   \
        pc = t_;                                                  \
        DISPATCH();                                               \
    } while (0)
// The next instruction's offset is known without a load when the length is a
// constant, which keeps the dispatch of one instruction from waiting on the last.
#define NEXT_BY(n)  \
    do {            \
        pc += (n);  \
        DISPATCH(); \
    } while (0)
#define NEXT_AS(op) NEXT_BY(instructionLength(TInt8(Op::op)))
#define BINARY(expr)          \
    do {                      \
        TInt32 b = s[sp];     \
        TInt32 a = s[sp - 1]; \
        s[sp - 1] = (expr);   \
        --sp;                 \
        NEXT_BY(1);           \
    } while (0)
#define MEMORY(expr)                 \
    do {                             \
        TInt32& m = word(s[sp - 1]); \
        TInt32 b = s[sp];            \
        m = (expr);                  \
        sp -= 2;                     \
        NEXT_BY(1);                  \
    } while (0)
#define MEMORY8(expr)                 \
    do {                              \
        TInt8& m = byteAt(s[sp - 1]); \
        TInt32 b = s[sp];             \
        m = TInt8(expr);              \
        sp -= 2;                      \
        NEXT_BY(1);                   \
    } while (0)

    try {
        if (pc > codeSize) goto L_JumpOutside;
        DISPATCH();

        // A row with a fixed stack effect enters through its check, against
        // constants, so that the fused entries (which check for themselves) and
        // the variable rows pay nothing for it.
#define MCB_STACK_CHECK(name, ...)                                          \
    C_##name : __attribute__((unused));                                     \
    {                                                                       \
        constexpr TInt32 lo_ = kStackBounds.lo[size_t(row(Op::name))];      \
        constexpr TUint32 span_ = kStackBounds.span[size_t(row(Op::name))]; \
        if (TUint32(sp - lo_) > span_) goto L_StackFault;                   \
    }                                                                       \
    goto L_##name;
        MCB_INSTRUCTIONS(MCB_STACK_CHECK)
#undef MCB_STACK_CHECK

    L_Nop:
        NEXT();
#define LOAD_LOCAL(op)                   \
    do {                                 \
        TInt32 v = s[localIndex(ip->a)]; \
        s[++sp] = v;                     \
        NEXT_AS(op);                     \
    } while (0)
#define LOCAL_ADDRESS(op)                                                          \
    do {                                                                           \
        s[sp + 1] = TInt32(stackAddr_ + (TUint32(sp) + 1u + TUint32(ip->a)) * 4u); \
        ++sp;                                                                      \
        NEXT_AS(op);                                                               \
    } while (0)
#define FIELD_ADDRESS(op)                                      \
    do {                                                       \
        if (s[sp] == 0) vmerr::raise(vmerr::msg::NullPointer); \
        s[sp] = TInt32(TUint32(s[sp]) + TUint32(ip->a) * 4u);  \
        NEXT_AS(op);                                           \
    } while (0)
    L_LoadLocal:
        LOAD_LOCAL(LoadLocal);
    L_LoadLocalW:
        LOAD_LOCAL(LoadLocalW);
    L_LocalAddr:
        LOCAL_ADDRESS(LocalAddr);
    L_LocalAddrW:
        LOCAL_ADDRESS(LocalAddrW);
    L_FieldAddr:
        FIELD_ADDRESS(FieldAddr);
    L_FieldAddrW:
        FIELD_ADDRESS(FieldAddrW);
    L_Deref:
        s[sp] = word(s[sp]);
        NEXT_AS(Deref);
    L_AdjustStack:
    L_AdjustStackW:
        if (ip->a <= 0) {
            needPop(-TInt64(ip->a));
            sp += ip->a;
        } else {
            needPush(ip->a);
            std::memset(s + sp + 1, 0, size_t(ip->a) * 4);
            sp += ip->a;
        }
        NEXT();
    L_JumpIfZero:
        if (s[sp--] == 0) JUMP(ip->a);
        NEXT_AS(JumpIfZero);
    L_JumpIfZeroW:
        if (s[sp--] == 0) JUMP(ip->a);
        NEXT_AS(JumpIfZeroW);
    L_Jump:
    L_JumpW:
        JUMP(ip->a);
    L_Call : {
        needPush(1);
        if (TUint32(ip->a) >= TUint32(codeSize)) goto L_CallOutside;
        const TInt32 d = codeWord(pc + 5);
        if (d >= TInt32(frameOffsets_.size())) checkDescriptor(d);
        if (descriptorStack_.getSize() >= kStackWords) checkCallDepth();
        sp += 1;
        descriptorStack_.append(d);
        frameBaseStack_.append(d < 0 ? sp : TInt32(TInt64(sp) - frameOffsets_[size_t(d)]));
        s[sp] = pc + ip->length;
        JUMP(ip->a);
    }
    L_CallVirtual : {
        needPop(1);
        TInt32 descriptor = -1;
        TInt32 target = lookupMethod(ip->a, s[sp], &descriptor);
        if (target >= 0) checkDescriptor(descriptor);
        if (target < 0) {
            sync();
            runtimeError(nullptr, pc, CAppsString("Invalid type in virtual method call"));
        }
        if (TUint32(target) >= TUint32(codeSize)) goto L_CallOutside;
        if (descriptorStack_.getSize() >= kStackWords) checkCallDepth();
        descriptorStack_.append(descriptor);
        frameBaseStack_.append(descriptor < 0 ? sp : TInt32(TInt64(sp) - frameOffsets_[size_t(descriptor)]));
        s[sp] = pc + ip->length;
        JUMP(target);
    }
    L_Return : {
        TInt64 at = TInt64(sp) - ip->a;
        if (at < 0 || at >= kStackWords) vmerr::raise(vmerr::msg::StackIndexOutOfRange);
        TInt64 newSp = TInt64(sp) - codeWord(pc + 5);
        if (newSp < -1 || newSp >= kStackWords) vmerr::raise(vmerr::msg::StackUnderflow);
        TInt32 target = s[at];
        if (!descriptorStack_.isEmpty()) {
            descriptorStack_.takeLast();
            frameBaseStack_.takeLast();
        }
        sp = TInt32(newSp);
        if (target < 0) {
            sp_ = sp;
            pc_ = target;
            return;
        }
        if (target >= codeSize) goto L_ReturnOutside;
        JUMP(target);
    }
    L_Alloc : {
        GcCode c = GcCode(TUint8(ip->a));
        if (!isAllocatableGcCode(ip->a)) {
            sync();
            runtimeError(nullptr, pc, CAppsString("Invalid mem alloc gc code"));
        }
        s[sp + 1] = TInt32(heap_.allocateWords(TUint32(codeWord(pc + 2)), c));
        ++sp;
        NEXT_AS(Alloc);
    }
    L_Dup:
        s[sp + 1] = s[sp];
        ++sp;
        NEXT_AS(Dup);
    L_Not:
        s[sp] = bool32(s[sp] == 0);
        NEXT_AS(Not);
    L_Push:
        s[++sp] = ip->a;
        NEXT_AS(Push);
    L_LoadString : {
        if (ip->a < 0 || ip->a >= tables_.strings.getSize()) vmerr::raise(vmerr::InvalidArgument);
        const CAppsString& text = tables_.strings[ip->a];
        s[sp + 1] = TInt32(newString(OString(text.data(), text.getSize())));
        ++sp;
        NEXT_AS(LoadString);
    }
    L_SetClass:
        word(s[sp]) = ip->a;
        --sp;
        NEXT_AS(SetClass);
    L_Store:
    L_StoreAlt:
        word(s[sp - 1]) = s[sp];
        sp -= 2;
        NEXT_BY(1);
    L_StoreZero:
        word(s[sp]) = 0;
        --sp;
        NEXT_AS(StoreZero);
#define PLAIN_OPERATION(name, result, failsOnZero, unused) L_##name : BINARY(result);
        MCB_OPERAND_OPERATIONS(PLAIN_OPERATION, )
#undef PLAIN_OPERATION
    L_Neg:
        s[sp] = TInt32(0u - TUint32(s[sp]));
        NEXT_AS(Neg);
    L_IncMem : {
        TInt32& m = word(s[sp]);
        m = TInt32(TUint32(m) + 1u);
        --sp;
        NEXT_AS(IncMem);
    }
    L_DecMem : {
        TInt32& m = word(s[sp]);
        m = TInt32(TUint32(m) - 1u);
        --sp;
        NEXT_AS(DecMem);
    }
#define INPLACE_PLAIN_LABEL(name, result, failsOnZero, unused) L_##name : MEMORY(result);
        MCB_INPLACE_OPERATIONS(INPLACE_PLAIN_LABEL, )
#undef INPLACE_PLAIN_LABEL
    L_IntToString:
        s[sp] = TInt32(newString(OString(std::to_string(s[sp]).c_str())));
        NEXT_AS(IntToString);
    L_ZeroExtendByte:
        s[sp] &= 255;
        NEXT_AS(ZeroExtendByte);
    L_PushTrue:
    L_PushMinusOne:
        s[++sp] = -1;
        NEXT_BY(1);
    L_PushFalse:
        s[++sp] = 0;
        NEXT_AS(PushFalse);
    L_LogicalAnd:
        BINARY(bool32(a != 0 && b != 0));
    L_LogicalOr:
        BINARY(bool32(a != 0 || b != 0));
    L_LogicalXor:
        BINARY(bool32((a != 0) != (b != 0)));
    L_BoolEq:
        BINARY((a != 0) == (b != 0) ? 1 : 0);
    L_BoolNe:
        BINARY((a != 0) != (b != 0) ? 1 : 0);
    L_Push64:
        s[sp + 1] = ip->a;
        s[sp + 2] = codeWord(pc + 5);
        sp += 2;
        NEXT_AS(Push64);
    L_ByteDiv:
        BINARY(byteDivide(a, b, false));
    L_ByteRem:
        BINARY(byteDivide(a, b, true));
    L_ByteShl:
        BINARY((b & 255) < 32 ? TInt32(TUint32(TInt32(TInt8(a))) << (b & 255)) : 0);
    L_ByteShr:
        BINARY((b & 255) < 32 ? TInt32(TInt8(a)) >> (b & 255) : (TInt8(a) < 0 ? -1 : 0));
    L_Native:
        sp_ = sp;
        pc_ = pc + ip->length - 1;  // natives see the last operand byte
        if (const natives::Function* f = natives::callableFunction(ip->a, TUint8(ip->x))) [[likely]]
            natives::invoke(*f, *this);
        else
            callNative(ip->a, TUint8(ip->x));  // raises what is wrong with the call
        sp = sp_;
        NEXT_AS(Native);
        // The field fusions: any operand out of the ordinary runs the first
        // instruction alone, and the rest fail (or not) where they stand.
#define FIELD_OF(base)                                          \
    const TUint32 field_ = TUint32(base) + TUint32(ip->a) * 4u; \
    if ((base) == 0 || (field_ & 3) != 0 || !mem.contains(field_, 4)) goto L_Unfused
#define LOAD_FIELD(length)                                                                        \
    do {                                                                                          \
        if (sp < 0) goto L_Unfused;                                                               \
        FIELD_OF(s[sp]);                                                                          \
        s[sp] = TInt32(field_); /* first, as fielda leaves it: the field may be this very slot */ \
        s[sp] = TInt32(*mem.uncheckedWord(field_));                                               \
        NEXT_BY(length);                                                                          \
    } while (0)
#define LOAD_LOCAL_FIELD(length)                                   \
    do {                                                           \
        const TInt64 i_ = TInt64(sp) + 1 + ip->x;                  \
        if (sp + 1 >= kStackWords || !inStack(i_)) goto L_Unfused; \
        FIELD_OF(s[i_]);                                           \
        s[++sp] = TInt32(field_);                                  \
        s[sp] = TInt32(*mem.uncheckedWord(field_));                \
        NEXT_BY(length);                                           \
    } while (0)
#define LOAD_GLOBAL(length)                         \
    do {                                            \
        if (sp + 1 >= kStackWords) goto L_Unfused;  \
        FIELD_OF(tables_.globals);                  \
        s[++sp] = TInt32(field_);                   \
        s[sp] = TInt32(*mem.uncheckedWord(field_)); \
        NEXT_BY(length);                            \
    } while (0)
    L_LoadField:
        LOAD_FIELD(3);
    L_LoadFieldWide:
        LOAD_FIELD(6);
    L_LoadLocalField:
        LOAD_LOCAL_FIELD(5);
    L_LoadLocalFieldWide:
        LOAD_LOCAL_FIELD(8);
    L_LoadGlobal:
        LOAD_GLOBAL(4);
    L_LoadGlobalWide:
        LOAD_GLOBAL(7);
#undef LOAD_FIELD
#undef LOAD_LOCAL_FIELD
#undef LOAD_GLOBAL
    L_LoadCellField : {
        const TInt64 i = TInt64(sp) + 1 + ip->x;
        if (sp + 1 >= kStackWords || !inStack(i)) goto L_Unfused;
        const VMAddr cell = VMAddr(s[i]);
        if ((cell & 3) != 0 || !mem.contains(cell, 4)) goto L_Unfused;
        const TInt32 object = TInt32(*mem.uncheckedWord(cell));
        FIELD_OF(object);
        s[++sp] = TInt32(field_);
        s[sp] = TInt32(*mem.uncheckedWord(field_));
        NEXT_BY(4);
    }
#define LOCAL_FIELD_ADDRESS(length)                                              \
    do {                                                                         \
        const TInt64 i_ = TInt64(sp) + 1 + ip->x;                                \
        if (sp + 1 >= kStackWords || !inStack(i_) || s[i_] == 0) goto L_Unfused; \
        s[sp + 1] = TInt32(TUint32(s[i_]) + TUint32(ip->a) * 4u);                \
        ++sp;                                                                    \
        NEXT_BY(length);                                                         \
    } while (0)
#define GLOBAL_ADDRESS(length)                                             \
    do {                                                                   \
        if (sp + 1 >= kStackWords || tables_.globals == 0) goto L_Unfused; \
        s[++sp] = TInt32(TUint32(tables_.globals) + TUint32(ip->a) * 4u);  \
        NEXT_BY(length);                                                   \
    } while (0)
    L_LocalFieldAddr:
        LOCAL_FIELD_ADDRESS(4);
    L_LocalFieldAddrWide:
        LOCAL_FIELD_ADDRESS(7);
    L_GlobalAddr:
        GLOBAL_ADDRESS(3);
    L_GlobalAddrWide:
        GLOBAL_ADDRESS(6);
#undef LOCAL_FIELD_ADDRESS
#undef GLOBAL_ADDRESS
#undef FIELD_OF
    L_InlineElement:
        if (inlineElement(natives::unpackAccess(TUint8(ip->a)))) NEXT_AS(Native);
        goto L_Unfused;
    L_Extension:
        sp_ = sp;
        pc_ = pc + ip->length - 1;
        callExtension(ip->a, TUint8(ip->x));
        sp = sp_;
        NEXT();
    L_ZeroWords:
    L_ZeroWordsW : {
        if (s[sp] == 0) vmerr::raise(vmerr::msg::NullPointer);
        if (ip->a > 0) {
            TUint32 bytes = wordBytes(TUint32(s[sp]), ip->a);
            std::memset(mem.ptr(TUint32(s[sp]), bytes), 0, bytes);
        }
        --sp;
        NEXT();
    }
    L_CopyWords:
    L_CopyWordsW : {
        if (s[sp] == 0 || s[sp - 1] == 0) vmerr::raise(vmerr::msg::NullPointer);
        if (ip->a > 0) {
            TUint32 bytes = wordBytes(TUint32(s[sp]), ip->a);
            TUint8* from = mem.ptr(TUint32(s[sp]), bytes);
            std::memmove(mem.ptr(TUint32(s[sp - 1]), bytes), from, bytes);
        }
        --sp;
        NEXT();
    }
    L_LoadWords:
    L_LoadWordsW : {
        TInt32 n = ip->a;
        if (n < 0) vmerr::raise(vmerr::msg::InvalidWordCount);
        needPop(1);
        if (s[sp] == 0) vmerr::raise(vmerr::msg::NullPointer);
        needPush(TInt64(n) - 1);
        const TUint8* from = n > 0 ? mem.ptr(TUint32(s[sp]), TUint32(n) * 4u) : nullptr;
        if (n == 2) {  // 64-bit values: a fixed-size copy the compiler inlines
            TInt32 w[2];
            std::memcpy(w, from, 8);
            std::memcpy(s + sp, w, 8);
        } else if (n > 0) {
            std::memmove(s + sp, from, size_t(n) * 4);
        }
        sp += n - 1;
        NEXT();
    }
    L_StoreWords:
    L_StoreWordsW : {
        TInt32 n = ip->a;
        if (n < 0) vmerr::raise(vmerr::msg::InvalidWordCount);
        needPop(TInt64(n) + 1);
        TInt32 address = s[sp - n];
        if (address == 0) vmerr::raise(vmerr::msg::NullPointer);
        if (n == 2) {
            TUint8* to = mem.ptr(TUint32(address), 8);
            TInt32 w[2];
            std::memcpy(w, s + sp - 1, 8);
            std::memcpy(to, w, 8);
        } else if (n > 0) {
            std::memmove(mem.ptr(TUint32(address), TUint32(n) * 4u), s + sp - n + 1, size_t(n) * 4);
        }
        sp -= n + 1;
        NEXT();
    }
    L_SignExtendBytes : {
        TInt32 n = ip->a;
        if (n > 0) needPop(n);
        for (TInt32 i = 0; i < n; ++i) s[sp - i] = TInt8(s[sp - i]);
        NEXT();
    }
    L_NewVector : {
        TUint32 handle = TUint32(s[sp]);
        if (handle == 0) vmerr::raise(vmerr::msg::NullPointer);
        TInt32& elementWord = word(handle + 4);
        TInt32& vectorWord = word(handle);
        sync();
        vectorWord = TInt32(newVector(ip->a));
        elementWord = ip->a;
        --sp;
        NEXT();
    }
    L_PushHandler:
        if (handlerTop_ + 1 >= kHandlerSlots) vmerr::raise(vmerr::msg::HandlerStackOverflow);
        ++handlerTop_;
        handlers_[handlerTop_] = {ip->a, sp, handlerAddress(pc, kInstructions[ip->handler], codeWord(pc + 5)),
                                  descriptorStack_.getSize()};
        NEXT();
    L_DropHandlers : {
        TInt32 top = handlerTop_ + ip->a;
        if (top < 0 || top >= kHandlerSlots) vmerr::raise(vmerr::msg::HandlerStackUnderflow);
        handlerTop_ = top;
        NEXT();
    }
    L_Throw : {
        needPop(1);
        if (s[sp] == 0) NEXT();
        sync();
        throwObject(pc + ip->length);
        sp = sp_;
        JUMP(pc_);
    }
    L_Free : {
        VMAddr object = VMAddr(s[sp]);
        if (object != 0) {
            if (!heap_.liveEntry(object)) vmerr::raise(vmerr::msg::InvalidFree);
            heap_.free(object);
        }
        --sp;
        NEXT();
    }
    L_PushGlobals:
        s[++sp] = TInt32(tables_.globals);
        NEXT_AS(PushGlobals);
    L_Box : {
        VMAddr cell = heap_.allocateWords(1, GC_CODE_REFERENCE_CELL);
        *mem.uncheckedWord(cell) = TUint32(s[sp]);
        s[sp] = TInt32(cell);
        NEXT_AS(Box);
    }
    L_BoxPlain : {
        VMAddr cell = heap_.allocateWords(1, GC_CODE_PLAIN);
        *mem.uncheckedWord(cell) = TUint32(s[sp]);
        s[sp] = TInt32(cell);
        NEXT_AS(BoxPlain);
    }
    L_Pack:
    L_PackW : {
        TInt32 n = ip->a;
        if (n < 0) vmerr::raise(vmerr::msg::InvalidWordCount);
        needPop(n);
        needPush(1 - TInt64(n));
        VMAddr block = heap_.allocateWords(TUint32(n), GC_CODE_PLAIN);
        if (n > 0) std::memcpy(mem.unchecked(block), s + sp - n + 1, size_t(n) * 4);
        sp -= n;
        s[++sp] = TInt32(block);
        NEXT();
    }
    L_Ge16:
        BINARY(bool32(lowHalf(a) >= lowHalf(b)));
    L_Gt16:
        BINARY(bool32(lowHalf(a) > lowHalf(b)));
    L_Ne16:
        BINARY(bool32(TUint16(a) != TUint16(b)));
    L_Le16:
        BINARY(bool32(lowHalf(a) <= lowHalf(b)));
    L_Lt16:
        BINARY(bool32(lowHalf(a) < lowHalf(b)));
    L_Eq16:
        BINARY(bool32(TUint16(a) == TUint16(b)));
    L_Store16:
        storeHalf(s[sp - 1], s[sp]);
        sp -= 2;
        NEXT_AS(Store16);
    L_StoreZero16:
        storeHalf(s[sp], 0);
        --sp;
        NEXT_AS(StoreZero16);
    L_Ge8:
        BINARY(bool32(TInt8(a) >= TInt8(b)));
    L_Gt8:
        BINARY(bool32(TInt8(a) > TInt8(b)));
    L_Ne8:
        BINARY(bool32(TUint8(a) != TUint8(b)));
    L_Le8:
        BINARY(bool32(TInt8(a) <= TInt8(b)));
    L_Lt8:
        BINARY(bool32(TInt8(a) < TInt8(b)));
    L_Eq8:
        BINARY(bool32(TUint8(a) == TUint8(b)));
    L_Store8:
        byteAt(s[sp - 1]) = TInt8(s[sp]);
        sp -= 2;
        NEXT_AS(Store8);
    L_StoreZero8:
        byteAt(s[sp]) = 0;
        --sp;
        NEXT_AS(StoreZero8);
    L_ShrMem8:
        MEMORY8(TInt8(b) > 0 ? (TInt8(b) > 7 ? (m < 0 ? -1 : 0) : m >> TInt8(b)) : (TInt8(b) == 0 ? m : 0));
    L_ShlMem8:
        MEMORY8(TInt8(b) > 0 ? (TInt8(b) > 7 ? 0 : TInt32(TUint32(TInt32(m)) << TInt8(b)))
                             : (TInt8(b) == 0 ? m : (m < 0 ? -1 : 0)));
    L_XorMem8:
        MEMORY8(m ^ b);
    L_OrMem8:
        MEMORY8(m | b);
    L_AndMem8:
        MEMORY8(m & b);
    L_RemMem8:
        MEMORY8(byteDivide(m, b, true));
    L_DivMem8:
        MEMORY8(byteDivide(m, b, false));
    L_MulMem8:
        MEMORY8(TInt32(m) * TInt32(TInt8(b)));
    L_SubMem8:
        MEMORY8(TInt32(m) - TInt32(TInt8(b)));
    L_AddMem8:
        MEMORY8(TInt32(m) + TInt32(TInt8(b)));
    L_DecMem8 : {
        TInt8& m = byteAt(s[sp]);
        m = TInt8(m - 1);
        --sp;
        NEXT_AS(DecMem8);
    }
    L_IncMem8 : {
        TInt8& m = byteAt(s[sp]);
        m = TInt8(m + 1);
        --sp;
        NEXT_AS(IncMem8);
    }
    L_AllocToKeep:
    L_AllocTo : {
        if (!isAllocatableGcCode(ip->a)) {
            sync();
            runtimeError(nullptr, pc, CAppsString("Invalid mem alloc gc code"));
        }
        TInt32& target = word(s[sp]);
        VMAddr block = heap_.allocateWords(TUint32(codeWord(pc + 2)), GcCode(ip->a));
        target = levelConvert(TInt8(bytes[pc + 6]), TInt32(block), GC_CODE_REFERENCE_CELL);
        if (ip->handler == row(Op::AllocTo)) --sp;
        NEXT();
    }
    L_FreeCell : {
        VMAddr cell = VMAddr(s[sp]);
        if (cell == 0) vmerr::raise(vmerr::msg::NullPointer);
        VMAddr object = VMAddr(word(cell));
        if (!heap_.liveEntry(cell) || (object != 0 && !heap_.liveEntry(object))) vmerr::raise(vmerr::msg::InvalidFree);
        if (object != 0 && object != cell) heap_.free(object);  // a cell may hold itself
        heap_.free(cell);
        --sp;
        NEXT();
    }
    L_Deref3:
        s[sp] = word(word(word(s[sp])));
        NEXT_AS(Deref3);
    L_Deref2:
        s[sp] = word(word(s[sp]));
        NEXT_AS(Deref2);
// ldlocdNf k, n and ldlocdN k: a local dereferenced N times (plus 4n).
#define LOCAL_DEREF(times, field, op)                                     \
    do {                                                                  \
        TInt32 v_ = s[localIndex(ip->a)];                                 \
        for (TInt32 i_ = 0; i_ < (times); ++i_) v_ = word(v_);            \
        if (field && v_ == 0) vmerr::raise(vmerr::msg::NullPointer);      \
        s[++sp] = field ? TInt32(TUint32(v_) + TUint32(ip->x) * 4u) : v_; \
        NEXT_AS(op);                                                      \
    } while (0)
    L_LocalDeref3Field:
        LOCAL_DEREF(3, true, LocalDeref3Field);
    L_LocalDeref2Field:
        LOCAL_DEREF(2, true, LocalDeref2Field);
    L_LocalDeref1Field:
        LOCAL_DEREF(1, true, LocalDeref1Field);
    L_LocalDeref3:
        LOCAL_DEREF(3, false, LocalDeref3);
    L_LocalDeref2:
        LOCAL_DEREF(2, false, LocalDeref2);
    L_LocalDeref1:
        LOCAL_DEREF(1, false, LocalDeref1);
#undef LOCAL_DEREF

#define LOAD_PUSH_COMPARE_JUMP(op)                                                \
    do {                                                                          \
        TInt64 i_ = TInt64(sp) + 1 + ip->x;                                       \
        if (sp + 2 >= kStackWords || i_ < 0 || i_ >= kStackWords) goto L_Unfused; \
        const TInt32 c_ = codeWord(pc + 3);                                       \
        TInt32 r_ = bool32(s[i_] op c_);                                          \
        s[sp + 1] = r_; /* the scratch words the plain sequence leaves */         \
        s[sp + 2] = c_;                                                           \
        if (r_ == 0) JUMP(ip->a);                                                 \
        NEXT_BY(11);                                                              \
    } while (0)
    L_LtJump:
        LOAD_PUSH_COMPARE_JUMP(<);
    L_LeJump:
        LOAD_PUSH_COMPARE_JUMP(<=);
    L_GtJump:
        LOAD_PUSH_COMPARE_JUMP(>);
    L_GeJump:
        LOAD_PUSH_COMPARE_JUMP(>=);
    L_EqJump:
        LOAD_PUSH_COMPARE_JUMP(==);
    L_NeJump:
        LOAD_PUSH_COMPARE_JUMP(!=);
// A compare (of the two top words, the top and a constant, or the top and a
// local) and the jz after it, leaving the scratch words the plain pair leaves.
#define COMPARE_BRANCH(op, length)                    \
    do {                                              \
        if (sp < 1) goto L_Unfused;                   \
        const TInt32 r_ = bool32(s[sp - 1] op s[sp]); \
        s[sp - 1] = r_;                               \
        sp -= 2;                                      \
        if (r_ == 0) JUMP(ip->a);                     \
        NEXT_BY(length);                              \
    } while (0)
#define OPERAND_COMPARE_BRANCH(op, length, operand)          \
    do {                                                     \
        if (sp < 0 || sp + 1 >= kStackWords) goto L_Unfused; \
        operand;                                             \
        s[sp + 1] = b_;                                      \
        const TInt32 r_ = bool32(s[sp] op b_);               \
        s[sp--] = r_;                                        \
        if (r_ == 0) JUMP(ip->a);                            \
        NEXT_BY(length);                                     \
    } while (0)
#define CONSTANT_COMPARE_BRANCH(op, length) OPERAND_COMPARE_BRANCH(op, length, const TInt32 b_ = codeWord(pc + 1))
#define LOCAL_COMPARE_BRANCH(op, length)                                                                           \
    OPERAND_COMPARE_BRANCH(op, length, const TInt64 i_ = TInt64(sp) + 1 + ip->x; if (!inStack(i_)) goto L_Unfused; \
                           const TInt32 b_ = s[i_])
// The six compares in handler order, with their operators.
#define COMPARE_OPERATORS(X) X(Lt, <) X(Le, <=) X(Gt, >) X(Ge, >=) X(Eq, ==) X(Ne, !=)
#define BRANCH_LABELS(name, op)                                  \
    L_Branch##name : COMPARE_BRANCH(op, 4);                      \
    L_Branch##name##Wide : COMPARE_BRANCH(op, 6);                \
    L_Branch##name##Const : CONSTANT_COMPARE_BRANCH(op, 9);      \
    L_Branch##name##ConstWide : CONSTANT_COMPARE_BRANCH(op, 11); \
    L_Branch##name##Local : LOCAL_COMPARE_BRANCH(op, 6);         \
    L_Branch##name##LocalWide : LOCAL_COMPARE_BRANCH(op, 8);
        COMPARE_OPERATORS(BRANCH_LABELS)
#undef BRANCH_LABELS
#undef COMPARE_OPERATORS
#undef LOCAL_COMPARE_BRANCH
#undef CONSTANT_COMPARE_BRANCH
#undef OPERAND_COMPARE_BRANCH
#undef COMPARE_BRANCH
// ldloca k; incm or decm, leaving the address word the plain pair leaves.
#define STEP_LOCAL(step, length)                                   \
    do {                                                           \
        const TInt64 i_ = TInt64(sp) + 1 + ip->a;                  \
        if (sp + 1 >= kStackWords || !inStack(i_)) goto L_Unfused; \
        s[sp + 1] = TInt32(stackAddr_ + TUint32(i_) * 4u);         \
        s[i_] = TInt32(TUint32(s[i_]) + TUint32(step));            \
        NEXT_BY(length);                                           \
    } while (0)
    L_IncrementLocal:
        STEP_LOCAL(1, 3);
    L_IncrementLocalWide:
        STEP_LOCAL(1, 6);
    L_DecrementLocal:
        STEP_LOCAL(-1, 3);
    L_DecrementLocalWide:
        STEP_LOCAL(-1, 6);
#undef STEP_LOCAL
// ldloca k; push c | ldloc j; <op>m, leaving the scratch words the plain
// sequence leaves; both locals are read after them, as either may be one.
#define INPLACE_OPERATION(expr, failsOnZero, fromLocal, length)                                   \
    do {                                                                                          \
        const TInt64 i_ = TInt64(sp) + 1 + ip->x, j_ = TInt64(sp) + 2 + ip->a;                    \
        if (sp + 2 >= kStackWords || !inStack(i_) || (fromLocal && !inStack(j_))) goto L_Unfused; \
        s[sp + 1] = TInt32(stackAddr_ + TUint32(i_) * 4u);                                        \
        s[sp + 2] = fromLocal ? s[j_] : ip->a;                                                    \
        const TInt32 m = s[i_], b = s[sp + 2];                                                    \
        if (failsOnZero && b == 0) goto L_Unfused;                                                \
        s[i_] = (expr);                                                                           \
        NEXT_BY(length);                                                                          \
    } while (0)
#define INPLACE_CONSTANT_LABEL(name, result, failsOnZero, unused) \
    L_##name##Const : INPLACE_OPERATION(result, false, false, 8); \
    L_##name##ConstWide : INPLACE_OPERATION(result, false, false, 11);
        MCB_INPLACE_OPERATIONS(INPLACE_CONSTANT_LABEL, )
#undef INPLACE_CONSTANT_LABEL
#define INPLACE_LOCAL_LABEL(name, result, failsOnZero, unused)         \
    L_##name##Local : INPLACE_OPERATION(result, failsOnZero, true, 5); \
    L_##name##LocalWide : INPLACE_OPERATION(result, failsOnZero, true, 11);
        MCB_INPLACE_OPERATIONS(INPLACE_LOCAL_LABEL, )
#undef INPLACE_LOCAL_LABEL
#undef INPLACE_OPERATION
// ldloc k; push c; <op>, leaving the constant's scratch word.
#define LOCAL_CONSTANT_OPERATION(expr, length)                     \
    do {                                                           \
        const TInt64 i_ = TInt64(sp) + 1 + ip->x;                  \
        if (sp + 2 >= kStackWords || !inStack(i_)) goto L_Unfused; \
        const TInt32 a = s[i_], b = ip->a;                         \
        s[sp + 2] = b;                                             \
        s[++sp] = (expr);                                          \
        NEXT_BY(length);                                           \
    } while (0)
#define LOCAL_CONSTANT_LABEL(name, result, failsOnZero, unused) \
    L_##name##LocalConst : LOCAL_CONSTANT_OPERATION(result, 8); \
    L_##name##LocalConstWide : LOCAL_CONSTANT_OPERATION(result, 11);
        MCB_OPERAND_OPERATIONS(LOCAL_CONSTANT_LABEL, )
#undef LOCAL_CONSTANT_LABEL
#undef LOCAL_CONSTANT_OPERATION
#define COPY_LOCAL(length)                                                         \
    do {                                                                           \
        TInt64 i_ = TInt64(sp) + 1 + ip->a, j_ = TInt64(sp) + 2 + ip->x;           \
        if (sp + 2 >= kStackWords || !inStack(i_) || !inStack(j_)) goto L_Unfused; \
        s[sp + 1] = TInt32(stackAddr_ + TUint32(i_) * 4u);                         \
        s[sp + 2] = s[j_];                                                         \
        s[i_] = s[sp + 2];                                                         \
        NEXT_BY(length);                                                           \
    } while (0)
    L_CopyLocal:
        COPY_LOCAL(5);
    L_CopyLocalWide:
        COPY_LOCAL(11);
#undef COPY_LOCAL
// ldloc j | ldloca j; ldloc k: k counts from the stack top after the first push.
#define TWO_LOCALS(length)                                                         \
    do {                                                                           \
        const TInt64 i_ = TInt64(sp) + 1 + ip->a, j_ = TInt64(sp) + 2 + ip->x;     \
        if (sp + 2 >= kStackWords || !inStack(i_) || !inStack(j_)) goto L_Unfused; \
        s[sp + 1] = s[i_];                                                         \
        s[sp + 2] = s[j_]; /* after the first push: j may be that slot */          \
        sp += 2;                                                                   \
        NEXT_BY(length);                                                           \
    } while (0)
#define ADDRESS_AND_LOCAL(length)                                                  \
    do {                                                                           \
        const TInt64 j_ = TInt64(sp) + 2 + ip->x;                                  \
        if (sp + 2 >= kStackWords || !inStack(j_)) goto L_Unfused;                 \
        s[sp + 1] = TInt32(stackAddr_ + (TUint32(sp) + 1u + TUint32(ip->a)) * 4u); \
        s[sp + 2] = s[j_];                                                         \
        sp += 2;                                                                   \
        NEXT_BY(length);                                                           \
    } while (0)
    L_TwoLocals:
        TWO_LOCALS(4);
    L_TwoLocalsWide:
        TWO_LOCALS(10);
    L_AddressAndLocal:
        ADDRESS_AND_LOCAL(4);
    L_AddressAndLocalWide:
        ADDRESS_AND_LOCAL(10);
#undef TWO_LOCALS
#undef ADDRESS_AND_LOCAL
// The jump's own transfer is spent first; the test then runs as at its target.
#define JUMP_TO_COMPARE(op)                                                                       \
    do {                                                                                          \
        const PreparedInstruction& test_ = code[ip->a];                                           \
        TInt64 i_ = TInt64(sp) + 1 + test_.x;                                                     \
        if (sp + 2 >= kStackWords || i_ < 0 || i_ >= kStackWords || budget_ >= 0) goto L_Unfused; \
        const TInt32 c_ = codeWord(ip->a + 3);                                                    \
        TInt32 r_ = bool32(s[i_] op c_);                                                          \
        s[sp + 1] = r_;                                                                           \
        s[sp + 2] = c_;                                                                           \
        pc = ip->a;                                                                               \
        if (r_ == 0) JUMP(test_.a);                                                               \
        NEXT_BY(11);                                                                              \
    } while (0)
    L_JumpToLt:
        JUMP_TO_COMPARE(<);
    L_JumpToLe:
        JUMP_TO_COMPARE(<=);
    L_JumpToGt:
        JUMP_TO_COMPARE(>);
    L_JumpToGe:
        JUMP_TO_COMPARE(>=);
    L_JumpToEq:
        JUMP_TO_COMPARE(==);
    L_JumpToNe:
        JUMP_TO_COMPARE(!=);
// ldloca a; incm; jmp T where T holds a fused test; b = T. The plain sequence's
// writes happen in its order, so overlapping slots end as they would.
#define STEP_TO_COMPARE(op)                                                                                      \
    do {                                                                                                         \
        const PreparedInstruction& test_ = code[ip->a];                                                          \
        TInt64 i_ = TInt64(sp) + 1 + ip->x, j_ = TInt64(sp) + 1 + test_.x;                                       \
        if (sp + 2 >= kStackWords || i_ < 0 || i_ >= kStackWords || j_ < 0 || j_ >= kStackWords || budget_ >= 0) \
            goto L_Unfused;                                                                                      \
        const TInt32 c_ = codeWord(ip->a + 3);                                                                   \
        s[sp + 1] = TInt32(stackAddr_ + TUint32(i_) * 4u);                                                       \
        s[i_] = TInt32(TUint32(s[i_]) + 1u);                                                                     \
        TInt32 r_ = bool32(s[j_] op c_);                                                                         \
        s[sp + 1] = r_;                                                                                          \
        s[sp + 2] = c_;                                                                                          \
        pc = ip->a;                                                                                              \
        if (r_ == 0) JUMP(test_.a);                                                                              \
        NEXT_BY(11);                                                                                             \
    } while (0)
    L_StepToLt:
        STEP_TO_COMPARE(<);
    L_StepToLe:
        STEP_TO_COMPARE(<=);
    L_StepToGt:
        STEP_TO_COMPARE(>);
    L_StepToGe:
        STEP_TO_COMPARE(>=);
    L_StepToEq:
        STEP_TO_COMPARE(==);
    L_StepToNe:
        STEP_TO_COMPARE(!=);
// push c; <op>: the plain pair leaves c in the word above the result.
#define CONSTANT_OPERATION(expr)                             \
    do {                                                     \
        if (sp < 0 || sp + 1 >= kStackWords) goto L_Unfused; \
        const TInt32 a = s[sp], b = ip->a;                   \
        s[sp + 1] = b;                                       \
        s[sp] = (expr);                                      \
        NEXT_BY(6);                                          \
    } while (0)
#define CONSTANT_LABEL(name, result, failsOnZero, unused) L_##name##Const : CONSTANT_OPERATION(result);
        MCB_OPERAND_OPERATIONS(CONSTANT_LABEL, )
#undef CONSTANT_LABEL
// ldloc k; <op>: the plain pair leaves the local's value in the word above the result.
#define LOCAL_OPERATION(expr, failsOnZero, length)                           \
    do {                                                                     \
        const TInt64 i_ = TInt64(sp) + 1 + ip->x;                            \
        if (sp < 0 || sp + 1 >= kStackWords || !inStack(i_)) goto L_Unfused; \
        const TInt32 a = s[sp], b = s[i_];                                   \
        if (failsOnZero && b == 0) goto L_Unfused;                           \
        s[sp + 1] = b;                                                       \
        s[sp] = (expr);                                                      \
        NEXT_BY(length);                                                     \
    } while (0)
#define LOCAL_LABEL(name, result, failsOnZero, unused)         \
    L_##name##Local : LOCAL_OPERATION(result, failsOnZero, 3); \
    L_##name##LocalWide : LOCAL_OPERATION(result, failsOnZero, 6);
        MCB_OPERAND_OPERATIONS(LOCAL_LABEL, )
#undef LOCAL_LABEL
    L_Unfused:
        unfused = PreparedCode::plainAt(bytes, codeSize, pc);
        ip = &unfused;
        goto* kLabels[ip->handler];

    L_InvalidOpcode:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: invalid opcode ").appendDecimal(ip->a));
    L_CutOff:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: instruction cut off by the end of the code"));
    L_EndOfCode:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: execution ran past the end of the code"));
    L_StackFault:
        vmerr::raise(sp < kStackBounds.lo[ip->handler] ? vmerr::msg::StackUnderflow : vmerr::msg::StackOverflow);
    L_JumpOutside:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: jump outside the code"));
    L_CallOutside:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: call outside the code"));
    L_ReturnOutside:
        sync();
        runtimeError(nullptr, pc, CAppsString("Internal error: return outside the code"));
    L_OutOfBudget:
        sync();
        runtimeError(nullptr, pc, CAppsString("Instruction budget exhausted"));
    } catch (...) {
        // Errors leave the machine at the failing instruction, its last operand
        // byte being the program counter, as for natives.
        sp_ = sp;
        // (the plain entry: a fused one may have fallen back to its first instruction)
        if (pc >= 0 && pc < codeSize) pc_ = pc + PreparedCode::plainAt(bytes, codeSize, pc).length - 1;
        throw;
    }
#undef DISPATCH
#undef NEXT
#undef NEXT_BY
#undef NEXT_AS
#undef LOAD_LOCAL
#undef LOCAL_ADDRESS
#undef FIELD_ADDRESS
#undef LOAD_PUSH_COMPARE_JUMP
#undef JUMP_TO_COMPARE
#undef STEP_TO_COMPARE
#undef CONSTANT_OPERATION
#undef LOCAL_OPERATION
#undef JUMP
#undef BINARY
#undef MEMORY
#undef MEMORY8
}

}  // namespace mcb
