// Test helpers: an image encoder, an instruction emitter, a sample image filling every section.
#pragma once

#include "vm/ImageFile.h"
#include "vm/Instructions.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcb {

namespace testimg {

struct Bytes {
    Bytes& i32(TInt32 v) { return coded(4, v); }
    Bytes& coded(int width, TInt32 v) {  // little-endian
        for (int i = 0; i < width; ++i) out.push_back(TUint8(TUint32(v) >> (8 * i)));
        return *this;
    }
    template <typename C> Bytes& raw(const C& s) { return out.insert(out.end(), s.begin(), s.end()), *this; }
    Bytes& counted(const std::string& s) { return i32(TInt32(s.size())).raw(s); }
    std::vector<TUint8> out;
};

inline const std::string kIdentifier = "0123456789abcdefghij";

// Every section empty and all widths 4.
inline ImageFile emptyImage(const std::string& identifier = kIdentifier) {
    ImageFile f;
    std::memcpy(f.identifier.data(), identifier.data(), kImageIdentifierLength);
    f.widths.fill(4);
    return f;
}

inline void encodeIndices(Bytes& b, int width, const std::vector<TInt32>& v) {
    b.i32(TInt32(v.size()));
    for (TInt32 x : v) b.coded(width, x);
}
inline void encodeSlots(Bytes& b, int width, const std::vector<ImageArraySlot>& slots) {
    b.i32(TInt32(slots.size()));
    for (const auto& s : slots) b.coded(1, s.flag).coded(width, s.index);
}

inline std::vector<TUint8> encode(const ImageFile& f) {
    Bytes b;
    const auto& w = f.widths;
    b.coded(1, kImageIdentifierLength).raw(f.identifier).coded(1, 0xFF).coded(1, 0xFF).raw(w);
    b.i32(TInt32(f.globalMethods.size()));
    for (const auto& m : f.globalMethods)
        b.counted(m.name).coded(w[kWidthCodeAddress], m.codeAddress).coded(w[kWidthDescriptor], m.descriptor);
    b.i32(TInt32(f.selectors.size()));
    for (const auto& s : f.selectors) {
        b.counted(s.name).coded(w[kWidthImplementationCount], TInt32(s.implementations.size()));
        for (const auto& i : s.implementations)
            b.coded(w[kWidthClassIndex], i.classIndex)
                .coded(w[kWidthCodeAddress], i.codeAddress)
                .coded(w[kWidthDescriptor], i.descriptor);
    }
    b.i32(f.globalCount).i32(TInt32(f.classes.size()));
    for (const auto& c : f.classes) {
        b.coded(1, c.fieldWidth);
        encodeIndices(b, c.fieldWidth, c.referenceFields);
        encodeSlots(b, c.fieldWidth, c.arrayFields);
        b.coded(w[kWidthSuperclassPresent], c.superclassPresent);
        if (c.superclassPresent != 0) b.coded(w[kWidthClassIndex], c.superclass);
        b.coded(w[kWidthTrailingCount], TInt32(c.trailing.size()));
        for (TInt32 x : c.trailing) b.coded(w[kWidthClassIndex], x);
    }
    b.i32(TInt32(f.descriptors.size()));
    for (const auto& d : f.descriptors) {
        b.coded(1, d.slotWidth).coded(w[kWidthFirstLength], d.firstLength);
        encodeIndices(b, d.slotWidth, d.possibleReferenceSlots);
        encodeSlots(b, d.slotWidth, d.arraySlots);
        b.coded(w[kWidthSecondLength], d.secondLength).coded(w[kWidthThirdLength], d.thirdLength);
        encodeIndices(b, d.slotWidth, d.referenceSlots);
        encodeSlots(b, d.slotWidth, d.twoWordArraySlots);
    }
    b.i32(TInt32(f.strings.size()));
    for (const auto& s : f.strings) b.counted(s);
    return b.raw(f.code).out;
}

// Emits instructions with the operand widths of the table.
struct Code {
    Code& op(Op op, std::initializer_list<TInt32> operands = {}) {
        const InstructionInfo* row = findInstruction(op);
        if (!row || operands.size() != row->operandCount) throw std::logic_error("bad operands");
        byte(row->opcode);
        const auto* operand = row->operands.begin();
        for (TInt32 v : operands) {
            const int width = (operand++)->width;
            for (int k = 0; k < width; ++k) bytes.push_back(TUint8(TUint32(v) >> (8 * k)));
        }
        return *this;
    }
    Code& byte(int b) {
        offsets.push_back(bytes.size());
        bytes.push_back(TUint8(b));
        return *this;
    }
    std::vector<TUint8> bytes;
    std::vector<size_t> offsets;  // start of each instruction
};

// Instructions 1-8 carry the operands the loader relocates.
inline Code sampleCode() {
    Code c;
    c.op(Op::Nop).op(Op::Call, {7, 1}).op(Op::Call, {7, -1}).op(Op::CallVirtual, {0}).op(Op::CallVirtual, {1});
    c.op(Op::LoadString, {3}).op(Op::SetClass, {2}).op(Op::PushHandler, {1, 5}).op(Op::PushHandler, {-1, 9});
    c.op(Op::JumpW, {-3}).op(Op::Jump, {-7}).op(Op::JumpIfZero, {4}).op(Op::Native, {8, 135});
    c.op(Op::Extension, {20, 11}).op(Op::Push, {42}).op(Op::Push64, {1, 2}).op(Op::Alloc, {2, 3});
    c.op(Op::AllocTo, {2, 1, 1}).op(Op::LocalDeref1Field, {-2, 3});
    c.byte(56).byte(0xFF).byte(0xFF);  // invalid opcodes take no operands
    return c.op(Op::Return, {1, 2});
}

// Every value fits in one unsigned byte, so any header width can hold it.
inline ImageFile sampleImage(TUint8 width = 4, const std::string& identifier = kIdentifier) {
    ImageFile f = emptyImage(identifier);
    f.widths.fill(width);
    f.globalMethods = {{"main", 0, 0}, {"::global::init", 5, 1}};
    f.selectors = {{"<application>.draw to<canvas>", {{0, 10, 1}, {2, 20, 1}}}, {"main", {{1, 30, 0}}}};
    f.globalCount = 2;
    // {width, reference fields, array fields, superclass present, superclass, trailing}
    f.classes = {{1, {1, 2}, {{kArrayFlagReferences, 3}}, 0, 0, {1}},
                 {2, {300}, {{kArrayFlagPlain, 4}}, 1, 0, {}},
                 {4, {70000}, {}, 1, 1, {}}};
    // {width, first length, possible references, arrays, second, third, references, two-word arrays}
    f.descriptors = {{1, 2, {1}, {{kArrayFlagReferences, 2}}, 3, 4, {5, 6}, {{kArrayFlagPlain, 7}}},
                     {2, 1, {}, {}, 0, 0, {400}, {}}};
    f.strings = {"hello", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", ""};
    f.code = sampleCode().bytes;
    return f;
}

}  // namespace testimg

}  // namespace mcb
