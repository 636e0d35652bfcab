// ExtensionTable: the device extensions reached by instruction 97, one object
// per extension number, created on first use and kept for the rest of the run.
#pragma once

#include "extensions/DeviceExtension.h"
#include "extensions/DevicePaths.h"
#include "foundation/Types.h"

#include <array>
#include <memory>

class FrameworkServices;
class VirtualMachine;

class ExtensionTable {
public:
    explicit ExtensionTable(DevicePaths paths = {}) : paths_(std::move(paths)) {}

    void attach(VirtualMachine* vm, FrameworkServices* host) {
        vm_ = vm;
        host_ = host;
    }
    // Unknown extensions, and those this build lacks, raise VM error 10 "Dll not supported".
    TInt32 call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack);
    // The extension object, or null before its first call.
    DeviceExtension* find(TInt32 extension) const;

private:
    std::shared_ptr<DeviceExtension> create(TInt32 extension);

    static constexpr std::array<TInt32, 6> kNumbers = {20, 27, 28, 30, 36, 37};
    std::array<std::shared_ptr<DeviceExtension>, 6> objects_;
    DevicePaths paths_;
    VirtualMachine* vm_ = nullptr;
    FrameworkServices* host_ = nullptr;
};
