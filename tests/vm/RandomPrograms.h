// Seeded random programs for the random-code and differential tests: valid
// instructions with random operands (or raw bytes) in random tables around
// them. A program is a list of instructions whose jump operands may name other
// instructions of the list; encode() lays it out and resolves them.
#pragma once

#include "../support/TestHost.h"
#include "ImageBuilder.h"

#include "heap/GcCode.h"
#include "vm/ImageFile.h"
#include "vm/Instructions.h"

#include <array>
#include <initializer_list>
#include <random>
#include <vector>

namespace mcb::randomprog {

using Random = std::mt19937;
using Bytes = std::vector<TUint8>;

// Table sizes of every random image, so that random operands can name entries.
constexpr TInt32 kClasses = 4, kDescriptors = 5, kSelectors = 2, kStrings = 3;

inline TInt32 uniform(Random& rng, TInt32 lo, TInt32 hi) { return std::uniform_int_distribution<TInt32>(lo, hi)(rng); }
inline bool chance(Random& rng, int percent) { return uniform(rng, 0, 99) < percent; }
inline TInt32 pick(Random& rng, std::initializer_list<TInt32> values) {
    return *(values.begin() + uniform(rng, 0, TInt32(values.size()) - 1));
}
inline TInt32 anyStart(Random& rng, const std::vector<TInt32>& starts) {
    return starts.empty() ? 0 : starts[size_t(uniform(rng, 0, TInt32(starts.size()) - 1))];
}
inline std::vector<TInt32> someOffsets(Random& rng, TInt32 lo, TInt32 hi) {
    std::vector<TInt32> v(size_t(uniform(rng, 0, 3)));
    for (TInt32& o : v) o = chance(rng, 95) ? uniform(rng, lo, hi) : pick(rng, {-100000, 100000, 0x7FFFFFFF});
    return v;
}
inline std::vector<ImageArraySlot> someFlagged(Random& rng, TInt32 lo, TInt32 hi) {
    std::vector<ImageArraySlot> v;
    for (TInt32 o : someOffsets(rng, lo, hi)) v.push_back({TUint8(chance(rng, 50) ? 255 : 0), o});
    return v;
}
inline TInt32 length(Random& rng) { return chance(rng, 97) ? uniform(rng, 0, 4) : pick(rng, {-3, 200, 20000, -20000}); }
inline bool isAlloc(TInt32 opcode) {
    return opcode == TInt8(Op::Alloc) || opcode == TInt8(Op::AllocTo) || opcode == TInt8(Op::AllocToKeep);
}

// Classes, descriptors, strings, selectors and exported methods ("main" at 0,
// sometimes the initialiser and the throw routines, at instruction starts)
// around the code. The throw routine is appended to the code and resumes after
// the failing instruction or throws an instance.
inline ImageFile randomImageFile(Random& rng, Bytes code, const std::vector<TInt32>& starts) {
    ImageFile image = testimg::emptyImage();
    image.code = std::move(code);
    image.globalCount = uniform(rng, 0, 8);
    for (TInt32 i = 0; i < kClasses; ++i) {
        ImageClass& c = image.classes.emplace_back();
        c.referenceFields = someOffsets(rng, 0, 5);
        c.arrayFields = someFlagged(rng, 0, 5);
        if (i > 0 && chance(rng, 60)) c.superclassPresent = 1, c.superclass = uniform(rng, 0, i - 1);
    }
    for (TInt32 i = 0; i < kDescriptors; ++i) {
        ImageDescriptor& d = image.descriptors.emplace_back();
        d.firstLength = length(rng);
        d.secondLength = chance(rng, 70) ? 0 : length(rng);
        d.thirdLength = length(rng);
        d.possibleReferenceSlots = someOffsets(rng, -2, 8);
        d.arraySlots = someFlagged(rng, -2, 8);
        d.referenceSlots = someOffsets(rng, -2, 8);
        d.twoWordArraySlots = someFlagged(rng, -2, 8);
    }
    image.strings = {"", "text", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"};
    auto descriptor = [&] { return chance(rng, 90) ? uniform(rng, 0, kDescriptors - 1) : -1; };
    auto& methods = image.globalMethods;
    methods.push_back({"main", 0, descriptor()});
    if (chance(rng, 85)) {
        TInt32 at = TInt32(image.code.size());
        std::vector<TInt32> routine = {TInt8(Op::Return), 0, 0, 0, 0, 3, 0, 0, 0};  // ret 0, 3
        if (!chance(rng, 50)) {  // or alloc 1, 1; dup; setclass C; throw
            const TInt32 c = uniform(rng, 0, kClasses - 1);
            routine = {TInt8(Op::Alloc), 1, 1, 0, 0, 0, TInt8(Op::Dup), TInt8(Op::SetClass), c, 0, 0, 0,
                       TInt8(Op::Throw)};
        }
        for (TInt32 b : routine) image.code.push_back(TUint8(b));
        methods.push_back({"vminternalthrow<int>,<string>", at, descriptor()});
    }
    if (chance(rng, 40)) methods.push_back({"vmprintthrowableandexit<throwable>", anyStart(rng, starts), descriptor()});
    if (chance(rng, 20)) methods.push_back({"::global::init", anyStart(rng, starts), descriptor()});
    for (TInt32 s = 0; s < kSelectors; ++s) {
        ImageSelector selector{s == 0 ? "<*application>.exit event" : "<thing>.poke", {}};
        for (TInt32 c = 0; c < kClasses; ++c)
            if (chance(rng, 70)) selector.implementations.push_back({c, anyStart(rng, starts), descriptor()});
        image.selectors.push_back(selector);
    }
    return image;
}

// Makes `extcall 1, 1` of random code ask the machine for a collection, counted in `collections`.
inline void collectOnRequest(TestHost& host, VirtualMachine& vm, TInt64* collections = nullptr) {
    host.vm = &vm;
    host.extensions[1] = [&host, &vm, collections](TInt32 f, TInt32 sp, TInt32* stack) {
        if (f != 1) return host.unknown(1, f, sp, stack);
        vm.gc();
        if (collections) ++*collections;
        return sp;
    };
}

inline Bytes randomImage(Random& rng, Bytes code, const std::vector<TInt32>& starts) {
    return testimg::encode(randomImageFile(rng, std::move(code), starts));
}

inline Bytes randomBytes(Random& rng, std::vector<TInt32>& starts) {
    Bytes code(size_t(uniform(rng, 1, 160)));
    for (TUint8& b : code) b = TUint8(uniform(rng, 0, 255));
    starts.resize(code.size());
    for (size_t i = 0; i < code.size(); ++i) starts[i] = TInt32(i);
    return code;
}

inline TInt32 smallInt(Random& rng, const mcb::OperandInfo& o) {
    if (o.width == 1)
        return chance(rng, 80) ? uniform(rng, -6, 6) : uniform(rng, o.isSigned ? -128 : 0, o.isSigned ? 127 : 255);
    if (chance(rng, 75)) return uniform(rng, -8, 32);
    if (chance(rng, 70))
        return pick(rng, {0x7FFFFFFF, TInt32(0x80000000), 0x40000001, -1, 65536, 15255, 15256, -15256});
    return TInt32(rng());
}

// Mostly meaningful: jumps and calls to instruction starts (`target`, an
// instruction index below `count`, or `count` for the end of the code), indices
// of the image's tables, small counts.
inline TInt32 operand(Random& rng, const mcb::InstructionInfo& row, TInt32 i, TInt32& target, TInt32 count) {
    const mcb::OperandInfo& o = row.operands[size_t(i)];
    switch (o.kind) {
        case OperandKind::JumpOffset:
        case OperandKind::HandlerOffset:
        case OperandKind::CodeAddress:
            if (!chance(rng, 90)) return smallInt(rng, o);
            target = uniform(rng, 0, count);
            return 0;
        case OperandKind::Descriptor: return chance(rng, 95) ? uniform(rng, -1, kDescriptors - 1) : kDescriptors + 3;
        case OperandKind::Selector: return uniform(rng, 0, kSelectors - 1);
        case OperandKind::StringIndex:
            return chance(rng, 95) ? uniform(rng, 0, kStrings - 1) : pick(rng, {kStrings, -1});
        case OperandKind::ClassIndex: return chance(rng, 95) ? uniform(rng, 0, kClasses - 1) : pick(rng, {-1, 50});
        case OperandKind::HandlerClass: return uniform(rng, -1, kClasses - 1);
        case OperandKind::GcCode: return chance(rng, 95) ? uniform(rng, 1, 17) : pick(rng, {0, 8, 18, -1});
        case OperandKind::Level: return chance(rng, 95) ? uniform(rng, -3, 3) : pick(rng, {4, -4, 100});
        case OperandKind::ElementSize: return chance(rng, 90) ? pick(rng, {1, 4, 8, 12, 16}) : pick(rng, {0, 2, 3, -1});
        case OperandKind::NativeGroup: return chance(rng, 95) ? uniform(rng, 1, 36) : pick(rng, {0, 37, -1});
        case OperandKind::NativeFunction: return chance(rng, 90) ? uniform(rng, 0, 40) : uniform(rng, 0, 255);
        case OperandKind::Extension: return chance(rng, 40) ? 1 : pick(rng, {20, 27, 28, 30, 36, 37, 99});
        case OperandKind::ExtensionFunction: return chance(rng, 70) ? 1 : uniform(rng, 0, 10);
        case OperandKind::Int: break;
    }
    return isAlloc(row.opcode) && i == 1 ? uniform(rng, 0, 12) : smallInt(rng, o);
}

// An instruction of a program; `target[i] >= 0` makes operand i the address
// of that instruction (an index into the program) instead of `operands[i]`.
struct Instruction {
    const mcb::InstructionInfo* row;
    std::array<TInt32, 3> operands{};
    std::array<TInt32, 3> target{-1, -1, -1};
};
using Program = std::vector<Instruction>;

inline void add(Program& p, Op op, TInt32 a = 0, TInt32 b = 0) { p.push_back({mcb::findInstruction(op), {a, b, 0}}); }

// A prologue that usually leaves words, an instance, a string and an object
// array on the stack, so that most programs get past their first instructions.
inline void addPrologue(Random& rng, Program& p) {
    if (!chance(rng, 80)) return;
    add(p, Op::AdjustStack, uniform(rng, 0, 4));
    add(p, Op::PushGlobals);
    add(p, Op::Alloc, GC_CODE_INSTANCE, 4), add(p, Op::Dup), add(p, Op::SetClass, uniform(rng, 0, kClasses - 1));
    add(p, Op::LoadString, uniform(rng, 0, kStrings - 1));
    add(p, Op::Alloc, GC_CODE_OBJECT_ARRAY, 2), add(p, Op::Dup), add(p, Op::NewVector, 4);
}

// Any row with random operands, jumps aiming below `count`; rows that give later
// instructions something to work on are picked more often.
inline Instruction randomInstruction(Random& rng, TInt32 count) {
    Instruction in{
        chance(rng, 35)
            ? mcb::findInstruction(TInt8(
                  pick(rng, {TInt32(Op::Push), TInt32(Op::PushGlobals), TInt32(Op::LoadLocal), TInt32(Op::LocalAddr),
                             TInt32(Op::Alloc), TInt32(Op::Dup), TInt32(Op::FieldAddr), TInt32(Op::Extension),
                             TInt32(Op::LoadString), TInt32(Op::Box), TInt32(Op::Store), TInt32(Op::Call)})))
            : &mcb::kInstructions[uniform(rng, 0, mcb::kInstructionCount - 1)]};
    for (TInt32 i = 0; i < in.row->operandCount; ++i)
        in.operands[size_t(i)] = operand(rng, *in.row, i, in.target[size_t(i)], count);
    return in;
}

// The code of a program, with the offset of each instruction in `starts`.
inline Bytes encode(const Program& list, std::vector<TInt32>& starts) {
    starts.clear();
    TInt32 at = 0;
    for (const Instruction& in : list) {
        starts.push_back(at);
        at += 1 + mcb::operandLength(*in.row);
    }
    starts.push_back(at);  // the end of the code
    Bytes code;
    for (size_t k = 0; k < list.size(); ++k) {
        const Instruction& in = list[k];
        TInt32 last = starts[k] + mcb::operandLength(*in.row);
        code.push_back(TUint8(in.row->opcode));
        for (TInt32 i = 0; i < in.row->operandCount; ++i) {
            const mcb::OperandInfo& o = in.row->operands[size_t(i)];
            TInt32 v = in.operands[size_t(i)];
            if (TInt32 t = in.target[size_t(i)]; t >= 0) {
                TInt32 a = starts[size_t(t)];
                v = o.kind == OperandKind::CodeAddress     ? a
                    : o.kind == OperandKind::HandlerOffset ? a - last - 1
                                                           : a - last;
                if (o.width == 2 && (v < -32768 || v > 32767)) v = 0;
            }
            for (TInt32 b = 0; b < o.width; ++b) code.push_back(TUint8(TUint32(v) >> (8 * b)));
        }
    }
    starts.pop_back();
    return code;
}

// Up to 90 random instructions after the prologue.
inline Bytes randomInstructions(Random& rng, std::vector<TInt32>& starts) {
    TInt32 count = uniform(rng, 1, 90);
    Program list;
    addPrologue(rng, list);
    count += TInt32(list.size());
    for (TInt32 n = TInt32(list.size()); n < count; ++n) list.push_back(randomInstruction(rng, count));
    return encode(list, starts);
}

// Lowers the word counts of allocations met on a linear walk of the code from
// `from`, so that a run does not commit gigabytes of VM memory (allowed, only slow).
inline void tameAllocations(Bytes& code, size_t from = 0) {
    for (size_t at = from; at < code.size();) {
        const mcb::InstructionInfo* row = mcb::findInstruction(TInt8(code[at]));
        size_t length = row ? 1 + size_t(mcb::operandLength(*row)) : 1;
        if (at + length > code.size()) break;
        if (row && isAlloc(row->opcode) && (code[at + 4] | code[at + 5]) != 0) {  // 2^16 words or more
            code[at + 4] = code[at + 5] = 0;
            code[at + 3] &= 0x0F;
        }
        at += length;
    }
}

}  // namespace mcb::randomprog
