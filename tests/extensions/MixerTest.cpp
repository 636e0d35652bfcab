// The audio mixer: mix() on its own, the extension's calls, and what a
// private sound server plays.
#include "ExtensionTestSupport.h"

#include <random>

using namespace exttest;

namespace {
Samples mixed(Mixer& m, size_t n) {
    Samples out(n);
    m.mix(out.data(), n);
    return out;
}

// One channel holding `s` at `volume`, playing.
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
        {{{32767, 256}, {32767, 256}}, 32767},
        {{{-32768, 256}, {-32768, 256}}, -32768},
        {{{1000, 256}, {-300, 256}}, 700},
        {{{1000, 128}}, 500},
        {{{-1001, 128}}, -501},  // arithmetic shift: rounds down
        {{{1000, 0}}, 0},
        {{{1000, -256}}, -1000},
        {{{-32768, -256}}, 32767},
        {{{1, 1 << 30}}, 32767},
        {{{-1, 1 << 30}}, -32768},
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
    } cases[] = {{256, 930}, {128, 467}, {0, 0}, {-256, -930}, {512, 1853}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        Mixer m;
        TInt32 i = playing(m, Samples(2000, 1000), c.volume);
        mixed(m, 10);
        m.stop(i);
        Samples fade = mixed(m, 400);
        EXPECT_EQ(fade[0], c.first);
        for (size_t k = 1; k < fade.size(); ++k) ASSERT_LE(std::abs(fade[k]), std::abs(fade[k - 1])) << k;
        EXPECT_TRUE(silent(slice(fade, 160, 240)));
    }
}

TEST(MixOffline, ChannelsEndStopReplayAndIgnoreUnknownIndices) {
    Mixer m;
    TInt32 a = playing(m, {1000, 2000, 3000});
    EXPECT_EQ(mixed(m, 5), Samples({1000, 2000, 3000, 0, 0}));
    m.play(a);  // an ended channel plays again from its start
    EXPECT_EQ(mixed(m, 3), Samples({1000, 2000, 3000}));
    m.stop(a);  // at its end: nothing past it is read, nothing fades
    EXPECT_TRUE(silent(mixed(m, 200)));

    for (TInt32 bad : {-1, 1, 7}) {
        m.play(bad);
        m.stop(bad);
        m.setVolume(bad, 5);
        EXPECT_EQ(m.volume(bad), 0);
    }
    EXPECT_EQ(m.volume(a), 256);
    EXPECT_EQ(m.add({}), 1);
    m.play(1);  // no samples: ends at once
    EXPECT_TRUE(silent(mixed(m, 10)));
}

// The mixer sums channel by channel over a block; the same mix taken one sample
// at a time, as the output is defined, must give the same samples.
TEST(MixOffline, BlocksOfAnySizeGiveTheSampleBySampleMix) {
    struct Reference {
        struct Channel {
            Samples s;
            size_t pos = 0;
            TInt32 volume = 256;
            bool playing = false;
        };
        std::vector<Channel> ch;
        double level = 0, decay = 0;
        void fade(double v) {
            level += v;
            double t = std::fabs(std::trunc(level));
            decay = t < 1 ? 0 : std::pow(0.01 / t, 1.0 / 160);
        }
        int16_t next() {
            level *= decay;
            int64_t acc = int64_t(std::trunc(level)) * 256;
            for (auto& c : ch) {
                if (!c.playing) continue;
                int64_t s = 0;
                if (c.pos >= c.s.size()) c.playing = false;
                else s = c.s[c.pos++];
                acc += c.volume * s;
                if (!c.playing) fade(0);
            }
            return int16_t(std::clamp<int64_t>(acc >> 8, -32768, 32767));
        }
    };
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        Mixer m;
        Reference r;
        for (int k = 0; k < 4; ++k) {
            Samples s = tone(random() % 300, int16_t(1 + random() % 500));
            r.ch.push_back({s});
            m.add(s);
        }
        for (int step = 0; step < 30; ++step) {
            TInt32 i = TInt32(random() % 4);
            switch (random() % 4) {
            case 0: m.play(i), r.ch[i].pos = 0, r.ch[i].playing = true; break;
            case 1:
                m.stop(i);
                if (r.ch[i].playing) {
                    int64_t s = r.ch[i].pos < r.ch[i].s.size() ? r.ch[i].s[r.ch[i].pos] : 0;
                    r.fade(double(r.ch[i].volume * s) / 256);
                    r.ch[i].playing = false;
                }
                break;
            case 2: {
                TInt32 v = TInt32(random() % 1024) - 512;
                m.setVolume(i, v);
                r.ch[i].volume = v;
                break;
            }
            default: break;
            }
            size_t n = random() % 120;
            Samples expected(n);
            for (auto& e : expected) e = r.next();
            ASSERT_EQ(mixed(m, n), expected) << "round " << round << " step " << step;
        }
    }
}

