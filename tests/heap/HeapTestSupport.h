// What the heap tests share: raw entry walks, a native object, a fresh heap.
#pragma once

#include "foundation/VMError.h"
#include "heap/GCObject.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"
#include "../support/Outcome.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace mcb {

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

// Every entry of pool i, terminators included, as far as the sizes add up (else a failure if undamaged).
inline std::vector<RawEntry> walkPool(VMHeap& heap, TInt32 i, bool damaged = false) {
    std::vector<RawEntry> out;
    VMMemory& mem = heap.memory();
    VMAddr end = heap.poolStart(i) + TUint32(heap.poolSize(i));
    for (VMAddr h = heap.poolStart(i); h + kHeaderSize <= end; h = out.back().end()) {
        RawEntry e = readEntry(mem, h);
        if (h + kHeaderSize == end) {
            out.push_back(e);
            break;
        }
        if (TUint64(h) + kEntryOverhead + e.size > end || (e.size & 3) != 0) {
            if (!damaged) ADD_FAILURE() << "entry at " << h << " runs past its pool";
            break;
        }
        e.tag = mem.readWord(h + kHeaderSize + e.size);
        out.push_back(e);
    }
    return out;
}

// A native object that counts its destruction, holds `outside` bytes elsewhere and keeps `keeps` alive.
struct Probe : GCObject {
    explicit Probe(int* destroyed = nullptr, TUint32 outside = 0) : destroyed(destroyed), outside(outside) {}
    ~Probe() override {
        if (destroyed) ++*destroyed;
    }
    void reportReferences(Vec<VMAddr>& markStack) override {
        for (VMAddr r : keeps) markStack.append(r);
    }
    TUint32 sizeOutsideHeap() const override { return outside; }
    int* destroyed;
    TUint32 outside;
    std::vector<VMAddr> keeps;
};

// Class 1's layout for the collector: its reference fields (no array fields).
struct Layouts {
    Vec<Vec<int>> refs, arrays;
    Vec<Vec<TUint8>> flags;
    void applyTo(VMHeap& heap, std::initializer_list<int> refFields) {
        refs.resize(2), arrays.resize(2), flags.resize(2);
        for (int f : refFields) refs[1].append(f);
        heap.setClassLayout({&refs, &arrays, &flags});
    }
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
    VMAddr plain(TUint32 size = 16) { return heap.allocate(size, 0, GC_CODE_PLAIN); }
};

}  // namespace mcb
