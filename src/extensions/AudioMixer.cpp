// The audio mixer extension on PulseAudio's threaded main loop. Lock order: the
// sound thread runs every callback holding the loop's lock and takes a mixer's
// mutex inside mix(); the machine's thread takes either the mutex (channel
// calls) or the loop's lock (creating and destroying), never both.
#include "extensions/AudioMixer.h"

#include "extensions/SoundData.h"
#include "extensions/SoundServer.h"
#include "vm/FrameworkServices.h"

#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <utility>

namespace mcb {

namespace {
void signalLoop(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }

extern "C" void onContextState(pa_context*, void* loop) { signalLoop(static_cast<pa_threaded_mainloop*>(loop)); }
extern "C" void onStreamState(pa_stream*, void* loop) { signalLoop(static_cast<pa_threaded_mainloop*>(loop)); }

struct Timeout {
    pa_threaded_mainloop* loop;
    bool passed = false;
};
extern "C" void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* t) {
    auto* timeout = static_cast<Timeout*>(t);
    timeout->passed = true;
    signalLoop(timeout->loop);
}

// Locks a threaded main loop for a scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};
}  // namespace

// --- the connection ------------------------------------------------------------

MixerConnection::MixerConnection() {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        if (loop_) pa_threaded_mainloop_free(std::exchange(loop_, nullptr));
        sound::mixerNoServer.say();
        return;
    }
    bool connected = false;
    {
        LoopLock lock(loop_);
        connect();
        connected = ready();
    }
    if (!connected) sound::mixerNoServer.say();
}

void MixerConnection::connect() {
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), sound::kClientName);
    if (!context_) return;
    pa_context_set_state_callback(context_, onContextState, loop_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) return;
    waitUntil([this] { return sound::settled(pa_context_get_state(context_)); });
}

MixerConnection::~MixerConnection() {
    if (!loop_) return;
    if (context_) {
        LoopLock lock(loop_);
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

bool MixerConnection::ready() const { return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY; }

template <typename Done>
void MixerConnection::waitUntil(Done done) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    Timeout timeout{loop_};
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at), pa_usec_t(sound::kReadyWaitSeconds) * PA_USEC_PER_SEC);
    pa_time_event* event = api->time_new(api, &at, onTimeout, &timeout);
    while (!done() && !timeout.passed) pa_threaded_mainloop_wait(loop_);
    api->time_free(event);
}

// --- a mixer and its stream ------------------------------------------------------

AudioMixer::AudioMixer(std::shared_ptr<MixerConnection> connection) : connection_(std::move(connection)) {
    if (connection_->loop()) startStream();
}

AudioMixer::~AudioMixer() { closeStream(); }

void AudioMixer::startStream() {
    LoopLock lock(connection_->loop());
    if (!connection_->ready()) return;
    stream_ = sound::newPlaybackStream(connection_->context(), kRate);
    if (!stream_) return;
    pa_buffer_attr attr{};
    attr.maxlength = TUint32(-1);
    attr.tlength = kTargetBytes;
    attr.prebuf = 0;  // plays at once, silence included
    attr.minreq = TUint32(-1);
    attr.fragsize = TUint32(-1);
    pa_stream_set_write_callback(stream_, onWrite, this);
    pa_stream_set_state_callback(stream_, onStreamState, connection_->loop());
    pa_stream_set_underflow_callback(stream_, onUnderflow, this);
    pa_cvolume volume;
    if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, sound::streamVolume(volume, 1),
                                   nullptr) == 0)
        connection_->waitUntil([this] { return sound::settled(pa_stream_get_state(stream_)); });
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(std::exchange(stream_, nullptr));
    }
}

// After this the sound thread no longer calls into the mixer.
void AudioMixer::closeStream() {
    if (!stream_) return;
    LoopLock lock(connection_->loop());
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(std::exchange(stream_, nullptr));
}

void AudioMixer::fill(size_t bytes) {
    const size_t n = bytes / sizeof(TInt16);
    if (n == 0) return;
    if (buffer_.size() < n) buffer_.resize(n);
    mixer_.mix(buffer_.data(), n);
    pa_stream_write(stream_, buffer_.data(), n * sizeof(TInt16), nullptr, 0, PA_SEEK_RELATIVE);
}

void AudioMixer::onWrite(pa_stream*, size_t bytes, void* self) { static_cast<AudioMixer*>(self)->fill(bytes); }

void AudioMixer::onUnderflow(pa_stream*, void*) { sound::sayNow("AudioMixer: underflow\n"); }

// --- the extension ---------------------------------------------------------------

AudioMixerExtension::AudioMixerExtension(MVMCallbackInterface& vm, FileSystemServices& files)
    : DeviceExtension(vm, kEntry), connection_(std::make_shared<MixerConnection>()), files_(files) {}

const ExtensionFunction<AudioMixerExtension> AudioMixerExtension::kFunctions[] = {
    {1, "create", &AudioMixerExtension::create},
    {2, "load_channel", &AudioMixerExtension::load},
    {3, "ignore3", &AudioMixerExtension::ignore, 2},
    {4, "play", &AudioMixerExtension::onChannel, kPlay},
    {5, "stop", &AudioMixerExtension::onChannel, kStop},
    {6, "set_volume", &AudioMixerExtension::onChannel, kSetVolume},
    {7, "volume", &AudioMixerExtension::onChannel, kVolume},
    {8, "ignore8", &AudioMixerExtension::ignore, 3},
    {9, "zero9", &AudioMixerExtension::zero, 2},
};

std::span<const ExtensionFunction<AudioMixerExtension>> AudioMixerExtension::functions() { return kFunctions; }

TInt32 AudioMixerExtension::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    return callRow<AudioMixerExtension>(kFunctions, function, sp, stack);
}

void AudioMixer::keep(BudgetCharge charge) {
    const TUint64 bytes = charge.bytes();
    charge.reset();  // so that taking it over never counts it twice
    sounds_.grow(bytes);
}

TInt32 AudioMixerExtension::create(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 1);
    s.checkField(0);  // before a stream is made for nothing
    const VMAddr mixer = vm_.heap().adoptObject(std::make_unique<AudioMixer>(connection_), 4, GC_CODE_PLAIN);
    s.setField(0, mixer);
    return s.noResult();
}

// The file is read before the mixer's mutex is taken: the sound thread must
// not wait for a disk.
TInt32 AudioMixerExtension::load(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 2);
    Mixer& mixer = s.field<AudioMixer>(0).mixer();
    sound::SoundBytes data = sound::readFile(files_, s.string(1));
    if (data.result != sound::Load::Done && data.result != sound::Load::Empty) return s.result(-1);
    BudgetCharge converting(data.bytes.size());  // the samples, while the file's bytes are still held
    const TInt32 index = mixer.add(sound::samplesOf(data.bytes));
    if (index >= 0) s.field<AudioMixer>(0).keep(std::move(data.charge));
    return s.result(index);
}

TInt32 AudioMixerExtension::onChannel(TInt32 call, TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, call == kSetVolume ? 3 : 2);
    Mixer& mixer = s.field<AudioMixer>(0).mixer();
    const TInt32 index = s.word(1);
    switch (call) {
    case kPlay: mixer.play(index); break;
    case kStop: mixer.stop(index); break;
    case kSetVolume: mixer.setVolume(index, s.word(2)); break;
    default: return s.result(mixer.volume(index));
    }
    return s.noResult();
}

}  // namespace mcb
