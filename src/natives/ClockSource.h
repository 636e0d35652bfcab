// Where the natives read the time of day and the random generator's seed: the
// system's clocks, unless the host fixes them (a replayed run reads the clock
// of its recording, so that it computes what the recorded run computed).
#pragma once

#include "foundation/Types.h"

#include <functional>
#include <optional>

namespace mcb {

namespace natives {

// Milliseconds since the epoch; an empty function restores the system clock.
void setWallClock(std::function<TInt64()> clock);
TInt64 wallClockMillis();

// The seed of the random generator made on first use; none: the process clock.
// Setting it also drops a generator already made, so the next machine's
// generator starts from it.
void setRandomSeed(std::optional<TUint32> seed);
std::optional<TUint32> randomSeed();
// Changes with every setRandomSeed (the generator's owner compares it).
TUint32 randomSeedGeneration();

}  // namespace natives

}  // namespace mcb
