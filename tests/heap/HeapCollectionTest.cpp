// Garbage collection on the heap side: the root list, what each kind of entry
// keeps alive, conservative marking of stray words, failures while marking and
// chains long enough that marking must not recurse.
#include "HeapTestSupport.h"

#include <memory>

using heaptest::HeapFixture;
using heaptest::outcomeOf;
using heaptest::Probe;
using heaptest::FakeVector;
using heaptest::RawEntry;

class HeapCollection : public HeapFixture {
protected:
    VMAddr plain(TUint32 size = 16) { return heap.allocate(size, 0, GC_CODE_PLAIN); }
    VMAddr cell(VMAddr target) {
        VMAddr c = heap.allocateWords(1, GC_CODE_REFERENCE_CELL);
        mem.writeWord(c, target);
        return c;
    }
    VMAddr pair(TUint32 kind, VMAddr first, VMAddr second) {
        VMAddr p = heap.allocate(12, 0, GC_CODE_PAIR);
        mem.writeWord(p, kind);
        mem.writeWord(p + 4, first);
        mem.writeWord(p + 8, second);
        return p;
    }
    // A vector of `elements` with its storage block, reached through a handle of `code`.
    VMAddr vectorHandle(GcCode code, const std::vector<VMAddr>& elements, VMAddr* vector,
                        VMAddr* storage) {
        auto v = std::make_unique<FakeVector>();
        FakeVector* fv = v.get();
        *vector = heap.adoptObject(std::move(v), 16, GC_CODE_VECTOR);
        *storage = heap.allocate(TUint32(elements.size()) * 4 + 8, 0, GC_CODE_PLAIN);
        for (size_t i = 0; i < elements.size(); ++i) mem.writeWord(*storage + TUint32(i) * 4, elements[i]);
        fv->storage_ = *storage;
        fv->count_ = TInt32(elements.size());
        VMAddr h = heap.allocate(8, 0, code);
        mem.writeWord(h, *vector);
        mem.writeWord(h + 4, 4);
        return h;
    }
    heaptest::Layouts layouts;

    void expectNoMarks() {
        for (TInt32 i = 0; i < heap.numberOfPools(); ++i)
            for (const RawEntry& e : heaptest::walkPool(heap, i)) EXPECT_EQ(e.mark, 0u) << e.header;
    }
};

TEST_F(HeapCollection, EmptyRootListFreesEveryEntry) {
    int destroyed = 0;
    VMAddr c = cell(0);
    mem.writeWord(c, plain());
    pair(7, 0, 0);  // never marked, so its bad kind goes unnoticed
    heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    heap.allocate(100000, 0, GC_CODE_STRING);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), 0);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}, {17, 1}})) << "each pool is one free entry again";
    EXPECT_EQ(heap.numberOfPools(), 2);
    heap.verify();
}

