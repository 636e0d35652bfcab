// ExtensionTable: the device extensions reached by instruction 97, one object
// per extension number, created on first use and kept for the rest of the run.
#pragma once

#include "foundation/Types.h"

#include <array>
#include <memory>

class FrameworkServices;
class VirtualMachine;

// One device extension: works on the value stack as a native group does and
// returns the new stack pointer.
class DllExtension {
public:
    virtual ~DllExtension() = default;
    virtual TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) = 0;
};

class ExtensionTable {
public:
    void attach(VirtualMachine* vm, FrameworkServices* host) {
        vm_ = vm;
        host_ = host;
    }
    // Unknown extensions, and those this build lacks, raise VM error 10 "Dll not supported".
    TInt32 call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack);

private:
    std::shared_ptr<DllExtension> create(TInt32 extension);

    static constexpr std::array<TInt32, 6> kNumbers = {20, 27, 28, 30, 36, 37};
    std::array<std::shared_ptr<DllExtension>, 6> objects_;
    VirtualMachine* vm_ = nullptr;
    FrameworkServices* host_ = nullptr;
};
