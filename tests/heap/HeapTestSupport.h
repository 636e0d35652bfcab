// Helpers shared by the heap tests: catching VM errors, reading a heap's pools
// word by word as bytecode would see them, and native objects that record what
// the heap did to them.
#pragma once

#include "foundation/VMError.h"
#include "heap/GCObject.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace heaptest {

// The code and text a call raised; code 0 when it returned normally.
struct Outcome {
    TInt32 code = 0;
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
    TUint32 requestedSize = 0;
    TUint32 size = 0;
    TInt32 type = 0;
    TUint32 mark = 0;
    TUint32 gcCode = 0;
    TUint32 iterator = 0;
    TUint32 tag = 0;  // boundary tag after the data area; 0 for a trailing terminator
    bool isTerminator() const { return gcCode == GC_CODE_TERMINATOR && size == 0; }
    bool isFree() const { return !isTerminator() && iterator != 0; }
    VMAddr ref() const { return header + kHeaderSize; }
    VMAddr end() const { return header + kEntryOverhead + size; }
};

inline RawEntry readEntry(VMMemory& mem, VMAddr h) {
    RawEntry e;
    e.header = h;
    e.requestedSize = mem.readWord(h);
    e.size = mem.readWord(h + 4);
    e.type = TInt32(mem.readWord(h + 8));
    e.mark = mem.readWord(h + 12);
    e.gcCode = mem.readWord(h + 16);
    e.iterator = mem.readWord(h + 20);
    return e;
}

// Every entry of pool i, leading and trailing terminators included. Fails the
// test (and stops walking) on a layout that does not add up.
inline std::vector<RawEntry> walkPool(VMHeap& heap, TInt32 i) {
    std::vector<RawEntry> out;
    VMMemory& mem = heap.memory();
    VMAddr start = heap.poolStart(i);
    VMAddr end = start + TUint32(heap.poolSize(i));
    VMAddr h = start;
    while (h + kHeaderSize <= end) {
        RawEntry e = readEntry(mem, h);
        bool last = h + kHeaderSize == end;
        if (!last) {
            if (e.end() > end) {
                ADD_FAILURE() << "entry at " << h << " runs past its pool";
                break;
            }
            e.tag = mem.readWord(h + kHeaderSize + e.size);
        }
        out.push_back(e);
        if (last) break;
        h = e.end();
    }
    return out;
}

inline std::vector<RawEntry> walkAll(VMHeap& heap) {
    std::vector<RawEntry> all;
    for (TInt32 i = 0; i < heap.numberOfPools(); ++i) {
        auto pool = walkPool(heap, i);
        all.insert(all.end(), pool.begin(), pool.end());
    }
    return all;
}

inline std::string memUsage(VMHeap& heap, TUint32* total = nullptr) {
    CAppsString s;
    TUint32 t = heap.getMemUsage(&s);
    if (total) *total = t;
    return s.toUtf8();
}

// A native object that records its destruction and can keep others alive.
class Probe : public GCObject {
public:
    explicit Probe(int* destroyed = nullptr, TUint32 outside = 0)
        : destroyed_(destroyed), outside_(outside) {}
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

// Stands in for a vector object: it answers with its storage block and count.
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

// A fresh heap on its own VM memory, with readers for the header of a reference.
class HeapFixture : public ::testing::Test {
protected:
    VMMemory mem;
    VMHeap heap{mem};

    RawEntry entryOf(VMAddr ref) { return readEntry(mem, ref - kHeaderSize); }
    TUint32 sizeOf(VMAddr ref) { return entryOf(ref).size; }
    TUint32 requestedOf(VMAddr ref) { return entryOf(ref).requestedSize; }
    bool isLive(VMAddr ref) { return heap.liveEntry(ref) != nullptr; }
    // Free-list lengths as {class, count} for every non-empty list.
    std::vector<std::pair<TInt32, TInt32>> freeLists() {
        std::vector<std::pair<TInt32, TInt32>> out;
        for (TInt32 k = 0; k < kFreeListCount; ++k)
            if (heap.freeListCount(k) != 0) out.emplace_back(k, heap.freeListCount(k));
        return out;
    }
    using Lists = std::vector<std::pair<TInt32, TInt32>>;
};

}  // namespace heaptest