// Level conversion boxes plain numbers in cells: a rooted cell holding a number
// that is no entry must not stop the collection.
TEST_F(HeapCollection, CellsAndNativeObjectsKeepWhatTheyHold) {
    int destroyed = 0;
    auto owned = std::make_unique<Probe>(&destroyed);
    Probe* p = owned.get();
    VMAddr obj = heap.adoptObject(std::move(owned), 8, GC_CODE_PLAIN);
    VMAddr leaf = plain(), other = plain();
    VMAddr viaCell = cell(leaf), boxed = cell(5);
    p->keeps = {viaCell};
    heap.addRoot(obj);
    heap.addRoot(boxed);
    heap.collect();
    for (VMAddr r : {obj, viaCell, leaf, boxed}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_FALSE(isLive(other));
    expectNoMarks();
    mem.writeWord(viaCell, 0);
    heap.collect();
    EXPECT_TRUE(isLive(viaCell));
    EXPECT_FALSE(isLive(leaf)) << "a null cell keeps nothing alive";
    p->keeps.clear();
    heap.collect();
    EXPECT_FALSE(isLive(viaCell));
    heap.removeRoot(obj);
    heap.collect();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(HeapCollection, ArrayHandlesKeepVectorAndStorageAndObjectElements) {
    VMAddr e0 = plain(), e1 = plain(), p0 = plain(), ov = 0, os = 0, pv = 0, ps = 0, ev = 0, es = 0;
    heap.addRoot(vectorHandle(GC_CODE_OBJECT_ARRAY, {e0, 0, e1}, &ov, &os));
    heap.addRoot(vectorHandle(GC_CODE_PRIMITIVE_ARRAY, {p0, p0}, &pv, &ps));
    VMAddr empty = vectorHandle(GC_CODE_OBJECT_ARRAY, {}, &ev, &es);
    heap.addRoot(empty);
    heap.collect();
    for (VMAddr r : {ov, os, e0, e1, pv, ps, ev}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_FALSE(isLive(p0)) << "a primitive element is only a number";
    EXPECT_FALSE(isLive(es)) << "an empty vector's storage";
    mem.writeWord(empty, 0);
    heap.collect();
    EXPECT_FALSE(isLive(ev)) << "a null vector word keeps nothing";
    EXPECT_TRUE(isLive(empty));
}

TEST_F(HeapCollection, InstancesFollowTheirClassLayout) {
    layouts.set(1, {1}, {{2, 1}, {3, 0}}).applyTo(heap);  // word 4 is plain data
    VMAddr field = plain(), e0 = plain(), e1 = plain(), data = plain();
    VMAddr ov = 0, os = 0, pv = 0, ps = 0;
    VMAddr oh = vectorHandle(GC_CODE_OBJECT_ARRAY, {e0}, &ov, &os);
    VMAddr ph = vectorHandle(GC_CODE_PRIMITIVE_ARRAY, {e1}, &pv, &ps);
    VMAddr inst = heap.allocate(20, 0, GC_CODE_INSTANCE);
    mem.writeWord(inst, 1);
    mem.writeWord(inst + 4, field);
    mem.writeWord(inst + 8, ov);
    mem.writeWord(inst + 12, pv);
    mem.writeWord(inst + 16, data);
    heap.addRoot(inst);
    heap.collect();
    for (VMAddr r : {inst, field, ov, os, e0, pv, ps}) EXPECT_TRUE(isLive(r)) << r;
    for (VMAddr r : {e1, data, oh, ph}) EXPECT_FALSE(isLive(r)) << r;
}

// The VM's stack scan marks stray words and array slots, then collects with the
// roots: what the scan reached must survive that collection.
TEST_F(HeapCollection, StackScanMarksSurviveTheCollectionThatFollows) {
    VMAddr stackSlots = mem.carve(8);  // stands in for the value stack
    VMAddr e0 = plain(), stray = plain(), garbage = plain(), v = 0, s = 0;
    VMAddr h = vectorHandle(GC_CODE_OBJECT_ARRAY, {e0}, &v, &s);
    mem.writeWord(stackSlots, v);
    heap.markIfInHeap(stray);
    heap.markArrayField(stackSlots, ETrue);
    heap.collect();
    for (VMAddr r : {stray, v, s, e0}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_FALSE(isLive(garbage));
    EXPECT_FALSE(isLive(h));
    expectNoMarks();
}

// A cell may box a plain value, so only a pair's bad kind or dangling reference is an error.
TEST_F(HeapCollection, PairsKeepWhatTheirKindSaysAndBadOnesRaise) {
    VMAddr a = plain(), b = plain(), c = plain();
    VMAddr one = pair(1, a, b);
    heap.addRoot(one);
    heap.addRoot(pair(2, 0, c));
    heap.collect();
    EXPECT_TRUE(isLive(a));
    EXPECT_FALSE(isLive(b)) << "kind 1 keeps its first only";
    EXPECT_TRUE(isLive(c));
    EXPECT_EQ(outcomeOf([&] { heap.mark(one + 4); }).code, vmerr::VM) << "not an entry start";
    heap.free(a);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM) << "dangling";
    mem.writeWord(one + 4, 0);
    heap.collect();
    heap.addRoot(pair(3, 0, 0));
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM) << "kind 3";
}

// A collection or stack scan stopped by a VM error must not leave marks that a
// later collection takes for "already traced".
TEST_F(HeapCollection, FailedMarkingLeavesNoStaleMarks) {
    VMAddr old = plain();
    VMAddr c = cell(old);
    VMAddr bad = pair(9, 0, 0);
    VMAddr c2 = cell(bad);
    heap.addRoot(c);
    heap.addRoot(bad);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM);
    EXPECT_EQ(outcomeOf([&] { heap.markIfInHeap(c2); }).code, vmerr::VM);  // the stack scan's way in
    heap.removeRoot(bad);
    VMAddr fresh = plain(), fresh2 = plain();
    mem.writeWord(c, fresh);
    mem.writeWord(c2, fresh2);
    heap.addRoot(c2);
    heap.collect();
    EXPECT_TRUE(isLive(fresh));
    EXPECT_TRUE(isLive(fresh2));
    EXPECT_FALSE(isLive(old));
    EXPECT_FALSE(isLive(bad));
    expectNoMarks();
}

TEST_F(HeapCollection, RootsCountAndRemovingAMissingOneOnlyPrints) {
    VMAddr a = plain(), b = plain();
    heap.addRoot(a);
    heap.addRoot(a);
    heap.removeRoot(a);
    EXPECT_EQ(heap.isRoot(a), 1);
    testing::internal::CaptureStderr();
    heap.removeRoot(b);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Removing non-existing root: " + std::to_string(TInt32(b)));
    testing::internal::CaptureStderr();
    heap.removeRoot(0x80000010u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Removing non-existing root: -2147483632");
    heap.collect();
    EXPECT_TRUE(isLive(a));
    heap.removeRoot(a);
    EXPECT_EQ(heap.isRoot(a), 0);
    heap.collect();
    EXPECT_FALSE(isLive(a));
}

TEST_F(HeapCollection, StrayWordsKeepTheEntryTheyFallInto) {
    VMAddr p = heap.poolStart(0);
    VMAddr a = plain(), b = plain(), c = plain();
    plain();  // keeps c from merging with the free rest
    for (TUint32 w : {0u, 5u, 24u, 0xFFFFFFFFu, p, p + 24, p + 27 + 24, p + 64080 + 23, p + 64079, p + 64080 + 24})
        EXPECT_EQ(outcomeOf([&] { heap.markIfInHeap(w); }).code, 0) << std::hex << w;
    // From b itself up to 24 bytes past b's boundary tag, a word selects b.
    heap.markIfInHeap(b + 16 + 4 + 23);  // the word just below c
    heap.sweep();
    EXPECT_TRUE(isLive(b));
    EXPECT_FALSE(isLive(a));
    EXPECT_FALSE(isLive(c));
    heap.markIfInHeap(b - 1);  // the tail of the free entry before b
    heap.sweep();
    EXPECT_FALSE(isLive(b));
    expectNoMarks();
}

// Marking must not recurse: a million instances, then 100000 native objects.
TEST_F(HeapCollection, LongChainsAreMarkedWithoutRecursion) {
    layouts.set(1, {1}).applyTo(heap);
    constexpr TInt32 kLinks = 1000000;
    VMAddr head = 0;
    for (TInt32 i = 0; i < kLinks; ++i) {
        VMAddr r = heap.allocate(8, 0, GC_CODE_INSTANCE);
        mem.writeWord(r, 1);
        mem.writeWord(r + 4, head);
        head = r;
    }
    heap.allocate(8, 0, GC_CODE_INSTANCE);  // unreachable
    heap.addRoot(head);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), kLinks);
    heap.removeRoot(head);

    int destroyed = 0;
    constexpr int kObjects = 100000;
    head = 0;
    for (int i = 0; i < kObjects; ++i) {
        auto p = std::make_unique<Probe>(&destroyed);
        if (head) p->keeps.push_back(head);
        head = heap.adoptObject(std::move(p), 4, GC_CODE_PLAIN);
    }
    heap.addRoot(head);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), kObjects);
    EXPECT_EQ(destroyed, 0);
    heap.removeRoot(head);
    heap.collect();
    EXPECT_EQ(destroyed, kObjects);
    EXPECT_EQ(heap.numberOfEntries(), 0);
}
