// Calls, virtual dispatch, throws and handlers, and the native and extension
// calls of the interpreter.
#include "vm/VirtualMachine.h"

#include "vm/NativeRegistry.h"

#include <new>
#include <stdexcept>

namespace mcb {

// Every call takes a stack word, but a throw routine that pops its own
// arguments could otherwise nest calls without end.
void VirtualMachine::checkCallDepth() const {
    if (descriptorStack_.getSize() >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
}

void VirtualMachine::checkDescriptor(TInt32 descriptor) const {
    if (descriptor >= tables_.descriptors.getSize()) vmerr::raise(vmerr::msg::InvalidMethodDescriptor);
}

TInt32 VirtualMachine::frameBaseFor(TInt32 descriptor) const {
    if (descriptor < 0) return sp_;
    return TInt32(TInt64(sp_) - frameOffsets_[size_t(descriptor)]);
}

// The return address goes into the slot at the stack pointer.
void VirtualMachine::pushCall(TInt32 returnAddress, TInt32 descriptor) {
    checkDescriptor(descriptor);
    checkCallDepth();
    descriptorStack_.append(descriptor);
    frameBaseStack_.append(frameBaseFor(descriptor));
    stack_[sp_] = returnAddress;
}

TInt32 VirtualMachine::lookupMethod(TInt32 exportedMethod, TInt32 classIndex, TInt32* descriptor) const {
    if (exportedMethod < 0 || exportedMethod >= tables_.exportedMethods.getSize()) return -1;
    for (const MethodEntry& e : tables_.exportedMethods[exportedMethod].entries)
        if (e.classIndex == classIndex) {
            *descriptor = e.descriptorIndex;
            return e.codeAddress;
        }
    return -1;
}

TInt32 VirtualMachine::superclassOf(TInt32 classIndex) const {
    if (classIndex < 0 || classIndex >= tables_.superclasses.getSize()) return -1;
    return tables_.superclasses[classIndex];
}

// Instruction 119 with a non-null object on top: find a handler up the
// superclass chain, or make the uncaught throw. Leaves pc_ where to go on.
void VirtualMachine::throwObject(TInt32 nextPc) {
    VMAddr object = VMAddr(stack_[sp_]);
    TInt32 thrownClass = TInt32(memory_.readWord(object));
    while (handlerTop_ >= 1) {
        const HandlerRecord r = handlers_[handlerTop_];
        bool caught = false;
        // A superclass cycle in a hostile image must not loop forever.
        TInt32 steps = tables_.superclasses.getSize() + 1;
        for (TInt32 k = thrownClass; k > 0 && steps-- > 0 && !caught; k = superclassOf(k))
            caught = r.classIndex == k || r.classIndex < 1;
        --handlerTop_;
        if (!caught) continue;
        if (r.savedSp + 1 >= kStackWords || r.savedSp < -1) vmerr::raise(vmerr::msg::StackOverflow);
        sp_ = r.savedSp + 1;
        stack_[sp_] = TInt32(object);
        while (descriptorStack_.getSize() > r.callDepth) {
            descriptorStack_.takeLast();
            frameBaseStack_.takeLast();
        }
        pc_ = TInt32(TUint32(r.address) + 1u);
        return;
    }
    uncaughtThrow(object, nextPc);
}

TInt32 VirtualMachine::pushConverted(TInt32 levelDifference, TInt32 value) {
    if (sp_ + 1 >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
    TInt32 v = levelConvert(levelDifference, value, GC_CODE_REFERENCE_CELL);
    stack_[++sp_] = v;
    return v;
}

void VirtualMachine::uncaughtThrow(VMAddr object, TInt32 nextPc) {
    TInt32 h = entryPoints_[EntryPrintThrowableAndExit];
    TInt32 descriptor = -1, address = -1;
    if (h >= 0) address = lookupMethod(handles_[h].exportedMethod, -1, &descriptor);
    if (address < 0) runtimeError(nullptr, pc_, CAppsString("Uncaught exception"));
    TInt32 level = handles_[h].parameterLevels.isEmpty() ? 0 : handles_[h].parameterLevels[0];
    pushConverted(level - 1, TInt32(object));
    if (sp_ + 1 >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
    ++sp_;
    pushCall(nextPc, descriptor);
    pc_ = address;
}

// A VM error becomes a bytecode exception: the image's own throw routine is
// called as if from the failing instruction. Its call entries are pushed too,
// so that a return from it keeps the call stacks in step.
void VirtualMachine::internalThrow(TInt32 code, const CAppsString& text) {
    TInt32 h = entryPoints_[EntryInternalThrow];
    TInt32 descriptor = -1, address = -1;
    if (h >= 0) address = lookupMethod(handles_[h].exportedMethod, -1, &descriptor);
    if (address < 0 || address >= prepared_.size())
        runtimeError(nullptr, pc_, CAppsString("'vminternalthrow' not found"));
    checkCallDepth();
    const Vec<int>& levels = handles_[h].parameterLevels;
    VMAddr cell = newString(OString(text.data(), text.getSize()));
    pushConverted(levels.getSize() > 0 ? levels[0] : 0, code);
    pushConverted(levels.getSize() > 1 ? levels[1] - 1 : 0, TInt32(cell));
    if (sp_ + 1 >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
    ++sp_;
    descriptorStack_.append(-1);
    frameBaseStack_.append(sp_);
    stack_[sp_] = pc_ + 1;
    pc_ = address;
}

void VirtualMachine::callNative(TInt32 group, TInt32 function) {
    if (!natives::callableGroup(group))
        runtimeError(nullptr, pc_, CAppsString("Internal error: invalid group in native call: ").appendDecimal(group));
    const natives::Function* f = natives::findFunction(group, function);
    if (!f) unknownNativeFunction(group, function);
    natives::invoke(*f, *this);
}

void VirtualMachine::callExtension(TInt32 extension, TInt32 function) {
    TInt32 sp = 0;
    try {
        sp = host_->callDllNative(extension, function, sp_, stack_);
    } catch (const std::bad_alloc&) {
        vmerr::raiseOutOfMemory();
    } catch (const std::length_error&) {
        vmerr::raiseOutOfMemory();
    }
    setSp(sp);
}

}  // namespace mcb
