// Exported methods by signature, the entry-call runner with its error
// handling, the queue of calls that arrive while bytecode runs, and the
// host events built on them.
#include "vm/VirtualMachine.h"
#include "vm/NativeRegistry.h"

#include <memory>
#include <new>
#include <vector>

namespace mcb {

struct VirtualMachine::SignatureParts {
    Vec<CAppsString> parts;
    bool hasResult = false;
};

namespace {
using SignatureParts = VirtualMachine::SignatureParts;

// A new part starts after every "<", and after a "(" in the first position.
SignatureParts splitSignature(const CAppsString& signature) {
    SignatureParts s;
    s.parts.append(CAppsString());
    for (TInt32 i = 0; i < signature.getSize(); ++i) {
        TUint16 c = signature[i];
        s.parts.last().append(c);
        if (c == '<' || (c == '(' && i == 0)) {
            if (i == 0 && c == '(') s.hasResult = true;
            s.parts.append(CAppsString());
        }
    }
    return s;
}

// Matches the parts against a method name, counting the stars after each part
// that has a level; characters after the last part are not compared.
bool matchName(const SignatureParts& s, const CAppsString& name, Vec<int>& levels) {
    levels.clear();
    TInt32 p = 0;
    for (TInt32 i = 0; i < s.parts.getSize(); ++i) {
        const CAppsString& part = s.parts[i];
        if (p + part.getSize() > name.getSize()) return false;
        for (TInt32 k = 0; k < part.getSize(); ++k)
            if (name[p + k] != part[k]) return false;
        p += part.getSize();
        if (i + 1 < s.parts.getSize()) {
            TInt32 stars = 0;
            while (p < name.getSize() - 1 && name[p] == '*') ++stars, ++p;
            levels.append(stars);
        }
    }
    return true;
}
}  // namespace

TInt32 VirtualMachine::findMethod(const CAppsString& signature, TInt32 imageIndex) {
    return findMethod(signature, splitSignature(signature), imageIndex);
}

TInt32 VirtualMachine::findMethod(const CAppsString& signature, const SignatureParts& s, TInt32 imageIndex) {
    Vec<int> levels;
    for (TInt32 m = 0; m < tables_.exportedMethods.getSize(); ++m) {
        ExportedMethod& e = tables_.exportedMethods[m];
        if (!e.isVirtual && e.imageIndex != imageIndex) continue;
        if (!matchName(s, e.name, levels)) continue;
        if (e.methodHandle >= 0) return e.methodHandle;
        MethodHandle h;
        h.hasResult = s.hasResult ? ETrue : EFalse;
        if (s.hasResult && !levels.isEmpty()) {
            h.resultLevel = levels[0];
            levels.remove(0);
        }
        h.parameterLevels = levels;
        h.signature = signature;
        h.exportedMethod = m;
        handles_.append(h);
        e.methodHandle = handles_.getSize() - 1;
        return e.methodHandle;
    }
    return -1;
}

void VirtualMachine::resolveEntryPoints(TInt32 imageIndex) {
    // The entry signatures are constants: split once, not at every load.
    struct Split {
        CAppsString signature;
        SignatureParts parts;
    };
    static const std::vector<Split> kSplit = [] {
        std::vector<Split> all;
        for (const char* s : kEntrySignatures) all.push_back({CAppsString(s), splitSignature(CAppsString(s))});
        return all;
    }();
    for (TInt32 i = 0; i < EntryPointCount; ++i)
        entryPoints_[i] = findMethod(kSplit[size_t(i)].signature, kSplit[size_t(i)].parts, imageIndex);
}

void VirtualMachine::callMethod(TInt32 handle, const Vec<int>& arguments, const Vec<int>& levels,
                                TInt32 resultLevel) {
    if (runningHandle_ == -1) {
        runEntryCall(handle, arguments, levels, resultLevel);
        return;
    }
    auto* call = new StoredMethodCall{handle, arguments, levels, resultLevel};
    queue_.append(call);
}

void VirtualMachine::endEntryCall() {
    runningHandle_ = -1;
    pc_ = -1;
    descriptorStack_.clear();
    frameBaseStack_.clear();
    handlerTop_ = 0;
}

// Runs until the entry method returns; VM errors become bytecode exceptions,
// halt and exit leave as HaltRequest and ExitRequest.
void VirtualMachine::runUntilReturn() {
    static const CAppsString kUnexpected("UNEXPECTED EXCEPTION");
    for (;;) {
        TInt32 code = 0;
        try {
            run();
            return;
        } catch (const ErrorHandlingException&) {
            code = vmerr::pendingErrorCode();
        } catch (const std::bad_alloc&) {
            vmerr::setOutOfMemory();
            code = vmerr::pendingErrorCode();
        } catch (...) {
            code = 0;  // whatever a native threw that is no VM error
        }
        if (code == vmerr::Exit || code == vmerr::Halt) {
            endEntryCall();
            if (code == vmerr::Exit) throw ExitRequest();
            throw HaltRequest();
        }
        if (budget_ >= 0 && budget_-- == 0) {  // an internal throw is a transfer of control too
            vmerr::clearPendingError();
            endEntryCall();
            throw HaltRequest();
        }
        try {
            // The text is read where it lies: a copy could fail for want of memory.
            const MemoryBudget::ErrorDelivery reserve(*memoryBudget_.budget);
            internalThrow(code != 0 ? code : vmerr::Halt, code != 0 ? vmerr::pendingErrorText() : kUnexpected);
            vmerr::clearPendingError();
        } catch (...) {
            endEntryCall();  // not even the throw routine can run: the call halts
            throw HaltRequest();
        }
    }
}

// The class that a virtual entry call dispatches on: the receiver's slot
// followed through as many words as its parameter's level; an object passed
// at level 1 thus gives the class index in its first word. A null on the way
// gives 0, which no method entry has.
TInt32 VirtualMachine::receiverClass(const MethodHandle& h, TInt32 slotValue) {
    TUint32 receiver = TUint32(slotValue);
    TInt32 depth = h.parameterLevels.isEmpty() ? 0 : h.parameterLevels[0];
    for (TInt32 i = 0; i < depth && receiver != 0; ++i) receiver = memory_.readWord(receiver);
    return TInt32(receiver);
}

TInt32 VirtualMachine::runEntryCall(TInt32 handle, const Vec<int>& arguments, const Vec<int>& levels,
                                    TInt32 resultLevel) {
    if (handle < 0 || handle >= handles_.getSize()) return 0;
    if (runningHandle_ != -1) runtimeError(nullptr, -1, CAppsString("VM concurrency error"));
    const MethodHandle h = handles_[handle];  // a copy: natives may add handles meanwhile
    runningHandle_ = handle;
    descriptorStack_.clear();
    frameBaseStack_.clear();
    handlerTop_ = 0;
    sp_ = h.hasResult ? 1 : 0;
    stack_[0] = 0;
    try {
        for (TInt32 i = 0; i < arguments.getSize(); ++i) {
            TInt32 level = i < h.parameterLevels.getSize() ? h.parameterLevels[i] : 0;
            TInt32 given = i < levels.getSize() ? levels[i] : 0;
            if (sp_ + 1 >= kStackWords) vmerr::raise(vmerr::msg::StackOverflow);
            stack_[sp_++] = levelConvert(level - given, arguments[i], GC_CODE_REFERENCE_CELL);
        }
        const ExportedMethod& m = tables_.exportedMethods[h.exportedMethod];
        TInt32 classIndex = -1;
        if (m.isVirtual && arguments.getSize() > 0) classIndex = receiverClass(h, stack_[h.hasResult ? 1 : 0]);
        TInt32 descriptor = -1;
        TInt32 address = lookupMethod(h.exportedMethod, classIndex, &descriptor);
        if (address >= 0 && address < prepared_.size() && descriptor != -1) {
            checkDescriptor(descriptor);
            descriptorStack_.append(descriptor);
            frameBaseStack_.append(0);
            stack_[sp_] = -1;
            pc_ = address;
            runUntilReturn();
        }
    } catch (const ErrorHandlingException&) {
        endEntryCall();  // the arguments could not even be prepared
        throw;
    }
    pc_ = -1;
    VMAddr result = VMAddr(stack_[0]);
    bool rooted = h.hasResult && h.resultLevel > 0 && result != 0 && heap_.liveEntry(result);
    if (rooted) heap_.addRoot(result);
    // A failed collection or a queued call that halts must neither leave the
    // machine marked running nor leave the result rooted.
    try {
        collectWithGlobals();
        endEntryCall();
        while (!queue_.isEmpty()) {
            std::unique_ptr<StoredMethodCall> next(queue_[0]);
            queue_.remove(0);
            runEntryCall(next->handle, next->arguments, next->levels, next->resultLevel);
        }
    } catch (...) {
        if (rooted) heap_.removeRoot(result);
        endEntryCall();
        throw;
    }
    if (rooted) heap_.removeRoot(result);
    return h.hasResult ? levelConvert(resultLevel - h.resultLevel, TInt32(result), GC_CODE_REFERENCE_CELL) : 0;
}

void VirtualMachine::setApplicationObject(VMAddr object) {
    if (object != 0) heap_.addRoot(object);
    if (applicationObject_ != 0) heap_.removeRoot(applicationObject_);
    applicationObject_ = object;
}

// --- host events ---------------------------------------------------------------

namespace {
Vec<int> words(std::initializer_list<int> list) {
    Vec<int> v;
    for (int w : list) v.append(w);
    return v;
}
}  // namespace

void VirtualMachine::keyEvent(VMAddr keyEvent, bool pressed) {
    TInt32 h = entryPoints_[pressed ? EntryKeyPressed : EntryKeyReleased];
    if (h < 0) return;
    callMethod(h, words({TInt32(applicationObject_), TInt32(keyEvent)}), words({1, 0}), -1);
}

void VirtualMachine::keyEvent(TInt32 keyCode, TInt32 scanCode, TInt32 modifiers, const OString& text,
                              bool pressed) {
    if (natives::KeyEventMaker make = natives::keyEventMaker())
        keyEvent(make(*this, keyCode, scanCode, modifiers, text), pressed);
}

void VirtualMachine::pointerEvent(TInt32 kind, TInt32 x, TInt32 y, TInt32 modifiers) {
    TInt32 h = entryPoints_[EntryPointerEvent];
    if (h < 0 || applicationObject_ == 0) return;
    callMethod(h, words({TInt32(applicationObject_), kind, x, y, modifiers}), words({1, 0, 0, 0, 0}), -1);
}

void VirtualMachine::draw(VMAddr canvas) {
    TInt32 h = entryPoints_[EntryDraw];
    if (h < 0 || applicationObject_ == 0) return;
    runEntryCall(h, words({TInt32(applicationObject_), TInt32(canvas)}), words({1, 0}), -1);
}

void VirtualMachine::systemTimer(VMAddr listener) {
    TInt32 h = entryPoints_[EntrySystemTimer];
    if (h < 0) return;
    runEntryCall(h, words({TInt32(listener)}), words({1}), -1);
}

void VirtualMachine::orientation(VMAddr listener, TInt32 value) {
    TInt32 h = entryPoints_[EntryOrientation];
    if (h < 0) return;
    callMethod(h, words({TInt32(listener), value}), words({1, 0}), -1);
}

void VirtualMachine::exitEvent() {
    if (entryPoints_[EntryExit] >= 0)
        callMethod(entryPoints_[EntryExit], words({TInt32(applicationObject_)}), words({1}), -1);
}

void VirtualMachine::foregroundEvent() {
    if (entryPoints_[EntryForeground] >= 0)
        callMethod(entryPoints_[EntryForeground], words({TInt32(applicationObject_)}), words({1}), -1);
}

void VirtualMachine::backgroundEvent() {
    if (entryPoints_[EntryBackground] >= 0)
        callMethod(entryPoints_[EntryBackground], words({TInt32(applicationObject_)}), words({1}), -1);
}

}  // namespace mcb
