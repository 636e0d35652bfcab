// What both sound extensions share about the sound server: its state names,
// the bounded wait for it, and the one message per process that says it is
// missing.
#pragma once

#include <pulse/context.h>
#include <pulse/stream.h>

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

}  // namespace sound
