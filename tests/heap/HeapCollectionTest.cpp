// Native objects and garbage collection: destructors, roots, what each kind of entry keeps alive,
// failures while marking, and chains that must not recurse.
#include "HeapTestSupport.h"

#include <memory>

namespace mcb {

namespace {

// Stands in for a vector object: answers with its storage block and count.
struct FakeVector : GCObject {
    bool arrayStorage(VMAddr* storage, TInt32* count) const override {
        *storage = storage_;
        *count = count_;
        return true;
    }
    VMAddr storage_ = 0;
    TInt32 count_ = 0;
};

struct Other : GCObject {};

class HeapCollection : public HeapFixture {
protected:
    VMAddr cell(VMAddr target) {
        VMAddr c = heap.allocateWords(1, GC_CODE_REFERENCE_CELL);
        mem.writeWord(c, target);
        return c;
    }
    VMAddr pair(TUint32 kind, VMAddr first, VMAddr second) {
        VMAddr p = heap.allocate(12, 0, GC_CODE_PAIR);
        for (TUint32 i = 0; i < 3; ++i) mem.writeWord(p + 4 * i, i == 0 ? kind : i == 1 ? first : second);
        return p;
    }
    // A vector object of `elements` and its storage, reached through a handle of `code`.
    VMAddr vectorHandle(GcCode code, const std::vector<VMAddr>& elements, VMAddr* vector, VMAddr* storage) {
        auto v = std::make_unique<FakeVector>();
        v->storage_ = *storage = plain(TUint32(elements.size()) * 4 + 8);
        v->count_ = TInt32(elements.size());
        *vector = heap.adoptObject(std::move(v), 16, GC_CODE_VECTOR);
        for (size_t i = 0; i < elements.size(); ++i) mem.writeWord(*storage + TUint32(i) * 4, elements[i]);
        VMAddr h = heap.allocate(8, 0, code);
        mem.writeWord(h, *vector);
        mem.writeWord(h + 4, 4);
        return h;
    }
};

}  // namespace

TEST_F(HeapCollection, ObjectsAreFoundThroughTheirEntryOnly) {
    VMAddr ref = heap.createObject<Probe>(16, GC_CODE_PLAIN), tiny = heap.createObject<Other>(0, GC_CODE_HASH);
    EXPECT_EQ(sizeOf(tiny), 4u) << "an object entry always has room for its handle";
    EXPECT_NE(dynamic_cast<Other*>(heap.findObject(tiny)), nullptr);
    EXPECT_NE(dynamic_cast<Probe*>(heap.findObject(ref)), nullptr);
    for (VMAddr r : {plain(), ref + 4, VMAddr(0)}) EXPECT_EQ(heap.findObject(r), nullptr) << r;
    EXPECT_EQ(outcomeOf([&] { heap.object(0); }).code, vmerr::NullPointer);
}

// Destructors run once, with their own entry or the heap, even when bytecode copies handle words.
TEST(HeapObjectLifetime, DestructorsRunOnceWithTheirOwnEntry) {
    int destroyed = 0, destroyedB = 0;
    VMMemory mem;
    {
        VMHeap heap(mem);
        heap.createObject<Probe>(8, GC_CODE_STRING, &destroyed);
        VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
        VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedB);
        VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);  // last: merges with the rest
        GCObject* bObject = heap.findObject(b);
        TUint32 handleA = mem.readWord(a);
        mem.writeWord(plain, mem.readWord(b));
        mem.writeWord(a, mem.readWord(b));
        EXPECT_EQ(heap.findObject(plain), nullptr);
        EXPECT_NE(heap.findObject(a), bObject);
        heap.free(plain);
        heap.free(a);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(destroyedB, 0) << "b's object belongs to b alone";
        EXPECT_EQ(heap.findObject(b), bObject);
        VMAddr c = heap.allocate(16, 0, GC_CODE_PLAIN);
        ASSERT_EQ(c, a);
        mem.writeWord(c, handleA);
        EXPECT_EQ(heap.findObject(c), nullptr) << "a new entry at the same address inherits nothing";
        VMAddr d = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedB);  // after a handle word was lost
        mem.writeWord(d, 0);
        heap.free(d);
        EXPECT_EQ(destroyedB, 1) << "d's object goes with d, found without its handle word";
    }
    EXPECT_EQ(destroyed, 2) << "objects still in the heap are released with it";
    EXPECT_EQ(destroyedB, 2);
}

// However many words name an entry, and however many holders share a vector,
// the work list holds each entry about once.
TEST_F(HeapCollection, ManyWordsNamingOneEntryQueueItOnce) {
    VMAddr e = plain(), st = 0, v = 0;
    const VMAddr h = vectorHandle(GC_CODE_OBJECT_ARRAY, std::vector<VMAddr>(100000, e), &v, &st);
    heap.addRoot(h);
    heap.collect();
    EXPECT_TRUE(isLive(e) && isLive(st));
    EXPECT_LT(heap.markStackCapacity(), 1000);
}

