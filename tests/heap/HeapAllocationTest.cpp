// Heap allocation: size classes, splitting, pools, free-list search, compound
// allocations, finding the entry of an address and refused requests. Merging on
// free and the pool layout are checked against a model in HeapStressTest.
#include "HeapTestSupport.h"

#include <functional>

using heaptest::HeapFixture;
using heaptest::outcomeOf;
using heaptest::RawEntry;

using HeapAllocation = HeapFixture;

TEST(HeapSizeClass, IsTheSmallestPowerOfTwoThatHoldsTheSize) {
    for (auto [size, k] : std::initializer_list<std::pair<TUint32, TInt32>>{
             {0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {64, 6}, {65, 7}, {65536, 16}, {65537, 17}, {0x80000000u, 31}})
        EXPECT_EQ(VMHeap::sizeClass(size), k) << size;
}

TEST_F(HeapAllocation, EntriesAreZeroFilledAndCarryTheirCodeAndType) {
    VMAddr a = heap.allocate(12, 0, GC_CODE_STRING);
    mem.writeWord(a, 0xFFFFFFFF);
    heap.free(a);
    VMAddr b = heap.allocate(12, 7, GC_CODE_DATETIME);
    ASSERT_EQ(b, a) << "the freed space is reused from the front";
    RawEntry e = entryOf(b);
    EXPECT_EQ(e.gcCode, GC_CODE_DATETIME);
    EXPECT_EQ(e.type, 7);
    EXPECT_EQ(e.mark, 0u);
    EXPECT_EQ(e.iterator, 0u);
    for (VMAddr w = b; w < b + 12; w += 4) EXPECT_EQ(mem.readWord(w), 0u);
    VMAddr words = heap.allocateWords(3, GC_CODE_REFERENCE_CELL);
    EXPECT_EQ(sizeOf(words), 12u);
    EXPECT_EQ(entryOf(words).gcCode, GC_CODE_REFERENCE_CELL);
}

// A request is served from a hole (or, with hole 0, the pool's one free entry):
// more than 28 spare bytes split it, 28 or fewer are handed out whole.
TEST(HeapAllocationRules, SplittingRule) {
    struct Case {
        TUint32 hole, request, size, requested;
        heaptest::Lists after;
    };
    for (const Case& c : {Case{0, 0, 0, 0, {{16, 1}}}, Case{0, 5, 8, 8, {{16, 1}}}, Case{8, 0, 8, 0, {{16, 1}}},
                          Case{44, 5, 8, 8, {{3, 1}, {16, 1}}}, Case{36, 5, 36, 8, {{16, 1}}}}) {
        SCOPED_TRACE(testing::Message() << "hole " << c.hole << " request " << c.request);
        VMMemory m;
        VMHeap h(m);
        VMAddr hole = c.hole ? h.allocate(c.hole, 0, GC_CODE_PLAIN) : h.poolStart(0) + 28 + kHeaderSize;
        if (c.hole) {
            h.allocate(4, 0, GC_CODE_PLAIN);
            h.free(hole);
        }
        VMAddr r = h.allocate(c.request, 0, GC_CODE_PLAIN);
        EXPECT_EQ(r, hole);
        RawEntry e = heaptest::readEntry(m, r - kHeaderSize);
        EXPECT_EQ(e.size, c.size);
        EXPECT_EQ(e.requestedSize, c.requested);
        EXPECT_EQ(heaptest::freeLists(h), c.after);
        std::string wasted = " + wasted " + std::to_string(c.size - c.requested) + " + ";
        EXPECT_NE(heaptest::memUsage(h).find(wasted), std::string::npos) << wasted;
        h.verify();
    }
}

TEST_F(HeapAllocation, PoolsForLargeRequestsAndWhenNothingFits) {
    VMAddr r = heap.allocate(100000, 0, GC_CODE_PLAIN);  // a pool of its own, handed out whole
    ASSERT_EQ(heap.numberOfPools(), 2);
    EXPECT_EQ(heap.poolSize(1), 100080);
    EXPECT_EQ(r, heap.poolStart(1) + 28 + kHeaderSize);
    EXPECT_EQ(sizeOf(r), 100000u);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}})) << "the first pool is untouched";
    heap.free(r);
    VMAddr s = heap.allocate(70000, 0, GC_CODE_PLAIN);
    EXPECT_EQ(s, r) << "served from the freed large entry, not a new pool";
    EXPECT_EQ(freeLists(), (Lists{{15, 1}, {16, 1}}));
    heap.allocate(60000, 0, GC_CODE_PLAIN);
    VMAddr t = heap.allocate(40000, 0, GC_CODE_PLAIN);  // neither the 3972 nor the 29972 bytes left fit
    ASSERT_EQ(heap.numberOfPools(), 3);
    EXPECT_EQ(heap.poolSize(2), 64080) << "a default-sized pool";
    EXPECT_EQ(t, heap.poolStart(2) + 28 + kHeaderSize);
    EXPECT_EQ(heap.totalSizeOfPools(), 2 * 64080u + 100080u);
}

