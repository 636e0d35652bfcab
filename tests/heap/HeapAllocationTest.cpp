// Heap allocation: pool layout, size classes, splitting, free-list search,
// merging on free, compound allocations and finding the entry of an address.
#include "HeapTestSupport.h"

#include <functional>

using heaptest::HeapFixture;
using heaptest::outcomeOf;
using heaptest::RawEntry;
using heaptest::walkPool;

using HeapAllocation = HeapFixture;

TEST(HeapSizeClass, IsTheSmallestPowerOfTwoThatHoldsTheSize) {
    struct Case {
        TUint32 size;
        TInt32 k;
    };
    for (Case c : {Case{0, 0}, Case{1, 0}, Case{2, 1}, Case{3, 2}, Case{4, 2}, Case{5, 3}, Case{8, 3},
                   Case{9, 4}, Case{36, 6}, Case{44, 6}, Case{64, 6}, Case{65, 7}, Case{64000, 16},
                   Case{65536, 16}, Case{65537, 17}, Case{100000, 17}, Case{0x80000000u, 31}})
        EXPECT_EQ(VMHeap::sizeClass(c.size), c.k) << c.size;
}

TEST_F(HeapAllocation, NewHeapIsOnePoolWithOneFreeEntryInList16) {
    EXPECT_EQ(heap.numberOfPools(), 1);
    EXPECT_EQ(heap.poolSize(0), 64080);
    EXPECT_EQ(heap.totalSizeOfPools(), 64080u);
    EXPECT_EQ(heap.numberOfEntries(), 0);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}}));

    std::vector<RawEntry> pool = walkPool(heap, 0);
    ASSERT_EQ(pool.size(), 3u);
    EXPECT_TRUE(pool[0].isTerminator());
    EXPECT_EQ(pool[0].tag, 28u);
    EXPECT_EQ(pool[1].header, heap.poolStart(0) + 28);
    EXPECT_EQ(pool[1].size, 64000u);
    EXPECT_EQ(pool[1].tag, 64028u);
    EXPECT_TRUE(pool[1].isFree());
    EXPECT_TRUE(pool[2].isTerminator());
    EXPECT_EQ(pool[2].header + kHeaderSize, heap.poolStart(0) + 64080);
}

TEST_F(HeapAllocation, EntriesAreZeroFilledAndCarryTheirCodeAndType) {
    VMAddr a = heap.allocate(12, 0, GC_CODE_STRING);
    mem.writeWord(a, 0xFFFFFFFF);
    heap.free(a);
    VMAddr b = heap.allocate(12, 7, GC_CODE_DATETIME);
    EXPECT_EQ(b, a) << "the freed space is reused from the front";
    RawEntry e = entryOf(b);
    EXPECT_EQ(e.gcCode, GC_CODE_DATETIME);
    EXPECT_EQ(e.type, 7);
    EXPECT_EQ(e.mark, 0u);
    EXPECT_EQ(e.iterator, 0u);
    for (VMAddr w = b; w < b + 12; w += 4) EXPECT_EQ(mem.readWord(w), 0u);

    VMAddr words = heap.allocateWords(3, GC_CODE_REFERENCE_CELL);
    EXPECT_EQ(sizeOf(words), 12u);
    EXPECT_EQ(entryOf(words).type, 0);
    EXPECT_EQ(entryOf(words).gcCode, GC_CODE_REFERENCE_CELL);
}

TEST_F(HeapAllocation, ZeroByteRequestSplitsALargeEntry) {
    VMAddr r = heap.allocate(0, 0, GC_CODE_PLAIN);
    EXPECT_EQ(r, heap.poolStart(0) + 28 + kHeaderSize);
    EXPECT_EQ(sizeOf(r), 0u);
    EXPECT_EQ(requestedOf(r), 0u);
    RawEntry rest = heaptest::readEntry(mem, r + 4);
    EXPECT_EQ(rest.size, 64000u - 28);
    EXPECT_TRUE(rest.isFree());
    EXPECT_EQ(heap.numberOfEntries(), 1);
}

