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
#include <initializer_list>
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
    return {h,
            mem.readWord(h),
            mem.readWord(h + 4),
            TInt32(mem.readWord(h + 8)),
            mem.readWord(h + 12),
            mem.readWord(h + 16),
            mem.readWord(h + 20)};
}

// Every entry of pool i, terminators included. Fails the test (and stops
// walking) on a layout that does not add up.
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

inline std::string memUsage(VMHeap& heap, TUint32* total = nullptr) {
    CAppsString s;
    TUint32 t = heap.getMemUsage(&s);
    if (total) *total = t;
    return s.toUtf8();
}

// A native object that records its destruction and can keep others alive.
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

// The collector's class layout tables: reference fields, array fields and whether
// each array field's elements are references.
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

// Free-list lengths as {class, count} for every non-empty list.
inline Lists freeLists(VMHeap& heap) {
    Lists out;
    for (TInt32 k = 0; k < kFreeListCount; ++k)
        if (heap.freeListCount(k) != 0) out.emplace_back(k, heap.freeListCount(k));
    return out;
}

// A fresh heap on its own VM memory, with readers for the header of a reference.
class HeapFixture : public ::testing::Test {
protected:
    using Lists = heaptest::Lists;
    VMMemory mem;
    VMHeap heap{mem};

    RawEntry entryOf(VMAddr ref) { return readEntry(mem, ref - kHeaderSize); }
    TUint32 sizeOf(VMAddr ref) { return entryOf(ref).size; }
    bool isLive(VMAddr ref) { return heap.liveEntry(ref) != nullptr; }
    Lists freeLists() { return heaptest::freeLists(heap); }
};

}  // namespace heaptest
