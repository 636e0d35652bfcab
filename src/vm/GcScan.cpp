// The machine's side of garbage collection: the value stack, scanned precisely
// where a frame's descriptor says what its slots hold and conservatively
// elsewhere; the globals block and the argument words of queued calls, whose
// words are scanned conservatively.
#include "vm/VirtualMachine.h"

namespace mcb {

void VirtualMachine::gc() {
    try {
        scanStack();
    } catch (const ErrorHandlingException&) {
        heap_.collectAbandoned();
        throw;
    }
    collectWithGlobals();
}

// Globals hold references the collector has no layout for; without this a
// global could be the only holder of an object the sweep frees under it. A
// queued call's arguments wait in host memory until the call starts, which is
// after the collection that follows the running call.
void VirtualMachine::collectWithGlobals() {
    beforeCollection();
    try {
        if (VMAddr g = tables_.globals) {
            HeapEntry* he = heap_.liveEntry(g);
            TUint32 words = he ? he->size / 4 : 0;
            for (TUint32 i = 0; i < words; ++i) heap_.markIfInHeap(*memory_.uncheckedWord(g + i * 4));
        }
        for (const StoredMethodCall* call : queue_)
            for (int w : call->arguments) heap_.markIfInHeap(TUint32(w));
    } catch (const ErrorHandlingException&) {
        heap_.collectAbandoned();
        throw;
    }
    heap_.collect();
    afterCollection();
}

// Each frame's declared slots are found from its own base, even when the
// caller's span reaches over it (a caller may count its outgoing arguments).
// Words below `p` are covered by a frame or scanned already; p only grows, so
// odd spans cannot make the scan rescan the stack once per frame.
void VirtualMachine::scanStack() {
    TInt32 top = std::min(sp_, kStackScanWords - 1);
    TInt32 p = 0;
    for (TInt32 i = 0; i < descriptorStack_.getSize() && i < frameBaseStack_.getSize(); ++i) {
        TInt32 d = descriptorStack_[i];
        if (d < 0 || d >= tables_.descriptors.getSize()) continue;
        const MethodGCInfo& g = tables_.descriptors[d];
        TInt32 base = frameBaseStack_[i];
        for (; p < base && p <= top; ++p) heap_.markIfInHeap(TUint32(stack_[p]));
        scanFrame(g, base, top);
        TInt64 span = TInt64(g.firstLength) + g.secondLength + 1 + g.thirdLength;
        p = TInt32(std::clamp<TInt64>(TInt64(base) + span, p, kStackWords));
    }
    for (; p <= top; ++p) heap_.markIfInHeap(TUint32(stack_[p]));
}

void VirtualMachine::scanFrame(const MethodGCInfo& g, TInt32 base, TInt32 top) {
    auto at = [&](TInt32 offset, TInt32 extra) -> TInt32 {
        TInt64 i = TInt64(base) + offset;
        return i >= 0 && i + extra <= top ? TInt32(i) : -1;
    };
    for (int o : g.possibleReferenceSlots)
        if (TInt32 i = at(o, 0); i >= 0 && stack_[i] != 0 && !pointsIntoStack(TUint32(stack_[i])))
            heap_.markIfInHeap(TUint32(stack_[i]));
    for (TInt32 k = 0; k < g.arraySlots.getSize(); ++k)
        if (TInt32 i = at(g.arraySlots[k], 0); i >= 0 && stack_[i] != 0)
            heap_.markArrayField(TUint32(stack_[i]), g.arraySlotFlags[k] != 0);
    for (int o : g.referenceSlots) {
        TInt32 i = at(o, 0);
        if (i < 0 || stack_[i] == 0 || pointsIntoStack(TUint32(stack_[i]))) continue;
        HeapEntry* he = heap_.liveEntry(TUint32(stack_[i]));
        if (!he || !isLiveGcCode(he->gcCode))
            runtimeError(nullptr, pc_, CAppsString("Invalid mem alloc gc code"));
        if (he->mark == 0) heap_.mark(TUint32(stack_[i]));
    }
    for (TInt32 k = 0; k < g.twoWordArraySlots.getSize(); ++k)
        if (TInt32 i = at(g.twoWordArraySlots[k], 1); i >= 0 && (stack_[i] != 0 || stack_[i + 1] != 0))
            heap_.markArrayField(stackAddr_ + TUint32(i) * 4u, g.twoWordArraySlotFlags[k] != 0);
}

}  // namespace mcb
