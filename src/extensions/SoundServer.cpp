// The sound extensions' messages about the sound server.
#include "extensions/SoundServer.h"

#include "extensions/ExtensionMessages.h"
#include "foundation/Types.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace mcb {

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

void sayNow(const char* text) { extmsg::say(text); }

namespace {
std::atomic<int> gVolume{100};
}

void setOutputVolume(int percent) { gVolume = percent < 0 ? 0 : percent > 100 ? 100 : percent; }

int outputVolume() { return gVolume; }

const pa_cvolume* streamVolume(pa_cvolume& volume, int channels) {
    const int percent = gVolume;
    if (percent >= 100) return nullptr;
    pa_cvolume_set(&volume, unsigned(channels), pa_volume_t(TUint64(PA_VOLUME_NORM) * unsigned(percent) / 100));
    return &volume;
}

pa_stream* newPlaybackStream(pa_context* context, TUint32 rate) {
    const pa_sample_spec format{PA_SAMPLE_S16LE, rate, 1};
    return pa_stream_new(context, "mcbplayer audio", &format, nullptr);
}

}  // namespace sound

}  // namespace mcb
