// Seeded random runs checked against a model of what must be live, then scribbled on as bytecode
// may, after which every operation must work or raise VM error 10; and hand-picked damage.
#include "HeapTestSupport.h"

#include <functional>
#include <map>
#include <random>

namespace mcb {

namespace {

// A heap driven by seeded random allocations (single and compound, every GcCode, native objects),
// frees and collections, with a model of what must be live: {size rounded up to 4, code, type, 0}.
struct RandomHeap {
    explicit RandomHeap(TUint32 seed) : rng(seed) { layouts.applyTo(heap, {}); }  // class 1 traces nothing
    std::mt19937 rng;
    Layouts layouts;
    VMMemory mem;
    VMHeap heap{mem};
    std::map<VMAddr, std::vector<TUint32>> model;
    int created = 0, destroyed = 0;

    TUint32 pick(TUint32 lo, TUint32 hi) { return std::uniform_int_distribution<TUint32>(lo, hi)(rng); }
    TUint32 randomSize() {
        TUint32 roll = pick(0, 99);
        return roll < 70 ? pick(0, 64) : roll < 90 ? pick(65, 2000) : roll < 98 ? pick(2001, 40000) : pick(64001, 150000);
    }
    // Kinds whose contents the collector reads get the size and first word of a valid one.
    void record(VMAddr ref, TUint32 size, TUint32 code, TInt32 type) {
        ASSERT_EQ(model.count(ref), 0u) << "handed out twice: " << ref;
        model[ref] = {(size + 3) & ~3u, code, TUint32(type), 0};
        if (code == GC_CODE_INSTANCE || code == GC_CODE_PAIR) mem.writeWord(ref, 1);
    }
    std::pair<TUint32, TUint32> codeAndSize(TUint32 size) {
        static const TUint32 least[] = {0, 4, 0, 0, 0, 0, 8, 8, 0, 0, 0, 0, 0, 0, 4, 0, 12, 0};  // by code
        TUint32 code = pick(GC_CODE_INSTANCE, GC_CODE_HASH);
        return {code, std::max(size, least[code])};
    }
    VMAddr any() { return std::next(model.begin(), pick(0, TUint32(model.size() - 1)))->first; }

    void step() {
        TUint32 roll = pick(0, 9999);
        if (roll < 4300) {
            auto [code, size] = codeAndSize(randomSize());
            TInt32 type = pick(0, 9) == 0 ? TInt32(pick(1, 5)) : 0;
            record(heap.allocate(size, type, GcCode(code)), size, code, type);
        } else if (roll < 5300) {
            GcCode code = pick(0, 1) ? GC_CODE_STRING : GC_CODE_HASH;
            TUint32 size = pick(4, 40);
            ++created;
            record(heap.createObject<Probe>(size, code, &destroyed), size, code, -1);
        } else if (roll < 6700) {
            std::pair<TUint32, TUint32> cs[3] = {codeAndSize(pick(0, 300)), codeAndSize(pick(0, 300)),
                                                 codeAndSize(pick(0, 300))};
            auto code = [&](int i) { return GcCode(cs[i].first); };
            VMAddr r[3] = {};
            if (roll < 6200)
                heap.allocateTwo(cs[0].second, 0, code(0), &r[0], cs[1].second, 0, code(1), &r[1]);
            else
                heap.allocateThree(cs[0].second, 0, code(0), &r[0], cs[1].second, 0, code(1), &r[1], cs[2].second, 0,
                                   code(2), &r[2]);
            for (int i = 0; i < 3 && r[i]; ++i) record(r[i], cs[i].second, cs[i].first, 0);
        } else if (roll < 9990) {
            if (model.empty()) return;
            VMAddr r = any();
            heap.free(r);
            model.erase(r);
        } else {  // roots about half of what is live; the rest must go
            std::map<VMAddr, std::vector<TUint32>> kept;
            for (auto& [r, e] : model)
                if (pick(0, 1)) kept[r] = e;
            for (auto& [r, e] : kept) heap.addRoot(r);
            heap.collect();
            for (auto& [r, e] : kept) heap.removeRoot(r);
            model.swap(kept);
        }
    }

    void checkAgainstModel() {
        heap.verify();
        size_t inUse = 0, freeEntries = 0, listed = 0;
        for (TInt32 p = 0; p < heap.numberOfPools(); ++p) {
            bool previousFree = false;
            for (const RawEntry& e : walkPool(heap, p)) {
                if (!e.isTerminator()) {
                    EXPECT_EQ(e.tag, e.size + 28) << e.header;
                    EXPECT_FALSE(e.isFree() && previousFree) << "unmerged neighbours at " << e.header;
                }
                previousFree = e.isFree();
                freeEntries += e.isFree();
                if (e.isTerminator() || e.isFree()) continue;
                ++inUse;
                auto it = model.find(e.ref());
                ASSERT_NE(it, model.end()) << "entry in use that nobody holds: " << e.ref();
                EXPECT_EQ(std::vector<TUint32>({e.requestedSize, e.gcCode, TUint32(e.type), e.mark}), it->second);
                EXPECT_GE(e.size, it->second[0]);
            }
        }
        EXPECT_EQ(inUse, model.size());
        EXPECT_EQ(heap.numberOfEntries(), TInt32(model.size()));
        for (TInt32 k = 0; k < kFreeListCount; ++k) listed += size_t(heap.freeListCount(k));
        EXPECT_EQ(listed, freeEntries);
        EXPECT_EQ(heap.liveObjectCount(), created - destroyed);
    }
};

}  // namespace

TEST(HeapStress, RandomAllocationsFreesAndCollectionsKeepTheHeapConsistent) {
    RandomHeap h(20261206);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 5000; ++i) h.step();
        h.checkAgainstModel();
        ASSERT_FALSE(testing::Test::HasFailure()) << "after round " << round;
    }
    h.heap.collect();  // no roots: everything goes
    h.model.clear();
    h.checkAgainstModel();
    for (TInt32 p = 0; p < h.heap.numberOfPools(); ++p)
        EXPECT_EQ(walkPool(h.heap, p).size(), 3u) << "pool " << p << " is one free entry again";
}

