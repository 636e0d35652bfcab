// Test helpers that write bytecode images byte by byte: an encoder for a whole
// ImageFile (honouring its header and record widths) and a code emitter that
// lays out instructions from the instruction table.
#pragma once

#include "vm/ImageFile.h"
#include "vm/Instructions.h"

#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace testimg {

class Bytes {
public:
    Bytes& u8(int v) {
        out.push_back(TUint8(v));
        return *this;
    }
    Bytes& i32(TInt32 v) { return coded(4, v); }
    // Little-endian, `width` bytes of v.
    Bytes& coded(int width, TInt32 v) {
        for (int i = 0; i < width; ++i) out.push_back(TUint8(TUint32(v) >> (8 * i)));
        return *this;
    }
    Bytes& raw(const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& raw(const std::vector<TUint8>& v) {
        out.insert(out.end(), v.begin(), v.end());
        return *this;
    }
    Bytes& counted(const std::string& s) { return i32(TInt32(s.size())).raw(s); }

    std::vector<TUint8> out;
};

inline const std::string kIdentifier = "0123456789abcdefghij";

// A small image with every section empty and all widths 4.
inline ImageFile emptyImage(const std::string& identifier = kIdentifier) {
    ImageFile f;
    std::memcpy(f.identifier.data(), identifier.data(), kImageIdentifierLength);
    f.widths.fill(4);
    return f;
}

inline void encodeSlots(Bytes& b, int width, const std::vector<ImageArraySlot>& slots) {
    b.i32(TInt32(slots.size()));
    for (const auto& s : slots) b.u8(s.flag).coded(width, s.index);
}

inline void encodeIndices(Bytes& b, int width, const std::vector<TInt32>& v) {
    b.i32(TInt32(v.size()));
    for (TInt32 x : v) b.coded(width, x);
}

inline void encodeClass(Bytes& b, const ImageFile& f, const ImageClass& c) {
    b.u8(c.fieldWidth);
    encodeIndices(b, c.fieldWidth, c.referenceFields);
    encodeSlots(b, c.fieldWidth, c.arrayFields);
    b.coded(f.widths[kWidthSuperclassPresent], c.superclassPresent);
    if (c.superclassPresent != 0) b.coded(f.widths[kWidthClassIndex], c.superclass);
    b.coded(f.widths[kWidthTrailingCount], TInt32(c.trailing.size()));
    for (TInt32 x : c.trailing) b.coded(f.widths[kWidthClassIndex], x);
}

inline void encodeDescriptor(Bytes& b, const ImageFile& f, const ImageDescriptor& d) {
    b.u8(d.slotWidth).coded(f.widths[kWidthFirstLength], d.firstLength);
    encodeIndices(b, d.slotWidth, d.possibleReferenceSlots);
    encodeSlots(b, d.slotWidth, d.arraySlots);
    b.coded(f.widths[kWidthSecondLength], d.secondLength);
    b.coded(f.widths[kWidthThirdLength], d.thirdLength);
    encodeIndices(b, d.slotWidth, d.referenceSlots);
    encodeSlots(b, d.slotWidth, d.twoWordArraySlots);
}

// Writes `f` in the file layout; the inverse of parseImage.
inline std::vector<TUint8> encode(const ImageFile& f) {
    Bytes b;
    b.u8(kImageIdentifierLength).raw(std::vector<TUint8>(f.identifier.begin(), f.identifier.end()));
    b.u8(0xFF).u8(0xFF);
    for (TUint8 w : f.widths) b.u8(w);
    const auto& w = f.widths;
    b.i32(TInt32(f.globalMethods.size()));
    for (const auto& m : f.globalMethods)
        b.counted(m.name)
            .coded(w[kWidthCodeAddress], m.codeAddress)
            .coded(w[kWidthDescriptor], m.descriptor);
    b.i32(TInt32(f.selectors.size()));
    for (const auto& s : f.selectors) {
        b.counted(s.name).coded(w[kWidthImplementationCount], TInt32(s.implementations.size()));
        for (const auto& i : s.implementations)
            b.coded(w[kWidthClassIndex], i.classIndex)
                .coded(w[kWidthCodeAddress], i.codeAddress)
                .coded(w[kWidthDescriptor], i.descriptor);
    }
    b.i32(f.globalCount);
    b.i32(TInt32(f.classes.size()));
    for (const auto& c : f.classes) encodeClass(b, f, c);
    b.i32(TInt32(f.descriptors.size()));
    for (const auto& d : f.descriptors) encodeDescriptor(b, f, d);
    b.i32(TInt32(f.strings.size()));
    for (const auto& s : f.strings) b.counted(s);
    b.raw(f.code);
    return b.out;
}

// Emits instructions with the operand widths of the table.
class Code {
public:
    Code& op(mcb::Op op, std::initializer_list<TInt32> operands = {}) {
        const mcb::InstructionInfo* row = mcb::findInstruction(op);
        if (!row || operands.size() != row->operandCount) throw std::logic_error("bad operands");
        offsets.push_back(bytes.size());
        bytes.push_back(TUint8(row->opcode));
        size_t i = 0;
        for (TInt32 v : operands) {
            for (int k = 0; k < row->operands[i].width; ++k)
                bytes.push_back(TUint8(TUint32(v) >> (8 * k)));
            ++i;
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

}  // namespace testimg
