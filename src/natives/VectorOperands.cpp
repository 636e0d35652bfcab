// Vector operand access, range rules and the element moves shared by the vector
// groups and by the natives that hand out vectors (split, file listings).
#include "natives/VectorOperands.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace mcb {

namespace vectorops {
namespace {
// A checked host view of the first `count` elements' storage.
TUint8* storageBytes(OVectorBase& v, TInt32 count) {
    return v.heap().memory().ptr(v.storage(), TUint32(count) * v.elementBytes());
}
}  // namespace

VMAddr newVectorHandle(VirtualMachine& vm, const VectorKind& kind, OVectorBase** vector) {
    VMAddr object = vm.newVector(TInt32(kind.elementBytes));
    VMAddr handle = vm.heap().allocate(8, 0, kind.handleCode());
    vm.memory().writeWord(handle, object);
    vm.memory().writeWord(handle + 4, kind.elementBytes);
    *vector = vm.heap().objectAs<OVectorBase>(object);
    return handle;
}

VMAddr newStringVector(VirtualMachine& vm, const OString* strings, TInt32 n) {
    OVectorBase* vector = nullptr;
    const VMAddr handle = newVectorHandle(vm, kObjectVector, &vector);
    vector->resize(n);
    for (TInt32 i = 0; i < n; ++i) vm.memory().writeWord(vector->elementAddress(i), vm.newString(strings[i]));
    return handle;
}

OVectorBase& vectorAt(VirtualMachine& vm, VMAddr handle, const VectorKind& kind) {
    VMAddr object = vm.memory().readWord(handle);
    if (object == 0) vmerr::raise(vmerr::msg::NullPointer);
    OVectorBase* v = vm.heap().objectAs<OVectorBase>(object);
    if (v->elementBytes() != kind.elementBytes) vmerr::raise(vmerr::msg::InvalidTypeId);
    return *v;
}

ElementRange checkedRange(TInt32 start, TInt32 length, TInt32 n, bool widen) {
    if (start < 0) vmerr::raise(vmerr::Range);
    TInt64 end = widen && length < 0 ? TInt64(n) - 1 : TInt64(start) + length - 1;
    if (start == 0 && end == -1) return {};
    if (start > end || end >= n) vmerr::raise(vmerr::Range);
    return {start, TInt32(end - start + 1)};
}

ElementRange normalisedRange(TInt32 first, TInt32 count, TInt32 n) {
    // The message's number is formatted only on failure.
    const auto f = [first] { return std::to_string(first); };
    if (count == 0) {
        if (first < 0) vmerr::raise(vmerr::msg::RangeFirstNegative, {f()});
        return {first, 0};
    }
    if (count > 0) {
        if (first < 0) vmerr::raise(vmerr::msg::RangeFirstBelowZero, f());
        TInt64 past = TInt64(first) + count;  // in 64 bits: a wrapped sum must not pass
        if (past > n) vmerr::raise(vmerr::msg::RangeOutOfBounds, {std::to_string(past), std::to_string(n)});
        return {first, count};
    }
    if (first < 0) vmerr::raise(vmerr::msg::RangeFirstLessThanZero, f());
    if (first > n) vmerr::raise(vmerr::msg::RangeFirstAboveSize, {std::to_string(n), f()});
    return {first, n - first};
}

ElementBytes copyElements(const OVectorBase& v, TInt32 start, TInt32 count) {
    if (start < 0 || count < 0 || TInt64(start) + count > v.size()) vmerr::raise(vmerr::IndexOutOfBounds);
    size_t bytes = size_t(count) * v.elementBytes();
    if (bytes == 0) return ElementBytes();
    return ElementBytes(v.heap().memory().ptr(v.storage() + TUint32(start) * v.elementBytes(), TUint32(bytes)), bytes);
}

void splice(OVectorBase& v, TInt32 start, TInt32 removeCount, const TUint8* src, TInt32 n) {
    TInt32 size = v.size();
    if (start < 0 || removeCount < 0 || n < 0 || TInt64(start) + removeCount > size)
        vmerr::raise(vmerr::IndexOutOfBounds);
    TInt64 newSize = TInt64(size) - removeCount + n;
    if (newSize > INT32_MAX) vmerr::raise(vmerr::msg::VectorTooLarge);
    if (newSize > v.capacity()) v.reserve(TInt32(std::clamp<TInt64>(newSize * 6 / 5, 10, INT32_MAX)));
    if (start == size && removeCount == 0) return v.extendFrom(src, n);  // an append zeroes nothing first
    TInt32 tail = size - start - removeCount;
    TInt32 widest = TInt32(std::max<TInt64>(size, newSize));
    if (widest == 0) return;
    if (newSize > size) v.resize(TInt32(newSize));
    const size_t eb = v.elementBytes();
    TUint8* base = storageBytes(v, widest);
    if (tail > 0 && removeCount != n)
        std::memmove(base + (size_t(start) + size_t(n)) * eb, base + (size_t(start) + size_t(removeCount)) * eb,
                     size_t(tail) * eb);
    if (newSize < size) v.resize(TInt32(newSize));
    if (n > 0) std::memcpy(base + size_t(start) * eb, src, size_t(n) * eb);
}

void checkSize(TUint32 elementBytes, TInt64 size) {
    if (size > INT32_MAX || size * elementBytes > OVectorBase::kMaxStorageBytes) vmerr::raise(vmerr::InvalidArgument);
}

void repeat(OVectorBase& v, TInt32 times) {
    if (times < 0) vmerr::raise(vmerr::InvalidArgument);
    TInt32 size = v.size();
    if (times == 0) {
        v.clear();
        return;
    }
    TInt64 total = TInt64(size) * times;
    if (times == 1 || size == 0) return;
    if (total > INT32_MAX) vmerr::raise(vmerr::msg::VectorTooLarge);
    if (total > v.capacity()) v.reserve(TInt32(total));
    v.resize(TInt32(total));
    const size_t chunk = size_t(size) * v.elementBytes();
    TUint8* base = storageBytes(v, TInt32(total));
    for (TInt32 i = 1; i < times; ++i) std::memcpy(base + size_t(i) * chunk, base, chunk);
}
}  // namespace vectorops

void VectorArgs::putElement(OVectorBase& v, TInt32 index, TInt32 slot) {
    const TUint8* p = vm().memory().ptr(v.elementAddress(index), kind_.elementBytes);
    if (kind_.bytes()) {
        word(slot) = TInt8(p[0]);
        return;
    }
    for (TInt32 k = 0; k < kind_.words; ++k) {
        TUint32 w;
        std::memcpy(&w, p + size_t(k) * 4, 4);
        word(slot + k) = TInt32(w);
    }
}

VectorArgs::Fresh VectorArgs::fresh() {
    VMAddr object = vm().newVector(TInt32(kind_.elementBytes));
    return {object, *vm().heap().objectAs<OVectorBase>(object)};
}

}  // namespace mcb