TEST_F(HeapAllocation, ZeroByteRequestTakesASmallEntryWhole) {
    VMAddr hole = heap.allocate(8, 0, GC_CODE_PLAIN);
    heap.allocate(4, 0, GC_CODE_PLAIN);
    heap.free(hole);
    ASSERT_EQ(freeLists(), (Lists{{3, 1}, {16, 1}}));
    VMAddr r = heap.allocate(0, 0, GC_CODE_PLAIN);
    EXPECT_EQ(r, hole) << "list 3 is the lowest non-empty list above list 0";
    EXPECT_EQ(sizeOf(r), 8u);
    EXPECT_EQ(requestedOf(r), 0u);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}}));
}

TEST_F(HeapAllocation, FiveBytesAreServedAsEight) {
    VMAddr r = heap.allocate(5, 0, GC_CODE_PLAIN);
    EXPECT_EQ(sizeOf(r), 8u);
    EXPECT_EQ(requestedOf(r), 8u);
    EXPECT_EQ(heaptest::readEntry(mem, r + 8 + 4).size, 64000u - 8 - 28);
}

TEST_F(HeapAllocation, EntryWithMoreThan28SpareBytesIsSplit) {
    VMAddr hole = heap.allocate(44, 0, GC_CODE_PLAIN);
    heap.allocate(4, 0, GC_CODE_PLAIN);
    heap.free(hole);
    VMAddr r = heap.allocate(5, 0, GC_CODE_PLAIN);
    EXPECT_EQ(r, hole);
    EXPECT_EQ(sizeOf(r), 8u);
    RawEntry rest = heaptest::readEntry(mem, r + 8 + 4);
    EXPECT_EQ(rest.size, 8u);
    EXPECT_TRUE(rest.isFree());
    EXPECT_EQ(freeLists(), (Lists{{3, 1}, {16, 1}}));
}

TEST_F(HeapAllocation, EntryWith28SpareBytesIsHandedOutWhole) {
    VMAddr hole = heap.allocate(36, 0, GC_CODE_PLAIN);
    heap.allocate(4, 0, GC_CODE_PLAIN);
    heap.free(hole);
    VMAddr r = heap.allocate(5, 0, GC_CODE_PLAIN);
    EXPECT_EQ(r, hole);
    EXPECT_EQ(sizeOf(r), 36u);
    EXPECT_EQ(requestedOf(r), 8u);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}}));
    EXPECT_NE(heaptest::memUsage(heap).find(" + wasted 28 + "), std::string::npos);
}

TEST_F(HeapAllocation, LargeRequestGetsAPoolOfItsOwnHandedOutWhole) {
    VMAddr r = heap.allocate(100000, 0, GC_CODE_PLAIN);
    ASSERT_EQ(heap.numberOfPools(), 2);
    EXPECT_EQ(heap.poolSize(1), 100080);
    EXPECT_EQ(heap.totalSizeOfPools(), 64080u + 100080u);
    EXPECT_EQ(r, heap.poolStart(1) + 28 + kHeaderSize);
    EXPECT_EQ(sizeOf(r), 100000u);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}})) << "the first pool is untouched";

    heap.free(r);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}, {17, 1}}));
    VMAddr s = heap.allocate(70000, 0, GC_CODE_PLAIN);
    EXPECT_EQ(s, r) << "served from the freed large entry, not a new pool";
    EXPECT_EQ(heap.numberOfPools(), 2);
    EXPECT_EQ(freeLists(), (Lists{{15, 1}, {16, 1}}));
    EXPECT_EQ(heaptest::readEntry(mem, s + 70004).size, 100000u - 70000 - 28);
}

TEST_F(HeapAllocation, RequestNoFreeEntryFitsGetsADefaultSizedPool) {
    heap.allocate(60000, 0, GC_CODE_PLAIN);
    VMAddr r = heap.allocate(10000, 0, GC_CODE_PLAIN);
    ASSERT_EQ(heap.numberOfPools(), 2);
    EXPECT_EQ(heap.poolSize(1), 64080);
    EXPECT_EQ(sizeOf(r), 10000u);
    EXPECT_EQ(freeLists(), (Lists{{12, 1}, {16, 1}}));
}

