// The VM heap: VM memory (carving, checked address translation); allocation (splitting, pools,
// free-list search by size class, compound allocations, finding the entry of an address, refused
// requests); native objects and garbage collection (destructors, roots, what each kind of entry
// keeps alive, failures while marking, chains that must not recurse); and random runs checked
// against a model of what must be live, then scribbled on as bytecode may, after which every
// operation must work or raise VM error 10. The memory report has no caller in the player and is
// only run for robustness.
#include "foundation/VMError.h"
#include "heap/GCObject.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Outcome {
    TInt32 code = 0;  // 0 when the call returned normally
    std::string text;
};

template <typename F>
Outcome outcomeOf(F&& f) {
    vmerr::clearPendingError();
    try {
        f();
    } catch (const ErrorHandlingException&) {
        return {vmerr::pendingErrorCode(), vmerr::pendingErrorTextUtf8()};
    }
    return {};
}

inline std::string badAddressText(VMAddr a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "VMException: Bad VM address 0x%08X", a);
    return buf;
}

// One entry as laid out in VM memory, read without going through the heap.
struct RawEntry {
    VMAddr header = 0;
    TUint32 requestedSize = 0, size = 0;
    TInt32 type = 0;
    TUint32 mark = 0, gcCode = 0, iterator = 0;
    TUint32 tag = 0;  // boundary tag after the data area; 0 for a trailing terminator
    bool isTerminator() const { return gcCode == GC_CODE_TERMINATOR && size == 0; }
    bool isFree() const { return !isTerminator() && iterator != 0; }
    VMAddr ref() const { return header + kHeaderSize; }
    VMAddr end() const { return header + kEntryOverhead + size; }
};

inline RawEntry readEntry(VMMemory& mem, VMAddr h) {
    return {h, mem.readWord(h), mem.readWord(h + 4), TInt32(mem.readWord(h + 8)), mem.readWord(h + 12),
            mem.readWord(h + 16), mem.readWord(h + 20)};
}

// Every entry of pool i, terminators included; fails the test on a layout that does not add up.
inline std::vector<RawEntry> walkPool(VMHeap& heap, TInt32 i) {
    std::vector<RawEntry> out;
    VMMemory& mem = heap.memory();
    VMAddr end = heap.poolStart(i) + TUint32(heap.poolSize(i));
    for (VMAddr h = heap.poolStart(i); h + kHeaderSize <= end; h = out.back().end()) {
        RawEntry e = readEntry(mem, h);
        if (h + kHeaderSize == end) {
            out.push_back(e);
            break;
        }
        if (e.end() > end) {
            ADD_FAILURE() << "entry at " << h << " runs past its pool";
            break;
        }
        e.tag = mem.readWord(h + kHeaderSize + e.size);
        out.push_back(e);
    }
    return out;
}

// A native object that counts its destruction and keeps `keeps` alive.
class Probe : public GCObject {
public:
    explicit Probe(int* destroyed = nullptr, TUint32 outside = 0) : destroyed_(destroyed), outside_(outside) {}
    ~Probe() override {
        if (destroyed_) ++*destroyed_;
    }
    void reportReferences(Vec<VMAddr>& markStack) override {
        for (VMAddr r : keeps) markStack.append(r);
    }
    TUint32 sizeOutsideHeap() const override { return outside_; }
    std::vector<VMAddr> keeps;

private:
    int* destroyed_;
    TUint32 outside_;
};

// Stands in for a vector object: answers with its storage block and count.
class FakeVector : public GCObject {
public:
    bool arrayStorage(VMAddr* storage, TInt32* count) const override {
        *storage = storage_;
        *count = count_;
        return true;
    }
    VMAddr storage_ = 0;
    TInt32 count_ = 0;
};

// The collector's class layouts: reference fields, and array fields with an is-reference flag.
struct Layouts {
    Vec<Vec<int>> refs, arrays;
    Vec<Vec<TUint8>> flags;
    Layouts& set(TInt32 cls, std::initializer_list<int> refFields,
                 std::initializer_list<std::pair<int, TUint8>> arrayFields = {}) {
        if (refs.getSize() <= cls) {
            refs.resize(cls + 1);
            arrays.resize(cls + 1);
            flags.resize(cls + 1);
        }
        for (int f : refFields) refs[cls].append(f);
        for (auto [f, isRef] : arrayFields) {
            arrays[cls].append(f);
            flags[cls].append(isRef);
        }
        return *this;
    }
    void applyTo(VMHeap& heap) { heap.setClassLayout({&refs, &arrays, &flags}); }
};

