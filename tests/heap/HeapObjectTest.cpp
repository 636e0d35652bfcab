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

TEST_F(HeapObjects, AdoptedObjectsAreFoundThroughTheirEntryOnly) {
    auto owned = std::make_unique<Probe>();
    Probe* p = owned.get();
    VMAddr ref = heap.adoptObject(std::move(owned), 16, GC_CODE_PLAIN);
    EXPECT_EQ(entryOf(ref).type, -1);
    EXPECT_EQ(sizeOf(ref), 16u);
    EXPECT_EQ(heap.objectAs<Probe>(ref), p);
    EXPECT_EQ(p->self(), ref);
    VMAddr tiny = heap.createObject<Other>(0, GC_CODE_HASH);
    EXPECT_EQ(sizeOf(tiny), 4u) << "an object entry always has room for its handle";
    EXPECT_NE(dynamic_cast<Other*>(heap.findObject(tiny)), nullptr);
    EXPECT_EQ(heap.liveObjectCount(), 2);

    VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
    EXPECT_EQ(heap.findObject(plain), nullptr);
    EXPECT_EQ(heap.findObject(ref + 4), nullptr);
    EXPECT_EQ(heap.findObject(0), nullptr);
    heaptest::Outcome o = outcomeOf([&] { heap.object(plain); });
    EXPECT_EQ(o.code, vmerr::VM);
    EXPECT_EQ(o.text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.objectAs<Probe>(tiny); }).text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.object(0); }).code, vmerr::NullPointer);
}

TEST(HeapObjectLifetime, DestructorsRunOnceWhenEntryOrHeapGoes) {
    int destroyed = 0;
    VMMemory mem;
    {
        VMHeap heap(mem);
        VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
        VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
        heap.createObject<Probe>(8, GC_CODE_STRING, &destroyed);
        heap.free(a);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(heap.findObject(a), nullptr);
        EXPECT_EQ(outcomeOf([&] { heap.free(a); }).code, vmerr::VM);
        heap.freeEntry(heap.headerOf(b));
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(heap.liveObjectCount(), 1);
    }
    EXPECT_EQ(destroyed, 3) << "objects still in the heap are released with it";
}

// Bytecode may copy or overwrite the handle word of a native object: the object
// still goes with its own entry alone.
TEST_F(HeapObjects, AnObjectGoesWithItsEntryWhateverTheHandleWordsHold) {
    int destroyedA = 0, destroyedB = 0;
    VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedB);
    VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedA);  // last: merges with the free rest
    GCObject* bObject = heap.findObject(b);
    TUint32 handleA = mem.readWord(a);
    mem.writeWord(plain, mem.readWord(b));
    mem.writeWord(a, mem.readWord(b));
    EXPECT_EQ(heap.findObject(plain), nullptr);
    EXPECT_NE(heap.findObject(a), bObject);
    heap.free(plain);
    heap.free(a);
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(destroyedB, 0) << "b's object belongs to b alone";
    EXPECT_EQ(heap.findObject(b), bObject);
    VMAddr c = heap.allocate(16, 0, GC_CODE_PLAIN);
    ASSERT_EQ(c, a);
    mem.writeWord(c, handleA);
    EXPECT_EQ(heap.findObject(c), nullptr) << "a new entry at the same address inherits nothing";
    heap.free(c);
    heap.verify();
}
