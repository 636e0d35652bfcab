// VM memory (carving, checked addresses) and allocation: splitting, pools, free-list search,
// compounds, finding the entry of an address, refused requests, the memory report's exact text.
#include "HeapTestSupport.h"

#include <cstdio>
#include <functional>

namespace mcb {

using HeapAllocation = HeapFixture;
using HeapReport = HeapFixture;

// The memory report's exact text: entries, native objects holding outside
// memory, a wasted hole and a second pool.
TEST_F(HeapReport, CountsEntriesObjectsWasteAndPools) {
    auto report = [&](TUint32 expectedTotal) {
        CAppsString s("before");
        EXPECT_EQ(heap.getMemUsage(&s), expectedTotal);
        return s.toUtf8();
    };
    EXPECT_EQ(report(80), "before\nheaders 80 + actual 0 + wasted 0 + outsideHeap 0 = total 80\n"
                          "stringContents=0 bitmapContents=0 fontContents=0\n"
                          "nOfEntries=0 nOfPools=1 SzOfPools=64080 AllContents=64000 freeSpace=64000\n");
    // Free: 64000 - (8 + 28) - (16 + 28) - (12 + 28); contents 8 + 16 + 12 + free.
    VMAddr small = heap.allocate(5, 0, GC_CODE_PLAIN);
    heap.createObject<Probe>(16, GC_CODE_STRING, nullptr, 100u);
    heap.createObject<Probe>(12, GC_CODE_FONT, nullptr, 7u);
    EXPECT_EQ(report(307), "before\nheaders 164 + actual 36 + wasted 0 + outsideHeap 107 = total 307\n"
                           "stringContents=100 bitmapContents=0 fontContents=7\n"
                           "nOfEntries=3 nOfPools=1 SzOfPools=64080 AllContents=63916 freeSpace=63880\n");
    // A second pool taken whole; the 8-byte hole refilled by a 0-byte request wastes it.
    heap.allocate(100000, 0, GC_CODE_PLAIN);
    heap.free(small);
    heap.allocate(0, 0, GC_CODE_UNTRACED_4);
    EXPECT_EQ(report(100387), "before\nheaders 244 + actual 100028 + wasted 8 + outsideHeap 107 = total 100387\n"
                              "stringContents=100 bitmapContents=0 fontContents=7\n"
                              "nOfEntries=4 nOfPools=2 SzOfPools=164160 AllContents=163916 freeSpace=63880\n");
    EXPECT_EQ(heap.getMemUsage(nullptr), 100387u);
}

// A request is served from a hole (or, with hole 0, the pool's one free entry): more than 28
// spare bytes split it, 28 or fewer are handed out whole.
TEST(HeapAllocationRules, SplittingRule) {
    struct Case {
        TUint32 hole, request, size, requested;
        Lists after;
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
        RawEntry e = readEntry(m, r - kHeaderSize);
        EXPECT_EQ(e.size, c.size);
        EXPECT_EQ(e.requestedSize, c.requested);
        EXPECT_EQ(freeLists(h), c.after);
        h.verify();
    }
}

TEST_F(HeapAllocation, PoolsForLargeRequestsAndWhenNothingFits) {
    VMAddr r = plain(100000);  // a pool of its own, handed out whole
    ASSERT_EQ(heap.numberOfPools(), 2);
    EXPECT_EQ(heap.poolSize(1), 100080);
    EXPECT_EQ(r, heap.poolStart(1) + 28 + kHeaderSize);
    EXPECT_EQ(sizeOf(r), 100000u);
    EXPECT_EQ(freeLists(heap), (Lists{{16, 1}})) << "the first pool is untouched";
    heap.free(r);
    EXPECT_EQ(plain(70000), r) << "served from the freed large entry, not a new pool";
    EXPECT_EQ(freeLists(heap), (Lists{{15, 1}, {16, 1}}));
    plain(60000);
    VMAddr t = plain(40000);  // neither the 3972 nor the 29972 bytes left fit
    ASSERT_EQ(heap.numberOfPools(), 3);
    EXPECT_EQ(heap.poolSize(2), 64080) << "a default-sized pool";
    EXPECT_EQ(t, heap.poolStart(2) + 28 + kHeaderSize);
    EXPECT_EQ(heap.totalSizeOfPools(), 2 * 64080u + 100080u);
}

TEST_F(HeapAllocation, LargerClassFirstThenOwnClassFirstFit) {
    VMAddr a = plain(20);
    plain(8);
    VMAddr c = plain(24);
    plain(8);
    heap.free(a);
    EXPECT_NE(plain(20), a) << "the free rest's larger class comes first";
    VMAddr rest = plain(64000 - 5 * 28 - 20 - 8 - 24 - 8 - 20);
    ASSERT_EQ(sizeOf(rest), 63780u);
    ASSERT_EQ(freeLists(heap), (Lists{{5, 1}}));
    heap.free(c);
    EXPECT_EQ(plain(22), c) << "the 20-byte entry ahead of it is too small";
    EXPECT_EQ(heap.numberOfPools(), 1);
    plain(28);
    EXPECT_EQ(heap.numberOfPools(), 2) << "nothing in list 5 holds 28 bytes";
}

TEST_F(HeapAllocation, FreeAndHeaderOfRefuseWhatIsNotALiveEntry) {
    VMAddr a = plain(), b = plain();
    heap.free(0);
    mem.writeWord(a + 12, 0xFFFFFFFF);
    heap.free(a);
    for (VMAddr bad : {a, b + 4, b - 4, heap.poolStart(0) + kHeaderSize, VMAddr(0xFFFFFFF0u)}) {
        EXPECT_FALSE(isLive(bad)) << bad;
        EXPECT_EQ(outcomeOf([&] { heap.free(bad); }).code, vmerr::VM) << bad;
    }
    EXPECT_TRUE(isLive(b));
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(0); }).code, vmerr::NullPointer);
    EXPECT_EQ(outcomeOf([&] { heap.headerOf(b + 4); }).code, vmerr::VM);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
    heap.free(b);
    ASSERT_EQ(heap.allocateWords(4, GC_CODE_REFERENCE_CELL), a) << "freed space is reused from the front";
    EXPECT_EQ(mem.readWord(a + 12), 0u) << "and zero-filled";
    EXPECT_EQ(sizeOf(a), 16u);
}