using Lists = std::vector<std::pair<TInt32, TInt32>>;

// {class, count} for every non-empty free list.
inline Lists freeLists(VMHeap& heap) {
    Lists out;
    for (TInt32 k = 0; k < kFreeListCount; ++k)
        if (heap.freeListCount(k) != 0) out.emplace_back(k, heap.freeListCount(k));
    return out;
}

class HeapFixture : public ::testing::Test {
protected:
    Layouts layouts;  // the heap keeps pointers into it
    VMMemory mem;
    VMHeap heap{mem};
    RawEntry entryOf(VMAddr ref) { return readEntry(mem, ref - kHeaderSize); }
    TUint32 sizeOf(VMAddr ref) { return entryOf(ref).size; }
    bool isLive(VMAddr ref) { return heap.liveEntry(ref) != nullptr; }
    Lists freeLists() { return ::freeLists(heap); }
    VMAddr plain(TUint32 size = 16) { return heap.allocate(size, 0, GC_CODE_PLAIN); }
    VMAddr cell(VMAddr target) {
        VMAddr c = heap.allocateWords(1, GC_CODE_REFERENCE_CELL);
        mem.writeWord(c, target);
        return c;
    }
    VMAddr pair(TUint32 kind, VMAddr first, VMAddr second) {
        VMAddr p = heap.allocate(12, 0, GC_CODE_PAIR);
        for (TUint32 i = 0; i < 3; ++i) mem.writeWord(p + 4 * i, i == 0 ? kind : i == 1 ? first : second);
        return p;
    }
    // A vector object of `elements` and its storage, reached through a handle of `code`.
    VMAddr vectorHandle(GcCode code, const std::vector<VMAddr>& elements, VMAddr* vector, VMAddr* storage) {
        auto v = std::make_unique<FakeVector>();
        v->storage_ = *storage = plain(TUint32(elements.size()) * 4 + 8);
        v->count_ = TInt32(elements.size());
        *vector = heap.adoptObject(std::move(v), 16, GC_CODE_VECTOR);
        for (size_t i = 0; i < elements.size(); ++i) mem.writeWord(*storage + TUint32(i) * 4, elements[i]);
        VMAddr h = heap.allocate(8, 0, code);
        mem.writeWord(h, *vector);
        mem.writeWord(h + 4, 4);
        return h;
    }
    void expectNoMarks() {
        for (TInt32 i = 0; i < heap.numberOfPools(); ++i)
            for (const RawEntry& e : walkPool(heap, i)) EXPECT_EQ(e.mark, 0u) << e.header;
    }
};

class Other : public GCObject {};

// {size rounded up to 4, code, type} of an entry the random runs expect live.
struct Expected {
    TUint32 size, code;
    TInt32 type;
};

}  // namespace

using HeapAllocation = HeapFixture;
using HeapCollection = HeapFixture;
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
    heap.allocate(0, 0, GC_CODE_4);
    EXPECT_EQ(report(100387), "before\nheaders 244 + actual 100028 + wasted 8 + outsideHeap 107 = total 100387\n"
                              "stringContents=100 bitmapContents=0 fontContents=7\n"
                              "nOfEntries=4 nOfPools=2 SzOfPools=164160 AllContents=163916 freeSpace=63880\n");
    EXPECT_EQ(heap.getMemUsage(nullptr), 100387u);
}

