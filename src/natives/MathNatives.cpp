// The Math native group (26): elementary functions and angle conversions of
// fixed values (FixedMath), minimum and maximum, random numbers and constants.
#include "natives/ClockSource.h"
#include "natives/CMersenneTwister.h"
#include "natives/FixedMath.h"
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

#include <memory>

namespace {
using namespace numeric;

// The machine of a thread is the thread's only one, so the thread's generator
// is the machine's; it is seeded from the clock on first use.
CMersenneTwister& generator() {
    thread_local std::unique_ptr<CMersenneTwister> t;
    thread_local TUint32 generation = 0;
    if (!t || generation != natives::randomSeedGeneration()) {
        generation = natives::randomSeedGeneration();
        t = std::make_unique<CMersenneTwister>(CMersenneTwister::fromClock());
    }
    return *t;
}

template <TInt32 (*f)(TInt32, TInt32)>
void ints(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(f(a.word(0), a.word(1)));
}

void randomInt(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(fixedmath::randomInt(generator(), a.word(0), a.word(1)));
}

void randomFixed(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    resultFixed(a, fixedmath::randomFixed(generator(), fixedArg(a, 0), fixedArg(a, 2)));
}

using namespace fixedmath;
constexpr NativeBodies kMath = byNumber({
    {1, fixedUnary<sine>}, {2, fixedUnary<cosine>}, {3, fixedUnary<tangent>}, {4, fixedUnary<arcSine>},
    {5, fixedUnary<arcCosine>}, {6, fixedUnary<arcTangent>}, {7, fixedUnary<radiansToDegrees>},
    {8, fixedUnary<degreesToRadians>}, {9, fixedUnary<squareRoot>}, {10, fixedBinary<logarithm>},
    {11, fixedUnary<naturalLogarithm>}, {12, randomInt}, {13, randomFixed},
    {14, ints<minimumByte>}, {15, ints<minimumInt>}, {16, fixedBinary<minimumFixed>},
    {17, ints<maximumByte>}, {18, ints<maximumInt>}, {19, fixedBinary<maximumFixed>},
    {20, fixedConstant<ORaw::E>}, {21, fixedConstant<ORaw::PI>}, {22, fixedConstant<ORaw::EPSILON>},
});
}  // namespace

void mathNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 26, function, kMath); }
