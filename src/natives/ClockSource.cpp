// The clocks the natives read, and the host's override of them.
#include "natives/ClockSource.h"

#include <QDateTime>

namespace mcb {

namespace natives {
namespace {
std::function<TInt64()> gWallClock;
std::optional<TUint32> gSeed;
TUint32 gGeneration = 0;
}  // namespace

void setWallClock(std::function<TInt64()> clock) { gWallClock = std::move(clock); }

TInt64 wallClockMillis() { return gWallClock ? gWallClock() : QDateTime::currentMSecsSinceEpoch(); }

void setRandomSeed(std::optional<TUint32> seed) {
    gSeed = seed;
    ++gGeneration;
}

TUint32 randomSeedGeneration() { return gGeneration; }

std::optional<TUint32> randomSeed() { return gSeed; }

}  // namespace natives

}  // namespace mcb
