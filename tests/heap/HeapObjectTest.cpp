// Native objects in the heap: adopting them, finding them through a reference,
// running their destructors when their entries are freed, and staying out of
// reach of entries that merely hold a copy of their handle.
#include "HeapTestSupport.h"

#include <memory>

using heaptest::HeapFixture;
using heaptest::outcomeOf;
using heaptest::Probe;

namespace {
class Other : public GCObject {};
}  // namespace

using HeapObjects = HeapFixture;

TEST_F(HeapObjects, AdoptedObjectIsReachedThroughItsReference) {
    auto owned = std::make_unique<Probe>();
    Probe* p = owned.get();
    VMAddr ref = heap.adoptObject(std::move(owned), 16, GC_CODE_PLAIN);
    EXPECT_EQ(entryOf(ref).type, -1);
    EXPECT_EQ(entryOf(ref).gcCode, GC_CODE_PLAIN);
    EXPECT_EQ(sizeOf(ref), 16u);
    EXPECT_EQ(heap.findObject(ref), p);
    EXPECT_EQ(heap.object(ref), p);
    EXPECT_EQ(heap.objectAs<Probe>(ref), p);
    EXPECT_EQ(p->self(), ref);
    EXPECT_EQ(heap.liveObjectCount(), 1);

    VMAddr tiny = heap.createObject<Other>(0, GC_CODE_HASH);
    EXPECT_EQ(sizeOf(tiny), 4u) << "an object entry always has room for its handle";
    EXPECT_NE(dynamic_cast<Other*>(heap.findObject(tiny)), nullptr);
    EXPECT_EQ(heap.liveObjectCount(), 2);
}

TEST_F(HeapObjects, EntriesWithoutAnObjectAnswerNoneOrInvalidTypeId) {
    VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr other = heap.createObject<Other>(8, GC_CODE_DATETIME);
    EXPECT_EQ(heap.findObject(plain), nullptr);
    EXPECT_EQ(heap.findObject(plain + 4), nullptr);
    EXPECT_EQ(heap.findObject(0), nullptr);
    heaptest::Outcome o = outcomeOf([&] { heap.object(plain); });
    EXPECT_EQ(o.code, vmerr::VM);
    EXPECT_EQ(o.text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.objectAs<Probe>(other); }).text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.object(0); }).code, vmerr::NullPointer);
}

TEST_F(HeapObjects, FreeingAnEntryRunsItsObjectsDestructorOnce) {
    int destroyed = 0;
    VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    heap.free(a);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(heap.findObject(a), nullptr);
    EXPECT_EQ(heap.liveObjectCount(), 1);
    EXPECT_EQ(outcomeOf([&] { heap.free(a); }).code, vmerr::VM);
    EXPECT_EQ(destroyed, 1);
    heap.freeEntry(heap.headerOf(b));
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(heap.liveObjectCount(), 0);
}

TEST_F(HeapObjects, HandlesOfFreedObjectsAreReusedWithoutConfusion) {
    int destroyed = 0;
    VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    heap.allocate(4, 0, GC_CODE_PLAIN);
    heap.free(a);
    VMAddr b = heap.createObject<Other>(32, GC_CODE_PLAIN);
    EXPECT_NE(b, a);
    EXPECT_NE(dynamic_cast<Other*>(heap.findObject(b)), nullptr);
    EXPECT_EQ(heap.findObject(a), nullptr);
}

TEST(HeapObjectLifetime, ObjectsStillInTheHeapAreReleasedWithIt) {
    int destroyed = 0;
    VMMemory mem;
    {
        VMHeap heap(mem);
        heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
        heap.createObject<Probe>(8, GC_CODE_STRING, &destroyed);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST_F(HeapObjects, ACopiedHandleDoesNotReachAnotherEntrysObject) {
    int destroyedB = 0;
    VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN);
    VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedB);
    VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
    mem.writeWord(plain, mem.readWord(b));
    mem.writeWord(a, mem.readWord(b));
    GCObject* bObject = heap.findObject(b);
    EXPECT_EQ(heap.findObject(plain), nullptr);
    EXPECT_NE(heap.findObject(a), bObject);
    heap.free(plain);
    heap.free(a);
    EXPECT_EQ(destroyedB, 0) << "b's object belongs to b alone";
    EXPECT_NE(heap.findObject(b), nullptr);
}

// Bytecode may overwrite the handle word of a native object. The object still
// goes with its entry, and a new entry at the same address does not inherit it.
TEST_F(HeapObjects, AnObjectGoesWithItsEntryWhateverItsHandleWordHolds) {
    int destroyed = 0;
    VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    TUint32 handle = mem.readWord(a);
    mem.writeWord(a, 0);
    heap.free(a);
    EXPECT_EQ(destroyed, 1);
    VMAddr b = heap.allocate(16, 0, GC_CODE_PLAIN);
    ASSERT_EQ(b, a);
    mem.writeWord(b, handle);
    EXPECT_EQ(heap.findObject(b), nullptr);
    heap.free(b);
    heap.verify();
}
