// Vec: the growable array under the VM's tables, the heap's lists and the I/O layer.
// Growth is (size * 5) / 4 + 8; every failure raises a VM error and leaves the
// vector unchanged.
#pragma once

#include "foundation/Types.h"
#include "foundation/VMError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace mcb {

// Optional source of a Vec's storage.
class VecAllocator {
public:
    virtual ~VecAllocator() = default;
    virtual void* allocate(size_t bytes) = 0;
    virtual void free(void* p, bool flag) = 0;
};

template <typename T>
class Vec {
public:
    Vec() = default;
    explicit Vec(VecAllocator* allocator) : allocator_(allocator) {}
    Vec(const Vec& o) { copyFrom(o); }
    Vec(Vec&& o) noexcept { swap(o); }
    Vec& operator=(const Vec& o) {
        if (this != &o) {
            Vec tmp(o);
            swap(tmp);
        }
        return *this;
    }
    Vec& operator=(Vec&& o) noexcept {
        if (this != &o) {
            Vec tmp(std::move(o));
            swap(tmp);
        }
        return *this;
    }
    virtual ~Vec() { release(); }

    TInt32 getSize() const { return size_; }
    TInt32 size() const { return size_; }
    TInt32 capacity() const { return capacity_; }
    bool isEmpty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    T& operator[](TInt32 i) {
        checkIndex(i);
        return data_[i];
    }
    const T& operator[](TInt32 i) const {
        checkIndex(i);
        return data_[i];
    }
    T& at(TInt32 i) { return (*this)[i]; }
    const T& at(TInt32 i) const { return (*this)[i]; }
    T& last() { return (*this)[size_ - 1]; }

    void append(const T& v) {
        if (size_ == capacity_) {
            T copy(v);  // v may live in our own storage
            reserve((size_ * 5) / 4 + 8);
            new (data_ + size_) T(std::move(copy));
        } else {
            new (data_ + size_) T(v);
        }
        ++size_;
    }
    void append(T&& v) {
        if (size_ == capacity_) {
            T moved(std::move(v));
            reserve((size_ * 5) / 4 + 8);
            new (data_ + size_) T(std::move(moved));
        } else {
            new (data_ + size_) T(std::move(v));
        }
        ++size_;
    }

    void insert(TInt32 pos, const T& v) {
        if (pos < 0 || pos > size_) vmerr::raise(vmerr::IndexOutOfBounds);
        append(v);
        std::rotate(data_ + pos, data_ + size_ - 1, data_ + size_);
    }

    void remove(TInt32 pos) {
        checkIndex(pos);
        std::move(data_ + pos + 1, data_ + size_, data_ + pos);
        data_[--size_].~T();
    }

    T takeLast() {
        checkIndex(size_ - 1);
        T v(std::move(data_[size_ - 1]));
        data_[--size_].~T();
        return v;
    }

    // New elements are value-initialised (the original left them undefined).
    void resize(TInt32 n) {
        if (n < 0) vmerr::raise(vmerr::InvalidArgument);
        if (n > capacity_) reserve(n);
        for (TInt32 i = size_; i < n; ++i) new (data_ + i) T();
        for (TInt32 i = n; i < size_; ++i) data_[i].~T();
        size_ = n;
    }

    // As resize, but a vector that must grow takes at least the capacity append
    // would, so that many small extensions do not copy it each time.
    void growTo(TInt32 n) {
        if (n > capacity_)
            reserve(TInt32(std::min<TInt64>(INT32_MAX, std::max<TInt64>(n, (TInt64(size_) * 5) / 4 + 8))));
        resize(n);
    }

    void reserve(TInt32 n) {
        if (n < size_) vmerr::raise(vmerr::InvalidArgument);
        if (n <= capacity_) return;
        TInt32 count = std::max<TInt32>(1, n);
        T* fresh = static_cast<T*>(allocateRaw(size_t(count) * sizeof(T)));
        if (!fresh) vmerr::raiseOutOfMemory();
        for (TInt32 i = 0; i < size_; ++i) {
            new (fresh + i) T(std::move(data_[i]));
            data_[i].~T();
        }
        freeRaw(data_);
        data_ = fresh;
        capacity_ = count;
    }

    void clear() {
        for (TInt32 i = 0; i < size_; ++i) data_[i].~T();
        size_ = 0;
    }

    void swap(Vec& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(capacity_, o.capacity_);
        std::swap(size_, o.size_);
        std::swap(allocator_, o.allocator_);
    }

    bool operator==(const Vec& o) const {
        if (size_ != o.size_) return false;
        for (TInt32 i = 0; i < size_; ++i)
            if (!(data_[i] == o.data_[i])) return false;
        return true;
    }

protected:
    void checkIndex(TInt32 i) const {
        if (i < 0 || i >= size_) vmerr::raise(vmerr::IndexOutOfBounds);
    }

private:
    void* allocateRaw(size_t bytes) {
        if (bytes / sizeof(T) > size_t(INT32_MAX)) return nullptr;
        return allocator_ ? allocator_->allocate(bytes) : std::malloc(bytes);
    }
    void freeRaw(T* p) {
        if (!p) return;
        if (allocator_)
            allocator_->free(p, true);
        else
            std::free(p);
    }
    void copyFrom(const Vec& o) {
        allocator_ = o.allocator_;
        if (o.size_ == 0) return;
        reserve(o.size_);
        for (TInt32 i = 0; i < o.size_; ++i) new (data_ + i) T(o.data_[i]);
        size_ = o.size_;
    }
    void release() {
        clear();
        freeRaw(data_);
        data_ = nullptr;
        capacity_ = 0;
    }

    T* data_ = nullptr;
    TInt32 capacity_ = 0;
    TInt32 size_ = 0;
    VecAllocator* allocator_ = nullptr;
};

}  // namespace mcb
