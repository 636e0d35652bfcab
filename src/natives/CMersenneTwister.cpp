// MT19937 regeneration and tempering over the 624-word state.
#include "natives/CMersenneTwister.h"
#include "natives/ClockSource.h"

#include <ctime>

namespace mcb {

namespace {
constexpr TInt32 KShift = 397;
constexpr TUint32 KMatrix = 0x9908B0DFu;
constexpr TUint32 KUpperBit = 0x80000000u;
constexpr TUint32 KLowerBits = 0x7FFFFFFFu;
}  // namespace

CMersenneTwister::CMersenneTwister(TUint32 seed) {
    iState[0] = seed;
    for (TInt32 i = 1; i < KStateWords; ++i) iState[i] = 69069u * iState[i - 1];
}

CMersenneTwister::CMersenneTwister(const State& state) : iState(state) {}

CMersenneTwister CMersenneTwister::fromClock() {
    return CMersenneTwister(natives::randomSeed().value_or(TUint32(std::clock())));
}

void CMersenneTwister::regenerate() {
    for (TInt32 i = 0; i < KStateWords; ++i) {
        const TUint32 y = (iState[i] & KUpperBit) | (iState[(i + 1) % KStateWords] & KLowerBits);
        iState[i] = iState[(i + KShift) % KStateWords] ^ (y >> 1) ^ ((y & 1) ? KMatrix : 0);
    }
}

TUint32 CMersenneTwister::next() {
    if (iIndex == 0) regenerate();
    TUint32 y = iState[iIndex];
    iIndex = (iIndex + 1) % KStateWords;
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

}  // namespace mcb