// Bytecode may write anywhere: after scribbles on headers, tags and contents, piling up over
// rounds, every operation must work or raise VM error 10.
TEST(HeapScribble, EveryOperationWorksOrRaisesCode10) {
    std::map<TInt32, int> codes;
    for (TUint32 seed = 1; seed <= 1500; ++seed) {
        RandomHeap h(seed);
        VMHeap& heap = h.heap;
        while (h.model.size() < 80) h.step();
        for (int i = 0; i < 6; ++i) heap.addRoot(h.any());
        auto run = [&](auto&& f) { ++codes[outcomeOf(f).code]; };
        for (int round = 0; round < 4; ++round) {
            std::vector<RawEntry> all;
            for (TInt32 p = 0; p < heap.numberOfPools(); ++p)
                for (const RawEntry& e : walkPool(heap, p, true)) all.push_back(e);
            for (int n = 1 + int((seed + TUint32(round)) % 4); n > 0; --n) {
                const RawEntry& e = all[h.pick(0, TUint32(all.size() - 1))];
                const RawEntry& other = all[h.pick(0, TUint32(all.size() - 1))];
                VMAddr at = h.pick(0, 2) == 0 ? e.header + 4 * h.pick(0, 5)                      // a header word
                            : h.pick(0, 1) ? (e.isTerminator() ? e.header : e.end() - 4)         // a boundary tag
                                           : e.ref() + 4 * h.pick(0, std::min<TUint32>(e.size / 4, 8));
                if ((at & 3) != 0 || !h.mem.contains(at, 4)) continue;
                const TUint32 old = h.mem.readWord(at);
                const TUint32 values[] = {0, 1, 0xFFFFFFFFu, 0x80000000u, 0xFFFFFFE4u /* -28 */, old + 4, old - 28,
                                          other.header, other.ref(), other.size + 28, GC_CODE_TERMINATOR,
                                          h.pick(0, 64), TUint32(h.rng())};
                h.mem.writeWord(at, values[h.pick(0, 12)]);
            }
            for (TUint32 size : {0u, 44u, 5000u, 70000u}) run([&] { heap.allocate(size, 0, GC_CODE_PLAIN); });
            VMAddr a, b;
            run([&] { heap.allocateTwo(16, -1, GC_CODE_VECTOR, &a, 8, 0, GC_CODE_OBJECT_ARRAY, &b); });
            run([&] { heap.createObject<Probe>(8, GC_CODE_HASH, &h.destroyed); });
            for (auto& [r, e] : h.model) run([&, r = r] { heap.findObject(r); });
            for (int i = 0; i < 4 && !h.model.empty(); ++i) {
                VMAddr r = h.any(), w = heap.poolStart(0) + h.pick(0, 70000);
                run([&] { heap.free(r); });
                h.model.erase(r);
                run([&] { heap.markIfInHeap(w); });
                run([&] { heap.belongsToPools(w); });
            }
            run([&] { heap.sweep(); });
            run([&] { heap.collect(); });
            run([&] { heap.verify(); });
            CAppsString report;
            run([&] { heap.getMemUsage(&report); });
        }
    }
    for (auto [code, n] : codes) EXPECT_TRUE(code == 0 || code == vmerr::VM) << n << " operations raised " << code;
    EXPECT_GT(codes[vmerr::VM], 0) << "some scribble should have been noticed";
    EXPECT_GT(codes[0], codes[vmerr::VM]);
}

// Hand-picked damage: free-list links that name the wrong entry, and an entry length that wraps
// (caught, not looped on).
TEST(HeapScribble, WrappingLengthsAndWrongFreeListLinksAreCaught) {
    VMMemory mem;
    VMHeap heap(mem);
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN), b = heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.free(a);
    mem.writeWord(b - 4, mem.readWord(a - 4));  // b claims a's free-list node
    EXPECT_EQ(outcomeOf([&] { heap.verify(); }).code, vmerr::VM);
    EXPECT_EQ(outcomeOf([&] { heap.free(b); }).code, vmerr::VM);
    mem.writeWord(b - 4, 0);
    mem.writeWord(a - 4, 0);  // a forgets it is free, but its node still names it
    EXPECT_EQ(outcomeOf([&] { heap.allocate(16, 0, GC_CODE_PLAIN); }).code, 0) << "a larger class serves this one";
    EXPECT_EQ(outcomeOf([&] { heap.verify(); }).code, vmerr::VM);
    VMMemory mem2;
    VMHeap heap2(mem2);
    VMAddr c = heap2.allocate(16, 0, GC_CODE_PLAIN);
    heap2.allocate(16, 0, GC_CODE_PLAIN);
    mem2.writeWord(c - 20, 0xFFFFFFE4u);  // size + 28 wraps to 0
    using Call = std::function<void()>;
    for (const Call& f : std::initializer_list<Call>{[&] { heap2.verify(); }, [&] { heap2.sweep(); },
                                                     [&] { heap2.getMemUsage(nullptr); }, [&] { heap2.free(c); },
                                                     [&] { heap2.belongsToPools(c); }})
        EXPECT_EQ(outcomeOf(f).code, vmerr::VM);
}

}  // namespace mcb
