// The Math native group (26): elementary functions and angle conversions of
// fixed values (FixedMath), minimum and maximum, random numbers and constants.
#include "natives/ClockSource.h"
#include "natives/CMersenneTwister.h"
#include "natives/FixedMath.h"
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

#include <memory>

namespace mcb {

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
constexpr natives::Function kMath[] = {
    {1, "sin", fixedUnary<sine>},
    {2, "cos", fixedUnary<cosine>},
    {3, "tan", fixedUnary<tangent>},
    {4, "asin", fixedUnary<arcSine>},
    {5, "acos", fixedUnary<arcCosine>},
    {6, "atan", fixedUnary<arcTangent>},
    {7, "to_degrees", fixedUnary<radiansToDegrees>},
    {8, "to_radians", fixedUnary<degreesToRadians>},
    {9, "sqrt", fixedUnary<squareRoot>},
    {10, "log_base", fixedBinary<logarithm>},
    {11, "ln", fixedUnary<naturalLogarithm>},
    {12, "random_int", randomInt},
    {13, "random_fixed", randomFixed},
    {14, "min_byte", ints<minimumByte>},
    {15, "min_int", ints<minimumInt>},
    {16, "min_fixed", fixedBinary<minimumFixed>},
    {17, "max_byte", ints<maximumByte>},
    {18, "max_int", ints<maximumInt>},
    {19, "max_fixed", fixedBinary<maximumFixed>},
    {20, "e", fixedConstant<ORaw::E>},
    {21, "pi", fixedConstant<ORaw::PI>},
    {22, "epsilon", fixedConstant<ORaw::EPSILON>},
};
}  // namespace

std::span<const natives::Function> mathFunctions() { return kMath; }

}  // namespace mcb
