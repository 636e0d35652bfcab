// The sound extensions' messages about the sound server.
#include "extensions/SoundServer.h"

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

}  // namespace sound
