// The vector native groups 1 and 3 to 7: one set of operations over the element
// layout of the group (signed bytes, one to four int words, or references). Every
// index and range is checked, and every element copied aside, before a vector changes.
#include "natives/NativeGroupOps.h"
#include "natives/VectorOperands.h"

#include <algorithm>
#include <cstring>

using namespace vectorops;

namespace {
using Bytes = ElementBytes;

void spliceIn(OVectorBase& v, TInt32 start, TInt32 removeCount, const Bytes& elements, const VectorKind& k) {
    splice(v, start, removeCount, elements.data(), TInt32(elements.size() / k.elementBytes));
}

void spliceIn(OVectorBase& v, TInt32 start, TInt32 removeCount, const VectorArgs::Element& element) {
    splice(v, start, removeCount, element.bytes, 1);
}

Bytes bytesOf(const VectorArgs::Element& e, const VectorKind& k) { return Bytes(e.bytes, k.elementBytes); }

Bytes allOf(const OVectorBase& v) { return copyElements(v, 0, v.size()); }

// The elements named from word 1, checked but not yet copied: an element, or a
// vector (its range after it when `ranged`).
struct Source {
    const OVectorBase* vector;
    ElementRange range;
    VectorArgs::Element element;

    TInt32 count() const { return vector ? range.count : 1; }
    Bytes copy(const VectorKind& k) const {
        return vector ? copyElements(*vector, range.start, range.count) : bytesOf(element, k);
    }
};

Source sourceOf(VectorArgs& a, bool element, bool ranged) {
    if (element) return {nullptr, {}, a.element(1)};
    OVectorBase& w = a.vector(1);
    return {&w, ranged ? a.range(2, w.size()) : ElementRange{0, w.size()}, {}};
}

// --- new vectors into destinations ----------------------------------------------------

// 2 (dest, v), 28 (dest, v, range), 29 (dest, element).
void setFrom(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, opcode == 2 ? 2 : opcode == 28 ? 4 : 1 + k.words);
    VMAddr destination = a.destination(0);
    Bytes elements = sourceOf(a, opcode == 29, opcode == 28).copy(k);
    VectorArgs::Fresh f = a.fresh();
    spliceIn(f.vector, 0, 0, elements, k);
    a.assign(destination, f);
}

// (dest, element, n): n copies of the element.
void setFilled(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 2 + k.words);
    VMAddr destination = a.destination(0);
    VectorArgs::Element element = a.element(1);
    TInt32 n = a.word(1 + k.words);
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    checkSize(k.elementBytes, n);
    VectorArgs::Fresh f = a.fresh();
    if (n > 0) {
        spliceIn(f.vector, 0, 0, element);
        repeat(f.vector, n);
    }
    a.assign(destination, f);
}

// (dest, v, step): every step-th element from index 0, copied straight across.
void setStepped(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 3);
    VMAddr destination = a.destination(0);
    OVectorBase& v = a.vector(1);
    TInt32 step = a.word(2);
    if (step < 1) vmerr::raise(vmerr::InvalidArgument);
    const TInt32 n = TInt32((TInt64(v.size()) + step - 1) / step);
    VectorArgs::Fresh f = a.fresh();
    if (n > 0) {
        f.vector.reserve(TInt32(std::clamp<TInt64>(TInt64(n) * 6 / 5, 10, INT32_MAX)));  // as a splice grows
        f.vector.resize(n);
        const size_t eb = k.elementBytes;
        const TUint8* from = vm.memory().ptr(v.storage(), TUint32(v.size()) * k.elementBytes);
        TUint8* to = vm.memory().ptr(f.vector.storage(), TUint32(n) * k.elementBytes);
        for (TInt32 i = 0; i < n; ++i) std::memcpy(to + size_t(i) * eb, from + size_t(i) * size_t(step) * eb, eb);
    }
    a.assign(destination, f);
}

// --- elements -------------------------------------------------------------------------------

// 6 (v, index): an element's address, or for references the reference itself; 7: the
// address of a reference element.
void elementAt(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, 2);
    OVectorBase& v = a.vector(0);
    VMAddr address = v.elementAddress(a.word(1));
    a.result(TInt32(opcode == 6 && k.references ? vm.memory().readWord(address) : address));
}

