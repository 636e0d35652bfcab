// The audio player: the extension's calls, what a private sound server plays,
// and a run without one.
#include "ExtensionTestSupport.h"

#include <sys/socket.h>
#include <sys/un.h>

using namespace exttest;

namespace {
// A rig whose first player loads `sound` from a file; the extension (and its
// connection) comes with that first call.
struct PlayerRig : Rig {
    VMAddr load(const Samples& sound, const std::string& name = "s.raw") {
        write(name, sound);
        return loadBytesOf(name);
    }
    VMAddr loadBytesOf(const std::string& name) {
        VMAddr p = object();
        call(28, 1, {TInt32(p), TInt32(string(name.c_str())), 0});
        return p;
    }
    void start(VMAddr p) { call(28, 3, {TInt32(p)}); }
    void stop(VMAddr p) { call(28, 4, {TInt32(p)}); }
    AudioPlayer& player(VMAddr p) { return native<AudioPlayer>(p); }
    const PlayerConnection& connection() {
        return static_cast<AudioPlayerExtension*>(table.find(28))->connection();
    }
};
}  // namespace

TEST(PlayerCalls, StackEffectsOfEveryFunction) {
    hosttest::ensureQtApp();
    PlayerRig r;
    setenv("PULSE_SERVER", ("unix:" + r.dir.path("no-server")).c_str(), 1);
    r.write("a.raw", {1, 2});
    const TInt32 p = TInt32(r.object());
    const struct {
        TInt32 function;
        std::vector<TInt32> args, left;
    } cases[] = {
        {1, {9, p, TInt32(r.string("a.raw")), 5}, {9}},
        {2, {9, p, TInt32(r.bytes({1, 2, 3})), 5}, {9}},
        {14, {9, p, 2, 5}, {9}},
        {3, {9, p}, {9}},
        {4, {9, p}, {9}},
        {6, {9, 8}, {9}},
        {7, {9, 8}, {9, 0}},
        {8, {9, 8}, {9, 0}},
        {10, {9, 8}, {9, 0}},
        {12, {9, 8}, {9, 0}},
        {13, {9, 8}, {9, 0}},
        {9, {9, 8, 7}, {9}},
        {11, {9, 8, 7}, {9}},
    };
    for (const auto& c : cases) EXPECT_EQ(r.call(28, c.function, c.args), c.left) << "function " << c.function;
}

TEST(PlayerCalls, FailuresAreVmErrors) {
    hosttest::ensureQtApp();
    PlayerRig r;
    setenv("PULSE_SERVER", ("unix:" + r.dir.path("no-server")).c_str(), 1);
    r.dir.write("empty.raw", "");
    const TInt32 p = TInt32(r.object());
    const struct {
        TInt32 function;
        std::vector<TInt32> args;
        std::string failure;
    } cases[] = {
        {1, {p, TInt32(r.string("missing.raw")), 0}, "7: IOException: Could not open file: missing.raw"},
        {1, {p, TInt32(r.string("../x.raw")), 0}, "7: IOException: Could not open file: ../x.raw"},
        {1, {p, TInt32(r.string("empty.raw")), 0}, "6: InvalidArgumentException: File is empty"},
        {1, {0, TInt32(r.string("x")), 0}, "1: NullPointerException: NULL pointer"},
        {2, {p, 0, 0}, "1: NullPointerException: NULL pointer"},
        {2, {p, TInt32(r.string("x")), 0}, "10: VMException: Invalid TYPEID"},
        {3, {p}, "10: VMException: Invalid TYPEID"},  // nothing loaded yet
        {14, {0, 1, 0}, "1: NullPointerException: NULL pointer"},
        {3, {}, "10: VMException: Stack underflow"},
        {5, {p}, "11: UnknownException (CODE:11) / AudioPlayer: Unknown opcode!"},
        {15, {p}, "11: UnknownException (CODE:11) / AudioPlayer: Unknown opcode!"},
        {0, {p}, "11: UnknownException (CODE:11) / AudioPlayer: Unknown opcode!"},
    };
    for (const auto& c : cases) EXPECT_EQ(r.failure(28, c.function, c.args), c.failure) << "function " << c.function;
}

// --- through a sound server --------------------------------------------------------

class PlayerSink : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
        hosttest::ensureQtApp();
        server.useInProcess();
        capture = std::make_unique<Capture>(server);
        ASSERT_TRUE(capture->recording());
    }
    // The capture from the first sound on, `seconds` past the end of `sound` played `copies` times.
    Samples heard(const Samples& sound, size_t copies = 1, double seconds = 0.3) {
        const size_t n = sound.size() * copies + size_t(seconds * AudioPlayer::kRate);
        EXPECT_TRUE(capture->waitForSound(n));
        return slice(capture->samples(), capture->firstSound(), n);
    }
    static Samples copies(const Samples& sound, size_t n, double silence = 0.3) {
        Samples out;
        for (size_t i = 0; i < n; ++i) out.insert(out.end(), sound.begin(), sound.end());
        out.resize(out.size() + size_t(silence * AudioPlayer::kRate), 0);
        return out;
    }

    PulseServer server{AudioPlayer::kRate};
    std::unique_ptr<Capture> capture;
    PlayerRig r;
};

TEST_F(PlayerSink, AFileAndAByteArrayEachPlayOnceBitForBit) {
    const Samples sound = tone(4410);
    for (bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "file" : "byte array");
        capture = std::make_unique<Capture>(server);
        ASSERT_TRUE(capture->recording());
        VMAddr p = fromFile ? r.load(sound) : r.object();
        if (!fromFile) {
            const auto* b = reinterpret_cast<const uint8_t*>(sound.data());
            r.call(28, 2, {TInt32(p), TInt32(r.bytes(std::vector<uint8_t>(b, b + sound.size() * 2))), 0});
        }
        r.start(p);
        EXPECT_EQ(heard(sound), copies(sound, 1));
        EXPECT_TRUE(waitUntil([&] { return !r.player(p).isPlaying(); }));
    }
}

