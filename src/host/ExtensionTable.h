// ExtensionTable: the device extensions reached by instruction 97, one object
// per extension number, created on first use and kept for the rest of the run.
// What the extensions reach of the device is given here: the device paths, and
// stand-ins for what a desktop lacks (set before the extension's first call).
#pragma once

#include "extensions/Accelerometer.h"
#include "extensions/DeviceExtension.h"
#include "extensions/DevicePaths.h"
#include "extensions/Location.h"
#include "extensions/PositionSource.h"
#include "extensions/Torch.h"
#include "foundation/Types.h"

#include <QDBusConnection>

#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace mcb {

class FrameworkServices;
class VirtualMachine;

class ExtensionTable {
public:
    // What the tools read of an extension: its entry and its functions' numbers, names and shapes.
    struct Listing {
        struct Function {
            int number;
            std::string_view name, shape;
        };
        ExtensionEntry entry;
        std::vector<Function> functions;
    };
    // Every extension this build has, by number.
    static std::vector<Listing> listings();

    explicit ExtensionTable(DevicePaths paths = {});

    void attach(VirtualMachine* vm, FrameworkServices* host) {
        vm_ = vm;
        host_ = host;
    }
    // Unknown extensions, and those this build lacks, raise VM error 10 "Dll not supported".
    TInt32 call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack);
    // The extension object, or null before its first call.
    DeviceExtension* find(TInt32 extension) const;

    // Readings for the accelerometer (default: the coordinate file).
    void setAccelerationSource(std::shared_ptr<AccelerationSource> s) { acceleration_ = std::move(s); }
    // Fixes for location requests (default: GeoClue2 on the system bus).
    void setPositionSource(std::shared_ptr<PositionSource> s) { position_ = std::move(s); }
    // The camera's controls (default: V4L2 on the video device).
    void setVideoControl(std::shared_ptr<VideoControl> c) { video_ = std::move(c); }
    // The bus that hears "leave to the desktop" (default: the session bus).
    void setDesktopBus(std::function<QDBusConnection()> bus) { desktopBus_ = std::move(bus); }
    // What lowers the window when nothing on that bus listens.
    void setWindowMinimiser(std::function<void()> minimise) { minimise_ = std::move(minimise); }
    // How extensions call into the machine from their own events (default:
    // as every host event does, a halt or an exit ending the process).
    void setMachineCall(MachineCall call) { machineCall_ = std::move(call); }

private:
    std::shared_ptr<DeviceExtension> create(TInt32 extension);

    static const std::array<TInt32, 6> kNumbers;
    std::array<std::shared_ptr<DeviceExtension>, 6> objects_;
    DevicePaths paths_;
    std::shared_ptr<AccelerationSource> acceleration_;
    std::shared_ptr<PositionSource> position_;
    std::shared_ptr<VideoControl> video_;
    std::function<QDBusConnection()> desktopBus_;
    std::function<void()> minimise_;
    MachineCall machineCall_;
    VirtualMachine* vm_ = nullptr;
    FrameworkServices* host_ = nullptr;
};

}  // namespace mcb