// Compounds are adjacent entries; one that takes a free entry whole gives its last the spare bytes.
TEST_F(HeapAllocation, CompoundsAreAdjacentEntries) {
    VMAddr before = plain(4), v = 0, h = 0, c = 0;
    heap.allocateThree(16, 5, GC_CODE_VECTOR, &v, 6, 0, GC_CODE_OBJECT_ARRAY, &h, 3, 0, GC_CODE_REFERENCE_CELL, &c);
    EXPECT_EQ(std::vector<VMAddr>({v, h, c}), std::vector<VMAddr>({before + 4 + 28, v + 16 + 28, h + 8 + 28}));
    EXPECT_EQ(entryOf(v).type, 5);
    EXPECT_EQ(entryOf(c).size, 4u);
    TUint32 rest = sizeOf(c + 4 + 28);
    VMAddr hole = plain(44);
    plain(rest - 44 - 28);
    heap.free(hole);
    VMAddr a = 0, b = 0;
    heap.allocateTwo(8, 0, GC_CODE_STRING, &a, 4, 0, GC_CODE_REFERENCE_CELL, &b);
    EXPECT_EQ(a, hole);
    EXPECT_EQ(sizeOf(a), 8u);
    EXPECT_EQ(sizeOf(b), 8u);
    EXPECT_EQ(entryOf(b).requestedSize, 4u);
    EXPECT_TRUE(freeLists(heap).empty());
}

TEST_F(HeapAllocation, BelongsToPoolsFindsTheEntryAtEveryBoundary) {
    VMAddr p = heap.poolStart(0), a = plain(), b = plain(8), big = plain(100000), p1 = heap.poolStart(1);
    ASSERT_EQ(p1, p + 64080) << "pools are carved back to back";
    const TInt64 none = -1;
    const std::pair<VMAddr, TInt64> cases[] = {
        {p, p}, {p + 27, p},                                     // the leading terminator and its tag
        {p + 28, a - kHeaderSize}, {a + 16 + 3, a - kHeaderSize},  // a's header and boundary tag
        {a + 20, b - kHeaderSize}, {b + 12, b + 12}, {p + 64080 - 25, b + 12},  // the free rest
        {p + 64080 - 24, p + 64080 - 24}, {p + 64079, p + 64080 - 24},          // the trailing terminator
        {big, big - kHeaderSize}, {p1 + 100080 - 1, p1 + 100080 - 24},
        {p1 + 100080, none}, {p - 1, none}, {0xFFFFFFFFu, none},
    };
    for (auto [x, expected] : cases) {
        HeapEntry* e = heap.belongsToPools(x);
        EXPECT_EQ(e ? TInt64(heap.addressOf(e)) : none, expected) << std::hex << x;
    }
}

