// A long, seeded random run of allocations (single and compound, every GcCode,
// native objects), frees and collections, checked against a model of what must
// be live: entry count, headers, free lists, merging and the memory report.
#include "HeapTestSupport.h"

#include <map>
#include <memory>
#include <random>

using heaptest::RawEntry;

namespace {

struct Expected {
    TUint32 size;  // requested size rounded up to 4
    TUint32 code;
    TInt32 type;
    TUint32 outside;  // bytes a native object reports; 0 for plain entries
};

// The memory report's numbers in order: headers, actual, wasted, outsideHeap, total,
// string, bitmap and font contents, entries, pools, pooled size, contents, free space.
enum { kHeaders, kActual, kWasted, kOutside, kTotal, kStrings, kBitmaps, kFonts, kEntries, kPools, kPooled, kContents, kFree };

std::vector<unsigned long long> parseReport(const std::string& s) {
    std::vector<unsigned long long> r(13);
    int n = std::sscanf(s.c_str(),
                        "\nheaders %llu + actual %llu + wasted %llu + outsideHeap %llu = total %llu\n"
                        "stringContents=%llu bitmapContents=%llu fontContents=%llu\n"
                        "nOfEntries=%llu nOfPools=%llu SzOfPools=%llu AllContents=%llu freeSpace=%llu\n",
                        &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], &r[10], &r[11], &r[12]);
    EXPECT_EQ(n, 13) << s;
    return r;
}

class HeapStress : public heaptest::HeapFixture {
protected:
    std::mt19937 rng{20261206};
    std::map<VMAddr, Expected> model;
    std::vector<VMAddr> live;  // the model's keys, for picking at random
    int created = 0, destroyed = 0;
    heaptest::Layouts layouts;

    void SetUp() override { layouts.set(1, {}).applyTo(heap); }  // class 1 has no fields: traces nothing

    TUint32 pick(TUint32 lo, TUint32 hi) { return std::uniform_int_distribution<TUint32>(lo, hi)(rng); }

    TUint32 randomSize() {
        TUint32 roll = pick(0, 99);
        if (roll < 70) return pick(0, 64);
        if (roll < 90) return pick(65, 2000);
        if (roll < 98) return pick(2001, 40000);
        return pick(64001, 150000);
    }

    // Kinds whose contents the collector reads get the size and words a valid
    // object of that kind has; everything else is zero-filled.
    static TUint32 minimumSize(TUint32 code) {
        switch (code) {
        case GC_CODE_INSTANCE: return 4;
        case GC_CODE_REFERENCE_CELL: return 4;
        case GC_CODE_PRIMITIVE_ARRAY:
        case GC_CODE_OBJECT_ARRAY: return 8;
        case GC_CODE_PAIR: return 12;
        default: return 0;
        }
    }
    void shape(VMAddr ref, TUint32 code) {
        if (code == GC_CODE_INSTANCE || code == GC_CODE_PAIR) mem.writeWord(ref, 1);
    }

    void record(VMAddr ref, TUint32 size, TUint32 code, TInt32 type, TUint32 outside = 0) {
        ASSERT_EQ(model.count(ref), 0u) << "handed out twice: " << ref;
        model[ref] = Expected{(size + 3) & ~3u, code, type, outside};
        live.push_back(ref);
        shape(ref, code);
    }

    TUint32 randomCode() { return pick(GC_CODE_INSTANCE, GC_CODE_HASH); }

    void allocateOne() {
        TUint32 code = randomCode();
        TUint32 size = std::max(randomSize(), minimumSize(code));
        TInt32 type = pick(0, 9) == 0 ? TInt32(pick(1, 5)) : 0;
        record(heap.allocate(size, type, GcCode(code)), size, code, type);
    }

    void allocateObject() {
        static const GcCode codes[] = {GC_CODE_PLAIN, GC_CODE_STRING, GC_CODE_FONT, GC_CODE_VECTOR,
                                       GC_CODE_DATETIME, GC_CODE_HASH};
        GcCode code = codes[pick(0, 5)];
        TUint32 size = pick(4, 40), outside = pick(0, 1000);
        VMAddr ref = heap.createObject<heaptest::Probe>(size, code, &destroyed, outside);
        ++created;
        record(ref, size, code, -1, outside);
    }

    void allocateCompound(int parts) {
        TUint32 c[3], s[3];
        VMAddr r[3] = {};
        for (int i = 0; i < parts; ++i) {
            c[i] = randomCode();
            s[i] = std::max(pick(0, 300), minimumSize(c[i]));
        }
        if (parts == 2)
            heap.allocateTwo(s[0], 0, GcCode(c[0]), &r[0], s[1], 0, GcCode(c[1]), &r[1]);
        else
            heap.allocateThree(s[0], 0, GcCode(c[0]), &r[0], s[1], 0, GcCode(c[1]), &r[1], s[2], 0,
                               GcCode(c[2]), &r[2]);
        for (int i = 0; i < parts; ++i) record(r[i], s[i], c[i], 0);
    }

