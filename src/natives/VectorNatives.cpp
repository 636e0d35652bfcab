// The vector native groups 1 and 3 to 7: one set of operations over the element
// layout of the group (signed bytes, one to four int words, or references). Every
// index and range is checked, and every element copied aside, before a vector changes.
#include "natives/NativeGroupOps.h"
#include "natives/VectorOperands.h"

using namespace vectorops;

namespace {
using Bytes = std::vector<TUint8>;

void spliceIn(OVectorBase& v, TInt32 start, TInt32 removeCount, const Bytes& elements, const VectorKind& k) {
    splice(v, start, removeCount, elements.data(), TInt32(elements.size() / k.elementBytes));
}

void spliceIn(OVectorBase& v, TInt32 start, TInt32 removeCount, const VectorArgs::Element& element) {
    splice(v, start, removeCount, element.bytes, 1);
}

Bytes bytesOf(const VectorArgs::Element& e, const VectorKind& k) { return Bytes(e.bytes, e.bytes + k.elementBytes); }

Bytes allOf(const OVectorBase& v) { return copyElements(v, 0, v.size()); }

// The elements named from word 1: an element, or a vector (its range after it when `ranged`).
Bytes sourceOperand(VectorArgs& a, bool element, bool ranged) {
    if (element) return bytesOf(a.element(1), a.kind());
    OVectorBase& w = a.vector(1);
    ElementRange r = ranged ? a.range(2, w.size()) : ElementRange{0, w.size()};
    return copyElements(w, r.start, r.count);
}

// --- new vectors into destinations ----------------------------------------------------

// 2 (dest, v), 28 (dest, v, range), 29 (dest, element).
void setFrom(VirtualMachine& vm, TInt32 opcode, const VectorKind& k) {
    VectorArgs a(vm, k, opcode == 2 ? 2 : opcode == 28 ? 4 : 1 + k.words);
    VMAddr destination = a.address(0);
    Bytes elements = sourceOperand(a, opcode == 29, opcode == 28);
    VectorArgs::Fresh f = a.fresh();
    spliceIn(f.vector, 0, 0, elements, k);
    a.assign(destination, f);
}

// (dest, element, n): n copies of the element.
void setFilled(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 2 + k.words);
    VMAddr destination = a.address(0);
    VectorArgs::Element element = a.element(1);
    TInt32 n = a.word(1 + k.words);
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    VectorArgs::Fresh f = a.fresh();
    if (n > 0) {
        spliceIn(f.vector, 0, 0, element);
        repeat(f.vector, n);
    }
    a.assign(destination, f);
}

// (dest, v, step): every step-th element from index 0.
void setStepped(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 3);
    VMAddr destination = a.address(0);
    OVectorBase& v = a.vector(1);
    TInt32 step = a.word(2);
    if (step < 1) vmerr::raise(vmerr::InvalidArgument);
    Bytes all = allOf(v);
    Bytes picked;
    for (TInt64 i = 0; i < v.size(); i += step)
        picked.insert(picked.end(), all.begin() + i * k.elementBytes, all.begin() + (i + 1) * k.elementBytes);
    VectorArgs::Fresh f = a.fresh();
    spliceIn(f.vector, 0, 0, picked, k);
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
    Bytes elements = sourceOperand(a, opcode == 15, opcode == 14);
    spliceIn(v, a.word(words - 1), 0, elements, k);
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
        Bytes elements = allOf(a.vector(1));
        spliceIn(v, opcode == 16 ? 0 : v.size(), 0, elements, k);
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
    Bytes elements = opcode == 26 ? allOf(a.vector(3)) : bytesOf(a.element(3), k);
    if (r.count > 0) spliceIn(v, r.start, r.count, elements, k);
    a.noResult();
}

// (v, range, w) with the range normalised: length 0 inserts w at its start.
void replaceOrInsertNormalised(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 4);
    OVectorBase& v = a.vector(0);
    ElementRange r = normalisedRange(a.word(1), a.word(2), v.size());
    Bytes elements = allOf(a.vector(3));
    spliceIn(v, r.start, r.count, elements, k);
    a.noResult();
}

// (v, range of v, w, range of w): the part of w goes in at the start of v's range when
// its length is 0, and otherwise replaces that range.
void replaceOrInsertPart(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 6);
    OVectorBase& v = a.vector(0);
    OVectorBase& w = a.vector(3);
    ElementRange rw = a.range(4, w.size());
    Bytes elements = copyElements(w, rw.start, rw.count);
    if (a.word(2) == 0) {
        if (a.word(1) < 0) vmerr::raise(vmerr::Range);
        spliceIn(v, a.word(1), 0, elements, k);
    } else {
        ElementRange rv = a.range(1, v.size());
        if (rv.count > 0) spliceIn(v, rv.start, rv.count, elements, k);
    }
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
    Bytes elements = copyElements(second, r1.start, r1.count);
    Bytes tail = copyElements(first, r2.start, r2.count);
    elements.insert(elements.end(), tail.begin(), tail.end());
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
