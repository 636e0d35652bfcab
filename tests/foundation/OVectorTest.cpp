// OVector: storage in the VM heap, the 1.2 growth rule, insertion and removal
// bounds, and how the storage block lives and dies with the vector.
#include "foundation/OVector.h"
#include "foundation/VMError.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"

#include <gtest/gtest.h>

#include "ExpectRaises.h"

#include <memory>
#include <vector>

namespace {
class OVectorTest : public ::testing::Test {
protected:
    VMMemory mem;
    VMHeap heap{mem};

    template <typename T>
    std::vector<T> contents(const OVector<T>& v) {
        return std::vector<T>(v.data(), v.data() + v.size());
    }
    bool isLivePlainBlock(VMAddr ref) {
        HeapEntry* he = heap.liveEntry(ref);
        return he && he->gcCode == GC_CODE_PLAIN && he->type == 0;
    }
};

}  // namespace

TEST_F(OVectorTest, StartsWithoutStorage) {
    OVector<int> v(heap);
    EXPECT_EQ(v.size(), 0);
    EXPECT_EQ(v.capacity(), 0);
    EXPECT_EQ(v.storage(), 0u);
    EXPECT_EQ(v.data(), nullptr);
}

TEST_F(OVectorTest, StorageIsALivePlainHeapBlockInVMMemory) {
    OVector<int> v(heap);
    v.append(7);
    EXPECT_TRUE(isLivePlainBlock(v.storage()));
    EXPECT_EQ(mem.readWord(v.storage()), 7u);
    EXPECT_EQ(v.elementAddress(0), v.storage());
    EXPECT_TRUE(mem.holds(&v[0]));
}

TEST_F(OVectorTest, GrowsByTwelveTenthsFromTen) {
    OVector<int> v(heap);
    std::vector<TInt32> capacities;
    for (int i = 0; i < 40; ++i) {
        v.append(i);
        if (capacities.empty() || capacities.back() != v.capacity())
            capacities.push_back(v.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<TInt32>{10, 13, 16, 20, 25, 31, 38, 46}));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(v[i], i);
}

TEST_F(OVectorTest, GrowingFreesTheOldBlock) {
    OVector<TUint8> v(heap);
    for (int i = 0; i < 10; ++i) v.append(TUint8(i));
    VMAddr old = v.storage();
    TInt32 entries = heap.numberOfEntries();
    v.append(10);
    EXPECT_NE(v.storage(), old);
    EXPECT_EQ(heap.liveEntry(old), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);
    EXPECT_TRUE(isLivePlainBlock(v.storage()));
}

TEST_F(OVectorTest, InsertPlacesBeforeThePosition) {
    OVector<int> v(heap);
    v.append(1);
    v.append(3);
    v.insert(1, 2);
    v.insert(0, 0);
    v.insert(4, 4);
    EXPECT_EQ(contents(v), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(OVectorTest, InsertWhileGrowingKeepsHeadAndTail) {
    OVector<int> v(heap);
    for (int i = 0; i < 10; ++i) v.append(i < 5 ? i : i + 1);
    v.insert(5, 5);
    EXPECT_EQ(v.capacity(), 13);
    EXPECT_EQ(contents(v), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(OVectorTest, InsertingAnElementOfItselfWhileGrowing) {
    OVector<int> v(heap);
    for (int i = 0; i < 10; ++i) v.append(i);
    v.append(v[3]);  // the reference points into the block that growing frees
    EXPECT_EQ(v.last(), 3);
    v.insert(0, v.data(), v.size());
    EXPECT_EQ(v.size(), 22);
    EXPECT_EQ(v[11], 0);
    EXPECT_EQ(v[21], 3);
}

TEST_F(OVectorTest, BadPositionRaisesAndLeavesTheVector) {
    OVector<int> v(heap);
    v.append(1);
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.insert(2, 9); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.insert(-1, 9); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v[1]; });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.remove(1); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.removeRange(0, 2); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.elementAddress(-1); });
    EXPECT_EQ(contents(v), std::vector<int>{1});
}

TEST_F(OVectorTest, RemoveClosesTheGap) {
    OVector<int> v(heap);
    for (int i = 0; i < 6; ++i) v.append(i);
    v.remove(0);
    v.removeRange(1, 2);
    EXPECT_EQ(contents(v), (std::vector<int>{1, 4, 5}));
    EXPECT_EQ(v.takeLast(), 5);
    v.clear();
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(v.capacity(), 10);
}

