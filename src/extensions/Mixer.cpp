// Mixing: each output sample is the sum of volume x sample over the playing
// channels plus the fading level of stopped ones, in 1/256 steps, clamped to
// 16 bits. Sums are 64-bit: 32-bit volumes times 16-bit samples over many
// channels would wrap in 32.
#include "extensions/Mixer.h"

#include <algorithm>
#include <cmath>

namespace mcb {

namespace {
// Bounds the fade level far above anything audible and far below where its
// 1/256 steps could leave 64 bits.
constexpr double kFadeLimit = 1099511627776.0;  // 2^40
}  // namespace

Mixer::Channel* Mixer::channel(TInt32 index) const {
    return index >= 0 && size_t(index) < channels_.size() ? channels_[size_t(index)].get() : nullptr;
}

TInt32 Mixer::add(std::vector<TInt16> samples) {
    auto c = std::make_unique<Channel>();
    c->samples = std::move(samples);
    std::lock_guard lock(mutex_);
    if (channels_.size() >= kMaxChannels) return -1;
    channels_.push_back(std::move(c));
    return TInt32(channels_.size() - 1);
}

void Mixer::play(TInt32 index) {
    std::lock_guard lock(mutex_);
    if (Channel* c = channel(index)) {
        c->position = 0;
        c->playing = true;
    }
}

// The sound does not break off: its next level, as it would have sounded,
// fades out instead.
void Mixer::stop(TInt32 index) {
    std::lock_guard lock(mutex_);
    Channel* c = channel(index);
    if (!c || !c->playing) return;
    const TInt64 next = c->position < c->samples.size() ? c->samples[c->position] : 0;
    addToFade(double(TInt64(c->volume) * next) / kUnity);
    c->playing = false;
}

void Mixer::setVolume(TInt32 index, TInt32 volume) {
    std::lock_guard lock(mutex_);
    if (Channel* c = channel(index)) {
        c->volume = volume;
        c->fits16 = volume >= INT16_MIN && volume <= INT16_MAX;
        c->volume16 = c->fits16 ? TInt16(volume) : 0;
    }
}

TInt32 Mixer::volume(TInt32 index) const {
    std::lock_guard lock(mutex_);
    const Channel* c = channel(index);
    return c ? c->volume : 0;
}

size_t Mixer::channels() const {
    std::lock_guard lock(mutex_);
    return channels_.size();
}

size_t Mixer::sampleBytes() const {
    std::lock_guard lock(mutex_);
    size_t bytes = 0;
    for (const auto& c : channels_) bytes += c->samples.size() * sizeof(TInt16);
    return bytes;
}

// Recomputing the decay whenever the level changes makes every fade reach 0.01
// kFadeSamples samples after its last change.
void Mixer::addToFade(double value) {
    fadeLevel_ = std::clamp(fadeLevel_ + value, -kFadeLimit, kFadeLimit);
    const double level = std::fabs(std::trunc(fadeLevel_));
    decay_ = level < 1 ? 0 : std::pow(0.01 / level, 1.0 / kFadeSamples);
}

bool Mixer::fits32() const {
    TInt64 bound = TInt64(std::fabs(fadeLevel_) + 1) * kUnity;
    for (const auto& c : channels_)
        if (c->playing) bound += std::abs(TInt64(c->volume)) * 32768;
    return bound < (TInt64(1) << 31);
}

void Mixer::mix(TInt16* out, size_t n) {
    std::lock_guard lock(mutex_);
    if (fits32()) mixInto(sums32_, out, n);
    else mixInto(sums64_, out, n);
}

// Channels are summed one after the other over the whole block, which keeps the
// inner loop plain; each output sample still sees the channels in index order.
template <typename Sum>
void Mixer::mixInto(std::vector<Sum>& sums, TInt16* out, size_t n) {
    if (sums.size() < n) sums.resize(n);
    Sum* sum = sums.data();
    std::fill_n(sum, n, 0);
    ends_.clear();
    for (const auto& c : channels_) {
        if (!c->playing) continue;
        const size_t m = std::min(n, c->samples.size() - c->position);
        const TInt16* s = c->samples.data() + c->position;
        if (sizeof(Sum) == 4 && c->fits16) {
            const TInt16 volume = c->volume16;
            for (size_t i = 0; i < m; ++i) sum[i] += Sum(TInt32(volume) * s[i]);
        } else {
            const Sum volume = c->volume;
            for (size_t i = 0; i < m; ++i) sum[i] += volume * s[i];
        }
        c->position += m;
        if (m < n) {  // ran out at output sample m
            c->playing = false;
            ends_.push_back(m);
        }
    }
    if (fadeLevel_ != 0) fadeInto(sum, n);  // nothing fades, and nothing can start to, within a block
    for (size_t i = 0; i < n; ++i) out[i] = TInt16(std::clamp<Sum>(sum[i] >> 8, -32768, 32767));
}

// The fade level decays once per output sample; a channel that ran out at a
// sample adds nothing to it but restarts its decay from there.
template <typename Sum>
void Mixer::fadeInto(Sum* sums, size_t n) {
    std::sort(ends_.begin(), ends_.end());
    size_t e = 0;
    for (size_t i = 0; i < n; ++i) {
        fadeLevel_ *= decay_;
        sums[i] += Sum(std::trunc(fadeLevel_)) * kUnity;
        bool ended = false;
        for (; e < ends_.size() && ends_[e] == i; ++e) ended = true;
        if (ended) addToFade(0);
    }
}

}  // namespace mcb