// Rooted array handles keep vector and storage, elements only for object arrays; an empty vector's
// storage and a vector behind a null word go. (Layouts and stack scans: tests/apps/vm/gc_*.s.)
TEST_F(HeapCollection, ArrayHandlesKeepTheirVectorAndObjectElements) {
    VMAddr e[2] = {plain(), plain()}, v[3], st[3], h[3];
    const GcCode codes[] = {GC_CODE_OBJECT_ARRAY, GC_CODE_PRIMITIVE_ARRAY, GC_CODE_PRIMITIVE_ARRAY};
    for (int i = 0; i < 3; ++i) {
        h[i] = vectorHandle(codes[i], i == 2 ? std::vector<VMAddr>{} : std::vector<VMAddr>{e[i], 0}, &v[i], &st[i]);
        heap.addRoot(h[i]);
    }
    heap.collect();
    for (VMAddr r : {v[0], st[0], e[0], v[1], st[1], v[2]}) EXPECT_TRUE(isLive(r)) << r;
    for (VMAddr r : {e[1], st[2]}) EXPECT_FALSE(isLive(r)) << r;
    mem.writeWord(h[2], 0);
    heap.collect();
    EXPECT_FALSE(isLive(v[2])) << "a null vector word keeps nothing";
}

// A pair's dangling reference is an error (a bad kind: below). Level conversion boxes numbers, so
// a rooted cell may hold a number that is no entry, or null.
TEST_F(HeapCollection, PairsAndCellsKeepWhatTheyHoldAndBadPairsRaise) {
    VMAddr a = plain(), b = plain(), c = plain(), boxed = cell(5), empty = cell(0);
    VMAddr one = pair(1, a, b);
    for (VMAddr root : {one, pair(2, 0, c), boxed, empty}) heap.addRoot(root);
    heap.collect();
    EXPECT_TRUE(isLive(a) && isLive(boxed) && isLive(empty));
    EXPECT_FALSE(isLive(b)) << "kind 1 keeps its first only";
    EXPECT_TRUE(isLive(c));
    EXPECT_EQ(outcomeOf([&] { heap.mark(one + 4); }).code, vmerr::VM) << "not an entry start";
    heap.free(a);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM) << "dangling";
}

// A collection or stack scan stopped by a VM error (a pair of bad kind) must not leave marks that a
// later collection takes for "already traced".
TEST_F(HeapCollection, FailedMarkingLeavesNoStaleMarks) {
    VMAddr old = plain(), c = cell(old), bad = pair(9, 0, 0), c2 = cell(bad);
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
    EXPECT_TRUE(isLive(fresh) && isLive(fresh2));
    EXPECT_FALSE(isLive(old) || isLive(bad));
    for (TInt32 i = 0; i < heap.numberOfPools(); ++i)
        for (const RawEntry& e : walkPool(heap, i)) EXPECT_EQ(e.mark, 0u) << e.header;
}

// Only freeing asks whether the entry before is free: an entry that bytecode marked kept
// and gave a free-list word is left alone, as long as no dead entry follows it.
TEST_F(HeapCollection, TheSweepLeavesAKeptEntryWithAnOverwrittenListWordAlone) {
    VMAddr kept = plain(), next = plain(), dead = plain();
    heap.addRoot(next);
    mem.writeWord(kept - 12, 1);  // the mark word
    mem.writeWord(kept - 4, 7);   // the free-list word
    heap.collect();
    mem.writeWord(kept - 4, 0);
    EXPECT_TRUE(isLive(kept) && isLive(next));
    EXPECT_FALSE(isLive(dead));
}

TEST_F(HeapCollection, RootsCountAndRemovingAMissingOneOnlyPrints) {
    VMAddr a = plain();
    heap.addRoot(a);
    heap.addRoot(a);
    heap.removeRoot(a);
    testing::internal::CaptureStderr();
    heap.removeRoot(0x80000010u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Removing non-existing root: -2147483632");
    heap.collect();
    EXPECT_TRUE(isLive(a));
    heap.removeRoot(a);
    heap.collect();
    EXPECT_FALSE(isLive(a));
}

// Marking must not recurse: a chain of a million instances, then one of 100000 native objects.
TEST_F(HeapCollection, LongChainsAreMarkedWithoutRecursion) {
    layouts.applyTo(heap, {1});
    int destroyed = 0;
    auto markChain = [&](TInt32 length, auto link) {
        VMAddr head = 0;
        for (TInt32 i = 0; i < length; ++i) head = link(head);
        heap.addRoot(head);
        heap.collect();
        EXPECT_EQ(heap.numberOfEntries(), length);
        heap.removeRoot(head);
    };
    markChain(1000000, [&](VMAddr next) {
        VMAddr r = heap.allocate(8, 0, GC_CODE_INSTANCE);
        mem.writeWord(r, 1);
        mem.writeWord(r + 4, next);
        return r;
    });
    markChain(100000, [&](VMAddr next) {
        auto p = std::make_unique<Probe>(&destroyed);
        if (next) p->keeps.push_back(next);
        return heap.adoptObject(std::move(p), 4, GC_CODE_PLAIN);
    });
    EXPECT_EQ(destroyed, 0);
    heap.collect();
    EXPECT_EQ(destroyed, 100000);
}

}  // namespace mcb
