// DeviceExtension: the base of the device extensions reached by instruction 97.
// Each works on the value stack as a native group does, reports an unknown
// function through the machine's runtime-error report with its own text, and
// reads its arguments through ExtensionStack.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/OString.h"
#include "foundation/VMError.h"
#include "heap/VMHeap.h"
#include "vm/Callbacks.h"
#include "vm/NativeGroups.h"

class DeviceExtension {
public:
    virtual ~DeviceExtension() = default;
    DeviceExtension(const DeviceExtension&) = delete;
    DeviceExtension& operator=(const DeviceExtension&) = delete;

    // Calls `function` on the words below `sp`; returns the new stack pointer.
    virtual TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) = 0;
    // The handle of a bytecode method (virtual methods of any image), or -1.
    TInt32 findMethod(const char* signature) { return vm_.findMethod(CAppsString(signature), -1); }

protected:
    DeviceExtension(MVMCallbackInterface& vm, TInt32 number);
    // The runtime-error report: ends the current entry call; the text is kept
    // for whoever reads the report, not shown.
    [[noreturn]] void report(const CAppsString& message) {
        vm_.runtimeError(nullptr, -1, message);
        vmerr::raise(vmerr::Halt);  // for an interface that returned after all
    }
    [[noreturn]] void unknownFunction() { report(CAppsString(std::string(entry_.unknownText).c_str())); }

    MVMCallbackInterface& vm_;

private:
    const natives::Extension& entry_;
};

// The arguments of one extension call: the top `words` words of the stack, the
// last on top. Every access is checked; a result is left where the arguments
// began and the new stack pointer returned.
class ExtensionStack {
public:
    ExtensionStack(MVMCallbackInterface& vm, TInt32 sp, TInt32* stack, TInt32 words);

    TInt32& word(TInt32 i);
    // A 64-bit argument starting at word i: the low word in the lower slot.
    TInt64 long64(TInt32 i) { return TInt64(TUint64(TUint32(word(i + 1))) << 32 | TUint32(word(i))); }
    // A non-null reference (null: VM error 1 "NULL pointer").
    VMAddr address(TInt32 i);
    // The string behind a cell argument.
    OString& string(TInt32 i);
    // The object behind a cell or array-handle argument (null: VM error 1; another
    // kind of object: VM error 10 "Invalid TYPEID").
    template <typename T>
    T& objectAt(TInt32 i) {
        const VMAddr object = memory().readWord(address(i));
        if (object == 0) vmerr::raise(vmerr::NullPointer, "NULL pointer");
        return *vm_.heap().objectAs<T>(object);
    }
    // The native object in the first field of the bytecode object at argument i
    // (null object: VM error 1; anything else in the field: VM error 10 "Invalid TYPEID").
    template <typename T>
    T& field(TInt32 i) {
        T* t = dynamic_cast<T*>(vm_.heap().findObject(memory().readWord(fieldAddress(i))));
        if (!t) vmerr::raise(vmerr::VM, "Invalid TYPEID");
        return *t;
    }
    VMAddr fieldAddress(TInt32 i) { return address(i) + 4; }
    void setField(TInt32 i, VMAddr ref) { memory().writeWord(fieldAddress(i), ref); }
    // VM error 1 or 10 now, when the field could not be written later.
    void checkField(TInt32 i) { memory().wordPtr(fieldAddress(i)); }

    // Drops the arguments and leaves `n` words (whose values the caller wrote or
    // writes through word()); returns the new stack pointer.
    TInt32 leave(TInt32 n);
    TInt32 noResult() { return leave(0); }
    TInt32 result(TInt32 v);
    // A 64-bit result: the low word in the lower slot.
    TInt32 result64(TInt64 v);

private:
    VMMemory& memory() { return vm_.heap().memory(); }

    MVMCallbackInterface& vm_;
    TInt32* stack_;
    TInt32 base_;
};
