// Bytecode can write anywhere in VM memory, heap headers and boundary tags
// included: after random scribbles every heap operation must either work or
// raise VM error 10, never crash or touch host memory.
#include "HeapTestSupport.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>

using heaptest::FakeVector;
using heaptest::outcomeOf;
using heaptest::Probe;
using heaptest::RawEntry;

namespace {

class Scribbler {
public:
    explicit Scribbler(TUint32 seed) : rng_(seed) { layouts_.set(1, {1, 2}).set(2, {}, {{1, 1}}).applyTo(heap_); }

    void populate() {
        for (int i = 0; i < 80; ++i) addSomething();
        heap_.allocate(70000, 0, GC_CODE_PLAIN);
        for (int i = 0; i < 15; ++i) {
            VMAddr r = any();
            if (r && heaptest::outcomeOf([&] { heap_.free(r); }).code == 0) forget(r);
        }
        for (int i = 0; i < 6; ++i)
            if (VMAddr r = any()) heap_.addRoot(r);
    }

    void scribble(int writes) {
        std::vector<RawEntry> all = entries();
        for (int i = 0; i < writes; ++i) {
            const RawEntry& e = all[pick(0, TUint32(all.size() - 1))];
            VMAddr target;
            switch (pick(0, 3)) {
            case 0: target = e.header + 4 * pick(0, 5); break;             // a header word
            case 1: target = e.isTerminator() ? e.header : e.end() - 4; break;  // a boundary tag
            case 2: target = e.ref() + 4 * pick(0, std::min<TUint32>(e.size / 4, 8)); break;
            default: {
                VMAddr p = heap_.poolStart(TInt32(pick(0, TUint32(heap_.numberOfPools() - 1))));
                target = p + 4 * pick(0, 200);
            }
            }
            if ((target & 3) != 0 || !mem_.contains(target, 4)) continue;
            mem_.writeWord(target, value(mem_.readWord(target), all));
        }
    }

    // Uses the heap every way there is, counting the codes raised.
    void exercise(std::map<TInt32, int>& codes) {
        auto run = [&](auto&& f) { ++codes[outcomeOf(f).code]; };
        for (TUint32 size : {0u, 8u, 44u, 300u, 5000u, 70000u})
            run([&] { heap_.allocate(size, 0, GC_CODE_PLAIN); });
        VMAddr a, b, c;
        run([&] { heap_.allocateTwo(16, -1, GC_CODE_VECTOR, &a, 8, 0, GC_CODE_OBJECT_ARRAY, &b); });
        run([&] { heap_.allocateThree(4, 0, GC_CODE_4, &a, 12, 0, GC_CODE_PAIR, &b, 0, 0, GC_CODE_9, &c); });
        run([&] { heap_.createObject<Probe>(8, GC_CODE_HASH, &destroyed_); });
        for (VMAddr r : refs_live_) {
            run([&] { heap_.findObject(r); });
            run([&] { heap_.isRoot(r); });
        }
        for (int i = 0; i < 4; ++i) {
            VMAddr r = any();
            run([&] { heap_.free(r); });
            forget(r);
        }
        for (int i = 0; i < 8; ++i) {
            TUint32 w = heap_.poolStart(0) + pick(0, 70000);
            run([&] { heap_.markIfInHeap(w); });
            run([&] { heap_.belongsToPools(w); });
        }
        run([&] { heap_.sweep(); });
        if (VMAddr r = any()) {
            run([&] { heap_.addRoot(r); });
            testing::internal::CaptureStderr();
            run([&] { heap_.removeRoot(r + 4); });
            testing::internal::GetCapturedStderr();
        }
        run([&] { heap_.collect(); });
        run([&] { heap_.verify(); });
        run([&] { heap_.getMemUsage(nullptr); });
        CAppsString report;
        run([&] { heap_.getMemUsage(&report); });
    }

private:
    // The entries as far as their sizes still add up after earlier scribbles.
    std::vector<RawEntry> entries() {
        std::vector<RawEntry> out;
        for (TInt32 p = 0; p < heap_.numberOfPools(); ++p) {
            VMAddr end = heap_.poolStart(p) + TUint32(heap_.poolSize(p));
            for (VMAddr h = heap_.poolStart(p); h + kHeaderSize <= end;) {
                RawEntry e = heaptest::readEntry(mem_, h);
                out.push_back(e);
                if ((e.size & 3) != 0 || TUint64(h) + kEntryOverhead + e.size >= end) break;
                h = e.end();
            }
        }
        return out;
    }

    TUint32 pick(TUint32 lo, TUint32 hi) { return std::uniform_int_distribution<TUint32>(lo, hi)(rng_); }

    VMAddr any() {
        if (refs_live_.empty()) return 0;
        return refs_live_[pick(0, TUint32(refs_live_.size() - 1))];
    }
    void forget(VMAddr r) {
        auto it = std::find(refs_live_.begin(), refs_live_.end(), r);
        if (it != refs_live_.end()) refs_live_.erase(it);
    }

