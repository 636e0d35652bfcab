// The Math native group (26): elementary functions and angle conversions of
// fixed values (FixedMath), minimum and maximum, random numbers and constants.
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
    if (!t) t = std::make_unique<CMersenneTwister>(CMersenneTwister::fromClock());
    return *t;
}

template <ORaw (*f)(ORaw)>
void unary(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    resultFixed(a, f(fixedArg(a, 0)));
}

template <ORaw (*f)(ORaw, ORaw)>
void binary(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    resultFixed(a, f(fixedArg(a, 0), fixedArg(a, 2)));
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

template <const ORaw& value>
void constant(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    resultFixed(a, value);
}

using namespace fixedmath;
constexpr NativeBodies kMath = byNumber({
    {1, unary<sine>}, {2, unary<cosine>}, {3, unary<tangent>}, {4, unary<arcSine>},
    {5, unary<arcCosine>}, {6, unary<arcTangent>}, {7, unary<radiansToDegrees>},
    {8, unary<degreesToRadians>}, {9, unary<squareRoot>}, {10, binary<logarithm>},
    {11, unary<naturalLogarithm>}, {12, randomInt}, {13, randomFixed},
    {14, ints<minimumByte>}, {15, ints<minimumInt>}, {16, binary<minimumFixed>},
    {17, ints<maximumByte>}, {18, ints<maximumInt>}, {19, binary<maximumFixed>},
    {20, constant<ORaw::E>}, {21, constant<ORaw::PI>}, {22, constant<ORaw::EPSILON>},
});
}  // namespace

void mathNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 26, function, kMath); }