TEST_F(HeapAllocation, LargerClassFirstThenOwnClassFirstFit) {
    VMAddr a = heap.allocate(20, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    VMAddr c = heap.allocate(24, 0, GC_CODE_PLAIN);
    heap.allocate(8, 0, GC_CODE_PLAIN);
    heap.free(a);
    EXPECT_NE(heap.allocate(20, 0, GC_CODE_PLAIN), a) << "the free rest's larger class comes first";
    VMAddr rest = heap.allocate(64000 - 5 * 28 - 20 - 8 - 24 - 8 - 20, 0, GC_CODE_PLAIN);
    ASSERT_EQ(sizeOf(rest), 63780u);
    ASSERT_EQ(freeLists(), (Lists{{5, 1}}));
    heap.free(c);
    EXPECT_EQ(heap.allocate(22, 0, GC_CODE_PLAIN), c) << "the 20-byte entry ahead of it is too small";
    EXPECT_EQ(heap.numberOfPools(), 1);
    heap.allocate(28, 0, GC_CODE_PLAIN);
    EXPECT_EQ(heap.numberOfPools(), 2) << "nothing in list 5 holds 28 bytes";
}

TEST_F(HeapAllocation, FreeAndHeaderOfRefuseWhatIsNotALiveEntry) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.free(0);
    heap.free(a);
    for (VMAddr bad : {a, b + 4, b - 4, heap.poolStart(0) + kHeaderSize, VMAddr(0x1234), VMAddr(0xFFFFFFF0u)}) {
        EXPECT_FALSE(isLive(bad)) << bad;
        EXPECT_EQ(outcomeOf([&] { heap.free(bad); }).code, vmerr::VM) << bad;
    }
    EXPECT_TRUE(isLive(b));
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(0); }).code, vmerr::NullPointer);
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(b + 4); }).code, vmerr::VM);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
}

TEST_F(HeapAllocation, CompoundsAreAdjacentEntries) {
    VMAddr before = heap.allocate(4, 0, GC_CODE_PLAIN);
    VMAddr v = 0, h = 0, c = 0;
    heap.allocateThree(16, 5, GC_CODE_VECTOR, &v, 6, 0, GC_CODE_OBJECT_ARRAY, &h, 3, 0, GC_CODE_REFERENCE_CELL, &c);
    EXPECT_EQ(v, before + 4 + 28);
    EXPECT_EQ(h, v + 16 + 28);
    EXPECT_EQ(c, h + 8 + 28);
    EXPECT_EQ(entryOf(v).type, 5);
    EXPECT_EQ(entryOf(h).gcCode, GC_CODE_OBJECT_ARRAY);
    EXPECT_EQ(entryOf(h).requestedSize, 8u);
    EXPECT_EQ(entryOf(c).size, 4u);
    EXPECT_EQ(mem.readWord(h + 8), 36u) << "boundary tag";
    for (auto [ref, bytes] : {std::pair{v, 16u}, std::pair{h, 8u}, std::pair{c, 4u}})
        for (VMAddr w = ref; w < ref + bytes; w += 4) EXPECT_EQ(mem.readWord(w), 0u);
    TUint32 rest = sizeOf(c + 4 + 28);
    EXPECT_EQ(rest, 64000u - 4 - 16 - 8 - 4 - 4 * 28) << "the rest stays free";
    heap.verify();

    // Taking an entry whole gives the spare bytes to the compound's last entry.
    VMAddr hole = heap.allocate(44, 0, GC_CODE_PLAIN);
    heap.allocate(rest - 44 - 28, 0, GC_CODE_PLAIN);
    heap.free(hole);
    VMAddr a = 0, b = 0;
    heap.allocateTwo(8, 0, GC_CODE_STRING, &a, 4, 0, GC_CODE_REFERENCE_CELL, &b);
    EXPECT_EQ(a, hole);
    EXPECT_EQ(sizeOf(a), 8u);
    EXPECT_EQ(sizeOf(b), 8u);
    EXPECT_EQ(entryOf(b).requestedSize, 4u);
    EXPECT_TRUE(freeLists().empty());
    EXPECT_NE(heaptest::memUsage(heap).find(" + wasted 4 + "), std::string::npos);
}

TEST_F(HeapAllocation, BelongsToPoolsFindsTheEntryAtEveryBoundary) {
    VMAddr p = heap.poolStart(0);
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(8, 0, GC_CODE_PLAIN);
    VMAddr big = heap.allocate(100000, 0, GC_CODE_PLAIN);
    VMAddr p1 = heap.poolStart(1);
    ASSERT_EQ(p1, p + 64080) << "pools are carved back to back";
    const TInt64 none = -1;
    const std::pair<VMAddr, TInt64> cases[] = {
        {p, p}, {p + 27, p},                                     // the leading terminator and its tag
        {p + 28, a - kHeaderSize}, {a + 16 + 3, a - kHeaderSize},  // a's header and boundary tag
        {a + 20, b - kHeaderSize}, {b + 12, b + 12}, {p + 64080 - 25, b + 12},  // the free rest
        {p + 64080 - 24, p + 64080 - 24}, {p + 64079, p + 64080 - 24},          // the trailing terminator
        {p1, p1}, {big, big - kHeaderSize}, {p1 + 100080 - 1, p1 + 100080 - 24},
        {p1 + 100080, none}, {p - 1, none}, {0, none}, {0xFFFFFFFFu, none},
    };
    for (auto [x, expected] : cases) {
        HeapEntry* e = heap.belongsToPools(x);
        EXPECT_EQ(e ? TInt64(heap.addressOf(e)) : none, expected) << std::hex << x;
    }
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
    VMMemory tiny(VMMemory::kGuardBytes + 4096);
    EXPECT_EQ(outcomeOf([&] { VMHeap heap(tiny); }).code, vmerr::InvalidArgument);
    VMMemory mem(TUint64(1) << 20);
    VMHeap heap(mem);
    VMAddr a = heap.allocate(100, 0, GC_CODE_PLAIN);
    EXPECT_EQ(outcomeOf([&] { heap.allocate(2u << 20, 0, GC_CODE_PLAIN); }).code, vmerr::InvalidArgument);
    EXPECT_EQ(heap.totalSizeOfPools(), 64080u);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
    heap.free(a);
    EXPECT_EQ(heap.numberOfEntries(), 0);
}
