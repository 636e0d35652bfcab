// Garbage collection on the heap side: the root list, what each kind of entry
// keeps alive, conservative marking of stray words, failures while marking and a
// chain long enough that marking must not recurse.
#include "HeapTestSupport.h"

#include <memory>

using heaptest::HeapFixture;
using heaptest::outcomeOf;
using heaptest::Probe;
using heaptest::RawEntry;

using heaptest::FakeVector;

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
    void expectNoMarks() {
        for (const RawEntry& e : heaptest::walkAll(heap)) EXPECT_EQ(e.mark, 0u) << e.header;
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

TEST_F(HeapCollection, RootedReferenceCellKeepsItsTarget) {
    VMAddr target = plain();
    VMAddr other = plain();
    VMAddr c = cell(target);
    heap.addRoot(c);
    heap.collect();
    EXPECT_TRUE(isLive(c));
    EXPECT_TRUE(isLive(target));
    EXPECT_FALSE(isLive(other));
    EXPECT_EQ(heap.numberOfEntries(), 2);
    expectNoMarks();

    mem.writeWord(c, 0);
    heap.collect();
    EXPECT_TRUE(isLive(c));
    EXPECT_FALSE(isLive(target)) << "a null cell keeps nothing alive";
}

TEST_F(HeapCollection, NativeObjectsKeepWhatTheyReport) {
    int destroyed = 0;
    auto owned = std::make_unique<Probe>(&destroyed);
    Probe* p = owned.get();
    VMAddr obj = heap.adoptObject(std::move(owned), 8, GC_CODE_PLAIN);
    VMAddr leaf = plain();
    VMAddr viaCell = cell(leaf);
    p->keeps = {viaCell};
    heap.addRoot(obj);
    heap.collect();
    EXPECT_TRUE(isLive(viaCell));
    EXPECT_TRUE(isLive(leaf));
    EXPECT_EQ(destroyed, 0);
    p->keeps.clear();
    heap.collect();
    EXPECT_FALSE(isLive(viaCell));
    EXPECT_FALSE(isLive(leaf));
    heap.removeRoot(obj);
    heap.collect();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(HeapCollection, ObjectArrayKeepsVectorStorageAndElements) {
    VMAddr e0 = plain(), e1 = plain(), v = 0, s = 0;
    VMAddr h = vectorHandle(GC_CODE_OBJECT_ARRAY, {e0, 0, e1}, &v, &s);
    heap.addRoot(h);
    heap.collect();
    for (VMAddr r : {h, v, s, e0, e1}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_EQ(heap.numberOfEntries(), 5);
}

TEST_F(HeapCollection, PrimitiveArrayKeepsVectorAndStorageOnly) {
    VMAddr e0 = plain(), v = 0, s = 0;
    VMAddr h = vectorHandle(GC_CODE_PRIMITIVE_ARRAY, {e0, e0}, &v, &s);
    heap.addRoot(h);
    heap.collect();
    for (VMAddr r : {h, v, s}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_FALSE(isLive(e0)) << "a primitive element is only a number";
}

TEST_F(HeapCollection, EmptyVectorKeepsOnlyItselfThroughAnArrayField) {
    VMAddr v = 0, s = 0;
    VMAddr h = vectorHandle(GC_CODE_OBJECT_ARRAY, {}, &v, &s);
    heap.addRoot(h);
    heap.collect();
    EXPECT_TRUE(isLive(v));
    EXPECT_FALSE(isLive(s));

    mem.writeWord(h, 0);
    heap.collect();
    EXPECT_FALSE(isLive(v)) << "a null vector word keeps nothing";
    EXPECT_TRUE(isLive(h));
}

TEST_F(HeapCollection, InstancesFollowTheirClassLayout) {
    // Class 1: word 1 is a reference, word 2 an object-array field, word 3 a
    // primitive-array field; word 4 is plain data.
    Vec<Vec<int>> refs, arrays;
    Vec<Vec<TUint8>> flags;
    refs.resize(2);
    arrays.resize(2);
    flags.resize(2);
    refs[1].append(1);
    arrays[1].append(2);
    arrays[1].append(3);
    flags[1].append(1);
    flags[1].append(0);
    heap.setClassLayout({&refs, &arrays, &flags});

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

TEST_F(HeapCollection, PairsKeepWhatTheirKindSays) {
    VMAddr a = plain(), b = plain(), c = plain();
    VMAddr one = pair(1, a, b);
    VMAddr two = pair(2, 0, c);
    heap.addRoot(one);
    heap.addRoot(two);
    heap.collect();
    EXPECT_TRUE(isLive(a));
    EXPECT_FALSE(isLive(b)) << "kind 1 keeps its first only";
    EXPECT_TRUE(isLive(c));

    VMAddr bad = pair(3, a, 0);
    heap.addRoot(bad);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM);
}

// A cell may box a plain value, so only a pair's dangling reference is an error.
TEST_F(HeapCollection, MarkingAFreedEntryRaises) {
    VMAddr a = plain();
    VMAddr c = pair(1, a, 0);
    plain();
    heap.addRoot(c);
    heap.free(a);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM);
    EXPECT_EQ(outcomeOf([&] { heap.mark(c + 4); }).code, vmerr::VM) << "not an entry start";
}

// A collection stopped by a VM error must not leave marks that a later
// collection takes for "already traced".
TEST_F(HeapCollection, FailedCollectionLeavesNoStaleMarks) {
    VMAddr old = plain();
    VMAddr c = cell(old);
    VMAddr bad = pair(9, 0, 0);
    heap.addRoot(c);
    heap.addRoot(bad);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM);

    mem.writeWord(bad, 1);
    VMAddr fresh = plain();
    mem.writeWord(c, fresh);
    heap.collect();
    EXPECT_TRUE(isLive(fresh)) << "reachable from a root";
    EXPECT_FALSE(isLive(old));
    expectNoMarks();
}

// The same when the failure comes from the VM's stack scan, before collect().
TEST_F(HeapCollection, FailedStackScanLeavesNoStaleMarks) {
    VMAddr bad = pair(9, 0, 0);
    VMAddr c = cell(bad);
    EXPECT_EQ(outcomeOf([&] { heap.markIfInHeap(c); }).code, vmerr::VM);

    VMAddr fresh = plain();
    mem.writeWord(c, fresh);
    heap.addRoot(c);
    heap.collect();
    EXPECT_TRUE(isLive(fresh)) << "reachable from a root";
    EXPECT_FALSE(isLive(bad));
    expectNoMarks();
}

TEST_F(HeapCollection, RootAddedTwiceStaysAfterOneRemoval) {
    VMAddr a = plain();
    heap.addRoot(a);
    heap.addRoot(a);
    heap.removeRoot(a);
    EXPECT_EQ(heap.isRoot(a), 1);
    heap.collect();
    EXPECT_TRUE(isLive(a));
    heap.removeRoot(a);
    EXPECT_EQ(heap.isRoot(a), 0);
    heap.collect();
    EXPECT_FALSE(isLive(a));
}

TEST_F(HeapCollection, RemovingANonExistingRootOnlyPrints) {
    VMAddr a = plain(), b = plain();
    heap.addRoot(a);
    testing::internal::CaptureStderr();
    heap.removeRoot(b);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error: Removing non-existing root: " + std::to_string(TInt32(b)));
    EXPECT_EQ(heap.isRoot(a), 1);
    EXPECT_EQ(heap.isRoot(b), 0);
    heap.collect();
    EXPECT_TRUE(isLive(a));

    testing::internal::CaptureStderr();
    heap.removeRoot(0x80000010u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Removing non-existing root: -2147483632");
}

TEST_F(HeapCollection, StrayWordsKeepTheEntryTheyFallInto) {
    VMAddr a = plain(), b = plain(), c = plain();
    plain();  // keeps c from merging with the free rest
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

TEST_F(HeapCollection, StrayWordsOutsideLiveEntriesAreIgnored) {
    VMAddr p = heap.poolStart(0);
    VMAddr a = plain();
    for (TUint32 w : {0u, 5u, 24u, 0xFFFFFFFFu, p, p + 24, p + 27 + 24, a + 200, p + 64080 + 23,
                      p + 64079, p + 64080 + 24}) {
        EXPECT_EQ(outcomeOf([&] { heap.markIfInHeap(w); }).code, 0) << std::hex << w;
    }
    heap.sweep();
    EXPECT_FALSE(isLive(a));
}

TEST_F(HeapCollection, MillionLinkChainIsMarkedWithoutRecursion) {
    Vec<Vec<int>> refs, arrays;
    Vec<Vec<TUint8>> flags;
    refs.resize(2);
    arrays.resize(2);
    flags.resize(2);
    refs[1].append(1);
    heap.setClassLayout({&refs, &arrays, &flags});

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
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), 0);
}

TEST_F(HeapCollection, LongChainOfNativeObjectsIsMarkedWithoutRecursion) {
    int destroyed = 0;
    constexpr int kLinks = 100000;
    VMAddr head = 0;
    for (int i = 0; i < kLinks; ++i) {
        auto p = std::make_unique<Probe>(&destroyed);
        if (head) p->keeps.push_back(head);
        head = heap.adoptObject(std::move(p), 4, GC_CODE_PLAIN);
    }
    heap.addRoot(head);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), kLinks);
    EXPECT_EQ(destroyed, 0);
    heap.removeRoot(head);
    heap.collect();
    EXPECT_EQ(destroyed, kLinks);
}

// Level conversion boxes ints in reference cells: a rooted cell holding a
// number that is no entry must not stop the collection.
TEST_F(HeapCollection, ACellHoldingAPlainNumberIsNoReference) {
    VMAddr boxed = cell(5);
    VMAddr kept = plain();
    VMAddr holder = cell(kept);
    heap.addRoot(boxed);
    heap.addRoot(holder);
    heap.collect();
    EXPECT_TRUE(isLive(boxed));
    EXPECT_TRUE(isLive(kept));
    expectNoMarks();
}
