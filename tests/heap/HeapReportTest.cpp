// The memory report: its exact text for a new heap and for a heap with plain
// entries, native objects holding outside memory, wasted bytes and two pools.
#include "HeapTestSupport.h"

using heaptest::HeapFixture;
using heaptest::memUsage;
using heaptest::Probe;

using HeapReport = HeapFixture;

TEST_F(HeapReport, NewHeapAndAppending) {
    CAppsString s("before");
    EXPECT_EQ(heap.getMemUsage(&s), 80u);
    EXPECT_EQ(s.toUtf8(),
              "before\nheaders 80 + actual 0 + wasted 0 + outsideHeap 0 = total 80\n"
              "stringContents=0 bitmapContents=0 fontContents=0\n"
              "nOfEntries=0 nOfPools=1 SzOfPools=64080 AllContents=64000 freeSpace=64000\n");
    EXPECT_EQ(heap.getMemUsage(nullptr), 80u);
}

TEST_F(HeapReport, CountsEntriesObjectsWasteAndPools) {
    // One pool: a plain 5-byte block (8), a string object of 16 bytes holding
    // 100 bytes outside and a font object of 12 bytes holding 7.
    VMAddr plain = heap.allocate(5, 0, GC_CODE_PLAIN);
    heap.createObject<Probe>(16, GC_CODE_STRING, nullptr, 100u);
    heap.createObject<Probe>(12, GC_CODE_FONT, nullptr, 7u);
    // Free: 64000 - (8 + 28) - (16 + 28) - (12 + 28) = 63880.
    // Contents: 8 + 16 + 12 + 63880 = 63916; headers: 64080 - 63916 = 164.
    TUint32 total = 0;
    EXPECT_EQ(memUsage(heap, &total),
              "\nheaders 164 + actual 36 + wasted 0 + outsideHeap 107 = total 307\n"
              "stringContents=100 bitmapContents=0 fontContents=7\n"
              "nOfEntries=3 nOfPools=1 SzOfPools=64080 AllContents=63916 freeSpace=63880\n");
    EXPECT_EQ(total, 307u);

    // A second pool taken whole by a 100000-byte block; the plain block is
    // freed (an 8-byte hole) and refilled by a 0-byte request that wastes it.
    heap.allocate(100000, 0, GC_CODE_PLAIN);
    heap.free(plain);
    heap.allocate(0, 0, GC_CODE_4);
    // Pools: 64080 + 100080 = 164160; contents 63916 + 100000 = 163916; headers 244.
    // Actual: 0 + 16 + 12 + 100000; wasted 8; free 63880.
    EXPECT_EQ(memUsage(heap, &total),
              "\nheaders 244 + actual 100028 + wasted 8 + outsideHeap 107 = total 100387\n"
              "stringContents=100 bitmapContents=0 fontContents=7\n"
              "nOfEntries=4 nOfPools=2 SzOfPools=164160 AllContents=163916 freeSpace=63880\n");
    EXPECT_EQ(total, 100387u);
}
