// Native objects of the VM heap: the slot table that owns the host objects and the
// per-pool bits that say which entry owns a slot. A handle word in VM memory is
// believed only when the slot it names records that very entry.
#include "heap/VMHeap.h"

#include <algorithm>

namespace mcb {

void VMHeap::attachObject(VMAddr ref, std::unique_ptr<GCObject> object) {
    HeapEntry* he = headerOf(ref);
    if (he->size < 4 || isFree(he)) corrupted();
    if (MemoryBudget* budget = mem_.budget()) budget->charge(kNativeObjectHostBytes);
    const VMAddr entry = addressOf(he);
    const TInt32 pool = poolOf(entry);
    const bool hadObject = bitAt(poolObjects_[size_t(pool)], wordIn(pool, entry));
    const TUint32 previous = hadObject ? handleOfEntry(entry) : 0;
    TUint32 handle = freeHandles_.take();
    if (handle == 0) {
        freeHandles_.cover(TUint32(objects_.size()) + 1);
        objects_.emplace_back();
        handle = TUint32(objects_.size());
    }
    if (handleIndexed_) handleIndex_[entry] = handle;
    ObjectSlot& slot = objects_[handle - 1];
    object->self_ = ref;
    slot.object = std::move(object);
    slot.entry = entry;
    slot.pool = pool;
    slot.size = he->size;
    *mem_.uncheckedWord(ref) = handle;
    setBit(poolObjects_[size_t(pool)], wordIn(pool, entry), true);
    if (previous) releaseSlot(previous);  // the entry had an object already: it goes, the new one stays
}

// The slot owned by the entry at headerAddr, which owns one: the handle word when
// bytecode left it alone, otherwise the entry's record in the index.
TUint32 VMHeap::handleOfEntry(VMAddr headerAddr) const {
    const TUint32 word = *mem_.uncheckedWord(headerAddr + kHeaderSize);
    if (word != 0 && word <= objects_.size() && objects_[word - 1].entry == headerAddr) return word;
    if (!handleIndexed_) {
        for (size_t i = 0; i < objects_.size(); ++i)
            if (objects_[i].entry != 0) handleIndex_[objects_[i].entry] = TUint32(i + 1);
        handleIndexed_ = true;
    }
    auto found = handleIndex_.find(headerAddr);
    return found == handleIndex_.end() ? 0 : found->second;
}

// Frees the slot and hands back its object, to be destroyed once the records agree.
std::unique_ptr<GCObject> VMHeap::releaseSlot(TUint32 handle) {
    ObjectSlot& slot = objects_[handle - 1];
    std::unique_ptr<GCObject> object = std::move(slot.object);
    if (handleIndexed_) {
        auto found = handleIndex_.find(slot.entry);
        if (found != handleIndex_.end() && found->second == handle) handleIndex_.erase(found);
    }
    slot.entry = 0;
    freeHandles_.release(handle);
    if (MemoryBudget* budget = mem_.budget()) budget->release(kNativeObjectHostBytes);
    return object;
}

VMAddr VMHeap::adoptObject(std::unique_ptr<GCObject> object, TUint32 entrySize, GcCode code, TInt32 type) {
    VMAddr ref = allocate(std::max<TUint32>(entrySize, 4), type, code);
    attachObject(ref, std::move(object));
    return ref;
}

// The full search behind findObject, for a handle word that names no slot of this entry.
GCObject* VMHeap::findObjectByEntry(VMAddr ref) {
    HeapEntry* he = liveEntry(ref);
    if (!he || he->size < 4) return nullptr;
    // A handle word that bytecode changed reaches nothing, not even the entry's own object.
    TUint32 handle = *mem_.uncheckedWord(ref);
    if (handle == 0 || handle > objects_.size()) return nullptr;
    const ObjectSlot& slot = objects_[handle - 1];
    return slot.entry == addressOf(he) ? slot.object.get() : nullptr;
}

// The full check behind findObject, for an entry whose header or tag differs from its slot's record.
GCObject* VMHeap::findObjectBySlot(VMAddr ref, const ObjectSlot* slot) {
    HeapEntry* checked = validEntry(slot->pool, ref - kHeaderSize);
    return isFree(checked) || checked->size < 4 ? nullptr : slot->object.get();
}

// Entries without an object cost one bit test.
void VMHeap::destroyObject(TInt32 pool, HeapEntry* he) {
    const VMAddr entry = addressOf(he);
    std::vector<TUint64>& owners = poolObjects_[size_t(pool)];
    if (!bitAt(owners, wordIn(pool, entry))) return;
    setBit(owners, wordIn(pool, entry), false);
    const TUint32 handle = handleOfEntry(entry);
    if (handle == 0) return;
    std::unique_ptr<GCObject> doomed = releaseSlot(handle);
    *mem_.uncheckedWord(referenceOf(he)) = 0;
    doomed.reset();
}

}  // namespace mcb