// (v, index): the value's words start at the index slot, above v; a reference replaces v.
void elementValue(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 2);
    OVectorBase& v = a.vector(0);
    TInt32 index = a.word(1);
    if (k.references) {
        a.result(TInt32(vm.memory().readWord(v.elementAddress(index))));
        return;
    }
    a.putElement(v, index, 1);
    a.leave(1 + k.words);
}

// 9, 10 (v): the first or last element's words replace v.
void endValue(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, 1);
    OVectorBase& v = a.vector(0);
    a.putElement(v, opcode == 9 ? 0 : v.size() - 1, 0);
    a.leave(k.words);
}

void sizeOrEmpty(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, 1);
    TInt32 n = a.vector(0).size();
    a.result(opcode == 11 ? n : n == 0 ? 1 : 0);
}

// --- insertion -----------------------------------------------------------------------------

// 13 (v, w, position), 14 (v, w, range of w, position), 15 (v, element, position).
void insertAt(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    TInt32 words = opcode == 13 ? 3 : opcode == 14 ? 5 : 2 + k.words;
    VectorArgs a(vm, k, words);
    OVectorBase& v = a.vector(0);
    const Source source = sourceOf(a, opcode == 15, opcode == 14);
    const TInt32 position = a.word(words - 1);
    if (position < 0 || position > v.size()) vmerr::raise(vmerr::IndexOutOfBounds);
    checkSize(k.elementBytes, TInt64(v.size()) + source.count());
    spliceIn(v, position, 0, source.copy(k), k);
    a.noResult();
}

// 16, 17 prepend and 18, 19 append a vector or an element.
void addAtEnd(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    bool element = opcode == 17 || opcode == 19;
    VectorArgs a(vm, k, element ? 1 + k.words : 2);
    OVectorBase& v = a.vector(0);
    if (element) {
        VectorArgs::Element e = a.element(1);
        spliceIn(v, opcode == 17 ? 0 : v.size(), 0, e);
    } else {
        OVectorBase& w = a.vector(1);
        checkSize(k.elementBytes, TInt64(v.size()) + w.size());
        spliceIn(v, opcode == 16 ? 0 : v.size(), 0, allOf(w), k);
    }
    a.noResult();
}

void repeatInPlace(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 2);
    repeat(a.vector(0), a.word(1));
    a.noResult();
}

// --- removal ------------------------------------------------------------------------------

// 21 (v, index), 22 (v, range), 23 and 24 (v, n) from the front and back, 25 (v).
void removeElements(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, opcode == 25 ? 1 : opcode == 22 ? 3 : 2);
    OVectorBase& v = a.vector(0);
    TInt32 n = v.size();
    switch (opcode) {
    case 21: splice(v, a.word(1), 1, nullptr, 0); break;
    case 22: {
        ElementRange r = a.range(1, n);
        splice(v, r.start, r.count, nullptr, 0);
        break;
    }
    case 23:
    case 24: {
        TInt32 count = a.word(1);
        if (count < 0 || count > n) vmerr::raise(vmerr::InvalidArgument);
        splice(v, opcode == 23 ? 0 : n - count, count, nullptr, 0);
        break;
    }
    default: v.clear(); break;
    }
    a.noResult();
}

// --- replacement ---------------------------------------------------------------------------

// 26 (v, range, w), 27 (v, range, element): the empty range changes nothing.
void replaceRange(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, opcode == 26 ? 4 : 3 + k.words);
    OVectorBase& v = a.vector(0);
    ElementRange r = a.range(1, v.size());
    const OVectorBase* w = opcode == 26 ? &a.vector(3) : nullptr;
    const VectorArgs::Element e = w ? VectorArgs::Element{} : a.element(3);
    if (r.count > 0) {
        checkSize(k.elementBytes, TInt64(v.size()) - r.count + (w ? w->size() : 1));
        spliceIn(v, r.start, r.count, w ? allOf(*w) : bytesOf(e, k), k);
    }
    a.noResult();
}

// (v, range, w) with the range normalised: length 0 inserts w at its start.
void replaceOrInsertNormalised(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 4);
    OVectorBase& v = a.vector(0);
    ElementRange r = normalisedRange(a.word(1), a.word(2), v.size());
    const OVectorBase& w = a.vector(3);
    checkSize(k.elementBytes, TInt64(v.size()) - r.count + w.size());
    spliceIn(v, r.start, r.count, allOf(w), k);
    a.noResult();
}

