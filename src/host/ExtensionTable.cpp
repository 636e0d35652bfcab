// Extension lookup and lazy creation.
#include "host/ExtensionTable.h"

#include "extensions/AudioMixer.h"
#include "extensions/AudioPlayer.h"
#include "extensions/Desktop.h"
#include "extensions/GeoClue.h"
#include "foundation/VMError.h"
#include "host/HostProcess.h"
#include "vm/VirtualMachine.h"

ExtensionTable::ExtensionTable(DevicePaths paths) : paths_(std::move(paths)), machineCall_(host::callVm) {}

TInt32 ExtensionTable::call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    for (size_t i = 0; i < kNumbers.size(); ++i) {
        if (kNumbers[i] != extension) continue;
        if (!objects_[i]) objects_[i] = create(extension);
        if (!objects_[i]) break;
        return objects_[i]->callDllNative(function, sp, stack);
    }
    vmerr::raise(vmerr::msg::DllNotSupported);
}

DeviceExtension* ExtensionTable::find(TInt32 extension) const {
    for (size_t i = 0; i < kNumbers.size(); ++i)
        if (kNumbers[i] == extension) return objects_[i].get();
    return nullptr;
}

std::shared_ptr<DeviceExtension> ExtensionTable::create(TInt32 extension) {
    if (!vm_ || !host_) return nullptr;
    switch (extension) {
    case 20:
        if (!acceleration_) acceleration_ = std::make_shared<AccelerometerFile>(paths_.accelerometer);
        return std::make_shared<Accelerometer>(*vm_, acceleration_);
    case 27:
        if (!position_) position_ = std::make_shared<GeoCluePositionSource>(QDBusConnection::systemBus());
        return std::make_shared<CLocationWrapper>(*vm_, position_, machineCall_);
    case 28: return std::make_shared<AudioPlayerExtension>(*vm_, *host_);
    case 30: return std::make_shared<AudioMixerExtension>(*vm_, *host_);
    case 36:
        if (!video_) video_ = std::make_shared<V4l2VideoControl>();
        return std::make_shared<Torch>(*vm_, paths_.videoDevice, paths_.lensCover, video_);
    case 37: return std::make_shared<Desktop>(*vm_, desktopBus_, minimise_);
    default: return nullptr;
    }
}
