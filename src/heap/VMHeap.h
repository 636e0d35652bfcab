// VMHeap: the pools, entries, size-class free lists and roots of the VM's
// garbage-collected heap, laid out in VM memory word for word as bytecode sees
// it. Every header word and boundary tag is read as untrusted (bytecode may have
// written over it): an inconsistency raises VM error 10 "Heap corrupted",
// never a host crash.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/FreeIndexSet.h"
#include "foundation/LinkedList.h"
#include "foundation/Vec.h"
#include "heap/GCObject.h"
#include "heap/GcCode.h"
#include "heap/VMMemory.h"

#include <memory>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace mcb {

// The six header words before every data area.
struct HeapEntry {
    TUint32 requestedSize;
    TUint32 size;
    TInt32 type;  // 0 plain, -1 native object
    TUint32 mark;
    TUint32 gcCode;
    LinkedListIterator freeHeapEntryIterator;  // free-list node number; 0 = in use
};
static_assert(sizeof(HeapEntry) == 24);

constexpr TUint32 kHeaderSize = 24;
// Mark values during a collection: 0 not reached, 1 traced, and two kinds of
// reached entry that the sweep keeps like traced ones: queued for tracing
// (pushed once however many words name it), and a vector's storage block whose
// elements were already read as references.
constexpr TUint32 kQueued = 2;
constexpr TUint32 kElementsRead = 3;
constexpr TUint32 kEntryOverhead = 28;  // header + boundary tag
constexpr TUint32 kPoolOverhead = 80;
constexpr TInt32 kFreeListCount = 32;
constexpr TUint32 kDefaultPoolCapacity = 64000;
// What a native object costs the budget in host memory besides its entry: the
// C++ object and its slot.
constexpr TUint32 kNativeObjectHostBytes = 160;

// A class told apart by its GCKind alone: it names itself as the owner of its kind
// (a vector of one element type inherits the owner OVectorBase and is not one).
template <typename T>
concept KnownByKind = std::is_same_v<typename T::GCKindOwner, T>;

class MVMCallbackInterface;  // the owning virtual machine's callbacks

// Class layout tables owned by the VM, indexed by class index (1-based; slot 0 unused).
struct ClassLayoutTables {
    const Vec<Vec<int>>* referenceFields = nullptr;
    const Vec<Vec<int>>* arrayFields = nullptr;
    const Vec<Vec<TUint8>>* arrayFlags = nullptr;
};

class VMHeap {
public:
    VMHeap(VMMemory& memory, MVMCallbackInterface* callback = nullptr,
           TUint32 defaultPoolCapacity = kDefaultPoolCapacity, ClassLayoutTables layout = {});
    ~VMHeap();
    VMHeap(const VMHeap&) = delete;
    VMHeap& operator=(const VMHeap&) = delete;

    VMMemory& memory() { return mem_; }
    void setClassLayout(ClassLayoutTables layout) { layout_ = layout; }

    // --- allocation -------------------------------------------------------
    HeapEntry* createHeapEntry(unsigned int size, int type, GcCode code);
    VMAddr allocate(TUint32 size, TInt32 type, GcCode code);
    VMAddr allocateWords(TUint32 n, GcCode code);
    void allocateTwo(TUint32 size1, TInt32 type1, GcCode code1, VMAddr* out1, TUint32 size2, TInt32 type2, GcCode code2,
                     VMAddr* out2);
    void allocateThree(TUint32 size1, TInt32 type1, GcCode code1, VMAddr* out1, TUint32 size2, TInt32 type2,
                       GcCode code2, VMAddr* out2, TUint32 size3, TInt32 type3, GcCode code3, VMAddr* out3);
    HeapEntry* freeEntry(HeapEntry* he);
    void free(VMAddr ref);