TEST_F(HeapAllocation, EntriesAreZeroFilledAndCarryTheirCodeAndType) {
    VMAddr a = heap.allocate(12, 0, GC_CODE_STRING);
    mem.writeWord(a, 0xFFFFFFFF);
    heap.free(a);
    VMAddr b = heap.allocate(12, 7, GC_CODE_DATETIME);
    ASSERT_EQ(b, a) << "the freed space is reused from the front";
    RawEntry e = entryOf(b);
    EXPECT_EQ(std::vector<TUint32>({e.gcCode, TUint32(e.type), e.mark, e.iterator, mem.readWord(b)}),
              std::vector<TUint32>({GC_CODE_DATETIME, 7, 0, 0, 0}));
    VMAddr words = heap.allocateWords(3, GC_CODE_REFERENCE_CELL);
    EXPECT_EQ(sizeOf(words), 12u);
    EXPECT_EQ(entryOf(words).gcCode, GC_CODE_REFERENCE_CELL);
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
    EXPECT_EQ(freeLists(), (Lists{{16, 1}})) << "the first pool is untouched";
    heap.free(r);
    EXPECT_EQ(plain(70000), r) << "served from the freed large entry, not a new pool";
    EXPECT_EQ(freeLists(), (Lists{{15, 1}, {16, 1}}));
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
    ASSERT_EQ(freeLists(), (Lists{{5, 1}}));
    heap.free(c);
    EXPECT_EQ(plain(22), c) << "the 20-byte entry ahead of it is too small";
    EXPECT_EQ(heap.numberOfPools(), 1);
    plain(28);
    EXPECT_EQ(heap.numberOfPools(), 2) << "nothing in list 5 holds 28 bytes";
}

TEST_F(HeapAllocation, FreeAndHeaderOfRefuseWhatIsNotALiveEntry) {
    VMAddr a = plain(), b = plain();
    heap.free(0);
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
}

