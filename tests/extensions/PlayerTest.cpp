// The audio player: the extension's calls, what a private sound server plays,
// and connections that fail.
#include "ExtensionTestSupport.h"
#include "extensions/SoundServer.h"

#include <sys/socket.h>
#include <sys/un.h>

namespace mcb {

using namespace exttest;

namespace {
struct PlayerRig : Rig {
    PlayerRig() { ensureQtApp(); }
    VMAddr load(const Samples& sound) {
        write("s.raw", sound);
        return loadFile("s.raw");
    }
    VMAddr loadFile(const char* name) {
        VMAddr p = object();
        call(28, 1, {TInt32(p), string(name), 0});
        return p;
    }
    void start(VMAddr p) { call(28, 3, {TInt32(p)}); }
    void stop(VMAddr p) { call(28, 4, {TInt32(p)}); }
    bool playing(VMAddr p) { return native<AudioPlayer>(p).isPlaying(); }
    size_t pending() { return static_cast<AudioPlayerExtension*>(table.find(28))->connection().pending(); }
};

Samples copies(const Samples& sound, size_t n) {
    Samples out;
    for (size_t i = 0; i < n; ++i) out.insert(out.end(), sound.begin(), sound.end());
    out.resize(out.size() + AudioPlayer::kRate / 4, 0);  // then silence
    return out;
}
}  // namespace

TEST(PlayerCalls, EveryFunctionOnTheStackAndSoundsAreChargedToTheMemoryBudget) {
    PlayerRig r;
    setenv("PULSE_SERVER", ("unix:" + r.dir.path("none")).c_str(), 1);
    r.write("a.raw", {1, 2});
    r.dir.write("empty.raw", "");
    const TInt32 p = TInt32(r.object()), fresh = TInt32(r.object());
    const std::string unknown = "11: UnknownException (CODE:11) / AudioPlayer: Unknown opcode!";
    const Call cases[] = {
        {1, {9, p, r.string("a.raw"), 5}, "[9]"},
        {2, {9, p, r.bytes({1, 2, 3}), 5}, "[9]"},
        {14, {9, p, 2, 5}, "[9]"},
        {3, {9, p}, "[9]"},
        {4, {9, p}, "[9]"},
        {6, {9, 8}, "[9]"},
        {7, {9, 8}, "[9 0]"},
        {8, {9, 8}, "[9 0]"},
        {10, {9, 8}, "[9 0]"},
        {12, {9, 8}, "[9 0]"},
        {13, {9, 8}, "[9 0]"},
        {9, {9, 8, 7}, "[9]"},
        {11, {9, 8, 7}, "[9]"},
        {1, {p, r.string("missing.raw"), 0}, "7: IOException: Could not open file: missing.raw"},
        {1, {p, r.string("../a.raw"), 0}, "7: IOException: Could not open file: ../a.raw"},
        {1, {p, r.string("empty.raw"), 0}, "6: InvalidArgumentException: File is empty"},
        {1, {0, r.string("a.raw"), 0}, "1: NullPointerException: NULL pointer"},
        {2, {p, 0, 0}, "1: NullPointerException: NULL pointer"},
        {2, {p, r.string("x"), 0}, "10: VMException: Invalid TYPEID"},
        {3, {fresh}, "10: VMException: Invalid TYPEID"},  // nothing loaded
        {3, {}, "10: VMException: Stack underflow"},
        {0, {p}, unknown},
        {5, {p}, unknown},
        {15, {p}, unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(r.outcome(28, c.function, c.args), c.outcome) << "function " << c.function;

    // A sound counts against the application's memory budget while a player holds it.
    r.write("big.raw", Samples(1 << 20, 1));
    const TInt32 q = TInt32(r.object()), name = r.string("big.raw"), bytes = r.bytes(std::vector<uint8_t>(1000, 1));
    MemoryBudget& budget = r.vm.budget();
    const TUint64 before = budget.used();
    budget.setLimit(before + (1 << 20) + MemoryBudget::kErrorReserve);
    EXPECT_EQ(r.outcome(28, 1, {q, name, 0}), "6: InvalidArgumentException: Out of memory");
    vmerr::clearPendingError();
    EXPECT_EQ(budget.used(), before) << "a refused sound holds nothing";
    EXPECT_EQ(r.outcome(28, 2, {q, bytes, 0}), "[]");
    EXPECT_GE(budget.used(), before + 1000);
}

// Starts queued before a connection fails are dropped with their roots; later
// ones never queue. The socket either is missing (the connection fails at
// once) or hangs up once the starts wait.
TEST(PlayerCalls, AFailedConnectionDropsWaitingStartsAndTheirRoots) {
    for (bool listening : {false, true}) {
        PlayerRig r;
        sockaddr_un address{AF_UNIX, {}};
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", r.dir.path("socket").c_str());
        const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listening) {
            ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) | listen(listener, 4), 0);
        }
        setenv("PULSE_SERVER", ("unix:" + r.dir.path("socket")).c_str(), 1);
        VMAddr p = r.load(tone(100));
        for (int i = 0; i < 1000; ++i) r.start(p);
        if (listening) {
            EXPECT_EQ(r.pending(), 1000u);
            EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 1);
            close(accept(listener, nullptr, nullptr));
        }
        ASSERT_TRUE(waitUntil([&] { return r.pending() == 0; }));
        for (int i = 0; i < 1000; ++i) r.start(p);
        EXPECT_EQ(r.pending(), 0u);
        EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 0) << listening;
        EXPECT_FALSE(r.playing(p));
        close(listener);
    }
}

