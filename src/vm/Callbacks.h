// The interfaces through which the host, the extensions, the heap and the
// natives reach the virtual machine, and through which the machine reaches the host.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"
#include "heap/GcCode.h"

namespace mcb {

class VMHeap;

class MVMCallbackInterface {
public:
    virtual ~MVMCallbackInterface() = default;
    // Handle index for a method signature, or -1.
    virtual TInt32 findMethod(const CAppsString& signature, TInt32 imageIndex) = 0;
    // Runs the method now, or queues it when bytecode is running; the result is dropped.
    virtual void callMethod(TInt32 handle, const Vec<int>& arguments, const Vec<int>& levels,
                            TInt32 resultLevel) = 0;
    // Raises VM error 11 (halt); the player shows the message where the halt ends the run.
    [[noreturn]] virtual void runtimeError(TInt32* out, TInt32 pc, const CAppsString& message) = 0;
    virtual VMHeap& heap() = 0;
    virtual TInt32 levelConvert(TInt32 difference, TInt32 value, GcCode code) = 0;
};

class InterfaceForCallingGc {
public:
    virtual ~InterfaceForCallingGc() = default;
    virtual void gc() = 0;
};

}  // namespace mcb

#include "vm/FrameworkServices.h"
