// The audio mixer extension (30): mixers in the VM heap, each one PulseAudio
// playback stream of 16000 Hz mono 16-bit samples that the sound server's
// thread fills from the mixer's channels. The connection runs on PulseAudio's
// threaded main loop; without a sound server mixers mix into nothing.
#pragma once

#include "extensions/DeviceExtension.h"
#include "extensions/SoundData.h"
#include "extensions/Mixer.h"

#include <memory>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace mcb {

class FileSystemServices;

// The sound-server connection that every mixer of a run shares.
class MixerConnection {
public:
    MixerConnection();
    ~MixerConnection();
    MixerConnection(const MixerConnection&) = delete;
    MixerConnection& operator=(const MixerConnection&) = delete;

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }
    // Holding the loop's lock: is the context ready?
    bool ready() const;
    // Holding the loop's lock: waits until `done()` holds, or at most 5 s.
    template <typename Done>
    void waitUntil(Done done);

private:
    void connect();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

// A mixer held by a bytecode mixer object (in its first field).
class AudioMixer : public GCObject {
public:
    static constexpr TInt32 kRate = 16000;
    // Requested buffer: 100 ms of samples.
    static constexpr TUint32 kTargetBytes = 3200;

    explicit AudioMixer(std::shared_ptr<MixerConnection> connection);
    ~AudioMixer() override;

    Mixer& mixer() { return mixer_; }
    // The mixer holds a loaded sound from now on: so does its budget charge.
    void keep(BudgetCharge charge);
    bool isPlaying() const { return stream_ != nullptr; }
    TUint32 sizeOutsideHeap() const override { return TUint32(mixer_.sampleBytes()); }

private:
    void startStream();
    void closeStream();
    void fill(size_t bytes);
    static void onWrite(pa_stream* s, size_t bytes, void* self);
    static void onUnderflow(pa_stream* s, void* self);

    std::shared_ptr<MixerConnection> connection_;
    pa_stream* stream_ = nullptr;
    Mixer mixer_;
    std::vector<TInt16> buffer_;  // used on the sound thread only
    BudgetCharge sounds_;
};

class AudioMixerExtension : public DeviceExtension {
public:
    static constexpr ExtensionEntry kEntry{30, "AudioMixer", "AudioMixer: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<AudioMixerExtension>> functions();

    AudioMixerExtension(MVMCallbackInterface& vm, FileSystemServices& files);
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;

private:
    static const ExtensionFunction<AudioMixerExtension> kFunctions[];
    TInt32 create(TInt32 sp, TInt32* stack);
    TInt32 load(TInt32 sp, TInt32* stack);
    // Functions on a mixer's channel i: play, stop, set its volume, its volume.
    enum ChannelCall : TInt32 { kPlay, kStop, kSetVolume, kVolume };
    TInt32 onChannel(TInt32 call, TInt32 sp, TInt32* stack);

    std::shared_ptr<MixerConnection> connection_;
    FileSystemServices& files_;
};

}  // namespace mcb