    // --- native objects ---------------------------------------------------
    // Allocates an entry of `entrySize` bytes (at least 4) with the given type
    // word, stores a handle to `object` in its first data word and takes
    // ownership. Returns the object's reference.
    VMAddr adoptObject(std::unique_ptr<GCObject> object, TUint32 entrySize, GcCode code, TInt32 type = -1);
    // Attaches a host object to an entry allocated already (for example the first
    // entry of a compound allocation); the entry's first data word receives the handle.
    void attachObject(VMAddr ref, std::unique_ptr<GCObject> object);
    template <typename T, typename... Args>
    VMAddr createObject(TUint32 entrySize, GcCode code, Args&&... args) {
        return adoptObject(std::make_unique<T>(std::forward<Args>(args)...), entrySize, code);
    }
    // The host object behind a reference, or null when the entry holds none.
    // Inline everywhere: the natives and the interpreter's element reads find an
    // object per operand.
    [[gnu::always_inline]] GCObject* findObject(VMAddr ref) {
        // The usual case: the handle word names a slot that records this entry.
        if (const ObjectSlot* slot = slotNamedBy(ref)) [[likely]] {
            // The heap's own records vouch for where the entry and its neighbour
            // start; what bytecode can change (the size, the free-list link, the
            // tag) is compared with them here, and anything else takes the full
            // check, which decides.
            const HeapEntry* he = at(ref - kHeaderSize);
            if (he->size == slot->size && he->freeHeapEntryIterator == kNullIterator &&
                *mem_.uncheckedWord(ref + slot->size) == slot->size + kEntryOverhead) [[likely]]
                return slot->object.get();
            return findObjectBySlot(ref, slot);
        }
        return findObjectByEntry(ref);
    }
    // As findObject, but a missing object raises VM error 10 "Invalid TYPEID".
    GCObject* object(VMAddr ref) {
        if (ref == 0) vmerr::raise(vmerr::msg::NullPointer);
        GCObject* o = findObject(ref);
        if (!o) vmerr::raise(vmerr::msg::InvalidTypeId);
        return o;
    }
    // A class that names itself as GCKindOwner with a kind (strings, vectors) is
    // told by its kind; any other by dynamic_cast.
    template <typename T>
    T* objectAs(VMAddr ref) {
        GCObject* o = object(ref);
        T* t;
        if constexpr (KnownByKind<T>)
            t = o->kind() == T::kGCKind ? static_cast<T*>(o) : nullptr;
        else
            t = dynamic_cast<T*>(o);
        if (!t) vmerr::raise(vmerr::msg::InvalidTypeId);
        return t;
    }
    // The collector's work list keeps its room between collections.
    TInt32 markStackCapacity() const { return markStack_.capacity(); }
    TInt32 liveObjectCount() const { return TInt32(objects_.size() - freeHandles_.count()); }

    // --- checked access ---------------------------------------------------
    HeapEntry* headerOf(VMAddr ref);        // checked translation of ref - 24
    HeapEntry* entryAt(VMAddr headerAddr);  // checked translation of a header address
    VMAddr addressOf(const HeapEntry* he) const { return mem_.addressOf(he); }
    VMAddr referenceOf(const HeapEntry* he) const { return addressOf(he) + kHeaderSize; }
    // The live entry whose data area starts at ref, or null.
    HeapEntry* liveEntry(VMAddr ref);
    HeapEntry* belongsToPools(VMAddr address);

    // --- free lists -------------------------------------------------------
    void addEntryToFreeEntries(HeapEntry* he);
    void removeFromFreeEntries(HeapEntry* he);
    static TInt32 sizeClass(TUint32 size) {
        return size <= 1 ? 0 : 32 - __builtin_clz(size - 1);  // smallest k with 2^k >= size
    }
    TInt32 freeListCount(TInt32 k) const { return freeHeapEntries_[k]->count(); }

    // --- roots and collection --------------------------------------------
    void addRoot(VMAddr ref);
    void removeRoot(VMAddr ref);
    TInt32 isRoot(VMAddr ref) const;
    void mark(VMAddr ref);
    void markArrayField(VMAddr wordAddress, TBool elementsAreReferences);
    void markIfInHeap(TUint32 word);
    void collect();
    // Clears every mark after a collection that could not finish its marking.
    void collectAbandoned() {
        markStack_.clear();
        clearAllMarks();
    }
    void sweep();
    TUint32 getMemUsage(CAppsString* out);

    // Walks every pool and checks every header, tag and free-list link.
    // Raises VM error 10 on the first inconsistency.
    void verify();

