// Mixer: the channel table of an audio mixer and the mixing of its playing
// channels into one stream of 16-bit samples. Pure: no sound server here, so
// tests and benchmarks call mix() directly. One mutex guards the table; the
// sound thread takes it in mix(), the machine's thread in every other call.
#pragma once

#include "foundation/Types.h"

#include <memory>
#include <mutex>
#include <vector>

namespace mcb {

class Mixer {
public:
    static constexpr TInt32 kUnity = 256;
    // A stopped channel's last level falls to 0.01 over this many samples.
    static constexpr TInt32 kFadeSamples = 160;
    // Beyond this many channels the sums could leave 64 bits; further loads fail.
    static constexpr size_t kMaxChannels = 65536;

    // A new stopped channel at unity volume; its index, or -1 when the table is full.
    TInt32 add(std::vector<TInt16> samples);
    // Indices the table does not hold are ignored (volume() answers 0).
    void play(TInt32 index);
    void stop(TInt32 index);
    void setVolume(TInt32 index, TInt32 volume);
    TInt32 volume(TInt32 index) const;

    // The next `n` output samples.
    void mix(TInt16* out, size_t n);

    size_t channels() const;
    size_t sampleBytes() const;

private:
    struct Channel {
        std::vector<TInt16> samples;
        size_t position = 0;
        TInt32 volume = kUnity;
        // The volume as 16 bits where it fits: the multiply of 16-bit values
        // vectorises well, and nearly every volume fits.
        TInt16 volume16 = kUnity;
        bool fits16 = true;
        bool playing = false;
    };
    Channel* channel(TInt32 index) const;
    void addToFade(double value);
    // Whether this block's sums all fit 32 bits (the usual case, and the fast one).
    bool fits32() const;
    template <typename Sum>
    void mixInto(std::vector<Sum>& sums, TInt16* out, size_t n);
    template <typename Sum>
    void fadeInto(Sum* sums, size_t n);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Channel>> channels_;
    double fadeLevel_ = 0;
    double decay_ = 0;
    // Scratch of mix(): sums before scaling, and where channels ran out.
    std::vector<TInt32> sums32_;
    std::vector<TInt64> sums64_;
    std::vector<size_t> ends_;
};

}  // namespace mcb