TEST_F(HeapAllocation, CompoundsAreAdjacentEntries) {
    VMAddr before = plain(4), v = 0, h = 0, c = 0;
    heap.allocateThree(16, 5, GC_CODE_VECTOR, &v, 6, 0, GC_CODE_OBJECT_ARRAY, &h, 3, 0, GC_CODE_REFERENCE_CELL, &c);
    EXPECT_EQ(std::vector<VMAddr>({v, h, c}), std::vector<VMAddr>({before + 4 + 28, v + 16 + 28, h + 8 + 28}));
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
    VMAddr hole = plain(44);
    plain(rest - 44 - 28);
    heap.free(hole);
    VMAddr a = 0, b = 0;
    heap.allocateTwo(8, 0, GC_CODE_STRING, &a, 4, 0, GC_CODE_REFERENCE_CELL, &b);
    EXPECT_EQ(a, hole);
    EXPECT_EQ(sizeOf(a), 8u);
    EXPECT_EQ(sizeOf(b), 8u);
    EXPECT_EQ(entryOf(b).requestedSize, 4u);
    EXPECT_TRUE(freeLists().empty());
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

TEST_F(HeapAllocation, OversizedRequestsRaiseAndLeaveTheHeapAsItWas) {
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
    heap.verify();
}

TEST(HeapLimits, ExhaustedVMMemoryRaisesAndLeavesTheHeapAsItWas) {
    VMMemory tiny(VMMemory::kGuardBytes + 4096);
    EXPECT_EQ(outcomeOf([&] { VMHeap heap(tiny); }).code, vmerr::InvalidArgument);
    VMMemory mem(TUint64(1) << 20);
    VMHeap heap(mem);
    heap.allocate(100, 0, GC_CODE_PLAIN);
    EXPECT_EQ(outcomeOf([&] { heap.allocate(2u << 20, 0, GC_CODE_PLAIN); }).code, vmerr::InvalidArgument);
    EXPECT_EQ(heap.totalSizeOfPools(), 64080u);
    EXPECT_EQ(heap.numberOfEntries(), 1);
    heap.verify();
}

TEST(VMMemory, CarvesZeroedBlocksUpwardsWithoutMovingThem) {
    VMMemory mem(TUint64(64) << 20);
    VMAddr a = mem.carve(10);
    EXPECT_EQ(a, VMMemory::kGuardBytes);
    EXPECT_EQ(mem.carve(4), a + 16) << "sizes round up to 8";
    VMAddr first = mem.carve(4096);
    TUint8* host = mem.ptr(first, 4096);
    std::memset(host, 0xA5, 4096);
    for (int i = 0; i < 24; ++i) {  // several commit steps' worth
        VMAddr b = mem.carve(1u << 20);
        EXPECT_EQ(mem.readWord(b) | mem.readWord(b + (1u << 20) - 4), 0u);
        mem.writeWord(b + (1u << 20) - 4, TUint32(i));
    }
    EXPECT_EQ(mem.ptr(first, 4096), host);
    EXPECT_EQ(mem.readWord(first + 4092), 0xA5A5A5A5u);
    EXPECT_EQ(mem.addressOf(host), first);
    VMMemory small(TUint64(1) << 20), big;
    for (auto [m, size] : {std::pair{&small, 2u << 20}, {&big, 0xFFFFFFFFu}, {&big, 0xFFFFFFF8u}}) {
        VMAddr top = m->top();
        EXPECT_EQ(outcomeOf([&] { m->carve(size); }).code, vmerr::InvalidArgument) << size;
        EXPECT_EQ(m->carve(16), top) << "a failed carve leaves the top and the region usable";
    }
}

TEST(VMMemory, BadAddressesRaiseAndTheEdgesAreReachable) {
    VMMemory mem(TUint64(64) << 20);
    VMAddr a = mem.carve(64), top = mem.top();
    EXPECT_EQ(outcomeOf([&] { mem.ptr(0, 0); }).text, "NullPointerException: NULL pointer");
    EXPECT_EQ(outcomeOf([&] { mem.writeWord(0, 1); }).code, vmerr::NullPointer);
    struct Case {
        VMAddr addr;
        TUint32 len;
    };
    for (Case c : {Case{4, 4}, Case{VMMemory::kGuardBytes - 2, 4}, Case{top, 1}, Case{top - 4, 8}, Case{a, 65},
                   Case{0xFFFFFFFCu, 8}, Case{a + 8, 0xFFFFFFFFu}}) {
        Outcome o = outcomeOf([&] { mem.ptr(c.addr, c.len); });
        EXPECT_EQ(o.code, vmerr::VM) << std::hex << c.addr << " len " << c.len;
        EXPECT_EQ(o.text, badAddressText(c.addr));
    }
    EXPECT_EQ(outcomeOf([&] { mem.readWord(0x8000); }).text, "VMException: Bad VM address 0x00008000");
    mem.writeWord(top - 4, 7);
    EXPECT_EQ(mem.readWord(top - 4), 7u);
    EXPECT_TRUE(mem.contains(a, 64));
    EXPECT_FALSE(mem.contains(a, 65) || mem.contains(a - 1, 1) || mem.contains(0xFFFFFFFFu, 2));
    mem.writeWord(a, 0x11111111);  // misaligned words raise without touching memory
    mem.writeWord(a + 4, 0x22222222);
    for (TUint32 off : {1u, 3u}) {
        EXPECT_EQ(outcomeOf([&] { mem.writeWord(a + off, 0xDEADBEEF); }).text, badAddressText(a + off));
        EXPECT_EQ(outcomeOf([&] { mem.readWord(a + off); }).text, badAddressText(a + off));
    }
    EXPECT_EQ(mem.readWord(a), 0x11111111u);
    EXPECT_EQ(mem.readWord(a + 4), 0x22222222u);
    EXPECT_EQ(*mem.ptr(a + 1, 3), 0x11) << "bytes may be addressed at any offset";
}

TEST_F(HeapCollection, ObjectsAreFoundThroughTheirEntryOnly) {
    auto owned = std::make_unique<Probe>();
    Probe* p = owned.get();
    VMAddr ref = heap.adoptObject(std::move(owned), 16, GC_CODE_PLAIN);
    EXPECT_EQ(entryOf(ref).type, -1);
    EXPECT_EQ(heap.objectAs<Probe>(ref), p);
    EXPECT_EQ(p->self(), ref);
    VMAddr tiny = heap.createObject<Other>(0, GC_CODE_HASH);
    EXPECT_EQ(sizeOf(tiny), 4u) << "an object entry always has room for its handle";
    EXPECT_NE(dynamic_cast<Other*>(heap.findObject(tiny)), nullptr);
    VMAddr other = plain();
    for (VMAddr r : {other, ref + 4, VMAddr(0)}) EXPECT_EQ(heap.findObject(r), nullptr) << r;
    EXPECT_EQ(outcomeOf([&] { heap.object(other); }).text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.objectAs<Probe>(tiny); }).text, "VMException: Invalid TYPEID");
    EXPECT_EQ(outcomeOf([&] { heap.object(0); }).code, vmerr::NullPointer);
}

