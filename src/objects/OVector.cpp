// OVector storage management: growth by the 1.2 rule into a fresh heap block, tail
// moves in place, and freeing the old block. Allocation comes first in every
// operation so that a raised error leaves the vector as it was.
#include "objects/OVector.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace mcb {

// Freeing the block checks it and its neighbours, which bytecode may have
// spoiled; a destructor cannot raise, so a block found corrupted stays where it
// is, and the heap's next walk reports the corruption.
OVectorBase::~OVectorBase() {
    try {
        freeStorage(storage_);
    } catch (...) {
        vmerr::clearPendingError();
    }
}

VMAddr OVectorBase::elementAddress(TInt32 index) const {
    checkIndex(index);
    return storage_ + TUint32(index) * elementBytes_;
}

void OVectorBase::checkIndex(TInt32 index) const {
    if (index < 0 || index >= size_) vmerr::raise(vmerr::IndexOutOfBounds);
}

TUint8* OVectorBase::bytesAt(TInt32 index, TInt32 count) const {
    return heap_->memory().ptr(storage_ + TUint32(index) * elementBytes_, TUint32(count) * elementBytes_);
}

void OVectorBase::reserve(TInt32 n) {
    if (n < size_) vmerr::raise(vmerr::InvalidArgument);
    if (n <= capacity_) return;
    regrow(std::max<TInt32>(1, n), size_, 0);
}

void OVectorBase::resize(TInt32 n) {
    if (n < 0) vmerr::raise(vmerr::InvalidArgument);
    if (n > capacity_) reserve(n);
    // Capacity left over from earlier removals still holds old elements.
    if (n > size_) std::memset(bytesAt(size_, n - size_), 0, size_t(n - size_) * elementBytes_);
    size_ = n;
}

// One element is the usual append: a fixed-size copy costs less than a call.
static void copyBytes(TUint8* dst, const TUint8* src, size_t bytes) {
    switch (bytes) {
        case 1: *dst = *src; break;
        case 2: std::memcpy(dst, src, 2); break;
        case 4: std::memcpy(dst, src, 4); break;
        case 8: std::memcpy(dst, src, 8); break;
        default: std::memcpy(dst, src, bytes);
    }
}

void OVectorBase::extendFrom(const TUint8* src, TInt32 n) {
    if (n < 0 || TInt64(size_) + n > capacity_) vmerr::raise(vmerr::InvalidArgument);
    if (n > 0) copyBytes(bytesAt(size_, n), src, size_t(n) * elementBytes_);
    size_ += n;
}

void OVectorBase::remove(TInt32 index) { removeRange(index, 1); }

void OVectorBase::removeRange(TInt32 start, TInt32 count) {
    if (start < 0 || count < 0 || TInt64(start) + count > size_) vmerr::raise(vmerr::IndexOutOfBounds);
    if (count == 0) return;
    TInt32 tail = size_ - start - count;
    if (tail > 0) {
        TUint8* p = bytesAt(start, count + tail);
        std::memmove(p, p + size_t(count) * elementBytes_, size_t(tail) * elementBytes_);
    }
    size_ -= count;
}

TUint8* OVectorBase::openGap(TInt32 pos, TInt32 k) {
    if (pos < 0 || pos > size_) vmerr::raise(vmerr::IndexOutOfBounds);
    if (k == 0) return nullptr;
    TInt64 needed = TInt64(size_) + k;
    if (needed > capacity_) {
        regrow(std::max<TInt64>(10, needed * 6 / 5), pos, k);  // floor(needed * 1.2)
    } else if (pos < size_) {
        TUint8* p = bytesAt(pos, TInt32(needed) - pos);
        std::memmove(p + size_t(k) * elementBytes_, p, size_t(size_ - pos) * elementBytes_);
    }
    size_ = TInt32(needed);
    return bytesAt(pos, k);
}

// Moves the elements into a fresh block, leaving gapLen zeroed elements at gapPos.
void OVectorBase::regrow(TInt64 newCapacity, TInt32 gapPos, TInt32 gapLen) {
    if (newCapacity * elementBytes_ > kMaxStorageBytes) vmerr::raise(vmerr::msg::VectorTooLarge);
    TUint32 bytes = TUint32(newCapacity * elementBytes_);
    VMAddr fresh = heap_->allocate(bytes, 0, GC_CODE_PLAIN);
    if (size_ > 0) {
        TUint8* dst = heap_->memory().ptr(fresh, bytes);
        const TUint8* src = bytesAt(0, size_);
        size_t head = size_t(gapPos) * elementBytes_;
        // Moves, not copies: bytecode may have freed the old block, and the
        // fresh one may then overlap it.
        std::memmove(dst, src, head);
        std::memmove(dst + head + size_t(gapLen) * elementBytes_, src + head, size_t(size_ - gapPos) * elementBytes_);
    }
    VMAddr old = storage_;
    storage_ = fresh;
    capacity_ = TInt32(newCapacity);
    freeStorage(old);
}

// While the collector sweeps it reclaims the storage itself; otherwise only a
// block that is still a live plain entry is ours to free.
void OVectorBase::freeStorage(VMAddr block) {
    if (block == 0 || heap_->isSweeping()) return;
    HeapEntry* he = heap_->liveEntry(block);
    if (he && he->gcCode == GC_CODE_PLAIN && he->type == 0) heap_->free(block);
}

void OVectorBase::copyElementsOf(const OVectorBase& o) {
    if (o.size_ == 0) return;
    reserve(o.size_);
    std::memmove(bytesAt(0, o.size_), o.bytesAt(0, o.size_), size_t(o.size_) * elementBytes_);
    size_ = o.size_;
}

void OVectorBase::swapWith(OVectorBase& o) noexcept {
    std::swap(heap_, o.heap_);
    std::swap(storage_, o.storage_);
    std::swap(capacity_, o.capacity_);
    std::swap(size_, o.size_);
}

// Bytecode can free the storage block; a freed one is not reported, so that
// it cannot stop every later collection.
void OVectorBase::reportReferences(Vec<VMAddr>& markStack) {
    if (storage_ != 0 && heap_->liveEntry(storage_)) markStack.append(storage_);
}

bool OVectorBase::arrayStorage(VMAddr* storage, TInt32* count) const {
    *storage = storage_;
    *count = size_;
    return true;
}

}  // namespace mcb
