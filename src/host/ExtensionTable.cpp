// Extension lookup and lazy creation.
#include "host/ExtensionTable.h"

#include "extensions/AudioMixer.h"
#include "extensions/AudioPlayer.h"
#include "foundation/VMError.h"
#include "vm/VirtualMachine.h"

TInt32 ExtensionTable::call(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    for (size_t i = 0; i < kNumbers.size(); ++i) {
        if (kNumbers[i] != extension) continue;
        if (!objects_[i]) objects_[i] = create(extension);
        if (!objects_[i]) break;
        return objects_[i]->callDllNative(function, sp, stack);
    }
    vmerr::raise(vmerr::VM, "Dll not supported");
}

DeviceExtension* ExtensionTable::find(TInt32 extension) const {
    for (size_t i = 0; i < kNumbers.size(); ++i)
        if (kNumbers[i] == extension) return objects_[i].get();
    return nullptr;
}

std::shared_ptr<DeviceExtension> ExtensionTable::create(TInt32 extension) {
    if (!vm_ || !host_) return nullptr;
    switch (extension) {
    case 28: return std::make_shared<AudioPlayerExtension>(*vm_, *host_);
    case 30: return std::make_shared<AudioMixerExtension>(*vm_, *host_);
    default: return nullptr;
    }
}
