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

TEST_F(OVectorTest, GrowsByTwelveTenthsInAPlainHeapBlock) {
    OVector<int> v(heap);
    std::vector<TInt32> capacities;
    TInt32 entries = heap.numberOfEntries();
    for (int i = 0; i < 40; ++i) {
        VMAddr before = v.storage();
        v.append(i);
        if (capacities.empty() || capacities.back() != v.capacity()) capacities.push_back(v.capacity());
        if (before && before != v.storage()) {
            EXPECT_EQ(heap.liveEntry(before), nullptr) << "growing frees the old block";
        }
    }
    EXPECT_EQ(capacities, (std::vector<TInt32>{10, 13, 16, 20, 25, 31, 38, 46}));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(v[i], i);
    EXPECT_EQ(heap.numberOfEntries(), entries + 1);
    EXPECT_TRUE(isLivePlainBlock(v.storage()));
    EXPECT_EQ(mem.readWord(v.elementAddress(1)), 1u);
    VMAddr storage = 0;
    TInt32 count = 0;
    EXPECT_TRUE(v.arrayStorage(&storage, &count));
    EXPECT_EQ(storage, v.storage());
    EXPECT_EQ(count, 40);
}

TEST_F(OVectorTest, InsertAndRemove) {
    OVector<int> v(heap);
    for (int i = 0; i < 10; ++i) v.append(i < 5 ? i : i + 1);
    v.insert(5, 5);  // while growing: head and tail both kept
    EXPECT_EQ(v.capacity(), 13);
    v.insert(0, -1);
    v.insert(12, 11);
    EXPECT_EQ(contents(v), (std::vector<int>{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    v.remove(0);
    v.removeRange(1, 9);
    EXPECT_EQ(contents(v), (std::vector<int>{0, 10, 11}));
    EXPECT_EQ(v.takeLast(), 11);
    v.clear();
    EXPECT_EQ(v.capacity(), 13);
}

TEST_F(OVectorTest, ElementsOfItselfWhileGrowing) {
    OVector<int> v(heap);
    for (int i = 0; i < 10; ++i) v.append(i);
    v.append(v[3]);  // the reference points into the block that growing frees
    EXPECT_EQ(v.last(), 3);
    v.insert(0, v.data(), v.size());
    EXPECT_EQ(v.size(), 22);
    EXPECT_EQ(v[11], 0);
    EXPECT_EQ(v[21], 3);
}

TEST_F(OVectorTest, FailuresRaiseAndLeaveTheVector) {
    OVector<int> v(heap);
    v.append(1);
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.insert(2, 9); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.insert(-1, 9); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v[1]; });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.remove(1); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.removeRange(0, 2); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { v.elementAddress(-1); });
    expectRaises(vmerr::InvalidArgument, [&] { v.resize(-1); });
    expectRaises(vmerr::InvalidArgument, [&] { v.reserve(0); });
    expectRaises(vmerr::InvalidArgument, [&] { v.reserve(0x7FFFFFFF); });
    EXPECT_EQ(contents(v), std::vector<int>{1});
}

TEST_F(OVectorTest, ResizeReserveAndCopy) {
    OVector<int> v(heap);
    v.resize(3);
    EXPECT_EQ(v.capacity(), 3);
    v[0] = 5;
    v.resize(1);
    v.resize(3);
    EXPECT_EQ(contents(v), (std::vector<int>{5, 0, 0})) << "reused capacity is cleared";
    v.reserve(50);
    EXPECT_EQ(v.capacity(), 50);
    EXPECT_EQ(contents(v), (std::vector<int>{5, 0, 0}));

    OVector<int> b(v);
    b[0] = 9;
    EXPECT_EQ(v[0], 5) << "a copy owns its storage";
}

TEST_F(OVectorTest, StorageLivesAndDiesWithTheVector) {
    TInt32 entries = heap.numberOfEntries();
    VMAddr block;
    {
        OVector<int> v(heap);
        v.append(1);
        block = v.storage();
    }
    EXPECT_EQ(heap.liveEntry(block), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);

    // A storage block freed behind the vector's back and reused is not freed again.
    auto w = std::make_unique<OVector<int>>(heap);
    w->append(1);
    VMAddr storage = w->storage();
    heap.free(storage);
    VMAddr other = heap.allocate(40, 0, GC_CODE_STRING);
    ASSERT_EQ(other, storage);
    w.reset();
    EXPECT_NE(heap.liveEntry(other), nullptr);
    heap.verify();
}

TEST_F(OVectorTest, CollectorReclaimsUnreachableVectorsAndKeepsReachableStorage) {
    TInt32 entries = heap.numberOfEntries();
    VMAddr ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    auto* v = heap.objectAs<OVector<int>>(ref);
    for (int i = 0; i < 20; ++i) v->append(i);
    VMAddr storage = v->storage();
    heap.collect();
    EXPECT_EQ(heap.liveEntry(ref), nullptr);
    EXPECT_EQ(heap.liveEntry(storage), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);

    // A cleared vector keeps its storage block across a collection.
    ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    v = heap.objectAs<OVector<int>>(ref);
    v->append(1);
    v->clear();
    storage = v->storage();
    heap.addRoot(ref);
    heap.collect();
    ASSERT_TRUE(isLivePlainBlock(storage));
    v->append(2);  // reuses the block, which nothing else may own
    EXPECT_EQ(v->storage(), storage);
    heap.removeRoot(ref);
}

TEST(OVectorTeardown, HeapTeardownWithLiveVectors) {
    auto mem = std::make_unique<VMMemory>();
    auto heap = std::make_unique<VMHeap>(*mem);
    VMAddr ref = heap->createObject<OVector<int>>(16, GC_CODE_VECTOR, *heap);
    heap->objectAs<OVector<int>>(ref)->append(1);
    heap.reset();  // the vector's destructor must not touch the dying pools
}