TEST_F(OVectorTest, ResizeAndReserveFollowVec) {
    OVector<int> v(heap);
    v.resize(3);
    EXPECT_EQ(v.capacity(), 3);
    EXPECT_EQ(contents(v), (std::vector<int>{0, 0, 0}));
    v[0] = 5;
    v.resize(1);
    v.resize(3);
    EXPECT_EQ(contents(v), (std::vector<int>{5, 0, 0}));  // reused capacity is cleared
    expectRaises(vmerr::InvalidArgument, [&] { v.resize(-1); });
    expectRaises(vmerr::InvalidArgument, [&] { v.reserve(2); });
    EXPECT_EQ(v.size(), 3);
    v.reserve(50);
    EXPECT_EQ(v.capacity(), 50);
    EXPECT_EQ(contents(v), (std::vector<int>{5, 0, 0}));
}

TEST_F(OVectorTest, AnOversizedRequestRaisesAndLeavesTheVector) {
    OVector<int> v(heap);
    v.append(1);
    expectRaises(vmerr::InvalidArgument, [&] { v.reserve(0x7FFFFFFF); });
    EXPECT_EQ(contents(v), std::vector<int>{1});
}

TEST_F(OVectorTest, CopiesOwnTheirStorage) {
    OVector<TInt8> a(heap);
    a.append(-1);
    a.append(2);
    OVector<TInt8> b(a);
    b[0] = 9;
    EXPECT_NE(a.storage(), b.storage());
    EXPECT_EQ(a[0], -1);
    OVector<TInt8> c(std::move(b));
    EXPECT_EQ(b.storage(), 0u);
    EXPECT_EQ(c[0], 9);
}

TEST_F(OVectorTest, DestructorFreesTheStorage) {
    VMAddr block;
    TInt32 entries = heap.numberOfEntries();
    {
        OVector<int> v(heap);
        v.append(1);
        block = v.storage();
    }
    EXPECT_EQ(heap.liveEntry(block), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);
}

TEST_F(OVectorTest, DestructorLeavesAStorageBlockThatIsNoLongerItsOwn) {
    auto v = std::make_unique<OVector<int>>(heap);
    v->append(1);
    VMAddr storage = v->storage();
    heap.free(storage);
    VMAddr other = heap.allocate(40, 0, GC_CODE_STRING);
    ASSERT_EQ(other, storage);  // someone else's block now
    v.reset();
    EXPECT_NE(heap.liveEntry(other), nullptr);
    heap.verify();
}

TEST_F(OVectorTest, CollectorReclaimsAnUnreachableVectorAndItsStorage) {
    TInt32 entries = heap.numberOfEntries();
    VMAddr ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    auto* v = heap.objectAs<OVector<int>>(ref);
    for (int i = 0; i < 20; ++i) v->append(i);
    VMAddr storage = v->storage();
    heap.collect();
    EXPECT_EQ(heap.liveEntry(ref), nullptr);
    EXPECT_EQ(heap.liveEntry(storage), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);
    heap.verify();
}

TEST_F(OVectorTest, AReachableEmptyVectorKeepsItsStorage) {
    VMAddr ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    auto* v = heap.objectAs<OVector<int>>(ref);
    v->append(1);
    v->clear();
    VMAddr storage = v->storage();
    heap.addRoot(ref);
    heap.collect();
    ASSERT_TRUE(isLivePlainBlock(storage));
    v->append(2);  // reuses the block, which nothing else may own
    EXPECT_EQ(v->storage(), storage);
    heap.removeRoot(ref);
}

TEST_F(OVectorTest, ReportsItsStorageAndSizeToTheCollector) {
    OVector<int> v(heap);
    v.append(4);
    VMAddr storage = 0;
    TInt32 count = 0;
    EXPECT_TRUE(v.arrayStorage(&storage, &count));
    EXPECT_EQ(storage, v.storage());
    EXPECT_EQ(count, 1);
    EXPECT_EQ(v.sizeOutsideHeap(), 0u);
}

TEST_F(OVectorTest, HeapTeardownWithLiveVectors) {
    auto mem2 = std::make_unique<VMMemory>();
    auto heap2 = std::make_unique<VMHeap>(*mem2);
    VMAddr ref = heap2->createObject<OVector<int>>(16, GC_CODE_VECTOR, *heap2);
    heap2->objectAs<OVector<int>>(ref)->append(1);
    heap2.reset();  // the vector's destructor must not touch the dying pools
}
