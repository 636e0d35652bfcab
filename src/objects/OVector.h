// OVector: a growable array of trivially copyable elements (bytes, ints, VM
// addresses) whose storage is one plain block of the VM heap. Only the block's VM
// address is kept; every element access goes through checked VM memory.
#pragma once

#include "foundation/Types.h"
#include "foundation/VMError.h"
#include "heap/GCObject.h"
#include "heap/VMHeap.h"

#include <cstring>
#include <type_traits>
#include <vector>

namespace mcb {

// The element-type-free part: storage, growth and byte moves.
class OVectorBase : public GCObject {
public:
    // Found by its kind in VMHeap::objectAs.
    using GCKindOwner = OVectorBase;
    static constexpr GCKind kGCKind = GCKind::Vector;
    // Storage blocks stay well below the 32-bit size of a heap request.
    static constexpr TInt64 kMaxStorageBytes = 0x7FFFFFF0;

    OVectorBase(const OVectorBase&) = delete;
    OVectorBase& operator=(const OVectorBase&) = delete;
    ~OVectorBase() override;

    TInt32 getSize() const { return size_; }
    TInt32 size() const { return size_; }
    TInt32 capacity() const { return capacity_; }
    bool isEmpty() const { return size_ == 0; }
    VMAddr storage() const { return storage_; }
    TUint32 elementBytes() const { return elementBytes_; }
    VMHeap& heap() const { return *heap_; }
    // VM address of an element (index outside 0 .. size-1 raises error 2).
    VMAddr elementAddress(TInt32 index) const;

    void reserve(TInt32 n);  // only grows; below the size raises error 6
    void resize(TInt32 n);   // new elements are zero
    // Appends n elements copied from src, within the capacity already reserved.
    void extendFrom(const TUint8* src, TInt32 n);
    void remove(TInt32 index);
    void removeRange(TInt32 start, TInt32 count);
    void clear() { size_ = 0; }

    // The storage belongs to the vector for as long as the vector is reachable,
    // whatever its size.
    void reportReferences(Vec<VMAddr>& markStack) override;
    bool arrayStorage(VMAddr* storage, TInt32* count) const override;

protected:
    OVectorBase(VMHeap& heap, TUint32 elementBytes)
        : GCObject(GCKind::Vector), heap_(&heap), elementBytes_(elementBytes) {}
    void checkIndex(TInt32 index) const;
    // Checked host view of `count` elements from `index`.
    TUint8* bytesAt(TInt32 index, TInt32 count) const;
    // Makes room for k elements before pos and returns it; the caller fills it.
    TUint8* openGap(TInt32 pos, TInt32 k);
    void copyElementsOf(const OVectorBase& o);
    void swapWith(OVectorBase& o) noexcept;

private:
    void regrow(TInt64 newCapacity, TInt32 gapPos, TInt32 gapLen);
    void freeStorage(VMAddr block);

    VMHeap* heap_;
    VMAddr storage_ = 0;
    TInt32 capacity_ = 0;
    TInt32 size_ = 0;
    TUint32 elementBytes_;
};

template <typename T>
class OVector : public OVectorBase {
    static_assert(std::is_trivially_copyable_v<T>, "OVector holds raw VM memory");
    static_assert(alignof(T) <= 4, "heap data areas are only 4-byte aligned");

public:
    explicit OVector(VMHeap& heap) : OVectorBase(heap, sizeof(T)) {}
    OVector(const OVector& o) : OVectorBase(o.heap(), sizeof(T)) { copyElementsOf(o); }
    OVector(OVector&& o) noexcept : OVectorBase(o.heap(), sizeof(T)) { swapWith(o); }
    OVector& operator=(const OVector& o) {
        if (this != &o) {
            OVector tmp(o);
            swapWith(tmp);
        }
        return *this;
    }
    OVector& operator=(OVector&& o) noexcept {
        if (this != &o) {
            OVector tmp(std::move(o));
            swapWith(tmp);
        }
        return *this;
    }

    T& operator[](TInt32 i) {
        checkIndex(i);
        return *reinterpret_cast<T*>(bytesAt(i, 1));
    }
    const T& operator[](TInt32 i) const {
        checkIndex(i);
        return *reinterpret_cast<const T*>(bytesAt(i, 1));
    }
    T& at(TInt32 i) { return (*this)[i]; }
    const T& at(TInt32 i) const { return (*this)[i]; }
    T& last() { return (*this)[size() - 1]; }

    // All elements after one check, or null when empty.
    T* data() { return isEmpty() ? nullptr : reinterpret_cast<T*>(bytesAt(0, size())); }
    const T* data() const { return isEmpty() ? nullptr : reinterpret_cast<const T*>(bytesAt(0, size())); }

    void append(const T& v) { insert(size(), v); }
    void append(const T* items, TInt32 n) { insert(size(), items, n); }

    void insert(TInt32 pos, const T& v) {
        T copy = v;  // v may live in the storage that growing frees
        std::memcpy(openGap(pos, 1), &copy, sizeof(T));
    }
    void insert(TInt32 pos, const T* items, TInt32 n) {
        if (n < 0) vmerr::raise(vmerr::InvalidArgument);
        std::vector<T> copy(items, items + n);
        TUint8* gap = openGap(pos, n);
        if (n > 0) std::memcpy(gap, copy.data(), size_t(n) * sizeof(T));
    }

    T takeLast() {
        T v = last();
        remove(size() - 1);
        return v;
    }
};

}  // namespace mcb
