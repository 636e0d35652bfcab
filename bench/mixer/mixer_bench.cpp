// Mixes 1, 8 and 32 playing channels in the blocks the sound server asks for
// and times it in process CPU time per second of output, beside a plain loop
// that computes the same samples (volume x sample summed in 32 bits, scaled and
// clamped) with no channel state, lock or fade. Lines: mix_N PLAYER_SECONDS
// REFERENCE_SECONDS RATIO, seconds of CPU per second of audio.
#include "extensions/AudioMixer.h"
#include "extensions/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace mcb {

namespace {

constexpr size_t kBlock = 1120;  // samples per request of a 2240-byte buffer
constexpr size_t kSoundSamples = size_t(AudioMixer::kRate) * 10;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<TInt16> sound(size_t channel) {
    std::vector<TInt16> s(kSoundSamples);
    for (size_t i = 0; i < s.size(); ++i) s[i] = TInt16(int((i * (31 + channel * 7)) % 16000) - 8000);
    return s;
}

// Keeps the compiler from dropping work whose output nothing reads.
volatile TInt64 gSink = 0;
void consume(const std::vector<TInt16>& out) {
    TInt64 sum = 0;
    for (TInt16 v : out) sum += v;
    gSink = gSink + sum;
}

// CPU seconds of the mixer for `seconds` of output.
double timeMixer(size_t channels, double seconds) {
    Mixer mixer;
    for (size_t c = 0; c < channels; ++c) {
        TInt32 i = mixer.add(sound(c));
        mixer.setVolume(i, TInt32(160 + c));
        mixer.play(i);
    }
    std::vector<TInt16> out(kBlock);
    const size_t blocks = size_t(seconds * AudioMixer::kRate) / kBlock;
    size_t played = 0;
    const double start = cpuSeconds();
    for (size_t b = 0; b < blocks; ++b) {
        if ((played += kBlock) + kBlock > kSoundSamples) {
            for (size_t c = 0; c < channels; ++c) mixer.play(TInt32(c));  // from the start again
            played = 0;
        }
        mixer.mix(out.data(), kBlock);
        consume(out);
    }
    return cpuSeconds() - start;
}

// The same output, computed plainly.
double timeReference(size_t channels, double seconds) {
    std::vector<std::vector<TInt16>> sounds;
    std::vector<TInt32> volumes;
    for (size_t c = 0; c < channels; ++c) {
        sounds.push_back(sound(c));
        volumes.push_back(TInt32(160 + c));
    }
    std::vector<TInt32> sums(kBlock);
    std::vector<TInt16> out(kBlock);
    const size_t blocks = size_t(seconds * AudioMixer::kRate) / kBlock;
    size_t position = 0;
    const double start = cpuSeconds();
    for (size_t b = 0; b < blocks; ++b) {
        if (position + kBlock > kSoundSamples) position = 0;
        std::fill(sums.begin(), sums.end(), 0);
        for (size_t c = 0; c < channels; ++c) {
            const TInt16* s = sounds[c].data() + position;
            const TInt16 volume = TInt16(volumes[c]);
            for (size_t i = 0; i < kBlock; ++i) sums[i] += TInt32(volume) * s[i];
        }
        for (size_t i = 0; i < kBlock; ++i) out[i] = TInt16(std::clamp(sums[i] >> 8, -32768, 32767));
        position += kBlock;
        consume(out);
    }
    return cpuSeconds() - start;
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    double minSeconds = argc > 1 ? std::atof(argv[1]) : 0.5;
    for (size_t channels : {1, 8, 32}) {
        // Enough audio that the faster side runs minSeconds; best of three.
        double audio = 60;
        double probe = std::min(timeMixer(channels, audio), timeReference(channels, audio));
        audio *= std::max(1.0, minSeconds / std::max(probe, 1e-3));
        double player = INFINITY, reference = INFINITY;
        for (int run = 0; run < 3; ++run) {
            player = std::min(player, timeMixer(channels, audio) / audio);
            reference = std::min(reference, timeReference(channels, audio) / audio);
        }
        std::printf("mix_%zu %.6f %.6f %.2f\n", channels, player, reference, player / reference);
        std::fflush(stdout);
    }
    return 0;
}