TEST_F(HeapAllocation, LargerClassIsPreferredOverAFitInTheOwnClass) {
    VMAddr hole = heap.allocate(8, 0, GC_CODE_PLAIN);
    heap.allocate(4, 0, GC_CODE_PLAIN);
    heap.free(hole);
    VMAddr r = heap.allocate(8, 0, GC_CODE_PLAIN);
    EXPECT_NE(r, hole);
    EXPECT_EQ(heap.freeListCount(3), 1);
}

TEST_F(HeapAllocation, OwnClassIsSearchedFirstFitWhenNothingLargerIsFree) {
    VMAddr a = heap.allocate(20, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    VMAddr c = heap.allocate(24, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    VMAddr rest = heap.allocate(64000 - 4 * 28 - 20 - 8 - 24 - 8, 0, GC_CODE_PLAIN);
    ASSERT_EQ(sizeOf(rest), 63828u);
    ASSERT_TRUE(freeLists().empty());
    heap.free(a);
    heap.free(c);
    EXPECT_EQ(heap.allocate(22, 0, GC_CODE_PLAIN), c) << "the 20-byte entry ahead of it is too small";
    EXPECT_EQ(heap.numberOfPools(), 1);
    heap.allocate(28, 0, GC_CODE_PLAIN);
    EXPECT_EQ(heap.numberOfPools(), 2) << "nothing in list 5 holds 28 bytes";
}

TEST_F(HeapAllocation, FreeingMergesWithBothNeighbours) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(20, 0, GC_CODE_PLAIN);
    VMAddr c = heap.allocate(24, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    heap.free(a);
    heap.free(c);
    EXPECT_EQ(freeLists(), (Lists{{4, 1}, {5, 1}, {16, 1}}));
    HeapEntry* merged = heap.freeEntry(heap.headerOf(b));
    EXPECT_EQ(heap.addressOf(merged), a - kHeaderSize);
    EXPECT_EQ(sizeOf(a), 16u + 20 + 24 + 2 * 28);
    EXPECT_EQ(mem.readWord(a + sizeOf(a)), sizeOf(a) + 28) << "boundary tag of the merged entry";
    EXPECT_EQ(freeLists(), (Lists{{7, 1}, {16, 1}}));
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
}

TEST_F(HeapAllocation, FreeingAdjacentEntriesLeavesOneEntryOfBothPlus28) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(20, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    heap.free(b);
    heap.free(a);
    EXPECT_EQ(sizeOf(a), 16u + 20 + 28);
    EXPECT_EQ(freeLists(), (Lists{{6, 1}, {16, 1}}));
}

TEST_F(HeapAllocation, FreeingTheLastEntryRestoresThePool) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(100, 0, GC_CODE_PLAIN);
    heap.free(a);
    heap.free(b);
    EXPECT_EQ(heap.numberOfEntries(), 0);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}}));
    EXPECT_EQ(walkPool(heap, 0).size(), 3u);
    EXPECT_EQ(sizeOf(a), 64000u);
}

TEST_F(HeapAllocation, FreeIgnoresNullAndRefusesWhatIsNotALiveEntry) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.free(0);
    EXPECT_EQ(outcomeOf([&] { heap.free(a + 4); }).code, vmerr::VM);
    EXPECT_EQ(heap.numberOfEntries(), 2);
    heap.free(a);
    heaptest::Outcome twice = outcomeOf([&] { heap.free(a); });
    EXPECT_EQ(twice.code, vmerr::VM);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    EXPECT_EQ(outcomeOf([&] { heap.free(heap.poolStart(0) + kHeaderSize); }).code, vmerr::VM)
        << "the leading terminator";
    EXPECT_EQ(outcomeOf([&] { heap.free(0x1234); }).code, vmerr::VM);
    heap.verify();
}

