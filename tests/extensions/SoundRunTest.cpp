// The player binary running applications that use sound: without a sound
// server, and ten seconds of a sound started from a timer.
#include "ExtensionTestSupport.h"

namespace mcb {

using namespace exttest;

namespace {
// Globals: 0 a player, 1 a mixer, 2 the timer listener, 3 a count. Main loads
// "s.raw" into the player and, when `mix`, into a mixer that plays it and logs
// its channel; then starts the player `starts` times and sets a timer of
// `period` ms. Each tick logs its number and starts the player, up to `ticks`;
// the tick after ends the run.
std::string soundApp(bool mix, int starts, int period, int ticks) {
    const std::string mixer = R"(
    alloc 1, 2
    dup
    setclass Holder
    @keep 1
    dup
    dup
    extcall AudioMixer.create
    ldstr sound
    extcall AudioMixer.load_channel
    itos
    native Debug.log
    push 0
    extcall AudioMixer.play
)";
    return R"(
.globals 4
.method "main", main, frame0
.selector "<*systemtimerlistener>.systemtimerevent"
    .impl Listener, tick, frame1
.class Holder
    .reffields 1
.class Listener
.descriptor frame0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.string sound "s.raw"
.code
main:
    alloc 1, 2
    dup
    setclass Holder
    @store 0)" +
           (mix ? mixer : "\n") + R"(
    @load 0
    ldstr sound
    push 0
    extcall AudioPlayer.load_file
    push )" +
           std::to_string(starts) + R"(
    @store 3
again:
    @load 3
    jz started
    @load 0
    extcall AudioPlayer.start
    @addr 3
    decm
    jmp again
started:
    alloc 1, 1
    dup
    setclass Listener
    @keep 2
    push )" +
           std::to_string(period) + R"(
    native Timer.add
    adjsp -1
    ret 0, 1
tick:
    @addr 3
    incm
    @load 3
    dup
    itos
    native Debug.log
    push )" +
           std::to_string(ticks + 1) + R"(
    lt
    jz finish
    @load 0
    extcall AudioPlayer.start
    ret 0, 2
finish:
    native System.exit
    ret 0, 2
)";
}
}  // namespace

TEST(SoundRun, WithoutASoundServerEachExtensionSaysSoOnceAndTheRunGoesOn) {
    PulseServer server(AudioPlayer::kRate);
    const struct {
        bool serverUp;
        const char* noGlib;  // Qt's own event dispatcher instead of GLib's
        size_t mixerMessages;
    } cases[] = {{false, "", 1}, {true, "1", 0}};
    for (const auto& c : cases) {
        if (c.serverUp && !server.up()) continue;
        Scratch dir;
        writeImage(dir, soundApp(true, 1000, 200, 1));
        dir.write("s.raw", std::string(400, '\x11'));
        const std::string address = c.serverUp ? server.address() : "unix:" + dir.path("none");
        const auto env = playerEnvironment(dir.path("run"), {{"PULSE_SERVER", address}, {"QT_NO_GLIB", c.noGlib}});
        ChildProcess player({playerBinary()}, env, dir.root());
        EXPECT_EQ(player.finish(30), 0) << player.err();
        EXPECT_EQ(logLines(player.err()), Lines({"0", "1", "2"}));
        EXPECT_EQ(count(player.err(), "AudioMixer: no sound server\n"), c.mixerMessages) << player.err();
        EXPECT_EQ(count(player.err(), "AudioPlayer: no sound server\n"), 1u) << player.err();
        EXPECT_EQ(player.err().find("non-existing root"), std::string::npos);
    }
}

// Twenty starts, one every half second, each a fifth of a second long: every
// one is heard whole, and resident memory stays flat.
TEST(SoundRun, TenSecondsOfASoundFromATimerLoseNoSampleInFlatMemory) {
    PulseServer server(AudioPlayer::kRate);
    if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
    Scratch dir;
    const Samples sound = tone(AudioPlayer::kRate / 5, 41);
    writeImage(dir, soundApp(false, 0, 500, 20));
    dir.write("s.raw", std::string(reinterpret_cast<const char*>(sound.data()), sound.size() * 2));
    Capture capture(server);
    ASSERT_TRUE(capture.recording());
    ChildProcess player({playerBinary()}, playerEnvironment(dir.path("run"), {{"PULSE_SERVER", server.address()}}),
                        dir.root());
    ASSERT_TRUE(player.waitFor("LOG: 5\n", 30)) << player.err();
    const long early = residentKiB(player.pid());
    ASSERT_TRUE(player.waitFor("LOG: 20\n", 30)) << player.err();
    const long late = residentKiB(player.pid());
    EXPECT_EQ(player.finish(30), 0) << player.err();
    capture.waitForSamples(capture.samples().size() + AudioPlayer::kRate / 4);

    std::vector<Samples> heard;  // the sounds, told apart by silence
    const Samples& all = capture.samples();
    for (size_t i = capture.firstSound(), end; i < all.size(); i = end) {
        for (end = i; end < all.size() && !silent(slice(all, end, 64));) ++end;
        heard.push_back(slice(all, i, end - i));
        while (end < all.size() && all[end] == 0) ++end;
    }
    ASSERT_EQ(heard.size(), 20u);
    for (size_t k = 0; k < heard.size(); ++k) EXPECT_EQ(heard[k], sound) << "start " << k + 1;
    expectFlatMemory(early, late);
}

}  // namespace mcb
