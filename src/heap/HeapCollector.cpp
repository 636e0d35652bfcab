// The heap side of garbage collection: roots, marking with an explicit work
// list, sweeping, the consistency walk and the memory report.
#include "heap/VMHeap.h"

#include <cstdio>
#include <string>

// --- roots ------------------------------------------------------------------------

namespace mcb {

// Only an entry in use: a root on a free one would fail every collection to come.
void VMHeap::addRoot(VMAddr ref) {
    HeapEntry* he = headerOf(ref);
    if (isFree(he)) corrupted();
    roots_.append(addressOf(he));
}

void VMHeap::removeRoot(VMAddr ref) {
    LinkedListIterator it = roots_.find(ref - kHeaderSize);
    if (it == kNullIterator) {
        std::fprintf(stderr, "Error: Removing non-existing root: %d", TInt32(ref));
        return;
    }
    roots_.remove(it);
}

TInt32 VMHeap::isRoot(VMAddr ref) const { return roots_.find(ref - kHeaderSize) != kNullIterator ? 1 : 0; }

// --- marking ------------------------------------------------------------------------

void VMHeap::mark(VMAddr ref) {
    markStack_.append(ref);
    drainMarkStack();
}

// The mark stack doubles as the work list, so long chains never recurse.
void VMHeap::drainMarkStack() {
    try {
        while (!markStack_.isEmpty()) {
            VMAddr ref = markStack_.takeLast();
            HeapEntry* he = headerOf(ref);
            if (he->mark == 1 || he->mark == kElementsRead) continue;
            he->mark = 1;
            traceEntry(he, ref);
        }
    } catch (const ErrorHandlingException&) {
        // A half-marked heap would make the next collection skip what it reached.
        collectAbandoned();
        throw;
    }
}

// Cells, reference and array fields, object-vector elements and a vector's
// storage are words that bytecode writes or frees (level conversion even boxes
// plain numbers in cells): only a word that names a live entry is taken for a
// reference, so one stray number there cannot stop every collection to come.
void VMHeap::pushIfLive(TUint32 word) {
    if (word == 0) return;
    HeapEntry* he = liveEntry(word);
    if (he && he->mark == 0) {  // (a marked one is traced or queued already)
        he->mark = kQueued;     // so that a million words naming it queue it once
        markStack_.append(word);
    }
}

void VMHeap::traceEntry(HeapEntry* he, VMAddr ref) {
    if (he->gcCode == GC_CODE_FREE || he->gcCode == GC_CODE_TERMINATOR || isFree(he)) vmerr::raise(vmerr::VM);
    if (he->type == -1)
        if (GCObject* o = findObject(ref)) o->reportReferences(markStack_);
    auto push = [this](TUint32 w) {
        if (w != 0) markStack_.append(w);
    };
    switch (he->gcCode) {
        case GC_CODE_INSTANCE: {
            TInt32 c = TInt32(mem_.readWord(ref));
            if (layout_.referenceFields && c >= 0 && c < layout_.referenceFields->getSize())
                for (int i : (*layout_.referenceFields)[c]) pushIfLive(mem_.readWord(ref + TUint32(i) * 4));
            if (layout_.arrayFields && layout_.arrayFlags && c >= 0 && c < layout_.arrayFields->getSize()) {
                const Vec<int>& fields = (*layout_.arrayFields)[c];
                for (TInt32 j = 0; j < fields.getSize(); ++j)
                    pushArrayField(ref + TUint32(fields[j]) * 4, (*layout_.arrayFlags)[c][j] != 0);
            }
            break;
        }
        case GC_CODE_PRIMITIVE_ARRAY: pushArrayField(ref, EFalse); break;
        case GC_CODE_OBJECT_ARRAY: pushArrayField(ref, ETrue); break;
        case GC_CODE_REFERENCE_CELL: pushIfLive(mem_.readWord(ref)); break;
        case GC_CODE_PAIR: {
            TUint32 kind = mem_.readWord(ref);
            if (kind != 1 && kind != 2) vmerr::raise(vmerr::VM);
            push(mem_.readWord(ref + 4));
            if (kind == 2) push(mem_.readWord(ref + 8));
            break;
        }
        default: break;
    }
}

void VMHeap::markArrayField(VMAddr wordAddress, TBool elementsAreReferences) {
    pushArrayField(wordAddress, elementsAreReferences);
    drainMarkStack();
}

// Queues the vector held at wordAddress, its storage and (with the flag) its elements.
void VMHeap::pushArrayField(VMAddr wordAddress, TBool elementsAreReferences) {
    VMAddr v = mem_.readWord(wordAddress);
    if (v == 0 || !liveEntry(v)) return;
    markStack_.append(v);
    GCObject* vector = findObject(v);
    VMAddr storage = 0;
    TInt32 count = 0;
    if (!vector || !vector->arrayStorage(&storage, &count) || count <= 0) return;
    HeapEntry* block = liveEntry(storage);
    if (!block) return;  // freed by bytecode: the vector holds nothing reachable
    // Many holders may share one vector: the elements of its storage block are
    // read once per collection. A block that bytecode freed and something else
    // took over is traced for what it is now, and read each time.
    const bool plain = block->gcCode == GC_CODE_PLAIN && block->type == 0;
    if (!elementsAreReferences || !plain) markStack_.append(storage);
    if (!elementsAreReferences) return;
    if (plain) {
        if (block->mark == kElementsRead) return;
        block->mark = kElementsRead;  // live for the sweep; a plain block has nothing else to trace
    }
    if (TUint64(count) * 4 > 0xFFFFFFFFu) corrupted();
    mem_.ptr(storage, TUint32(count) * 4);  // the whole element range must be VM memory
    for (TInt32 i = 0; i < count; ++i) pushIfLive(*mem_.uncheckedWord(storage + TUint32(i) * 4));
}

void VMHeap::markIfInHeap(TUint32 word) {
    if (word < kHeaderSize) return;
    HeapEntry* he = belongsToPools(word - kHeaderSize);
    // Terminators and free entries are not objects: a word that happens to
    // point at one is just an integer.
    if (!he || he->gcCode == GC_CODE_TERMINATOR || isFree(he)) return;
    TInt32 pool = poolOf(addressOf(he));
    if (addressOf(he) == pools_[pool] || isTrailing(pool, he)) return;
    mark(referenceOf(he));
}

void VMHeap::collect() {
    markStack_.clear();
    for (LinkedListIterator it = roots_.front(); it; it = roots_.next(it)) mark(roots_.value(it) + kHeaderSize);
    sweep();
}

// Goes by the recorded entry starts alone, so it works on a heap whose sizes
// or tags have been overwritten.
void VMHeap::clearAllMarks() {
    for (TInt32 pool = 0; pool < pools_.getSize(); ++pool) {
        const std::vector<TUint64>& bits = poolStarts_[size_t(pool)];
        for (size_t i = 0; i < bits.size(); ++i)
            for (TUint64 m = bits[i]; m; m &= m - 1) {
                VMAddr h = pools_[pool] + TUint32(i * 64 + size_t(__builtin_ctzll(m))) * 4;
                if (h + kHeaderSize <= poolEnd(pool)) at(h)->mark = 0;
            }
    }
}

// --- sweeping ---------------------------------------------------------------------

void VMHeap::sweep() {
    struct Flag {
        bool& f;
        ~Flag() { f = false; }
    } guard{sweeping_};
    sweeping_ = true;
    try {
        for (TInt32 pool = 0; pool < pools_.getSize(); ++pool) {
            checkPoolStart(pool);  // "he->gcCode == GC_CODE_TERMINATOR"
            HeapEntry* he = validEntry(pool, pools_[pool] + kEntryOverhead);
            HeapEntry* before = nullptr;  // the entry just before he; null: the pool's start
            while (!isTrailing(pool, he)) {
                HeapEntry* after = nullptr;  // checked already when an entry was freed
                if (he->mark == 0 && !isFree(he))
                    he = sweepEntry(pool, he, before && isFree(before) ? before : nullptr, after);
                he->mark = 0;
                before = he;
                he = after ? after : next(pool, he);
            }
        }
    } catch (const ErrorHandlingException&) {
        clearAllMarks();
        throw;
    }
}

// --- walking: verification and the memory report ---------------------------------

void VMHeap::verify() {
    TInt32 used = 0, freeCount = 0;
    for (TInt32 pool = 0; pool < pools_.getSize(); ++pool) {
        checkPoolStart(pool);
        HeapEntry* he = validEntry(pool, pools_[pool] + kEntryOverhead);
        bool previousFree = false;
        while (!isTrailing(pool, he)) {
            bool f = isFree(he);
            if (f && previousFree) corrupted();  // free neighbours must have merged
            if (!f && !isLiveGcCode(he->gcCode)) corrupted();
            (f ? freeCount : used) += 1;
            previousFree = f;
            he = next(pool, he);
        }
    }
    TInt32 listed = 0;
    for (LinkedList<VMAddr>* l : freeHeapEntries_) listed += l->count();
    if (listed != freeCount || used != numberOfEntries_) corrupted();
}

TUint32 VMHeap::getMemUsage(CAppsString* out) {
    TUint64 headers = 0, actual = 0, wasted = 0, outside = 0, strings = 0, fonts = 0;
    TUint64 allContents = 0, freeSpace = 0;
    for (TInt32 pool = 0; pool < pools_.getSize(); ++pool) {
        checkPoolStart(pool);
        TUint64 contents = 0;
        HeapEntry* he = validEntry(pool, pools_[pool] + kEntryOverhead);
        while (!isTrailing(pool, he)) {
            contents += he->size;
            if (isFree(he)) {
                freeSpace += he->size;
            } else {
                actual += he->requestedSize;
                wasted += he->size - std::min(he->size, he->requestedSize);
                GCObject* o = he->type == -1 ? findObject(referenceOf(he)) : nullptr;
                TUint32 extra = o ? o->sizeOutsideHeap() : 0;
                outside += extra;
                if (he->gcCode == GC_CODE_STRING) strings += extra;
                if (he->gcCode == GC_CODE_FONT) fonts += extra;
            }
            he = next(pool, he);
        }
        allContents += contents;
        headers += TUint64(poolSizes_[pool]) - contents;
    }
    // "totalSizeOfPools == freeSpaceInPools + actualObjectsInMem + wastedMemInActualObjectBlocks + memInHeHeaders"
    if (totalSizeOfPools_ != freeSpace + actual + wasted + headers) corrupted();
    TUint64 total = headers + actual + wasted + outside;
    if (out) {
        std::string s =
            "\nheaders " + std::to_string(headers) + " + actual " + std::to_string(actual) + " + wasted " +
            std::to_string(wasted) + " + outsideHeap " + std::to_string(outside) + " = total " + std::to_string(total) +
            "\nstringContents=" + std::to_string(strings) + " bitmapContents=0" +
            " fontContents=" + std::to_string(fonts) + "\nnOfEntries=" + std::to_string(numberOfEntries_) +
            " nOfPools=" + std::to_string(pools_.getSize()) + " SzOfPools=" + std::to_string(totalSizeOfPools_) +
            " AllContents=" + std::to_string(allContents) + " freeSpace=" + std::to_string(freeSpace) + "\n";
        out->appendLatin1(s);
    }
    return TUint32(total);
}

}  // namespace mcb