// (v, range of v, w, range of w): the part of w goes in at the start of v's range when
// its length is 0, and otherwise replaces that range.
void replaceOrInsertPart(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 6);
    OVectorBase& v = a.vector(0);
    OVectorBase& w = a.vector(3);
    ElementRange rw = a.range(4, w.size());
    const bool inserting = a.word(2) == 0;
    ElementRange rv{a.word(1), 0};
    if (inserting) {
        if (rv.start < 0) vmerr::raise(vmerr::Range);
        if (rv.start > v.size()) vmerr::raise(vmerr::IndexOutOfBounds);
    } else {
        rv = a.range(1, v.size());
    }
    if (!inserting && rv.count == 0) {
        a.noResult();
        return;
    }
    checkSize(k.elementBytes, TInt64(v.size()) - rv.count + rw.count);
    spliceIn(v, rv.start, rv.count, copyElements(w, rw.start, rw.count), k);
    a.noResult();
}

// --- new vectors as results ----------------------------------------------------------------

void resultVector(VectorArgs& a, const Bytes& elements) {
    OVectorBase* fresh = nullptr;
    VMAddr handle = newVectorHandle(a.vm(), a.kind(), &fresh);
    spliceIn(*fresh, 0, 0, elements, a.kind());
    a.result(TInt32(handle));
}

// (v, range) -> a new vector of the normalised range of v.
void partNormalised(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 3);
    OVectorBase& v = a.vector(0);
    ElementRange r = normalisedRange(a.word(1), a.word(2), v.size());
    resultVector(a, r.count == 0 ? Bytes() : copyElements(v, r.start, r.count));
}

// (a, range 1, b, range 2) -> b's elements within range 1, then a's within range 2.
// Compiled code was built against this pairing, so it is kept; lengths are not widened.
void joinParts(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 6);
    OVectorBase& first = a.vector(0);
    OVectorBase& second = a.vector(3);
    ElementRange r1 = checkedRange(a.word(1), a.word(2), second.size(), false);
    ElementRange r2 = checkedRange(a.word(4), a.word(5), first.size(), false);
    checkSize(k.elementBytes, TInt64(r1.count) + r2.count);
    Bytes elements = copyElements(second, r1.start, r1.count);
    elements.append(copyElements(first, r2.start, r2.count));
    resultVector(a, elements);
}

void vectorNative(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    switch (opcode) {
    case 2:
    case 28:
    case 29: setFrom(vm, opcode, k); break;
    case 3: setFilled(vm, k); break;
    case 4: break;
    case 5: setStepped(vm, k); break;
    case 6: elementAt(vm, opcode, k); break;
    case 7:
        if (!k.references) vm.invalidNativeFunction(k.group);
        elementAt(vm, opcode, k);
        break;
    case 8: elementValue(vm, k); break;
    case 9:
    case 10: endValue(vm, opcode, k); break;
    case 11:
    case 12: sizeOrEmpty(vm, opcode, k); break;
    case 13:
    case 14:
    case 15: insertAt(vm, opcode, k); break;
    case 16:
    case 17:
    case 18:
    case 19: addAtEnd(vm, opcode, k); break;
    case 20: repeatInPlace(vm, k); break;
    case 21:
    case 22:
    case 23:
    case 24:
    case 25: removeElements(vm, opcode, k); break;
    case 26:
    case 27: replaceRange(vm, opcode, k); break;
    case 81: replaceOrInsertNormalised(vm, k); break;
    case 82: partNormalised(vm, k); break;
    case 83: replaceOrInsertPart(vm, k); break;
    case 84: joinParts(vm, k); break;
    default: vm.invalidNativeFunction(k.group);  // 1 is reserved, 30 to 80 invalid
    }
}
}  // namespace

void byteVectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kByteVector); }
void intVectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kIntVector); }
void int2VectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kInt2Vector); }
void int3VectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kInt3Vector); }
void int4VectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kInt4Vector); }
void objectVectorNative(VirtualMachine& vm, TInt32 opcode) { vectorNative(vm, opcode, kObjectVector); }
