// The audio player extension on PulseAudio's GLib main loop.
#include "extensions/AudioPlayer.h"

#include "extensions/SoundData.h"
#include "extensions/SoundServer.h"
#include "objects/OVector.h"
#include "vm/FrameworkServices.h"

#include <pulse/glib-mainloop.h>

#include <QAbstractEventDispatcher>

#include <algorithm>
#include <utility>

namespace mcb {

namespace {
// PulseAudio's GLib binding runs on the default GLib context, which only Qt's
// GLib event dispatcher drives.
bool onGlibEventLoop() {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

// A request the server may refuse: the reply is not needed, only the request.
bool sent(pa_operation* o) {
    if (!o) return false;
    pa_operation_unref(o);
    return true;
}
}  // namespace

// --- deferred operations ----------------------------------------------------------

DeferredOperation::DeferredOperation(VMHeap& heap, AudioPlayer& player, Operation operation)
    : heap_(heap), player_(&player), operation_(operation) {
    heap_.addRoot(player.self());
}

DeferredOperation::~DeferredOperation() {
    if (player_) heap_.removeRoot(player_->self());
}

// --- the connection ---------------------------------------------------------------

PlayerConnection::PlayerConnection(VMHeap& heap) : heap_(heap) {
    if (!onGlibEventLoop()) {
        fail();
        return;
    }
    loop_ = pa_glib_mainloop_new(nullptr);
    context_ = loop_ ? pa_context_new(pa_glib_mainloop_get_api(loop_), sound::kClientName) : nullptr;
    if (!context_) {
        fail();
        return;
    }
    pa_context_set_state_callback(context_, onState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) fail();
}

PlayerConnection::~PlayerConnection() {
    for (auto& op : pending_) op->forgetPlayer();  // their players went first
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_) pa_glib_mainloop_free(loop_);
}

void PlayerConnection::onState(pa_context* c, void* self) {
    auto* connection = static_cast<PlayerConnection*>(self);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY: connection->runPending(); break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: connection->fail(); break;
    default: break;
    }
}

// Operations queued while these run (none today) wait for the next turn.
void PlayerConnection::runPending() {
    for (size_t n = pending_.size(); n > 0 && !pending_.empty(); --n) {
        std::unique_ptr<DeferredOperation> op = std::move(pending_.front());
        pending_.pop_front();
        op->run();
    }
}

// Nothing queued can ever run: the players go back to the collector.
void PlayerConnection::fail() {
    failed_ = true;
    pending_.clear();
    sound::playerNoServer.say();
}

void PlayerConnection::queue(AudioPlayer& player, DeferredOperation::Operation operation) {
    if (failed_) return;
    pending_.push_back(std::make_unique<DeferredOperation>(heap_, player, operation));
    if (pa_context_get_state(context_) == PA_CONTEXT_READY) runPending();
}

void PlayerConnection::forget(AudioPlayer& player) {
    for (auto& op : pending_)
        if (op->player() == &player) op->forgetPlayer();
    std::erase_if(pending_, [](const auto& op) { return op->player() == nullptr; });
}

// --- a player -------------------------------------------------------------------------

AudioPlayer::AudioPlayer(std::shared_ptr<PlayerConnection> connection, std::vector<TUint8> data, BudgetCharge charge)
    : connection_(std::move(connection)), data_(std::move(data)), charge_(std::move(charge)), size_(TUint32(data_.size() & ~size_t(1))) {}

AudioPlayer::~AudioPlayer() {
    stop();
    connection_->forget(*this);
}

void AudioPlayer::start() {
    if (stream_ || size_ == 0 || !connection_->context()) return;
    stream_ = sound::newPlaybackStream(connection_->context(), kRate);
    if (!stream_) return;
    pa_stream_set_started_callback(stream_, onStarted, this);
    pa_stream_set_state_callback(stream_, onState, this);
    pa_stream_set_underflow_callback(stream_, onUnderflow, this);
    pa_buffer_attr attr;  // every field all ones: the server chooses
    attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = attr.fragsize = TUint32(-1);
    pa_cvolume volume;
    if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_NOFLAGS, sound::streamVolume(volume, 1), nullptr) < 0)
        stop();
}

// Every callback goes first, so that nothing the server still reports about
// this stream reaches the player.
void AudioPlayer::stop() {
    if (!stream_) return;
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_started_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(std::exchange(stream_, nullptr));
}

void AudioPlayer::onState(pa_stream* s, void* self) {
    auto* player = static_cast<AudioPlayer*>(self);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY: player->streamReady(); break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED: player->stop(); break;
    default: break;
    }
}

void AudioPlayer::onStarted(pa_stream*, void* self) { static_cast<AudioPlayer*>(self)->startState_ = 1; }

void AudioPlayer::onWrite(pa_stream*, size_t bytes, void* self) { static_cast<AudioPlayer*>(self)->write(bytes); }

