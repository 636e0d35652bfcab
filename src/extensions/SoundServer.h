// What both sound extensions share about the sound server: its state names,
// the bounded wait for it, and the one message per process that says it is
// missing.
#pragma once

#include "foundation/Types.h"

#include <pulse/context.h>
#include <pulse/stream.h>
#include <pulse/volume.h>

namespace mcb {

namespace sound {

// Holding the loop's lock for this long at most while waiting for "ready".
constexpr unsigned kReadyWaitSeconds = 5;

inline bool settled(pa_context_state_t s) {
    return s == PA_CONTEXT_READY || s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}
inline bool settled(pa_stream_state_t s) {
    return s == PA_STREAM_READY || s == PA_STREAM_FAILED || s == PA_STREAM_TERMINATED;
}

// Writes `text` to standard error the first time it is asked to, and never
// again in this process.
class OnceMessage {
public:
    explicit OnceMessage(const char* text) : text_(text) {}
    void say();

private:
    const char* text_;
    bool said_ = false;  // behind a mutex in say()
};

extern OnceMessage mixerNoServer;
extern OnceMessage playerNoServer;

// Writes `text` (no formatting) to standard error at once.
void sayNow(const char* text);

// The volume every playback stream starts with, in percent of the server's
// normal volume (as the desktop's sound settings show it); 0 mutes. The user
// may still change a stream's volume in those settings while it plays.
void setOutputVolume(int percent);
int outputVolume();
// The stream volume for `channels` channels; null at 100 %, where the server
// keeps its own choice.
const pa_cvolume* streamVolume(pa_cvolume& volume, int channels);

// The name the player's sound connections show in the desktop's sound settings.
inline constexpr const char* kClientName = "mcbplayer";
// A new mono 16-bit playback stream at `rate` on `context` (null when refused).
pa_stream* newPlaybackStream(pa_context* context, TUint32 rate);

}  // namespace sound

}  // namespace mcb