TEST_F(HeapAllocation, CompoundOfTwoIsTwoAdjacentEntries) {
    VMAddr s = 0, c = 0;
    heap.allocateTwo(5, 0, GC_CODE_STRING, &s, 3, 0, GC_CODE_REFERENCE_CELL, &c);
    EXPECT_EQ(heap.numberOfEntries(), 2);
    EXPECT_EQ(c, s + 8 + 28);
    RawEntry first = entryOf(s), second = entryOf(c);
    EXPECT_EQ(first.size, 8u);
    EXPECT_EQ(first.requestedSize, 8u);
    EXPECT_EQ(first.gcCode, GC_CODE_STRING);
    EXPECT_EQ(second.size, 4u);
    EXPECT_EQ(second.requestedSize, 4u);
    EXPECT_EQ(second.gcCode, GC_CODE_REFERENCE_CELL);
    EXPECT_EQ(second.iterator, 0u);
    EXPECT_EQ(mem.readWord(s + 8), 36u);
    EXPECT_EQ(sizeOf(c + 4 + 28), 64000u - 8 - 4 - 2 * 28) << "the rest stays free";
    heap.verify();
    heap.free(s);
    heap.free(c);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}}));
}

TEST_F(HeapAllocation, CompoundOfThreeIsThreeAdjacentEntries) {
    VMAddr before = heap.allocate(4, 0, GC_CODE_PLAIN);
    VMAddr v = 0, h = 0, c = 0;
    heap.allocateThree(16, 5, GC_CODE_VECTOR, &v, 6, 0, GC_CODE_OBJECT_ARRAY, &h, 4, 0,
                       GC_CODE_REFERENCE_CELL, &c);
    EXPECT_EQ(heap.numberOfEntries(), 4);
    EXPECT_EQ(v, before + 4 + 28);
    EXPECT_EQ(h, v + 16 + 28);
    EXPECT_EQ(c, h + 8 + 28);
    EXPECT_EQ(entryOf(v).type, 5);
    EXPECT_EQ(entryOf(h).type, 0);
    EXPECT_EQ(entryOf(h).gcCode, GC_CODE_OBJECT_ARRAY);
    EXPECT_EQ(entryOf(h).size, 8u);
    EXPECT_EQ(entryOf(h).requestedSize, 8u);
    EXPECT_EQ(entryOf(c).size, 4u);
    for (auto [ref, bytes] : {std::pair{v, 16u}, std::pair{h, 8u}, std::pair{c, 4u}})
        for (VMAddr w = ref; w < ref + bytes; w += 4) EXPECT_EQ(mem.readWord(w), 0u);
    heap.verify();
}

TEST_F(HeapAllocation, CompoundTakingAnEntryWholeGivesTheSpareToItsLastEntry) {
    VMAddr hole = heap.allocate(44, 0, GC_CODE_PLAIN);
    heap.allocate(64000 - 44 - 28, 0, GC_CODE_PLAIN);
    heap.free(hole);
    ASSERT_EQ(freeLists(), (Lists{{6, 1}}));
    VMAddr a = 0, b = 0;
    heap.allocateTwo(8, 0, GC_CODE_STRING, &a, 4, 0, GC_CODE_REFERENCE_CELL, &b);
    EXPECT_EQ(a, hole);
    EXPECT_EQ(sizeOf(a), 8u);
    EXPECT_EQ(sizeOf(b), 8u);
    EXPECT_EQ(requestedOf(b), 4u);
    EXPECT_TRUE(freeLists().empty());
    EXPECT_EQ(heap.numberOfPools(), 1);
    EXPECT_NE(heaptest::memUsage(heap).find(" + wasted 4 + "), std::string::npos);
}