TEST_F(PlayerSink, AStartBeforeTheConnectionIsReadyWaitsForIt) {
    const Samples sound = tone(2000);
    VMAddr p = r.load(sound);
    r.start(p);
    EXPECT_EQ(r.connection().pending(), 1u);
    EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 1);  // the waiting start keeps it alive
    EXPECT_EQ(heard(sound), copies(sound, 1));
    EXPECT_EQ(r.connection().pending(), 0u);
    EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 0);
}

TEST_F(PlayerSink, RepeatTwoPlaysThreeCopiesBackToBack) {
    const Samples sound = tone(3000, 13);
    VMAddr p = r.load(sound);
    r.call(28, 14, {TInt32(p), 2, 0});
    r.start(p);
    EXPECT_EQ(heard(sound, 3), copies(sound, 3));
}

TEST_F(PlayerSink, StartThenStopBeforeReadyPlaysNothing) {
    VMAddr p = r.load(tone(2000));
    r.start(p);
    r.stop(p);
    ASSERT_TRUE(waitUntil([&] { return r.connection().pending() == 0; }));
    ASSERT_TRUE(capture->waitForSamples(AudioPlayer::kRate / 2));
    EXPECT_TRUE(silent(capture->samples()));
    EXPECT_FALSE(r.player(p).isPlaying());
}

TEST_F(PlayerSink, AStartWhilePlayingAddsNothing) {
    const Samples sound = tone(8000);
    VMAddr p = r.load(sound);
    r.start(p);
    ASSERT_TRUE(waitUntil([&] { return r.player(p).isPlaying(); }));
    r.start(p);
    EXPECT_EQ(heard(sound), copies(sound, 1));
}

TEST_F(PlayerSink, StopThenStartPlaysFromTheBeginning) {
    const Samples sound = tone(AudioPlayer::kRate * 2);
    VMAddr p = r.load(sound);
    r.start(p);
    ASSERT_TRUE(capture->waitForSound(100));
    r.stop(p);
    EXPECT_FALSE(r.player(p).isPlaying());
    ASSERT_TRUE(capture->waitForSamples(capture->samples().size() + AudioPlayer::kRate / 2));
    r.start(p);
    const size_t first = capture->firstSound();
    Samples all;
    ASSERT_TRUE(waitUntil([&] {
        all = capture->samples();
        size_t i = first;
        while (i < all.size() && all[i] != 0) ++i;  // the cut-off first play
        while (i < all.size() && all[i] == 0) ++i;
        return all.size() >= i + sound.size() + 100;
    }));
    size_t cut = first;
    while (all[cut] != 0) ++cut;
    EXPECT_EQ(slice(all, first, cut - first), slice(sound, 0, cut - first));
    size_t again = cut;
    while (all[again] == 0) ++again;
    EXPECT_EQ(slice(all, again, sound.size()), sound);
}

TEST_F(PlayerSink, OddSizedDataPlaysItsWholeSamples) {
    Samples sound = tone(1001);
    std::string bytes(reinterpret_cast<const char*>(sound.data()), sound.size() * 2);
    r.dir.write("odd.raw", bytes + "\x7f");
    r.dir.write("one.raw", "\x7f");
    VMAddr one = r.loadBytesOf("one.raw");
    r.start(one);  // no whole sample: never starts, so never stays "playing"
    VMAddr p = r.loadBytesOf("odd.raw");
    r.start(p);
    EXPECT_EQ(heard(sound), copies(sound, 1));
    EXPECT_FALSE(r.player(one).isPlaying());
}

TEST_F(PlayerSink, APlayerCollectedWhilePlayingStopsCleanly) {
    VMAddr p = r.load(tone(AudioPlayer::kRate * 3));
    r.start(p);
    ASSERT_TRUE(capture->waitForSound(1000));
    r.vm.memory().writeWord(p + 4, 0);
    r.vm.heap().collect();
    EXPECT_EQ(r.vm.heap().liveObjectCount(), 0);
    const size_t before = capture->samples().size();
    ASSERT_TRUE(capture->waitForSamples(before + AudioPlayer::kRate / 2));
    EXPECT_TRUE(silent(slice(capture->samples(), capture->samples().size() - AudioPlayer::kRate / 4, AudioPlayer::kRate)));
}

// --- without a sound server -----------------------------------------------------------

// A socket that is no sound server: the connection fails once the player's
// connection has been taken and hung up, after the starts were queued.
TEST(PlayerWithoutServer, WaitingStartsAreDroppedAndLaterOnesNeverQueue) {
    for (bool listening : {false, true}) {
        SCOPED_TRACE(listening ? "a socket that hangs up" : "no socket");
        hosttest::ensureQtApp();
        PlayerRig r;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", r.dir.path("socket").c_str());
        int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listening)
            ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) | listen(listener, 4), 0);
        setenv("PULSE_SERVER", ("unix:" + r.dir.path("socket")).c_str(), 1);
        VMAddr p = r.load(tone(100));
        for (int i = 0; i < 1000; ++i) r.start(p);
        if (listening) {
            EXPECT_EQ(r.connection().pending(), 1000u);
            close(accept(listener, nullptr, nullptr));
        }
        ASSERT_TRUE(waitUntil([&] { return r.connection().pending() == 0; }));
        EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 0);
        for (int i = 0; i < 1000; ++i) r.start(p);
        EXPECT_EQ(r.connection().pending(), 0u);
        EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 0);
        EXPECT_FALSE(r.player(p).isPlaying());
        close(listener);
    }
}
