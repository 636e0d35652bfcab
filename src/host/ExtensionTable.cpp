// Extension lookup and lazy creation.
#include "host/ExtensionTable.h"

#include "extensions/AudioMixer.h"
#include "extensions/AudioPlayer.h"
#include "extensions/Desktop.h"
#include "extensions/GeoClue.h"
#include "foundation/VMError.h"
#include "host/HostProcess.h"
#include "vm/VirtualMachine.h"

namespace mcb {

namespace {
template <typename E>
ExtensionTable::Listing listingOf() {
    ExtensionTable::Listing l{E::kEntry, {}};
    for (const ExtensionFunction<E>& f : E::functions()) l.functions.push_back({f.number, f.name, f.shape});
    return l;
}
}  // namespace

const std::array<TInt32, 6> ExtensionTable::kNumbers = {
    Accelerometer::kEntry.number,       CLocationWrapper::kEntry.number, AudioPlayerExtension::kEntry.number,
    AudioMixerExtension::kEntry.number, Torch::kEntry.number,            Desktop::kEntry.number,
};

std::vector<ExtensionTable::Listing> ExtensionTable::listings() {
    return {listingOf<Accelerometer>(),       listingOf<CLocationWrapper>(), listingOf<AudioPlayerExtension>(),
            listingOf<AudioMixerExtension>(), listingOf<Torch>(),            listingOf<Desktop>()};
}

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
    case Accelerometer::kEntry.number:
        if (!acceleration_) acceleration_ = std::make_shared<AccelerometerFile>(paths_.accelerometer);
        return std::make_shared<Accelerometer>(*vm_, acceleration_);
    case CLocationWrapper::kEntry.number:
        if (!position_) position_ = std::make_shared<GeoCluePositionSource>(QDBusConnection::systemBus());
        return std::make_shared<CLocationWrapper>(*vm_, position_, machineCall_);
    case AudioPlayerExtension::kEntry.number: return std::make_shared<AudioPlayerExtension>(*vm_, *host_);
    case AudioMixerExtension::kEntry.number: return std::make_shared<AudioMixerExtension>(*vm_, *host_);
    case Torch::kEntry.number:
        if (!video_) video_ = std::make_shared<V4l2VideoControl>();
        return std::make_shared<Torch>(*vm_, paths_.videoDevice, paths_.lensCover, video_);
    case Desktop::kEntry.number: return std::make_shared<Desktop>(*vm_, desktopBus_, minimise_);
    default: return nullptr;
    }
}

}  // namespace mcb
