// The audio mixer: mix() on its own, the extension's calls, and what a
// private sound server plays.
#include "ExtensionTestSupport.h"
#include "extensions/SoundServer.h"

#include <random>

namespace mcb {

using namespace exttest;

namespace {
Samples mixed(Mixer& m, size_t n) {
    Samples out(n);
    m.mix(out.data(), n);
    return out;
}

TInt32 playing(Mixer& m, Samples s, TInt32 volume = 256) {
    TInt32 i = m.add(std::move(s));
    m.setVolume(i, volume);
    m.play(i);
    return i;
}
}  // namespace

TEST(MixOffline, SumsScalesAndClampsEachSample) {
    const struct {
        std::vector<std::pair<int16_t, TInt32>> channels;  // sample, volume
        int16_t out;
    } cases[] = {
        {{{32767, 256}, {32767, 256}}, 32767}, {{{-32768, 256}, {-32768, 256}}, -32768},
        {{{1000, 256}, {-300, 256}}, 700},     {{{1000, 128}}, 500},
        {{{-1001, 128}}, -501},                {{{1000, 0}}, 0},
        {{{1000, -256}}, -1000},               {{{-32768, -256}}, 32767},
        {{{1, 1 << 30}}, 32767},               {{{-1, 1 << 30}}, -32768},
        {{{32767, INT32_MAX}, {32767, INT32_MAX}, {-32768, INT32_MIN}}, 32767},
    };
    for (const auto& c : cases) {
        Mixer m;
        for (auto [sample, volume] : c.channels) playing(m, Samples(4, sample), volume);
        EXPECT_EQ(mixed(m, 4), Samples(4, c.out)) << "first sample " << c.channels[0].first;
    }
}

TEST(MixOffline, AStoppedChannelFadesFromTheLevelItWouldHavePlayed) {
    const struct {
        TInt32 volume;
        int16_t first;  // the first faded sample
    } cases[] = {{256, 930}, {0, 0}, {-256, -930}, {512, 1853}};
    for (const auto& c : cases) {
        Mixer m;
        TInt32 i = playing(m, Samples(2000, 1000), c.volume);
        mixed(m, 10);
        m.stop(i);
        Samples fade = mixed(m, 400);
        EXPECT_EQ(fade[0], c.first) << c.volume;
        for (size_t k = 1; k < fade.size(); ++k) ASSERT_LE(std::abs(fade[k]), std::abs(fade[k - 1])) << k;
        EXPECT_TRUE(silent(slice(fade, 160, 240))) << c.volume;
    }
}

TEST(MixOffline, ChannelsEndReplayStopAtTheirEndAndIgnoreUnknownIndices) {
    Mixer m;
    TInt32 a = playing(m, {1000, 2000, 3000});
    EXPECT_EQ(mixed(m, 5), Samples({1000, 2000, 3000, 0, 0}));
    m.play(a);
    EXPECT_EQ(mixed(m, 3), Samples({1000, 2000, 3000}));
    m.stop(a);  // at its end: nothing past it is read, nothing fades
    EXPECT_TRUE(silent(mixed(m, 200)));
    for (TInt32 bad : {-1, 1, 7}) {
        m.play(bad), m.stop(bad), m.setVolume(bad, 5);
        EXPECT_EQ(m.volume(bad), 0);
    }
    EXPECT_EQ(m.volume(a), 256);
}

// The mix is defined sample by sample; blocks of any size must give the same.
TEST(MixOffline, BlocksOfAnySizeGiveTheSampleBySampleMix) {
    std::mt19937 random(7);
    for (int round = 0; round < 100; ++round) {
        Mixer blocks, single;
        for (int k = 0; k < 4; ++k) {
            Samples s = tone(random() % 300, int16_t(1 + random() % 500));
            blocks.add(s), single.add(s);
        }
        for (int step = 0; step < 30; ++step) {
            const TInt32 i = TInt32(random() % 4), v = TInt32(random() % 1024) - 512, what = TInt32(random() % 4);
            for (Mixer* m : {&blocks, &single}) {
                if (what == 0) m->play(i);
                if (what == 1) m->stop(i);
                if (what == 2) m->setVolume(i, v);
            }
            Samples one;
            for (size_t n = random() % 120; one.size() < n;) one.push_back(mixed(single, 1)[0]);
            ASSERT_EQ(mixed(blocks, one.size()), one) << "round " << round << " step " << step;
        }
    }
}

TEST(MixerCalls, EveryFunctionOnTheStack) {
    Rig r;
    setenv("PULSE_SERVER", ("unix:" + r.dir.path("none")).c_str(), 1);  // mixers mix into nothing
    r.dir.write("five.raw", std::string("\x01\x02\x03\x04\x05", 5));
    r.dir.write("data/x.raw", "ab");
    r.dir.write("empty.raw", "");
    const TInt32 m = TInt32(r.object()), empty = TInt32(r.object()), text = TInt32(r.object(r.vm.memory().readWord(VMAddr(r.string("x")))));
    const std::string unknown = "11: UnknownException (CODE:11) / AudioMixer: Unknown opcode!";
    const Call cases[] = {
        {1, {9, m}, "[9]"},
        {2, {9, m, r.string("five.raw")}, "[9 0]"},
        {2, {9, m, r.string("missing.raw")}, "[9 -1]"},
        {2, {9, m, r.string("../five.raw")}, "[9 -1]"},
        {2, {9, m, r.string("data//x.raw")}, "[9 1]"},
        {2, {9, m, r.string("empty.raw")}, "[9 2]"},
        {3, {9, m, 5}, "[9]"},
        {6, {9, m, 1, 77}, "[9]"},
        {7, {9, m, 1}, "[9 77]"},
        {7, {9, m, 12}, "[9 0]"},
        {5, {9, m, 0}, "[9]"},
        {4, {9, m, 0}, "[9]"},
        {8, {9, 1, 2, 3}, "[9]"},
        {9, {9, 1, 2}, "[9 0]"},
        {4, {0, 0}, "1: NullPointerException: NULL pointer"},
        {4, {empty, 0}, "10: VMException: Invalid TYPEID"},
        {7, {text, 0}, "10: VMException: Invalid TYPEID"},
        {2, {m, 0}, "1: NullPointerException: NULL pointer"},
        {6, {m, 0}, "10: VMException: Stack underflow"},
        {0, {}, unknown},
        {10, {m}, unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(r.outcome(30, c.function, c.args), c.outcome) << "function " << c.function;
    Mixer& mixer = r.native<AudioMixer>(VMAddr(m)).mixer();
    mixer.play(0);
    EXPECT_EQ(mixed(mixer, 3), Samples({0x0201, 0x0403, 0}));  // the fifth byte is no sample
}

namespace {
// Each attempt is a new mixer heard by a new capture. A busy machine can keep
// the sound thread from its deadline, and the server then plays silence in
// between ("AudioMixer: underflow"): such an attempt proves nothing and is
// made again, three times at most.
class MixerSink : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
        server.useInProcess();
    }
    void TearDown() override { sound::setOutputVolume(100); }
    template <typename Attempt>
    void attempt(Attempt body) {
        for (int i = 0; i < 3; ++i) {
            const size_t before = count(err.text(), "AudioMixer: underflow");
            capture = std::make_unique<Capture>(server);
            ASSERT_TRUE(capture->recording());
            m = TInt32(r.object());
            r.call(30, 1, {m});
            ASSERT_TRUE(r.native<AudioMixer>(VMAddr(m)).isPlaying());
            body();
            if (count(err.text(), "AudioMixer: underflow") == before) return;
        }
        FAIL() << "the sound thread underflowed in every attempt";
    }
    void load(const Samples& sound) {
        r.write("s.raw", sound);
        r.call(30, 2, {m, r.string("s.raw")});
    }
    PulseServer server{AudioMixer::kRate};
    StderrCapture err;
    std::unique_ptr<Capture> capture;
    Rig r;
    TInt32 m = 0;
};
}  // namespace

// The two starts are two calls: the sound thread may mix a block between them.
TEST_F(MixerSink, TwoChannelsPlayTheOfflineMixBitForBitThenSilence) {
    const Samples a = tone(8000, 97), b = tone(6000, 31);
    const size_t n = a.size() + 8000;
    Samples heard, expected;
    size_t delay = 0;
    attempt([&] {
        load(a), load(b);
        r.call(30, 6, {m, 1, 128});
        r.call(30, 4, {m, 0});
        r.call(30, 4, {m, 1});
        ASSERT_TRUE(capture->waitForSound(n));
        heard = slice(capture->samples(), capture->firstSound(), n);
        for (delay = 0; delay < a.size() && heard[delay] == a[delay];) ++delay;
        Mixer offline;
        playing(offline, a);
        expected = mixed(offline, delay);
        playing(offline, b, 128);
        Samples rest = mixed(offline, n - delay);
        expected.insert(expected.end(), rest.begin(), rest.end());
    });
    EXPECT_LT(delay, 4000u) << "the second start came late";
    EXPECT_EQ(heard, expected);
    EXPECT_TRUE(silent(slice(heard, std::max(a.size(), b.size() + delay), n)));
}

TEST_F(MixerSink, AStopMidSoundFadesToSilenceWithin160Samples) {
    Mixer offline;
    offline.stop(playing(offline, {1000}));
    const Samples fade = mixed(offline, 160);
    ASSERT_TRUE(silent(slice(fade, 100, 60)));
    Samples heard;
    size_t played = 0;
    attempt([&] {
        load(Samples(AudioMixer::kRate * 4, 1000));
        r.call(30, 4, {m, 0});
        ASSERT_TRUE(capture->waitForSound(1000));
        r.call(30, 5, {m, 0});
        ASSERT_TRUE(capture->waitForSound(AudioMixer::kRate));
        heard = slice(capture->samples(), capture->firstSound(), AudioMixer::kRate);
        for (played = 0; played < heard.size() && heard[played] == 1000;) ++played;
    });
    EXPECT_LT(played, size_t(AudioMixer::kRate) / 2) << "the stop came late";
    EXPECT_EQ(slice(heard, played, fade.size()), fade);
    EXPECT_TRUE(silent(slice(heard, played + fade.size(), heard.size())));
}

// --volume: the stream starts at that share of the server's normal volume
// (cubic, as the desktop's sound settings show it). Muting, through the same
// stream volume: PlayerSink.
TEST_F(MixerSink, TheOutputVolumeScalesTheStream) {
    sound::setOutputVolume(50);
    Samples heard;
    attempt([&] {
        load(Samples(AudioMixer::kRate, 8000));
        r.call(30, 4, {m, 0});
        ASSERT_TRUE(capture->waitForSound(AudioMixer::kRate / 2));
        heard = slice(capture->samples(), capture->firstSound() + 800, AudioMixer::kRate / 4);
    });
    for (int16_t v : heard) ASSERT_NEAR(v, 1000, 1);  // 8000 at 50 % of 1 cubed
}

}  // namespace mcb
