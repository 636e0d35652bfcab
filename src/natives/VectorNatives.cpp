// The vector native groups 1 and 3 to 7: one set of operations over the element
// layout of the group (signed bytes, one to four int words, or references). Every
// index and range is checked, and every element copied aside, before a vector changes.
#include "natives/NativeGroupOps.h"
#include "natives/VectorOperands.h"

#include <algorithm>
#include <cstring>

namespace mcb {

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

// Where the elements of a new vector or an insertion come from.
enum From : TInt32 { kWhole, kPart, kElement };

// (dest, v), (dest, v, range), (dest, element).
void setFrom(VirtualMachine& vm, TInt32 from, const VectorKind& k) {
    VectorArgs a(vm, k, from == kWhole ? 2 : from == kPart ? 4 : 1 + k.words);
    VMAddr destination = a.destination(0);
    Bytes elements = sourceOf(a, from == kElement, from == kPart).copy(k);
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

// (v, index): an element's address, or for references the reference itself; a slot: the
// address of a reference element, which only vectors of references have.
void elementAt(VirtualMachine& vm, TInt32 slot, const VectorKind& k) {
    if (slot && !k.references) vm.invalidNativeFunction(k.group);
    VectorArgs a(vm, k, 2);
    OVectorBase& v = a.vector(0);
    VMAddr address = v.elementAddress(a.word(1));
    a.result(TInt32(!slot && k.references ? vm.memory().readWord(address) : address));
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

// (v): the first or last element's words replace v.
void endValue(VirtualMachine& vm, TInt32 first, const VectorKind& k) {
    VectorArgs a(vm, k, 1);
    OVectorBase& v = a.vector(0);
    a.putElement(v, first ? 0 : v.size() - 1, 0);
    a.leave(k.words);
}

void sizeOrEmpty(VirtualMachine& vm, TInt32 empty, const VectorKind& k) {
    VectorArgs a(vm, k, 1);
    TInt32 n = a.vector(0).size();
    a.result(!empty ? n : n == 0 ? 1 : 0);
}

// --- insertion -----------------------------------------------------------------------------

// (v, w, position), (v, w, range of w, position), (v, element, position).
void insertAt(VirtualMachine& vm, TInt32 from, const VectorKind& k) {
    TInt32 words = from == kWhole ? 3 : from == kPart ? 5 : 2 + k.words;
    VectorArgs a(vm, k, words);
    OVectorBase& v = a.vector(0);
    const Source source = sourceOf(a, from == kElement, from == kPart);
    const TInt32 position = a.word(words - 1);
    if (position < 0 || position > v.size()) vmerr::raise(vmerr::IndexOutOfBounds);
    checkSize(k.elementBytes, TInt64(v.size()) + source.count());
    spliceIn(v, position, 0, source.copy(k), k);
    a.noResult();
}

// Where addAtEnd puts its elements, and what it adds.
enum Ends : TInt32 { kPrepend = 0, kAppend = 1, kOneElement = 2 };

// Prepends or appends a vector or an element.
void addAtEnd(VirtualMachine& vm, TInt32 ends, const VectorKind& k) {
    bool element = (ends & kOneElement) != 0;
    VectorArgs a(vm, k, element ? 1 + k.words : 2);
    OVectorBase& v = a.vector(0);
    const bool front = (ends & kAppend) == 0;
    if (element) {
        VectorArgs::Element e = a.element(1);
        spliceIn(v, front ? 0 : v.size(), 0, e);
    } else {
        OVectorBase& w = a.vector(1);
        checkSize(k.elementBytes, TInt64(v.size()) + w.size());
        spliceIn(v, front ? 0 : v.size(), 0, allOf(w), k);
    }
    a.noResult();
}

void repeatInPlace(VirtualMachine& vm, const VectorKind& k) {
    VectorArgs a(vm, k, 2);
    repeat(a.vector(0), a.word(1));
    a.noResult();
}

// --- removal ------------------------------------------------------------------------------

// Which elements removeElements takes away.
enum Removal : TInt32 { kAtIndex, kInRange, kFront, kBack, kAll };

// (v, index), (v, range), (v, n) from the front or back, (v).
void removeElements(VirtualMachine& vm, TInt32 removal, const VectorKind& k) {
    VectorArgs a(vm, k, removal == kAll ? 1 : removal == kInRange ? 3 : 2);
    OVectorBase& v = a.vector(0);
    TInt32 n = v.size();
    switch (removal) {
    case kAtIndex: splice(v, a.word(1), 1, nullptr, 0); break;
    case kInRange: {
        ElementRange r = a.range(1, n);
        splice(v, r.start, r.count, nullptr, 0);
        break;
    }
    case kFront:
    case kBack: {
        TInt32 count = a.word(1);
        if (count < 0 || count > n) vmerr::raise(vmerr::InvalidArgument);
        splice(v, removal == kFront ? 0 : n - count, count, nullptr, 0);
        break;
    }
    default: v.clear(); break;
    }
    a.noResult();
}

// --- replacement ---------------------------------------------------------------------------

// (v, range, w), (v, range, element): the empty range changes nothing.
void replaceRange(VirtualMachine& vm, TInt32 element, const VectorKind& k) {
    VectorArgs a(vm, k, !element ? 4 : 3 + k.words);
    OVectorBase& v = a.vector(0);
    ElementRange r = a.range(1, v.size());
    const OVectorBase* w = !element ? &a.vector(3) : nullptr;
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

void nothing(VirtualMachine&, const VectorKind&) {}

// Bodies of the shared rows, bound to one group's element layout.
template <void (*body)(VirtualMachine&, const VectorKind&), const VectorKind& k>
void on(VirtualMachine& vm) {
    body(vm, k);
}

template <void (*body)(VirtualMachine&, TInt32, const VectorKind&), const VectorKind& k>
void onVariant(VirtualMachine& vm, TInt32 variant) {
    body(vm, variant, k);
}

// 1 is reserved and 30 to 80 invalid.
template <const VectorKind& k>
constexpr natives::Function kRows[] = {
    {2, "set_copy", onVariant<setFrom, k>, kWhole},
    {3, "set_filled", on<setFilled, k>},
    {4, "nop", on<nothing, k>},
    {5, "set_stepped", on<setStepped, k>},
    natives::inlined({6, "element_at", onVariant<elementAt, k>, false},
                     {natives::InlineAccess::ElementAddress, TUint8(k.elementBytes), k.references}),
    {7, "element_slot", onVariant<elementAt, k>, true},
    natives::inlined({8, "element_value", on<elementValue, k>},
                     {k.words == 1 ? natives::InlineAccess::ElementValue : natives::InlineAccess::None,
                      TUint8(k.elementBytes), k.references}),
    {9, "first_value", onVariant<endValue, k>, true},
    {10, "last_value", onVariant<endValue, k>, false},
    {11, "size", onVariant<sizeOrEmpty, k>, false},
    {12, "is_empty", onVariant<sizeOrEmpty, k>, true},
    {13, "insert_vector", onVariant<insertAt, k>, kWhole},
    {14, "insert_part", onVariant<insertAt, k>, kPart},
    {15, "insert", onVariant<insertAt, k>, kElement},
    {16, "prepend_vector", onVariant<addAtEnd, k>, kPrepend},
    {17, "prepend", onVariant<addAtEnd, k>, kPrepend | kOneElement},
    {18, "append_vector", onVariant<addAtEnd, k>, kAppend},
    {19, "append", onVariant<addAtEnd, k>, kAppend | kOneElement},
    {20, "repeat_in_place", on<repeatInPlace, k>},
    {21, "remove_at", onVariant<removeElements, k>, kAtIndex},
    {22, "remove_range", onVariant<removeElements, k>, kInRange},
    {23, "remove_front", onVariant<removeElements, k>, kFront},
    {24, "remove_back", onVariant<removeElements, k>, kBack},
    {25, "clear", onVariant<removeElements, k>, kAll},
    {26, "replace_range", onVariant<replaceRange, k>, false},
    {27, "replace_range_element", onVariant<replaceRange, k>, true},
    {28, "set_part", onVariant<setFrom, k>, kPart},
    {29, "set_single", onVariant<setFrom, k>, kElement},
    {81, "replace_or_insert", on<replaceOrInsertNormalised, k>},
    {82, "part", on<partNormalised, k>},
    {83, "replace_or_insert_part", on<replaceOrInsertPart, k>},
    {84, "join_parts", on<joinParts, k>},
};
}  // namespace

std::span<const natives::Function> byteVectorFunctions() { return kRows<kByteVector>; }
std::span<const natives::Function> intVectorFunctions() { return kRows<kIntVector>; }
std::span<const natives::Function> int2VectorFunctions() { return kRows<kInt2Vector>; }
std::span<const natives::Function> int3VectorFunctions() { return kRows<kInt3Vector>; }
std::span<const natives::Function> int4VectorFunctions() { return kRows<kInt4Vector>; }
std::span<const natives::Function> objectVectorFunctions() { return kRows<kObjectVector>; }

}  // namespace mcb