    void forget(size_t i) {
        model.erase(live[i]);
        live[i] = live.back();
        live.pop_back();
    }

    void freeOne() {
        if (live.empty()) return;
        size_t i = pick(0, TUint32(live.size() - 1));
        heap.free(live[i]);
        forget(i);
    }

    // Roots about half of what is live; the rest must go.
    void collectHalf() {
        std::vector<VMAddr> roots;
        for (VMAddr r : live)
            if (pick(0, 1)) roots.push_back(r);
        for (VMAddr r : roots) heap.addRoot(r);
        heap.collect();
        for (VMAddr r : roots) heap.removeRoot(r);
        std::map<VMAddr, Expected> kept;
        for (VMAddr r : roots) kept[r] = model[r];
        model.swap(kept);
        live.assign(roots.begin(), roots.end());
    }

    void step() {
        TUint32 roll = pick(0, 9999);
        if (roll < 4300) allocateOne();
        else if (roll < 5300) allocateObject();
        else if (roll < 6200) allocateCompound(2);
        else if (roll < 6700) allocateCompound(3);
        else if (roll < 9990) freeOne();
        else collectHalf();
    }

    void checkAgainstModel() {
        heap.verify();
        EXPECT_EQ(heap.numberOfEntries(), TInt32(model.size()));
        size_t inUse = 0, freeEntries = 0;
        TUint64 pooled = 0;
        for (TInt32 p = 0; p < heap.numberOfPools(); ++p) {
            pooled += TUint32(heap.poolSize(p));
            bool previousFree = false;
            for (const RawEntry& e : heaptest::walkPool(heap, p)) {
                if (e.isTerminator()) {
                    previousFree = false;
                    continue;
                }
                EXPECT_EQ(e.tag, e.size + 28) << e.header;
                EXPECT_FALSE(e.isFree() && previousFree) << "unmerged neighbours at " << e.header;
                previousFree = e.isFree();
                if (e.isFree()) {
                    ++freeEntries;
                    continue;
                }
                ++inUse;
                auto it = model.find(e.ref());
                if (it == model.end()) {
                    ADD_FAILURE() << "entry in use that nobody holds: " << e.ref();
                    continue;
                }
                EXPECT_EQ(e.requestedSize, it->second.size);
                EXPECT_GE(e.size, it->second.size);
                EXPECT_EQ(e.gcCode, it->second.code);
                EXPECT_EQ(e.type, it->second.type);
                EXPECT_EQ(e.mark, 0u);
            }
        }
        EXPECT_EQ(inUse, model.size());
        size_t listed = 0;
        for (TInt32 k = 0; k < kFreeListCount; ++k) listed += size_t(heap.freeListCount(k));
        EXPECT_EQ(listed, freeEntries);
        EXPECT_EQ(pooled, heap.totalSizeOfPools());
        checkReport();
    }

    void checkReport() {
        TUint64 actual = 0, outside = 0, strings = 0, fonts = 0;
        int objects = 0;
        for (auto& [ref, e] : model) {
            actual += e.size;
            outside += e.outside;
            if (e.code == GC_CODE_STRING) strings += e.outside;
            if (e.code == GC_CODE_FONT) fonts += e.outside;
            if (e.type == -1) ++objects;
        }
        TUint32 total = 0;
        std::vector<unsigned long long> r = parseReport(heaptest::memUsage(heap, &total));
        EXPECT_EQ(r[kHeaders] + r[kActual] + r[kWasted] + r[kOutside], r[kTotal]);
        EXPECT_EQ(r[kTotal], total);
        EXPECT_EQ(r[kPooled], r[kFree] + r[kActual] + r[kWasted] + r[kHeaders]);
        EXPECT_EQ(r[kPooled], r[kContents] + r[kHeaders]);
        EXPECT_EQ(r[kPooled], heap.totalSizeOfPools());
        EXPECT_EQ(r[kActual], actual);
        EXPECT_EQ(r[kOutside], outside);
        EXPECT_EQ(r[kStrings], strings);
        EXPECT_EQ(r[kFonts], fonts);
        EXPECT_EQ(r[kBitmaps], 0u);
        EXPECT_EQ(r[kEntries], model.size());
        EXPECT_EQ(r[kPools], TUint64(heap.numberOfPools()));
        EXPECT_EQ(heap.liveObjectCount(), objects);
        EXPECT_EQ(created - destroyed, objects);
    }
};

}  // namespace

TEST_F(HeapStress, RandomAllocationsFreesAndCollectionsKeepTheHeapConsistent) {
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 5000; ++i) step();
        checkAgainstModel();
        if (HasFailure()) FAIL() << "after round " << round;
    }
    for (int i = 0; i < 100; ++i) freeOne();
    heap.collect();  // no roots: everything goes
    model.clear();
    live.clear();
    checkAgainstModel();
    for (TInt32 p = 0; p < heap.numberOfPools(); ++p)
        EXPECT_EQ(heaptest::walkPool(heap, p).size(), 3u) << "pool " << p << " is one free entry again";
}