namespace {
class PlayerSink : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
        server.useInProcess();
        ASSERT_TRUE(capture->recording());
    }
    void TearDown() override { sound::setOutputVolume(100); }
    // From the first sound on, as long as `expected`.
    Samples heard(const Samples& expected) {
        EXPECT_TRUE(capture->waitForSound(expected.size()));
        return slice(capture->samples(), capture->firstSound(), expected.size());
    }
    PulseServer server{AudioPlayer::kRate};
    std::unique_ptr<Capture> capture = std::make_unique<Capture>(server);
    PlayerRig r;
};
}  // namespace

// The first start comes before the connection is ready: it waits, and keeps its player alive.
TEST_F(PlayerSink, AFileAndAByteArrayEachPlayOnceBitForBit) {
    const Samples sound = tone(4410);
    VMAddr p = r.load(sound);
    r.start(p);
    EXPECT_EQ(r.pending(), 1u);
    EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 1);
    EXPECT_EQ(heard(copies(sound, 1)), copies(sound, 1));
    EXPECT_EQ(r.vm.heap().isRoot(r.field(p)), 0);
    ASSERT_TRUE(waitUntil([&] { return !r.playing(p); }));

    capture = std::make_unique<Capture>(server);
    const auto* b = reinterpret_cast<const uint8_t*>(sound.data());
    r.call(28, 2, {TInt32(p), r.bytes(std::vector<uint8_t>(b, b + sound.size() * 2)), 0});
    r.start(p);
    EXPECT_EQ(heard(copies(sound, 1)), copies(sound, 1));
}

// A start while playing adds nothing.
TEST_F(PlayerSink, RepeatTwoPlaysThreeCopiesBackToBack) {
    const Samples sound = tone(3000, 13);
    VMAddr p = r.load(sound);
    r.call(28, 14, {TInt32(p), 2, 0});
    r.start(p);
    ASSERT_TRUE(waitUntil([&] { return r.playing(p); }));
    r.start(p);
    EXPECT_EQ(heard(copies(sound, 3)), copies(sound, 3));
}

TEST_F(PlayerSink, StartThenStopBeforeReadyPlaysNothing) {
    VMAddr p = r.load(tone(2000));
    r.start(p);
    r.stop(p);
    ASSERT_TRUE(waitUntil([&] { return r.pending() == 0; }));
    ASSERT_TRUE(capture->waitForSamples(AudioPlayer::kRate / 2));
    EXPECT_TRUE(silent(capture->samples()));
    EXPECT_FALSE(r.playing(p));
}

TEST_F(PlayerSink, StopThenStartPlaysFromTheBeginning) {
    const Samples sound = tone(AudioPlayer::kRate * 2);
    VMAddr p = r.load(sound);
    r.start(p);
    ASSERT_TRUE(capture->waitForSound(100));
    r.stop(p);
    EXPECT_FALSE(r.playing(p));
    ASSERT_TRUE(capture->waitForSamples(capture->samples().size() + AudioPlayer::kRate / 2));
    const size_t first = capture->firstSound();
    size_t cut = first;
    while (capture->samples()[cut] != 0) ++cut;
    EXPECT_EQ(slice(capture->samples(), first, cut - first), slice(sound, 0, cut - first));
    capture = std::make_unique<Capture>(server);
    r.start(p);
    EXPECT_EQ(heard(sound), sound);
}

TEST_F(PlayerSink, OddSizedDataPlaysItsWholeSamples) {
    Samples sound = tone(1001);
    r.dir.write("odd.raw", std::string(reinterpret_cast<const char*>(sound.data()), sound.size() * 2) + "\x7f");
    r.dir.write("one.raw", "\x7f");
    VMAddr one = r.loadFile("one.raw");
    r.start(one);  // no whole sample: never starts, so never stays "playing"
    VMAddr p = r.loadFile("odd.raw");
    r.start(p);
    EXPECT_EQ(heard(copies(sound, 1)), copies(sound, 1));
    EXPECT_FALSE(r.playing(one));
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
    EXPECT_TRUE(
        silent(slice(capture->samples(), capture->samples().size() - AudioPlayer::kRate / 4, AudioPlayer::kRate)));
}

TEST_F(PlayerSink, TheOutputVolumeScalesTheStreamAndZeroMutesIt) {
    const Samples sound = tone(4410);
    sound::setOutputVolume(50);
    VMAddr p = r.load(sound);
    r.start(p);
    Samples heard = this->heard(sound);
    ASSERT_EQ(heard.size(), sound.size());
    for (size_t i = 0; i < sound.size(); ++i) ASSERT_NEAR(heard[i], sound[i] / 8.0, 1) << i;  // 50 % of 1 cubed
    ASSERT_TRUE(waitUntil([&] { return !r.playing(p); }));

    sound::setOutputVolume(0);
    capture = std::make_unique<Capture>(server);
    r.start(p);
    ASSERT_TRUE(waitUntil([&] { return r.playing(p); }));
    ASSERT_TRUE(waitUntil([&] { return !r.playing(p); }));
    ASSERT_TRUE(capture->waitForSamples(AudioPlayer::kRate / 2));
    EXPECT_TRUE(silent(capture->samples()));
}

}  // namespace mcb
