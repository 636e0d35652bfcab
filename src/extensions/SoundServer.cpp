// The sound extensions' messages about the sound server.
#include "extensions/SoundServer.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace sound {

OnceMessage mixerNoServer("AudioMixer: no sound server\n");
OnceMessage playerNoServer("AudioPlayer: no sound server\n");

void OnceMessage::say() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (said_) return;
    said_ = true;
    sayNow(text_);
}

// Unbuffered, so that the sound thread's messages keep their place among the
// player's other output.
void sayNow(const char* text) {
    const size_t n = std::strlen(text);
    if (::write(2, text, n) != ssize_t(n)) return;
}

namespace {
std::atomic<int> gVolume{100};
}

void setOutputVolume(int percent) { gVolume = percent < 0 ? 0 : percent > 100 ? 100 : percent; }

int outputVolume() { return gVolume; }

const pa_cvolume* streamVolume(pa_cvolume& volume, int channels) {
    const int percent = gVolume;
    if (percent >= 100) return nullptr;
    pa_cvolume_set(&volume, unsigned(channels), pa_volume_t(uint64_t(PA_VOLUME_NORM) * unsigned(percent) / 100));
    return &volume;
}

}  // namespace sound
