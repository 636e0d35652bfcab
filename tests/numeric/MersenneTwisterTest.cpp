// The random generator: MT19937 outputs against the published reference and
// against the library engine loaded with the 69069-seeded state.
#include "natives/CMersenneTwister.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {
// The reference seeding of MT19937, under which seed 5489 has published outputs.
CMersenneTwister::State referenceState(TUint32 seed) {
    CMersenneTwister::State s{};
    s[0] = seed;
    for (TUint32 i = 1; i < s.size(); ++i) s[i] = 1812433253u * (s[i - 1] ^ (s[i - 1] >> 30)) + i;
    return s;
}

// A library engine about to regenerate from the given state.
std::mt19937 libraryEngine(const CMersenneTwister::State& state) {
    std::stringstream text;
    for (TUint32 word : state) text << word << ' ';
    text << state.size();
    std::mt19937 engine;
    text >> engine;
    return engine;
}
}  // namespace

TEST(MersenneTwister, PublishedOutputsForSeed5489) {
    CMersenneTwister mt(referenceState(5489));
    const TUint32 first[] = {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u};
    for (TUint32 expected : first) EXPECT_EQ(mt.next(), expected);
    for (int i = 5; i < 9999; ++i) mt.next();
    EXPECT_EQ(mt.next(), 4123659995u);  // the 10000th output
}

TEST(MersenneTwister, SeedFillsTheStateBy69069) {
    for (TUint32 seed : {0u, 4357u, 0xDEADBEEFu}) {
        CMersenneTwister::State state{};
        state[0] = seed;
        for (TUint32 i = 1; i < state.size(); ++i) state[i] = 69069u * state[i - 1];
        CMersenneTwister mt(seed);
        std::mt19937 reference = libraryEngine(state);
        for (int i = 0; i < 3000; ++i) ASSERT_EQ(mt.next(), reference()) << seed << " #" << i;
    }
}

TEST(MersenneTwister, PublishedOutputsOfThe69069SeedingForSeed4357) {
    const TUint32 expected[] = {0xd13c8af5, 0xffc27482, 0x82a6958b, 0x21ac240a, 0x09110bba, 0xfe127bc0, 0xa02e7212};
    CMersenneTwister mt(4357);
    for (TUint32 value : expected) EXPECT_EQ(mt.next(), value);
}

TEST(MersenneTwister, ClockSeededGeneratorsRun) {
    CMersenneTwister mt = CMersenneTwister::fromClock();
    TUint32 any = 0;
    for (int i = 0; i < 1000; ++i) any |= mt.next();
    EXPECT_NE(any, 0u);
}