// Destructors run once, when the entry or the heap goes; bytecode may copy or overwrite the handle
// word of an object, which still goes with its own entry alone.
TEST(HeapObjectLifetime, DestructorsRunOnceWithTheirOwnEntry) {
    int destroyed = 0, destroyedB = 0;
    VMMemory mem;
    {
        VMHeap heap(mem);
        heap.createObject<Probe>(8, GC_CODE_STRING, &destroyed);
        VMAddr plain = heap.allocate(16, 0, GC_CODE_PLAIN);
        VMAddr b = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyedB);
        VMAddr a = heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);  // last: merges with the rest
        GCObject* bObject = heap.findObject(b);
        TUint32 handleA = mem.readWord(a);
        mem.writeWord(plain, mem.readWord(b));
        mem.writeWord(a, mem.readWord(b));
        EXPECT_EQ(heap.findObject(plain), nullptr);
        EXPECT_NE(heap.findObject(a), bObject);
        heap.free(plain);
        heap.free(a);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(destroyedB, 0) << "b's object belongs to b alone";
        EXPECT_EQ(heap.findObject(b), bObject);
        EXPECT_EQ(outcomeOf([&] { heap.free(a); }).code, vmerr::VM);
        VMAddr c = heap.allocate(16, 0, GC_CODE_PLAIN);
        ASSERT_EQ(c, a);
        mem.writeWord(c, handleA);
        EXPECT_EQ(heap.findObject(c), nullptr) << "a new entry at the same address inherits nothing";
        heap.freeEntry(heap.headerOf(b));
        EXPECT_EQ(destroyedB, 1);
        EXPECT_EQ(heap.liveObjectCount(), 1);
        heap.verify();
    }
    EXPECT_EQ(destroyed, 2) << "objects still in the heap are released with it";
}

TEST_F(HeapCollection, EmptyRootListFreesEveryEntry) {
    int destroyed = 0;
    cell(plain());
    pair(7, 0, 0);  // never marked, so its bad kind goes unnoticed
    heap.createObject<Probe>(16, GC_CODE_PLAIN, &destroyed);
    heap.allocate(100000, 0, GC_CODE_STRING);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), 0);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(freeLists(), (Lists{{16, 1}, {17, 1}})) << "each pool is one free entry again";
    heap.verify();
}

// A rooted cell holding a number that is no entry (level conversion boxes numbers) is fine.
TEST_F(HeapCollection, CellsAndNativeObjectsKeepWhatTheyHold) {
    int destroyed = 0;
    auto owned = std::make_unique<Probe>(&destroyed);
    Probe* p = owned.get();
    VMAddr obj = heap.adoptObject(std::move(owned), 8, GC_CODE_PLAIN);
    VMAddr leaf = plain(), other = plain(), viaCell = cell(leaf), boxed = cell(5);
    p->keeps = {viaCell};
    heap.addRoot(obj);
    heap.addRoot(boxed);
    heap.collect();
    for (VMAddr r : {obj, viaCell, leaf, boxed}) EXPECT_TRUE(isLive(r)) << r;
    EXPECT_FALSE(isLive(other));
    expectNoMarks();
    mem.writeWord(viaCell, 0);
    heap.collect();
    EXPECT_TRUE(isLive(viaCell));
    EXPECT_FALSE(isLive(leaf)) << "a null cell keeps nothing alive";
    p->keeps.clear();
    heap.removeRoot(obj);
    heap.collect();
    EXPECT_FALSE(isLive(viaCell));
    EXPECT_EQ(destroyed, 1);
}

