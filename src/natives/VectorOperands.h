// The vector groups' operands: which element layout a group serves, vector
// operands read through their array handle or cell, element operands of one to
// four stack words, the three range rules, and the one splice that every insert,
// replace and removal goes through (checked before any element moves).
#pragma once

#include "objects/OVector.h"
#include "natives/NativeArgs.h"

#include <cstring>
#include <vector>

namespace mcb {

// One vector group: element size in bytes and in stack words, and whether the
// elements are references that the collector traces.
struct VectorKind {
    TInt32 group;
    TUint32 elementBytes;
    TInt32 words;
    bool references;

    bool bytes() const { return elementBytes == 1; }
    GcCode handleCode() const { return references ? GC_CODE_OBJECT_ARRAY : GC_CODE_PRIMITIVE_ARRAY; }
};

inline constexpr VectorKind kByteVector{1, 1, 1, false};
inline constexpr VectorKind kIntVector{3, 4, 1, false};
inline constexpr VectorKind kInt2Vector{4, 8, 2, false};
inline constexpr VectorKind kInt3Vector{5, 12, 3, false};
inline constexpr VectorKind kInt4Vector{6, 16, 4, false};
inline constexpr VectorKind kObjectVector{7, 4, 1, true};

// Elements copied aside to the host (the source of a change may be the very
// vector it changes), charged to the memory budget before they are copied.
class ElementBytes {
public:
    ElementBytes() = default;
    explicit ElementBytes(size_t n) : charge_(n), bytes_(n) {}
    ElementBytes(const TUint8* from, size_t n) : ElementBytes(n) {
        if (n > 0) std::memcpy(bytes_.data(), from, n);
    }
    const TUint8* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    // Grown to the exact size, and the old copy charged while the new one fills.
    void append(const ElementBytes& more) {
        charge_.grow(more.size());
        BudgetCharge regrowing(bytes_.size());
        bytes_.reserve(bytes_.size() + more.size());
        bytes_.insert(bytes_.end(), more.bytes_.begin(), more.bytes_.end());
    }

private:
    BudgetCharge charge_;
    std::vector<TUint8> bytes_;
};

// A run of elements: start and count, already checked against its vector.
struct ElementRange {
    TInt32 start = 0;
    TInt32 count = 0;
};

namespace vectorops {
// A new empty vector of the kind with its array handle; returns the handle.
VMAddr newVectorHandle(VirtualMachine& vm, const VectorKind& kind, OVectorBase** vector);
// A new object vector of `n` new strings with its array handle; returns the handle.
VMAddr newStringVector(VirtualMachine& vm, const OString* strings, TInt32 n);
// The vector of the kind behind a handle or cell (null: error 1 "NULL pointer";
// not such a vector: error 10 "Invalid TYPEID").
OVectorBase& vectorAt(VirtualMachine& vm, VMAddr handle, const VectorKind& kind);

// (start, length) over n elements: a start below 0 is error 5; with `widen` a
// negative length runs to the end; the pair must then be the empty range (0, -1)
// or lie inside the vector, else error 5.
ElementRange checkedRange(TInt32 start, TInt32 length, TInt32 n, bool widen = true);
// The normalisation of opcodes 81 and 82 (and of a stream's partial write), with its messages.
ElementRange normalisedRange(TInt32 first, TInt32 count, TInt32 n);

// Host copy of `count` elements from `start` (checked).
ElementBytes copyElements(const OVectorBase& v, TInt32 start, TInt32 count);
// Replaces `removeCount` elements at `start` by `n` elements read from `src`, which
// must not point into the vector's storage. Growth follows the 1.2 rule; all checks
// and the allocation come before the first element moves.
void splice(OVectorBase& v, TInt32 start, TInt32 removeCount, const TUint8* src, TInt32 n);
// Appends every element of `src` (possibly v itself) `times` times over.
void repeat(OVectorBase& v, TInt32 times);
// A vector of `size` elements of `elementBytes` each must be possible (VM
// error 6 otherwise): checked before anything is copied or allocated for it.
void checkSize(TUint32 elementBytes, TInt64 size);
}  // namespace vectorops

class VectorArgs : public NativeArgs {
public:
    VectorArgs(VirtualMachine& vm, const VectorKind& kind, TInt32 words)
        : NativeArgs(vm, words), kind_(kind) {}

    const VectorKind& kind() const { return kind_; }
    OVectorBase& vector(TInt32 i) { return vectorops::vectorAt(vm(), address(i), kind_); }
    // The element operand in words i .. i + SIZE - 1, as element bytes (a byte
    // element keeps the low 8 bits of its word).
    struct Element {
        TUint8 bytes[16];
    };
    // Inline, so that the element is built where it is used: returned from a
    // call, its word stores were read back as wider loads, which stall.
    Element element(TInt32 i) {
        Element e{};
        if (kind_.bytes()) {
            e.bytes[0] = TUint8(word(i));
            return e;
        }
        for (TInt32 k = 0; k < kind_.words; ++k) {
            TUint32 w = TUint32(word(i + k));
            std::memcpy(e.bytes + size_t(k) * 4, &w, 4);
        }
        return e;
    }
    // Element `index` of v pushed as SIZE words from slot `slot` of the arguments
    // (bytes sign-extended).
    void putElement(OVectorBase& v, TInt32 index, TInt32 slot);

    ElementRange range(TInt32 i, TInt32 n) { return vectorops::checkedRange(word(i), word(i + 1), n); }

    // A new empty vector object of the kind, to be filled and then assigned.
    struct Fresh {
        VMAddr object;
        OVectorBase& vector;
    };
    Fresh fresh();
    // The destination word receives the new vector; no result remains.
    void assign(VMAddr destination, const Fresh& f) {
        vm().memory().writeWord(destination, f.object);
        noResult();
    }

private:
    const VectorKind& kind_;
};

}  // namespace mcb
