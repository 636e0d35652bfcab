// The audio player extension (28): sounds in the VM heap, each played on demand
// as its own PulseAudio stream of 44100 Hz mono 16-bit samples. PulseAudio runs
// on GLib's main loop, which is Qt's event loop here, so every callback comes
// on the machine's thread and nothing is locked. Starts and stops issued before
// the connection is ready wait in order, each keeping its player alive.
#pragma once

#include "extensions/DeviceExtension.h"
#include "extensions/SoundData.h"

#include <deque>
#include <memory>
#include <vector>

struct pa_context;
struct pa_glib_mainloop;
struct pa_stream;

namespace mcb {

class AudioPlayer;
class FileSystemServices;

// A start or stop waiting for the connection. Its player is a heap root until
// the operation has run or is dropped.
class DeferredOperation {
public:
    using Operation = void (AudioPlayer::*)();
    DeferredOperation(VMHeap& heap, AudioPlayer& player, Operation operation);
    ~DeferredOperation();
    DeferredOperation(const DeferredOperation&) = delete;
    DeferredOperation& operator=(const DeferredOperation&) = delete;

    void run() { (player_->*operation_)(); }
    AudioPlayer* player() const { return player_; }
    // The player is being destroyed (only the heap's end can do that to a
    // root): nothing is left to unroot.
    void forgetPlayer() { player_ = nullptr; }

private:
    VMHeap& heap_;
    AudioPlayer* player_;
    Operation operation_;
};

// The sound-server connection every player of a run shares, and its queue.
class PlayerConnection {
public:
    explicit PlayerConnection(VMHeap& heap);
    ~PlayerConnection();
    PlayerConnection(const PlayerConnection&) = delete;
    PlayerConnection& operator=(const PlayerConnection&) = delete;

    // Runs `operation` on `player` once the connection is ready (at once when it
    // is); without a sound server, never.
    void queue(AudioPlayer& player, DeferredOperation::Operation operation);
    // Drops the operations of a player that is being destroyed.
    void forget(AudioPlayer& player);
    pa_context* context() const { return context_; }
    size_t pending() const { return pending_.size(); }

private:
    static void onState(pa_context* c, void* self);
    void runPending();
    void fail();

    VMHeap& heap_;
    pa_glib_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool failed_ = false;
    std::deque<std::unique_ptr<DeferredOperation>> pending_;
};

// A sound held by a bytecode player object (in its first field).
class AudioPlayer : public GCObject {
public:
    static constexpr TInt32 kRate = 44100;

    AudioPlayer(std::shared_ptr<PlayerConnection> connection, std::vector<TUint8> data, BudgetCharge charge = {});
    ~AudioPlayer() override;

    // Only without a stream; a sound without one whole sample is not started.
    void start();
    // Only with a stream; the sound stays, so a later start plays it from the beginning.
    void stop();
    void setRepeat(TInt32 count) { repeat_ = count; }
    bool isPlaying() const { return stream_ != nullptr; }
    TUint32 sizeOutsideHeap() const override { return TUint32(data_.capacity()); }

private:
    static void onState(pa_stream* s, void* self);
    static void onStarted(pa_stream* s, void* self);
    static void onWrite(pa_stream* s, size_t bytes, void* self);
    static void onUnderflow(pa_stream* s, void* self);
    void streamReady();
    void write(size_t requested);

    std::shared_ptr<PlayerConnection> connection_;
    pa_stream* stream_ = nullptr;
    std::vector<TUint8> data_;
    BudgetCharge charge_;
    TUint32 size_ = 0;  // whole samples only
    TUint32 position_ = 0;
    TInt32 startState_ = 2;  // 2 never connected, 0 waiting for the start, 1 started
    TInt32 repeat_ = 0;
};

class AudioPlayerExtension : public DeviceExtension {
public:
    static constexpr ExtensionEntry kEntry{28, "AudioPlayer", "AudioPlayer: Unknown opcode!"};
    // The extension's functions, one row each.
    static std::span<const ExtensionFunction<AudioPlayerExtension>> functions();

    AudioPlayerExtension(MVMCallbackInterface& vm, FileSystemServices& files);
    TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) override;
    const PlayerConnection& connection() const { return *connection_; }

private:
    static const ExtensionFunction<AudioPlayerExtension> kFunctions[];
    TInt32 loadFile(TInt32 sp, TInt32* stack);
    TInt32 loadBytes(TInt32 sp, TInt32* stack);
    TInt32 start(TInt32 sp, TInt32* stack) { return enqueue(sp, stack, &AudioPlayer::start); }
    TInt32 stop(TInt32 sp, TInt32* stack) { return enqueue(sp, stack, &AudioPlayer::stop); }
    TInt32 setRepeat(TInt32 sp, TInt32* stack);
    TInt32 enqueue(TInt32 sp, TInt32* stack, DeferredOperation::Operation operation);
    TInt32 adopt(ExtensionStack& s, sound::SoundBytes data);

    std::shared_ptr<PlayerConnection> connection_;
    FileSystemServices& files_;
};

}  // namespace mcb