// --- the extension's calls -------------------------------------------------------

namespace {
// Without a sound server: mixers mix into nothing, calls still work.
struct MixerRig : Rig {
    MixerRig() {
        setenv("PULSE_SERVER", ("unix:" + dir.path("no-server")).c_str(), 1);
        mixer = object();
        call(30, 1, {TInt32(mixer)});
    }
    TInt32 load(const char* name) { return call(30, 2, {TInt32(mixer), TInt32(string(name))})[0]; }
    VMAddr mixer = 0;
};
}  // namespace

TEST(MixerCalls, StackEffectsOfEveryFunction) {
    MixerRig r;
    r.write("a.raw", {1, 2, 3});
    const TInt32 m = TInt32(r.mixer);
    const struct {
        TInt32 function;
        std::vector<TInt32> args, left;
    } cases[] = {
        {2, {9, m, TInt32(r.string("a.raw"))}, {9, 0}},
        {2, {9, m, TInt32(r.string("a.raw"))}, {9, 1}},
        {3, {9, m, 5}, {9}},
        {4, {9, m, 0}, {9}},
        {6, {9, m, 0, 77}, {9}},
        {7, {9, m, 0}, {9, 77}},
        {7, {9, m, 12}, {9, 0}},  // no such channel
        {5, {9, m, 0}, {9}},
        {8, {9, 1, 2, 3}, {9}},
        {9, {9, 1, 2}, {9, 0}},
        {1, {9, TInt32(r.object())}, {9}},
    };
    for (const auto& c : cases) EXPECT_EQ(r.call(30, c.function, c.args), c.left) << "function " << c.function;
    EXPECT_EQ(r.native<AudioMixer>(r.mixer).mixer().channels(), 2u);
}

TEST(MixerCalls, LoadsRawSamplesThroughThePathRule) {
    MixerRig r;
    r.dir.write("five.raw", std::string("\x01\x02\x03\x04\x05", 5));
    r.dir.write("data/x.raw", "ab");
    r.dir.write("empty.raw", "");
    const struct {
        const char* name;
        TInt32 index;
    } cases[] = {{"missing.raw", -1}, {"five.raw", 0}, {"../five.raw", -1}, {"a:b", -1},
                 {"data//x.raw", 1}, {"empty.raw", 2}, {"", -1}};
    for (const auto& c : cases) EXPECT_EQ(r.load(c.name), c.index) << c.name;
    Mixer& m = r.native<AudioMixer>(r.mixer).mixer();
    m.play(0);
    Samples out(3);
    m.mix(out.data(), 3);
    EXPECT_EQ(out, Samples({0x0201, 0x0403, 0}));  // the fifth byte is no sample
}