// Once the server has played everything it was given, the sound is over.
void AudioPlayer::onUnderflow(pa_stream*, void* self) {
    auto* player = static_cast<AudioPlayer*>(self);
    if (player->position_ >= player->size_) player->stop();
}

void AudioPlayer::streamReady() {
    if (!sent(pa_stream_prebuf(stream_, nullptr, nullptr))) {
        sound::sayNow("BUG: pa_stream_prebuf() returned NULL\n");
        stop();
        return;
    }
    position_ = 0;
    startState_ = 0;
    pa_stream_set_write_callback(stream_, onWrite, this);
    const size_t writable = pa_stream_writable_size(stream_);
    if (writable != size_t(-1) && writable > 0) write(writable);
}

// A sound shorter than the server's pre-buffer would never start by itself:
// once all of it is written, playback is started at once.
void AudioPlayer::write(size_t requested) {
    const size_t n = std::min<size_t>(requested, size_ - position_) & ~size_t(1);
    if (n == 0) return;
    pa_stream_write(stream_, data_.data() + position_, n, nullptr, 0, PA_SEEK_RELATIVE);
    position_ += TUint32(n);
    if (position_ < size_) return;
    if (startState_ != 1 && !sent(pa_stream_trigger(stream_, nullptr, nullptr))) {
        sound::sayNow("BUG: pa_stream_trigger() returned NULL");
        stop();
        return;
    }
    if (repeat_ > 0) {
        --repeat_;
        position_ = 0;
    }
}

// --- the extension -------------------------------------------------------------------

AudioPlayerExtension::AudioPlayerExtension(MVMCallbackInterface& vm, FileSystemServices& files)
    : DeviceExtension(vm, kEntry), connection_(std::make_shared<PlayerConnection>(vm.heap())), files_(files) {}

const ExtensionFunction<AudioPlayerExtension> AudioPlayerExtension::kFunctions[] = {
    {1, "load_file", &AudioPlayerExtension::loadFile},
    {2, "load_bytes", &AudioPlayerExtension::loadBytes},
    {3, "start", &AudioPlayerExtension::start},
    {4, "stop", &AudioPlayerExtension::stop},
    {6, "ignore6", &AudioPlayerExtension::ignore, 1},
    {7, "zero7", &AudioPlayerExtension::zero, 1},
    {8, "zero8", &AudioPlayerExtension::zero, 1},
    {9, "ignore9", &AudioPlayerExtension::ignore, 2},
    {10, "zero10", &AudioPlayerExtension::zero, 1},
    {11, "ignore11", &AudioPlayerExtension::ignore, 2},
    {12, "zero12", &AudioPlayerExtension::zero, 1},
    {13, "zero13", &AudioPlayerExtension::zero, 1},
    {14, "set_repeat", &AudioPlayerExtension::setRepeat},
};

std::span<const ExtensionFunction<AudioPlayerExtension>> AudioPlayerExtension::functions() { return kFunctions; }

TInt32 AudioPlayerExtension::callDllNative(TInt32 function, TInt32 sp, TInt32* stack) {
    return callRow<AudioPlayerExtension>(kFunctions, function, sp, stack);
}

TInt32 AudioPlayerExtension::setRepeat(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 3);
    s.field<AudioPlayer>(0).setRepeat(s.word(1));
    return s.noResult();
}

TInt32 AudioPlayerExtension::loadFile(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 3);
    s.checkField(0);
    const OString& name = s.string(1);
    sound::SoundBytes data = sound::readFile(files_, name);
    switch (data.result) {
    case sound::Load::NotOpened:
        vmerr::raise(vmerr::msg::CouldNotOpenFile, CAppsString().appendUnits(name.data(), name.length()));
    case sound::Load::Empty: vmerr::raise(vmerr::msg::FileIsEmpty);
    case sound::Load::ReadFailed: vmerr::raise(vmerr::IO);
    case sound::Load::Done: break;
    }
    return adopt(s, std::move(data));
}

TInt32 AudioPlayerExtension::loadBytes(TInt32 sp, TInt32* stack) {
    ExtensionStack s(vm_, sp, stack, 3);
    s.checkField(0);
    OVector<TInt8>& bytes = s.objectAt<OVector<TInt8>>(1);
    sound::SoundBytes data = sound::copyBytes(reinterpret_cast<const TUint8*>(bytes.data()), size_t(bytes.size()));
    return adopt(s, std::move(data));
}

TInt32 AudioPlayerExtension::adopt(ExtensionStack& s, sound::SoundBytes data) {
    auto player = std::make_unique<AudioPlayer>(connection_, std::move(data.bytes), std::move(data.charge));
    s.setField(0, vm_.heap().adoptObject(std::move(player), 4, GC_CODE_PLAIN));
    return s.noResult();
}

TInt32 AudioPlayerExtension::enqueue(TInt32 sp, TInt32* stack, DeferredOperation::Operation operation) {
    ExtensionStack s(vm_, sp, stack, 1);
    connection_->queue(s.field<AudioPlayer>(0), operation);
    return s.noResult();
}

}  // namespace mcb