// Array handles keep vector, storage and object elements; instances follow their class layout
// (word 4 is plain data); stray words and array slots marked by the VM's stack scan survive the
// collection that follows.
TEST_F(HeapCollection, HandlesInstancesAndStackScanMarks) {
    layouts.set(1, {1}, {{2, 1}, {3, 0}}).applyTo(heap);
    VMAddr e[6], v[6], st[6], h[6];
    for (VMAddr& x : e) x = plain();
    VMAddr field = plain(), data = plain(), stray = plain(), garbage = plain();
    const GcCode codes[] = {GC_CODE_OBJECT_ARRAY, GC_CODE_PRIMITIVE_ARRAY};
    for (int i = 0; i < 6; ++i)  // 0-1 rooted, 2-3 an instance's array fields, 4 the stack's, 5 empty
        h[i] = vectorHandle(codes[i % 2], i == 5 ? std::vector<VMAddr>{} : std::vector<VMAddr>{e[i], 0}, &v[i], &st[i]);
    VMAddr inst = heap.allocate(20, 0, GC_CODE_INSTANCE);
    for (TUint32 i = 0; i < 5; ++i) mem.writeWord(inst + 4 * i, std::vector<VMAddr>{1, field, v[2], v[3], data}[i]);
    VMAddr stackSlot = mem.carve(8);
    mem.writeWord(stackSlot, v[4]);
    for (VMAddr r : {h[0], h[1], h[5], inst}) heap.addRoot(r);
    heap.markIfInHeap(stray);
    heap.markArrayField(stackSlot, ETrue);
    heap.collect();
    for (VMAddr r : {v[0], st[0], e[0], v[1], st[1], v[2], st[2], e[2], v[3], st[3], v[4], st[4], e[4], v[5], inst,
                     field, stray})
        EXPECT_TRUE(isLive(r)) << r;
    for (VMAddr r : {e[1], e[3], st[5], data, h[2], h[3], h[4], garbage}) EXPECT_FALSE(isLive(r)) << r;
    expectNoMarks();
    mem.writeWord(h[5], 0);
    heap.collect();
    EXPECT_FALSE(isLive(v[5])) << "a null vector word keeps nothing";
}

// A cell may box a plain value, so only a pair's bad kind or dangling reference is an error.
TEST_F(HeapCollection, PairsKeepWhatTheirKindSaysAndBadOnesRaise) {
    VMAddr a = plain(), b = plain(), c = plain();
    VMAddr one = pair(1, a, b);
    heap.addRoot(one);
    heap.addRoot(pair(2, 0, c));
    heap.collect();
    EXPECT_TRUE(isLive(a));
    EXPECT_FALSE(isLive(b)) << "kind 1 keeps its first only";
    EXPECT_TRUE(isLive(c));
    EXPECT_EQ(outcomeOf([&] { heap.mark(one + 4); }).code, vmerr::VM) << "not an entry start";
    heap.free(a);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM) << "dangling";
    mem.writeWord(one + 4, 0);
    heap.addRoot(pair(3, 0, 0));
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM) << "kind 3";
}

// A collection or stack scan stopped by a VM error must not leave marks that a later collection
// takes for "already traced".
TEST_F(HeapCollection, FailedMarkingLeavesNoStaleMarks) {
    VMAddr old = plain(), c = cell(old), bad = pair(9, 0, 0), c2 = cell(bad);
    heap.addRoot(c);
    heap.addRoot(bad);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).code, vmerr::VM);
    EXPECT_EQ(outcomeOf([&] { heap.markIfInHeap(c2); }).code, vmerr::VM);  // the stack scan's way in
    heap.removeRoot(bad);
    VMAddr fresh = plain(), fresh2 = plain();
    mem.writeWord(c, fresh);
    mem.writeWord(c2, fresh2);
    heap.addRoot(c2);
    heap.collect();
    EXPECT_TRUE(isLive(fresh) && isLive(fresh2));
    EXPECT_FALSE(isLive(old) || isLive(bad));
    expectNoMarks();
}

