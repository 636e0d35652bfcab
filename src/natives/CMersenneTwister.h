// CMersenneTwister: the random generator of a virtual machine, an MT19937
// generator whose state is filled from one seed word by the 69069 recurrence.
#pragma once

#include "foundation/Types.h"

#include <array>

namespace mcb {

class CMersenneTwister {
public:
    static constexpr TInt32 KStateWords = 624;
    using State = std::array<TUint32, KStateWords>;

    // Word 0 is the seed, word i is 69069 * word i-1 (mod 2^32).
    explicit CMersenneTwister(TUint32 seed);
    // Starts from a full state; the first output regenerates it.
    explicit CMersenneTwister(const State& state);

    // Seeded from the process clock, as the virtual machine makes it on first use.
    static CMersenneTwister fromClock();

    TUint32 next();

private:
    void regenerate();

    State iState{};
    TInt32 iIndex = 0;  // 0: the state is regenerated before the next output
};

}  // namespace mcb