TEST_F(HeapAllocation, BelongsToPoolsFindsTheEntryAtEveryBoundary) {
    VMAddr p = heap.poolStart(0);
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(8, 0, GC_CODE_PLAIN);
    VMAddr big = heap.allocate(100000, 0, GC_CODE_PLAIN);
    VMAddr p1 = heap.poolStart(1);
    ASSERT_EQ(p1, p + 64080) << "pools are carved back to back";
    auto at = [&](VMAddr x) -> TInt64 {
        HeapEntry* e = heap.belongsToPools(x);
        return e ? TInt64(heap.addressOf(e)) : -1;
    };
    EXPECT_EQ(at(p), p);
    EXPECT_EQ(at(p + 27), p) << "the leading terminator's tag";
    EXPECT_EQ(at(p + 28), a - kHeaderSize);
    EXPECT_EQ(at(a), a - kHeaderSize);
    EXPECT_EQ(at(a + 16 + 3), a - kHeaderSize) << "a's boundary tag";
    EXPECT_EQ(at(a + 20), b - kHeaderSize);
    EXPECT_EQ(at(b + 12), b + 12) << "the free rest";
    EXPECT_EQ(at(p + 64080 - 25), b + 12);
    EXPECT_EQ(at(p + 64080 - 24), p + 64080 - 24) << "the trailing terminator";
    EXPECT_EQ(at(p + 64079), p + 64080 - 24);
    EXPECT_EQ(at(p1), p1);
    EXPECT_EQ(at(big), big - kHeaderSize);
    EXPECT_EQ(at(p1 + 100080 - 1), p1 + 100080 - 24);
    EXPECT_EQ(at(p1 + 100080), -1);
    EXPECT_EQ(at(p - 1), -1);
    EXPECT_EQ(at(0), -1);
    EXPECT_EQ(at(0xFFFFFFFFu), -1);
}

TEST_F(HeapAllocation, OnlyADataAreaStartIsALiveReference) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.free(b);
    EXPECT_TRUE(isLive(a));
    EXPECT_FALSE(isLive(a + 4));
    EXPECT_FALSE(isLive(a - 4));
    EXPECT_FALSE(isLive(b)) << "free";
    EXPECT_FALSE(isLive(heap.poolStart(0) + kHeaderSize)) << "terminator";
    EXPECT_FALSE(isLive(0));
    EXPECT_FALSE(isLive(0xFFFFFFF0u));
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(0); }).code, vmerr::NullPointer);
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(a + 4); }).code, vmerr::VM);
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(8); }).code, vmerr::VM);
}

TEST_F(HeapAllocation, OversizedRequestsRaiseAndLeaveTheHeapAsItWas) {
    heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr a = 0, b = 0, c = 0;
    for (auto f : std::initializer_list<std::function<void()>>{
             [&] { heap.allocate(0xFFFFFFFFu, 0, GC_CODE_PLAIN); },
             [&] { heap.allocate(0x7FFFFFFFu, 0, GC_CODE_PLAIN); },
             [&] { heap.allocateWords(0x40000000u, GC_CODE_PLAIN); },
             [&] { heap.allocateTwo(0x7FFFFFF0u, 0, GC_CODE_PLAIN, &a, 0x7FFFFFF0u, 0, GC_CODE_PLAIN, &b); },
             [&] {
                 heap.allocateThree(0x60000000u, 0, GC_CODE_PLAIN, &a, 0x60000000u, 0, GC_CODE_PLAIN, &b,
                                    0x60000000u, 0, GC_CODE_PLAIN, &c);
             }}) {
        EXPECT_EQ(outcomeOf(f).code, vmerr::InvalidArgument);
        EXPECT_EQ(heap.numberOfEntries(), 1);
        EXPECT_EQ(heap.numberOfPools(), 1);
    }
    heap.verify();
}

TEST(HeapLimits, ExhaustedVMMemoryRaisesAndLeavesTheHeapAsItWas) {
    VMMemory mem(TUint64(1) << 20);
    VMHeap heap(mem);
    VMAddr a = heap.allocate(100, 0, GC_CODE_PLAIN);
    EXPECT_EQ(outcomeOf([&] { heap.allocate(2u << 20, 0, GC_CODE_PLAIN); }).code, vmerr::InvalidArgument);
    EXPECT_EQ(heap.numberOfPools(), 1);
    EXPECT_EQ(heap.totalSizeOfPools(), 64080u);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
    heap.free(a);
    EXPECT_EQ(heap.numberOfEntries(), 0);
}

TEST(HeapLimits, HeapThatDoesNotFitRaisesFromItsConstructor) {
    VMMemory mem(VMMemory::kGuardBytes + 4096);
    EXPECT_EQ(outcomeOf([&] { VMHeap heap(mem); }).code, vmerr::InvalidArgument);
}