TEST_F(HeapCollection, RootsCountAndRemovingAMissingOneOnlyPrints) {
    VMAddr a = plain();
    heap.addRoot(a);
    heap.addRoot(a);
    heap.removeRoot(a);
    testing::internal::CaptureStderr();
    heap.removeRoot(0x80000010u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Removing non-existing root: -2147483632");
    heap.collect();
    EXPECT_TRUE(isLive(a));
    heap.removeRoot(a);
    heap.collect();
    EXPECT_FALSE(isLive(a));
}

// Marking must not recurse: a million instances, then 100000 native objects.
TEST_F(HeapCollection, LongChainsAreMarkedWithoutRecursion) {
    layouts.set(1, {1}).applyTo(heap);
    constexpr TInt32 kLinks = 1000000, kObjects = 100000;
    VMAddr head = 0;
    for (TInt32 i = 0; i < kLinks; ++i) {
        VMAddr r = heap.allocate(8, 0, GC_CODE_INSTANCE);
        mem.writeWord(r, 1);
        mem.writeWord(r + 4, head);
        head = r;
    }
    heap.addRoot(head);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), kLinks);
    heap.removeRoot(head);
    int destroyed = 0;
    head = 0;
    for (int i = 0; i < kObjects; ++i) {
        auto p = std::make_unique<Probe>(&destroyed);
        if (head) p->keeps.push_back(head);
        head = heap.adoptObject(std::move(p), 4, GC_CODE_PLAIN);
    }
    heap.addRoot(head);
    heap.collect();
    EXPECT_EQ(heap.numberOfEntries(), kObjects);
    EXPECT_EQ(destroyed, 0);
    heap.removeRoot(head);
    heap.collect();
    EXPECT_EQ(destroyed, kObjects);
}

namespace {

// A heap driven by seeded random allocations (single and compound, every GcCode, native objects),
// frees and collections, with a model of what must be live.
struct RandomHeap {
    explicit RandomHeap(TUint32 seed) : rng(seed) { layouts.set(1, {}).applyTo(heap); }  // class 1 traces nothing
    std::mt19937 rng;
    Layouts layouts;
    VMMemory mem;
    VMHeap heap{mem};
    std::map<VMAddr, Expected> model;
    int created = 0, destroyed = 0;

    TUint32 pick(TUint32 lo, TUint32 hi) { return std::uniform_int_distribution<TUint32>(lo, hi)(rng); }
    TUint32 randomSize() {
        TUint32 roll = pick(0, 99);
        return roll < 70 ? pick(0, 64) : roll < 90 ? pick(65, 2000) : roll < 98 ? pick(2001, 40000)
                                                                              : pick(64001, 150000);
    }
    // Kinds whose contents the collector reads get the size and first word of a valid one.
    void record(VMAddr ref, TUint32 size, TUint32 code, TInt32 type) {
        ASSERT_EQ(model.count(ref), 0u) << "handed out twice: " << ref;
        model[ref] = Expected{(size + 3) & ~3u, code, type};
        if (code == GC_CODE_INSTANCE || code == GC_CODE_PAIR) mem.writeWord(ref, 1);
    }
    std::pair<TUint32, TUint32> codeAndSize(TUint32 size) {
        TUint32 code = pick(GC_CODE_INSTANCE, GC_CODE_HASH);
        TUint32 least = code == GC_CODE_PAIR ? 12
                        : code == GC_CODE_PRIMITIVE_ARRAY || code == GC_CODE_OBJECT_ARRAY ? 8
                        : code == GC_CODE_INSTANCE || code == GC_CODE_REFERENCE_CELL ? 4 : 0;
        return {code, std::max(size, least)};
    }
    VMAddr any() { return std::next(model.begin(), pick(0, TUint32(model.size() - 1)))->first; }