    // --- statistics ---------------------------------------------------------
    TInt32 numberOfEntries() const { return numberOfEntries_; }
    TInt32 numberOfPools() const { return pools_.getSize(); }
    TUint32 totalSizeOfPools() const { return totalSizeOfPools_; }
    VMAddr poolStart(TInt32 i) const { return pools_[i]; }
    TInt32 poolSize(TInt32 i) const { return poolSizes_[i]; }
    Vec<VMAddr>& markStack() { return markStack_; }
    // True while the collector sweeps (and while the heap is destroyed): host
    // objects must not free heap entries from their destructors then.
    bool isSweeping() const { return sweeping_; }

private:
    struct ObjectSlot {
        std::unique_ptr<GCObject> object;
        VMAddr entry = 0;  // header address that owns the slot; 0 when free
        TInt32 pool = 0;   // the pool holding that entry
        TUint32 size = 0;  // that entry's data size, which stays while it lives
    };

    // The slot whose recorded entry starts kHeaderSize below ref and whose handle
    // ref's first word holds, or null. Such an entry is a recorded start in use.
    const ObjectSlot* slotNamedBy(VMAddr ref) const {
        if (ref < kHeaderSize + VMMemory::kGuardBytes || (ref & 3) != 0 || !mem_.contains(ref, 4)) return nullptr;
        const TUint32 handle = *mem_.uncheckedWord(ref);
        if (handle == 0 || handle > objects_.size()) return nullptr;
        const ObjectSlot& slot = objects_[handle - 1];
        return slot.entry == ref - kHeaderSize ? &slot : nullptr;
    }
    GCObject* findObjectByEntry(VMAddr ref);
    GCObject* findObjectBySlot(VMAddr ref, const ObjectSlot* slot);

    [[noreturn]] static void corrupted();
    HeapEntry* at(VMAddr headerAddr) const { return reinterpret_cast<HeapEntry*>(mem_.unchecked(headerAddr)); }
    // The pool holding an address, or -1: the first pool that reaches into the
    // address's 64 KiB chunk, then the few after it.
    [[gnu::always_inline]] TInt32 poolOf(VMAddr address) const {
        TUint32 chunk = address >> kChunkShift;
        if (chunk >= chunkPools_.size()) return -1;
        TInt32 pool = chunkPools_[chunk];
        if (pool < 0) return -1;
        const TInt32 n = pools_.getSize();
        while (pool < n && address >= poolEnd(pool)) ++pool;
        return pool < n && address >= pools_.data()[pool] ? pool : -1;
    }
    void recordChunks(TInt32 pool);
    [[gnu::always_inline]] static bool bitAt(const std::vector<TUint64>& bits, TUint32 word) {
        return (bits[word / 64] >> (word % 64)) & 1;
    }
    static void setBit(std::vector<TUint64>& bits, TUint32 word, bool on) {
        const TUint64 m = TUint64(1) << (word % 64);
        bits[word / 64] = on ? bits[word / 64] | m : bits[word / 64] & ~m;
    }
    TUint32 wordIn(TInt32 pool, VMAddr headerAddr) const { return (headerAddr - pools_.data()[pool]) / 4; }
    [[gnu::always_inline]] bool isStart(TInt32 pool, VMAddr headerAddr) const {
        if ((headerAddr & 3) != 0) return false;
        return bitAt(poolStarts_[size_t(pool)], wordIn(pool, headerAddr));
    }
    void setStart(TInt32 pool, VMAddr headerAddr, bool on) {
        setBit(poolStarts_[size_t(pool)], wordIn(pool, headerAddr), on);
    }
    VMAddr poolEnd(TInt32 pool) const { return pools_.data()[pool] + TUint32(poolSizes_.data()[pool]); }
    // The entry at a recorded start, with its size and tag agreeing with the
    // record. Inline: every walk and every allocation goes through it.
    [[gnu::always_inline]] HeapEntry* validEntry(TInt32 pool, VMAddr headerAddr) {
        if (!isStart(pool, headerAddr)) corrupted();
        HeapEntry* he = at(headerAddr);
        TUint64 tagAddr = TUint64(headerAddr) + kHeaderSize + he->size;
        if ((he->size & 3) != 0 || tagAddr + 4 + kHeaderSize > poolEnd(pool)) corrupted();
        if (*mem_.uncheckedWord(VMAddr(tagAddr)) != he->size + kEntryOverhead) corrupted();
        if (!isStart(pool, VMAddr(tagAddr + 4))) corrupted();
        return he;
    }
    bool isTrailing(TInt32 pool, const HeapEntry* he) const { return addressOf(he) == poolEnd(pool) - kHeaderSize; }
    [[gnu::always_inline]] bool isFree(const HeapEntry* he) const {
        LinkedListIterator it = he->freeHeapEntryIterator;
        if (it == kNullIterator) return false;
        TInt32 k = sizeClass(he->size);
        if (k >= kFreeListCount || !freeHeapEntries_.data()[k]->contains(it) ||
            freeHeapEntries_.data()[k]->value(it) != addressOf(he))
            corrupted();
        return true;
    }
    // Unlisting a free entry and listing it (or what takes its place) again in
    // the same class gives the new entry the same node, moved to the back of
    // the list: such a pair is done as that move.
    void relistInPlace(TInt32 k, LinkedListIterator it, HeapEntry* he) {
        freeHeapEntries_.data()[k]->moveToBack(it);
        freeHeapEntries_.data()[k]->setValue(it, addressOf(he));
        he->freeHeapEntryIterator = it;
    }
    void resizeFree(HeapEntry* he, TUint32 newSize);
    HeapEntry* entryAt(VMAddr headerAddr, TInt32& pool);
    HeapEntry* release(TInt32 pool, HeapEntry* he);
    HeapEntry* sweepEntry(TInt32 pool, HeapEntry* he, HeapEntry* freeBefore, HeapEntry*& after);
    HeapEntry* retire(TInt32 pool, HeapEntry* he);
    HeapEntry* mergeInto(TInt32 pool, HeapEntry* p, HeapEntry* he);
    HeapEntry* next(TInt32 pool, HeapEntry* he);
    HeapEntry* previous(TInt32 pool, HeapEntry* he);
    HeapEntry* findFreeEntry(TUint32 size);
    HeapEntry* takeFree(TInt32 k, LinkedListIterator it, TUint32 size, bool firstFit);
    void unlistFree(TInt32 k, LinkedListIterator it);
    HeapEntry* createPool(TUint32 capacity);
    void writeTag(HeapEntry* he);
    HeapEntry* splitOff(TInt32 pool, HeapEntry* he, TUint32 firstSize);
    void carveCompound(HeapEntry* he, TUint32 firstSize, TUint32 secondRequested, TInt32 type, GcCode code);
    void destroyObject(TInt32 pool, HeapEntry* he);
    TUint32 handleOfEntry(VMAddr headerAddr) const;
    std::unique_ptr<GCObject> releaseSlot(TUint32 handle);
    void traceEntry(HeapEntry* he, VMAddr ref);
    void drainMarkStack();
    void pushArrayField(VMAddr wordAddress, TBool elementsAreReferences);
    void pushIfLive(TUint32 word);
    void checkPoolStart(TInt32 pool);
    void clearAllMarks();

