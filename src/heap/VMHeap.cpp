// Pools, entries, free lists and native-object handles of the VM heap.
// Header words and boundary tags live in VM memory where bytecode can write
// them, so each one is checked against the heap's host-side records (entry
// start bitmaps, free-list nodes, object slots) before it is believed.
#include "heap/VMHeap.h"

#include <algorithm>
#include <cstring>

namespace mcb {

namespace {
constexpr TUint32 kTerminatorTag = 28;

TUint32 roundUp4(TUint32 size) {
    if (size > 0xFFFFFFFCu) vmerr::raise(vmerr::InvalidArgument);
    return (size + 3) & ~3u;
}
}  // namespace

void VMHeap::corrupted() { vmerr::raise(vmerr::msg::HeapCorrupted); }

VMHeap::VMHeap(VMMemory& memory, MVMCallbackInterface* callback, TUint32 defaultPoolCapacity, ClassLayoutTables layout)
    : mem_(memory),
      callback_(callback),
      defaultPoolCapacity_(roundUp4(defaultPoolCapacity)),
      roots_(&nodes_),
      layout_(layout) {
    nodes_.setBudget(mem_.budget());
    for (TInt32 k = 0; k < kFreeListCount; ++k) freeHeapEntries_.append(new LinkedList<VMAddr>(&nodes_));
    try {
        addEntryToFreeEntries(createPool(defaultPoolCapacity_));
    } catch (...) {
        for (LinkedList<VMAddr>* l : freeHeapEntries_) delete l;
        throw;
    }
}

VMHeap::~VMHeap() {
    sweeping_ = true;  // destructors of host objects must not touch the pools now
    objects_.clear();
    roots_.clear();
    for (LinkedList<VMAddr>* l : freeHeapEntries_) delete l;
}

// --- pools and the entry-start bitmaps ----------------------------------------

// Pools are carved upwards, so creation order is address order: a chunk's first
// pool is the first one recorded for it.
void VMHeap::recordChunks(TInt32 pool) {
    const TUint32 first = pools_[pool] >> kChunkShift, last = (poolEnd(pool) - 1) >> kChunkShift;
    if (chunkPools_.size() <= last) chunkPools_.resize(size_t(last) + 1, -1);
    for (TUint32 c = first; c <= last; ++c)
        if (chunkPools_[c] < 0) chunkPools_[c] = pool;
}

namespace {
// Room for one more element, grown geometrically.
template <typename List>
void roomForOne(List& list, size_t size, size_t capacity) {
    if (size == capacity) list.reserve(decltype(capacity)(size + size / 2 + 8));
}
}  // namespace

// Every host-side record is made before the pool is carved, and nothing that
// can fail comes after: a failure (the budget, or the host out of memory)
// leaves the pool tables in step and gives the bitmaps' charge back.
HeapEntry* VMHeap::createPool(TUint32 capacity) {
    if (capacity > 0x7FFFFFFFu - kPoolOverhead) vmerr::raiseOutOfMemory();
    TUint32 total = capacity + kPoolOverhead;
    const size_t bitmapWords = (total / 4 + 63) / 64;
    MemoryBudget* budget = mem_.budget();
    if (budget) budget->charge(2 * bitmapWords * 8);  // starts and objects
    VMAddr start;
    std::vector<TUint64> starts, objects;
    try {
        starts.resize(bitmapWords, 0);
        objects.resize(bitmapWords, 0);
        roomForOne(pools_, size_t(pools_.getSize()), size_t(pools_.capacity()));
        roomForOne(poolSizes_, size_t(poolSizes_.getSize()), size_t(poolSizes_.capacity()));
        roomForOne(poolStarts_, poolStarts_.size(), poolStarts_.capacity());
        roomForOne(poolObjects_, poolObjects_.size(), poolObjects_.capacity());
        const TUint64 lastChunk = (TUint64(mem_.top()) + total + 7) >> kChunkShift;
        if (chunkPools_.size() <= lastChunk) chunkPools_.resize(size_t(lastChunk) + 1, -1);
        start = mem_.carve(total);
    } catch (...) {
        if (budget) budget->release(2 * bitmapWords * 8);
        throw;
    }
    pools_.append(start);
    poolSizes_.append(TInt32(total));
    poolStarts_.push_back(std::move(starts));
    poolObjects_.push_back(std::move(objects));
    totalSizeOfPools_ += total;
    TInt32 pool = pools_.getSize() - 1;
    recordChunks(pool);

    HeapEntry* lead = at(start);
    *lead = HeapEntry{0, 0, 0, 0, GC_CODE_TERMINATOR, kNullIterator};
    *mem_.uncheckedWord(start + kHeaderSize) = kTerminatorTag;
    HeapEntry* entry = at(start + kTerminatorTag);
    *entry = HeapEntry{0, capacity, 0, 0, GC_CODE_FREE, kNullIterator};
    writeTag(entry);
    HeapEntry* trail = at(start + total - kHeaderSize);
    *trail = HeapEntry{0, 0, 0, 0, GC_CODE_TERMINATOR, kNullIterator};
    setStart(pool, start, true);
    setStart(pool, start + kTerminatorTag, true);
    setStart(pool, start + total - kHeaderSize, true);
    return entry;
}

void VMHeap::checkPoolStart(TInt32 pool) {
    HeapEntry* lead = at(pools_[pool]);
    if (lead->gcCode != GC_CODE_TERMINATOR || lead->size != 0 ||
        *mem_.uncheckedWord(pools_[pool] + kHeaderSize) != kTerminatorTag)
        corrupted();
}

void VMHeap::writeTag(HeapEntry* he) {
    *mem_.uncheckedWord(addressOf(he) + kHeaderSize + he->size) = he->size + kEntryOverhead;
}

// --- checked walking ------------------------------------------------------------

HeapEntry* VMHeap::next(TInt32 pool, HeapEntry* he) {
    VMAddr n = addressOf(he) + kEntryOverhead + he->size;
    if (n == poolEnd(pool) - kHeaderSize) {
        HeapEntry* trail = at(n);
        if (trail->gcCode != GC_CODE_TERMINATOR || trail->size != 0) corrupted();
        return trail;
    }
    return validEntry(pool, n);
}

HeapEntry* VMHeap::previous(TInt32 pool, HeapEntry* he) {
    VMAddr a = addressOf(he);
    if (a == pools_[pool] + kTerminatorTag) return at(pools_[pool]);  // leading terminator
    TUint32 tag = *mem_.uncheckedWord(a - 4);
    if (tag < kEntryOverhead || (tag & 3) != 0 || tag > a - pools_[pool] - kTerminatorTag) corrupted();
    HeapEntry* prev = validEntry(pool, a - tag);
    if (prev->size + kEntryOverhead != tag) corrupted();
    return prev;
}

HeapEntry* VMHeap::entryAt(VMAddr headerAddr) {
    TInt32 pool;
    return entryAt(headerAddr, pool);
}

// The entry at a header address, with the pool that holds it.
HeapEntry* VMHeap::entryAt(VMAddr headerAddr, TInt32& pool) {
    pool = poolOf(headerAddr);
    if (pool < 0 || isTrailing(pool, at(headerAddr & ~3u)) || headerAddr == pools_[pool]) corrupted();
    return validEntry(pool, headerAddr);
}

HeapEntry* VMHeap::headerOf(VMAddr ref) {
    if (ref < kHeaderSize) VMMemory::raiseBadAccess(ref);
    return entryAt(ref - kHeaderSize);
}

HeapEntry* VMHeap::liveEntry(VMAddr ref) {
    if (ref < kHeaderSize + VMMemory::kGuardBytes || (ref & 3) != 0) return nullptr;
    VMAddr h = ref - kHeaderSize;
    TInt32 pool = poolOf(h);
    if (pool < 0 || h == pools_[pool] || isTrailing(pool, at(h)) || !isStart(pool, h)) return nullptr;
    HeapEntry* he = validEntry(pool, h);
    return isFree(he) ? nullptr : he;
}

HeapEntry* VMHeap::belongsToPools(VMAddr address) {
    TInt32 pool = poolOf(address);
    if (pool < 0) return nullptr;
    checkPoolStart(pool);
    // The nearest recorded start at or below the address is the entry holding it.
    const std::vector<TUint64>& bits = poolStarts_[size_t(pool)];
    TUint32 word = (address - pools_[pool]) / 4;
    size_t i = word / 64;
    TUint64 m = bits[i] & (word % 64 == 63 ? ~TUint64(0) : ((TUint64(1) << (word % 64 + 1)) - 1));
    while (m == 0) {
        if (i == 0) corrupted();
        m = bits[--i];
    }
    TUint32 startWord = TUint32(i * 64 + 63 - size_t(__builtin_clzll(m)));
    VMAddr h = pools_[pool] + startWord * 4;
    if (h == pools_[pool] || isTrailing(pool, at(h))) return at(h);
    return validEntry(pool, h);
}

// --- free lists -------------------------------------------------------------------

void VMHeap::addEntryToFreeEntries(HeapEntry* he) {
    TInt32 k = sizeClass(he->size);
    if (k >= freeHeapEntries_.getSize()) corrupted();
    he->freeHeapEntryIterator = freeHeapEntries_.data()[k]->append(addressOf(he));
    listedClasses_ |= 1u << k;
}

void VMHeap::unlistFree(TInt32 k, LinkedListIterator it) {
    LinkedList<VMAddr>* list = freeHeapEntries_.data()[k];
    list->remove(it);
    if (list->isEmpty()) listedClasses_ &= ~(1u << k);
}

void VMHeap::removeFromFreeEntries(HeapEntry* he) {
    if (!isFree(he)) corrupted();
    unlistFree(sizeClass(he->size), he->freeHeapEntryIterator);
    he->freeHeapEntryIterator = kNullIterator;
}

// Takes the listed free entry `it` of class k and cuts it to `size`, listing
// what is left after it.
HeapEntry* VMHeap::takeFree(TInt32 k, LinkedListIterator it, TUint32 size, bool firstFit) {
    LinkedList<VMAddr>* list = freeHeapEntries_.data()[k];
    VMAddr h = list->value(it);
    TInt32 pool = poolOf(h);
    if (pool < 0) corrupted();
    HeapEntry* he = validEntry(pool, h);
    if (he->freeHeapEntryIterator != it || sizeClass(he->size) != k) corrupted();
    if (firstFit && he->size < size) return nullptr;
    he->freeHeapEntryIterator = kNullIterator;
    if (he->size - size <= kEntryOverhead) {
        unlistFree(k, it);
    } else if (sizeClass(he->size - size - kEntryOverhead) == k) {
        relistInPlace(k, it, splitOff(pool, he, size));
    } else {
        unlistFree(k, it);
        addEntryToFreeEntries(splitOff(pool, he, size));
    }
    return he;
}

// Sets a listed free entry's size, listing it again where its class changes.
void VMHeap::resizeFree(HeapEntry* he, TUint32 newSize) {
    if (!isFree(he)) corrupted();  // its node is used below as the header names it
    const TInt32 k = sizeClass(he->size);
    const LinkedListIterator it = he->freeHeapEntryIterator;
    he->size = newSize;
    if (sizeClass(newSize) == k) return relistInPlace(k, it, he);
    unlistFree(k, it);
    addEntryToFreeEntries(he);
}

HeapEntry* VMHeap::findFreeEntry(TUint32 size) {
    TInt32 b = sizeClass(size);
    if (b >= kFreeListCount) return nullptr;
    // The front of the first non-empty larger class, then a first fit in b's own.
    if (TUint32 larger = b + 1 < kFreeListCount ? listedClasses_ >> (b + 1) << (b + 1) : 0) {
        TInt32 k = __builtin_ctz(larger);
        return takeFree(k, freeHeapEntries_[k]->front(), size, false);
    }
    LinkedList<VMAddr>* list = freeHeapEntries_[b];
    for (LinkedListIterator it = list->front(); it;) {
        LinkedListIterator following = list->next(it);
        if (HeapEntry* he = takeFree(b, it, size, true)) return he;
        it = following;
    }
    return nullptr;
}

// --- allocation -------------------------------------------------------------------

// Cuts `he` after `firstSize` data bytes; the rest becomes a new entry (not listed).
HeapEntry* VMHeap::splitOff(TInt32 pool, HeapEntry* he, TUint32 firstSize) {
    TUint32 restSize = he->size - firstSize - kEntryOverhead;
    he->size = firstSize;
    writeTag(he);
    VMAddr restAddr = addressOf(he) + kEntryOverhead + firstSize;
    HeapEntry* rest = at(restAddr);
    *rest = HeapEntry{0, restSize, 0, 0, GC_CODE_FREE, kNullIterator};
    writeTag(rest);
    setStart(pool, restAddr, true);
    return rest;
}

// Most entries are a few words: fixed-size stores (overlapping where n is not
// a multiple of eight) cost less than a call to memset.
static void zeroData(TUint8* p, TUint32 n) {
    if (n > 32) {
        std::memset(p, 0, n);
    } else if (n > 16) {
        std::memset(p, 0, 16);
        std::memset(p + n - 16, 0, 16);
    } else if (n >= 8) {
        std::memset(p, 0, 8);
        std::memset(p + n - 8, 0, 8);
    } else if (n == 4) {
        std::memset(p, 0, 4);
    }
}

HeapEntry* VMHeap::createHeapEntry(unsigned int size, int type, GcCode code) {
    size = roundUp4(size);
    HeapEntry* he = findFreeEntry(size);
    if (!he) he = createPool(std::max(size, defaultPoolCapacity_));
    if (he->size < size) corrupted();  // "he->size >= size"
    if (he->size - size > kEntryOverhead) addEntryToFreeEntries(splitOff(poolOf(addressOf(he)), he, size));
    he->gcCode = code;
    he->requestedSize = size;
    he->type = type;
    he->mark = 0;
    he->freeHeapEntryIterator = kNullIterator;
    zeroData(mem_.unchecked(referenceOf(he)), he->size);
    ++numberOfEntries_;
    return he;
}

VMAddr VMHeap::allocate(TUint32 size, TInt32 type, GcCode code) {
    return referenceOf(createHeapEntry(size, type, code));
}

VMAddr VMHeap::allocateWords(TUint32 n, GcCode code) {
    if (n > 0x3FFFFFFFu) vmerr::raise(vmerr::InvalidArgument);
    return allocate(n * 4, 0, code);
}

// Splits the second of a compound allocation off `he`, which keeps `firstSize`.
void VMHeap::carveCompound(HeapEntry* he, TUint32 firstSize, TUint32 secondRequested, TInt32 type, GcCode code) {
    HeapEntry* second = splitOff(poolOf(addressOf(he)), he, firstSize);
    second->requestedSize = secondRequested;
    second->type = type;
    second->gcCode = code;
    ++numberOfEntries_;
}

void VMHeap::allocateTwo(TUint32 size1, TInt32 type1, GcCode code1, VMAddr* out1, TUint32 size2, TInt32 type2,
                         GcCode code2, VMAddr* out2) {
    TUint32 r1 = roundUp4(size1), r2 = roundUp4(size2);
    if (TUint64(r1) + r2 + kEntryOverhead > 0xFFFFFFFCu) vmerr::raise(vmerr::InvalidArgument);
    HeapEntry* first = createHeapEntry(r1 + r2 + kEntryOverhead, type1, code1);
    first->requestedSize = r1;
    carveCompound(first, r1, r2, type2, code2);
    *out1 = referenceOf(first);
    *out2 = *out1 + r1 + kEntryOverhead;
}

void VMHeap::allocateThree(TUint32 size1, TInt32 type1, GcCode code1, VMAddr* out1, TUint32 size2, TInt32 type2,
                           GcCode code2, VMAddr* out2, TUint32 size3, TInt32 type3, GcCode code3, VMAddr* out3) {
    TUint32 r1 = roundUp4(size1), r2 = roundUp4(size2), r3 = roundUp4(size3);
    if (TUint64(r1) + r2 + r3 + 2 * kEntryOverhead > 0xFFFFFFFCu) vmerr::raise(vmerr::InvalidArgument);
    HeapEntry* first = createHeapEntry(r1 + r2 + r3 + 2 * kEntryOverhead, type1, code1);
    first->requestedSize = r1;
    carveCompound(first, r1, r2, type2, code2);
    *out1 = referenceOf(first);
    *out2 = *out1 + r1 + kEntryOverhead;
    carveCompound(at(*out2 - kHeaderSize), r2, r3, type3, code3);
    *out3 = *out2 + r2 + kEntryOverhead;
}

// --- freeing and merging ----------------------------------------------------------

HeapEntry* VMHeap::freeEntry(HeapEntry* he) {
    if (!he) corrupted();
    TInt32 pool;
    HeapEntry* checked = entryAt(addressOf(he), pool);  // sets pool before release reads it
    return release(pool, checked);
}

// Frees a checked entry of the pool.
HeapEntry* VMHeap::release(TInt32 pool, HeapEntry* he) {
    if (isFree(he)) corrupted();  // "he->freeHeapEntryIterator == LinkedListIterator< HeapEntry* > ()"
    retire(pool, he);
    bool listed = false;  // he is a free neighbour that kept its listing
    for (HeapEntry* p = previous(pool, he); addressOf(p) != pools_[pool] && isFree(p); p = previous(pool, he)) {
        if (listed) removeFromFreeEntries(he);
        he = mergeInto(pool, p, he);
        listed = true;
    }
    if (!listed) addEntryToFreeEntries(he);
    return he;
}

// The sweep has just checked the entry and the free one before it, if any, and
// nothing has changed them since. `after` receives the checked entry that
// follows the result, so that the sweep need not check it again.
HeapEntry* VMHeap::sweepEntry(TInt32 pool, HeapEntry* he, HeapEntry* freeBefore, HeapEntry*& after) {
    after = retire(pool, he);
    if (freeBefore) return mergeInto(pool, freeBefore, he);
    addEntryToFreeEntries(he);
    return he;
}

// Destroys the entry's object, marks it free (not yet listed) and merges the
// free entries after it into it. Returns the checked entry now after it, which
// is in use or the trailing terminator.
HeapEntry* VMHeap::retire(TInt32 pool, HeapEntry* he) {
    destroyObject(pool, he);
    --numberOfEntries_;
    he->gcCode = GC_CODE_FREE;
    he->mark = 0;
    he->type = 0;
    HeapEntry* n = next(pool, he);
    for (; !isTrailing(pool, n) && isFree(n); n = next(pool, he)) {
        removeFromFreeEntries(n);
        setStart(pool, addressOf(n), false);
        he->size += n->size + kEntryOverhead;
        writeTag(he);
    }
    return n;
}

// Merges the unlisted free entry `he` into the listed free entry `p` before it.
HeapEntry* VMHeap::mergeInto(TInt32 pool, HeapEntry* p, HeapEntry* he) {
    setStart(pool, addressOf(he), false);
    resizeFree(p, p->size + he->size + kEntryOverhead);
    writeTag(p);
    return p;
}

// As freeEntry(headerOf(ref)), with the entry checked once.
void VMHeap::free(VMAddr ref) {
    if (ref == 0) return;
    if (ref < kHeaderSize) VMMemory::raiseBadAccess(ref);
    TInt32 pool;
    HeapEntry* he = entryAt(ref - kHeaderSize, pool);
    release(pool, he);
}

}  // namespace mcb