    void step() {
        TUint32 roll = pick(0, 9999);
        if (roll < 4300) {
            auto [code, size] = codeAndSize(randomSize());
            TInt32 type = pick(0, 9) == 0 ? TInt32(pick(1, 5)) : 0;
            record(heap.allocate(size, type, GcCode(code)), size, code, type);
        } else if (roll < 5300) {
            static const GcCode codes[] = {GC_CODE_PLAIN, GC_CODE_STRING, GC_CODE_FONT, GC_CODE_HASH};
            GcCode code = codes[pick(0, 3)];
            TUint32 size = pick(4, 40);
            ++created;
            record(heap.createObject<Probe>(size, code, &destroyed), size, code, -1);
        } else if (roll < 6700) {
            auto [c0, s0] = codeAndSize(pick(0, 300));
            auto [c1, s1] = codeAndSize(pick(0, 300));
            auto [c2, s2] = codeAndSize(pick(0, 300));
            VMAddr r[3] = {};
            if (roll < 6200) heap.allocateTwo(s0, 0, GcCode(c0), &r[0], s1, 0, GcCode(c1), &r[1]);
            else heap.allocateThree(s0, 0, GcCode(c0), &r[0], s1, 0, GcCode(c1), &r[1], s2, 0, GcCode(c2), &r[2]);
            record(r[0], s0, c0, 0);
            record(r[1], s1, c1, 0);
            if (r[2]) record(r[2], s2, c2, 0);
        } else if (roll < 9990) {
            if (model.empty()) return;
            VMAddr r = any();
            heap.free(r);
            model.erase(r);
        } else {  // roots about half of what is live; the rest must go
            std::map<VMAddr, Expected> kept;
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
                ASSERT_NE(it, model.end()) << "entry in use that nobody holds: " << e.ref();
                const Expected& x = it->second;
                EXPECT_EQ(std::vector<TUint32>({e.requestedSize, e.gcCode, TUint32(e.type), e.mark}),
                          std::vector<TUint32>({x.size, x.code, TUint32(x.type), 0}));
                EXPECT_GE(e.size, x.size);
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

// Bytecode can write anywhere in VM memory: after scribbles on headers, boundary tags and
// contents every operation must work or raise VM error 10, and damage piles up over rounds.
TEST(HeapScribble, EveryOperationWorksOrRaisesCode10) {
    std::map<TInt32, int> codes;
    for (TUint32 seed = 1; seed <= 1500; ++seed) {
        RandomHeap h(seed);
        VMHeap& heap = h.heap;
        VMMemory& mem = h.mem;
        while (h.model.size() < 80) h.step();
        for (int i = 0; i < 6; ++i) heap.addRoot(h.any());
        auto run = [&](auto&& f) { ++codes[outcomeOf(f).code]; };
        for (int round = 0; round < 4; ++round) {
            std::vector<RawEntry> all;  // the entries as far as their sizes still add up
            for (TInt32 p = 0; p < heap.numberOfPools(); ++p) {
                VMAddr end = heap.poolStart(p) + TUint32(heap.poolSize(p));
                for (VMAddr a = heap.poolStart(p); a + kHeaderSize <= end; a = all.back().end()) {
                    all.push_back(readEntry(mem, a));
                    if ((all.back().size & 3) != 0 || TUint64(a) + kEntryOverhead + all.back().size >= end) break;
                }
            }
            for (int n = 1 + int((seed + TUint32(round)) % 4); n > 0; --n) {
                const RawEntry& e = all[h.pick(0, TUint32(all.size() - 1))];
                const RawEntry& other = all[h.pick(0, TUint32(all.size() - 1))];
                VMAddr at = h.pick(0, 2) == 0 ? e.header + 4 * h.pick(0, 5)                      // a header word
                            : h.pick(0, 1) ? (e.isTerminator() ? e.header : e.end() - 4)         // a boundary tag
                                           : e.ref() + 4 * h.pick(0, std::min<TUint32>(e.size / 4, 8));
                if ((at & 3) != 0 || !mem.contains(at, 4)) continue;
                const TUint32 old = mem.readWord(at);
                const TUint32 values[] = {0, 1, 0xFFFFFFFFu, 0x80000000u, 0xFFFFFFE4u /* -28 */, old + 4, old - 28,
                                          other.header, other.ref(), other.size + 28, GC_CODE_TERMINATOR,
                                          h.pick(0, 64), TUint32(h.rng())};
                mem.writeWord(at, values[h.pick(0, 12)]);
            }
            for (TUint32 size : {0u, 44u, 5000u, 70000u}) run([&] { heap.allocate(size, 0, GC_CODE_PLAIN); });
            VMAddr a, b;
            run([&] { heap.allocateTwo(16, -1, GC_CODE_VECTOR, &a, 8, 0, GC_CODE_OBJECT_ARRAY, &b); });
            run([&] { heap.createObject<Probe>(8, GC_CODE_HASH, &h.destroyed); });
            for (auto& [r, e] : h.model) run([&] { heap.findObject(r); });
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