    VMMemory& mem_;
    MVMCallbackInterface* callback_;
    ListNodePool<VMAddr> nodes_;
    TUint32 defaultPoolCapacity_;
    Vec<VMAddr> pools_;
    Vec<TInt32> poolSizes_;
    Vec<LinkedList<VMAddr>*> freeHeapEntries_;
    TUint32 listedClasses_ = 0;  // bit k: free list k is not empty
    LinkedList<VMAddr> roots_;
    TInt32 numberOfEntries_ = 0;
    TUint32 totalSizeOfPools_ = 0;
    ClassLayoutTables layout_;
    Vec<VMAddr> markStack_;
    bool sweeping_ = false;
    static constexpr TUint32 kChunkShift = 16;
    // Per 64 KiB chunk of VM memory, the first pool reaching into it, or -1.
    std::vector<TInt32> chunkPools_;
    // Host-side record of where entries start, one bit per word of each pool:
    // the truth against which headers read from VM memory are checked.
    std::vector<std::vector<TUint64>> poolStarts_;
    // One bit per word of each pool, set at the start of every entry that owns an
    // object slot: with the slots' entries, the authority on which entry owns which
    // object, whatever bytecode has written into the handle word.
    std::vector<std::vector<TUint64>> poolObjects_;
    std::vector<ObjectSlot> objects_;
    FreeIndexSet freeHandles_;
    // Entry to slot, built the first time a handle word is found rewritten and
    // kept in step from then on: a program that rewrites handle words pays a
    // lookup per entry instead of a search of every slot.
    mutable std::unordered_map<VMAddr, TUint32> handleIndex_;
    mutable bool handleIndexed_ = false;
};

}  // namespace mcb