// Oversized requests and exhausted VM memory raise and leave the heap as it was.
TEST_F(HeapAllocation, RefusedRequestsLeaveTheHeapAsItWas) {
    plain();
    VMAddr a = 0, b = 0;
    for (auto f : std::initializer_list<std::function<void()>>{
             [&] { plain(0xFFFFFFFFu); }, [&] { plain(0x7FFFFFFFu); },
             [&] { heap.allocateWords(0x40000000u, GC_CODE_PLAIN); },
             [&] { heap.allocateTwo(0x7FFFFFF0u, 0, GC_CODE_PLAIN, &a, 0x7FFFFFF0u, 0, GC_CODE_PLAIN, &b); }}) {
        EXPECT_EQ(outcomeOf(f).code, vmerr::InvalidArgument);
        EXPECT_EQ(heap.numberOfEntries(), 1);
        EXPECT_EQ(heap.numberOfPools(), 1);
    }
    VMMemory tiny(VMMemory::kGuardBytes + 4096);
    EXPECT_EQ(outcomeOf([&] { VMHeap h(tiny); }).code, vmerr::InvalidArgument);
    VMMemory mem1(TUint64(1) << 20);
    VMHeap heap1(mem1);
    heap1.allocate(100, 0, GC_CODE_PLAIN);
    EXPECT_EQ(outcomeOf([&] { heap1.allocate(2u << 20, 0, GC_CODE_PLAIN); }).code, vmerr::InvalidArgument);
    EXPECT_EQ(heap1.totalSizeOfPools(), 64080u);
    EXPECT_EQ(heap1.numberOfEntries(), 1);
    heap1.verify();
}

TEST(VMMemory, CarvesZeroedBlocksUpwardsWithoutMovingThem) {
    VMMemory mem(TUint64(64) << 20);
    VMAddr a = mem.carve(10);
    EXPECT_EQ(a, VMMemory::kGuardBytes);
    EXPECT_EQ(mem.carve(4), a + 16) << "sizes round up to 8";
    TUint8* host = mem.ptr(a, 8);
    mem.writeWord(a, 0xA5A5A5A5u);
    for (int i = 0; i < 24; ++i) {  // several commit steps' worth
        VMAddr b = mem.carve(1u << 20);
        EXPECT_EQ(mem.readWord(b) | mem.readWord(b + (1u << 20) - 4), 0u);
        mem.writeWord(b + (1u << 20) - 4, TUint32(i));
    }
    EXPECT_EQ(mem.ptr(a, 8), host);
    EXPECT_EQ(mem.readWord(a), 0xA5A5A5A5u);
    EXPECT_EQ(mem.addressOf(host), a);
    VMMemory small(TUint64(1) << 20), big;
    for (auto [m, size] : {std::pair{&small, 2u << 20}, {&big, 0xFFFFFFFFu}, {&big, 0xFFFFFFF8u}}) {
        VMAddr top = m->top();
        EXPECT_EQ(outcomeOf([&, m = m, size = size] { m->carve(size); }).code, vmerr::InvalidArgument) << size;
        EXPECT_EQ(m->carve(16), top) << "a failed carve leaves the top and the region usable";
    }
}

TEST(VMMemory, BadAddressesRaiseAndTheEdgesAreReachable) {
    VMMemory mem(TUint64(64) << 20);
    VMAddr a = mem.carve(64), top = mem.top();
    auto badAddress = [](VMAddr x) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "VMException: Bad VM address 0x%08X", x);
        return std::string(buf);
    };
    EXPECT_EQ(outcomeOf([&] { mem.ptr(0, 0); }).text, "NullPointerException: NULL pointer");
    EXPECT_EQ(outcomeOf([&] { mem.writeWord(0, 1); }).code, vmerr::NullPointer);
    for (auto [addr, len] : {std::pair{4u, 4u}, {VMMemory::kGuardBytes - 2, 4u}, {top, 1u}, {top - 4, 8u},
                             {0xFFFFFFFCu, 8u}, {a + 8, 0xFFFFFFFFu}}) {
        Outcome o = outcomeOf([&, addr = addr, len = len] { mem.ptr(addr, len); });
        EXPECT_EQ(o.code, vmerr::VM) << std::hex << addr << " len " << len;
        EXPECT_EQ(o.text, badAddress(addr));
    }
    EXPECT_EQ(outcomeOf([&] { mem.readWord(0x8000); }).text, "VMException: Bad VM address 0x00008000");
    mem.writeWord(top - 4, 7);
    EXPECT_EQ(mem.readWord(top - 4), 7u);
    EXPECT_TRUE(mem.contains(a, 64));
    EXPECT_FALSE(mem.contains(a, 65) || mem.contains(a - 1, 1) || mem.contains(0xFFFFFFFFu, 2));
    mem.writeWord(a, 0x11111111);  // misaligned words raise without touching memory
    for (TUint32 off : {1u, 3u}) {
        EXPECT_EQ(outcomeOf([&] { mem.writeWord(a + off, 0xDEADBEEF); }).text, badAddress(a + off));
        EXPECT_EQ(outcomeOf([&] { mem.readWord(a + off); }).text, badAddress(a + off));
    }
    EXPECT_EQ(mem.readWord(a), 0x11111111u);
    EXPECT_EQ(*mem.ptr(a + 1, 3), 0x11) << "bytes may be addressed at any offset";
}

}  // namespace mcb