    // A heap with every kind of link: cells, pairs, instances, vectors through
    // handles and native objects reporting others.
    void addSomething() {
        VMAddr target = any();
        VMAddr r = 0;
        switch (pick(0, 7)) {
        case 0: r = heap_.allocate(pick(0, 200), 0, GC_CODE_PLAIN); break;
        case 1:
            r = heap_.allocateWords(1, GC_CODE_REFERENCE_CELL);
            mem_.writeWord(r, target);
            break;
        case 2:
            r = heap_.allocate(12, 0, GC_CODE_PAIR);
            mem_.writeWord(r, pick(1, 2));
            mem_.writeWord(r + 4, target);
            mem_.writeWord(r + 8, any());
            break;
        case 3:
            r = heap_.allocate(12, 0, GC_CODE_INSTANCE);
            mem_.writeWord(r, pick(1, 2));
            mem_.writeWord(r + 4, target);
            break;
        case 4: {
            auto p = std::make_unique<Probe>(&destroyed_, pick(0, 100));
            if (target) p->keeps.push_back(target);
            r = heap_.adoptObject(std::move(p), 8, GC_CODE_STRING);
            break;
        }
        case 5: {
            auto v = std::make_unique<FakeVector>();
            FakeVector* fv = v.get();
            VMAddr vector = 0, handle = 0;
            heap_.allocateTwo(16, -1, GC_CODE_VECTOR, &vector, 8, 0, GC_CODE_OBJECT_ARRAY, &handle);
            heap_.attachObject(vector, std::move(v));
            fv->storage_ = heap_.allocate(16, 0, GC_CODE_PLAIN);
            fv->count_ = 4;
            mem_.writeWord(fv->storage_, target);
            mem_.writeWord(handle, vector);
            mem_.writeWord(handle + 4, 4);
            refs_live_.push_back(vector);
            refs_live_.push_back(fv->storage_);
            r = handle;
            break;
        }
        case 6: r = heap_.createObject<Probe>(pick(4, 40), GC_CODE_FONT, &destroyed_); break;
        default: r = heap_.allocate(pick(1000, 9000), 0, GcCode(pick(1, 17))); break;
        }
        refs_live_.push_back(r);
    }

    TUint32 value(TUint32 old, const std::vector<RawEntry>& all) {
        const RawEntry& other = all[pick(0, TUint32(all.size() - 1))];
        const TUint32 choices[] = {0, 1, 0xFFFFFFFFu, 0x80000000u,
                                   0xFFFFFFE4u,  // -28: an entry length that wraps to nothing
                                   old + 4, old - 4, old + 28, old - 28, other.header, other.ref(), other.size + 28,
                                   GC_CODE_TERMINATOR, pick(0, 64), mem_.top(), TUint32(rng_())};
        return choices[pick(0, 15)];
    }

    std::mt19937 rng_;
    VMMemory mem_{TUint64(256) << 20};
    heaptest::Layouts layouts_;
    int destroyed_ = 0;
    VMHeap heap_{mem_};
    std::vector<VMAddr> refs_live_;
};

}  // namespace

TEST(HeapScribble, EveryOperationWorksOrRaisesCode10) {
    std::map<TInt32, int> codes;
    for (TUint32 seed = 1; seed <= 1500; ++seed) {
        Scribbler s(seed);
        s.populate();
        // Damage piles up: each round scribbles on what the previous one left.
        for (int round = 0; round < 3; ++round) {
            s.scribble(1 + int((seed + TUint32(round)) % 4));
            s.exercise(codes);
        }
        s.exercise(codes);
    }
    for (auto [code, n] : codes)
        EXPECT_TRUE(code == 0 || code == vmerr::VM) << n << " operations raised code " << code;
    EXPECT_GT(codes[vmerr::VM], 0) << "some scribble should have been noticed";
    EXPECT_GT(codes[0], codes[vmerr::VM]);
}

// Hand-picked damage: an entry length that wraps (caught, not looped on), and
// free-list links that name the wrong entry.
TEST(HeapScribble, WrappingLengthsAndWrongFreeListLinksAreCaught) {
    VMMemory mem;
    VMHeap heap(mem);
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    VMAddr b = heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.allocate(16, 0, GC_CODE_PLAIN);
    heap.free(a);
    TUint32 link = mem.readWord(a - 4);
    mem.writeWord(b - 4, link);  // b claims a's free-list node
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
    for (auto f : std::initializer_list<std::function<void()>>{[&] { heap2.verify(); }, [&] { heap2.sweep(); },
                                                               [&] { heap2.getMemUsage(nullptr); },
                                                               [&] { heap2.free(c); }, [&] { heap2.belongsToPools(c); }})
        EXPECT_EQ(outcomeOf(f).code, vmerr::VM);
}