TEST(MixerCalls, FailuresAreVmErrors) {
    MixerRig r;
    const TInt32 empty = TInt32(r.object()), notMixer = TInt32(r.object());
    r.vm.memory().writeWord(VMAddr(notMixer) + 4, r.vm.memory().readWord(r.string("x")));
    const struct {
        TInt32 function;
        std::vector<TInt32> args;
        std::string failure;
    } cases[] = {
        {4, {0, 0}, "1: NullPointerException: NULL pointer"},
        {4, {empty, 0}, "10: VMException: Invalid TYPEID"},
        {7, {notMixer, 0}, "10: VMException: Invalid TYPEID"},
        {2, {TInt32(r.mixer), 0}, "1: NullPointerException: NULL pointer"},
        {1, {0}, "1: NullPointerException: NULL pointer"},
        {6, {TInt32(r.mixer), 0}, "10: VMException: Stack underflow"},
        {0, {}, "11: UnknownException (CODE:11) / AudioMixer: Unknown opcode!"},
        {10, {TInt32(r.mixer)}, "11: UnknownException (CODE:11) / AudioMixer: Unknown opcode!"},
    };
    for (const auto& c : cases) EXPECT_EQ(r.failure(30, c.function, c.args), c.failure) << "function " << c.function;
}

// --- through a sound server --------------------------------------------------------

namespace {
// A mixer of the rig on the in-process sound server, with the sounds loaded as channels 0 up.
TInt32 mixerWith(Rig& r, const std::vector<Samples>& sounds) {
    const TInt32 m = TInt32(r.object());
    r.call(30, 1, {m});
    for (size_t i = 0; i < sounds.size(); ++i) {
        std::string name = "s" + std::to_string(i) + ".raw";
        r.write(name, sounds[i]);
        r.call(30, 2, {m, TInt32(r.string(name.c_str()))});
    }
    return m;
}
}  // namespace

// The two starts are two calls: the sound thread may mix a block between them,
// so the second channel may start a little later than the first.
TEST(MixerSink, TwoChannelsPlayTheOfflineMixBitForBitThenSilence) {
    PulseServer server(AudioMixer::kRate);
    if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
    server.useInProcess();
    Rig r;
    const Samples a = tone(8000, 97), b = tone(6000, 31);
    Capture capture(server);
    ASSERT_TRUE(capture.recording());
    const TInt32 m = mixerWith(r, {a, b});
    ASSERT_TRUE(r.native<AudioMixer>(VMAddr(m)).isPlaying());
    r.call(30, 6, {m, 1, 128});
    r.call(30, 4, {m, 0});
    r.call(30, 4, {m, 1});
    const size_t n = a.size() + 8000;
    ASSERT_TRUE(capture.waitForSound(n));
    const Samples heard = slice(capture.samples(), capture.firstSound(), n);
    size_t delay = 0;
    while (delay < a.size() && heard[delay] == a[delay]) ++delay;
    EXPECT_LT(delay, 4000u) << "the second start came late";
    Mixer offline;
    playing(offline, a);
    Samples expected = mixed(offline, delay);
    playing(offline, b, 128);
    Samples rest = mixed(offline, n - delay);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(heard, expected);
    EXPECT_TRUE(silent(slice(heard, std::max(a.size(), b.size() + delay), n)));
}

TEST(MixerSink, AStopMidSoundFadesToSilenceWithin160Samples) {
    PulseServer server(AudioMixer::kRate);
    if (!server.up()) GTEST_SKIP() << "no PulseAudio server could be started";
    server.useInProcess();
    Rig r;
    Capture capture(server);
    ASSERT_TRUE(capture.recording());
    const TInt32 m = mixerWith(r, {Samples(AudioMixer::kRate * 4, 1000)});
    r.call(30, 4, {m, 0});
    ASSERT_TRUE(capture.waitForSound(1000));
    r.call(30, 5, {m, 0});
    Mixer offline;
    TInt32 i = playing(offline, {1000});
    offline.stop(i);
    const Samples fade = mixed(offline, 160);
    ASSERT_TRUE(silent(slice(fade, 100, 60)));

    const size_t start = capture.firstSound();
    ASSERT_TRUE(capture.waitForSamples(start + AudioMixer::kRate));  // a second more
    Samples heard = slice(capture.samples(), start, AudioMixer::kRate);
    size_t played = 0;
    while (played < heard.size() && heard[played] == 1000) ++played;
    EXPECT_LT(played, size_t(AudioMixer::kRate) / 2) << "the stop came late";
    EXPECT_EQ(slice(heard, played, fade.size()), fade);
    EXPECT_TRUE(silent(slice(heard, played + fade.size(), heard.size())));
}
