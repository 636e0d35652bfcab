// Math group functions on fixed values. The elementary functions run in double
// precision and come back through ORaw::toFixed, so a NaN is a domain error.
#include "natives/FixedMath.h"

#include "foundation/VMError.h"
#include "natives/CMersenneTwister.h"

#include <cmath>
#include <utility>

namespace mcb {

namespace fixedmath {
namespace {
ORaw viaReal(double (*function)(double), ORaw x) { return ORaw::toFixed(function(x.toReal())); }

void requireUnitInterval(ORaw x) {
    if (x < -ORaw::ONE || x > ORaw::ONE) vmerr::raise(vmerr::Math);
}
}  // namespace

ORaw sine(ORaw x) { return viaReal(std::sin, x); }
ORaw cosine(ORaw x) { return viaReal(std::cos, x); }
ORaw arcTangent(ORaw x) { return viaReal(std::atan, x); }

ORaw tangent(ORaw x) {
    const ORaw result = viaReal(std::tan, x);
    if (result == ORaw::MAX || result == ORaw::MIN) vmerr::raise(vmerr::Math);
    return result;
}

ORaw arcSine(ORaw x) {
    requireUnitInterval(x);
    return viaReal(std::asin, x);
}

ORaw arcCosine(ORaw x) {
    requireUnitInterval(x);
    return viaReal(std::acos, x);
}

ORaw squareRoot(ORaw x) {
    if (x.isNegative()) vmerr::raise(vmerr::Math);
    return viaReal(std::sqrt, x);
}

ORaw radiansToDegrees(ORaw x) {
    const ORaw size = x.abs();
    if (size <= KTwoPi) return x * KRadiansToDegrees;
    if (size > KTwoPiTolerance) vmerr::raise(vmerr::Math);
    const ORaw fullTurn = KTwoPi * KRadiansToDegrees;
    return x.isNegative() ? -fullTurn : fullTurn;
}

ORaw degreesToRadians(ORaw x) {
    if (x.abs() > ORaw::fromInt(360)) vmerr::raise(vmerr::Math);
    return x * KDegreesToRadians;
}

ORaw logarithm(ORaw x, ORaw base) {
    if (base == ORaw::ZERO || base == ORaw::ONE || base == -ORaw::ONE) vmerr::raise(vmerr::Math);
    if (x == base) return ORaw::ONE;
    return ORaw::toFixed(std::log(x.toReal()) / std::log(base.toReal()));
}

ORaw naturalLogarithm(ORaw x) {
    if (x <= ORaw::ZERO) vmerr::raise(vmerr::Math);
    return viaReal(std::log, x);
}

TInt32 randomInt(CMersenneTwister& generator, TInt32 lo, TInt32 hi) {
    if (lo > hi) std::swap(lo, hi);
    const TInt64 span = TInt64(hi) - lo + 1;
    return TInt32(lo + TInt64(TUint64(generator.next()) % TUint64(span)));
}

ORaw randomFixed(CMersenneTwister& generator, ORaw lo, ORaw hi) {
    if (lo > hi) std::swap(lo, hi);
    const TUint64 span = TUint64(hi.raw()) - TUint64(lo.raw());
    const TUint64 high = generator.next();
    const TUint64 draw = (high << 32) | generator.next();
    // Scales a uniform 64-bit draw onto the span+1 values from lo to hi.
    const auto offset = TUint64((unsigned __int128)draw * ((unsigned __int128)span + 1) >> 64);
    return ORaw::fromRaw(TInt64(TUint64(lo.raw()) + offset));
}

TInt32 minimumByte(TInt32 a, TInt32 b) { return minimumInt(TInt8(a), TInt8(b)); }
TInt32 maximumByte(TInt32 a, TInt32 b) { return maximumInt(TInt8(a), TInt8(b)); }
}  // namespace fixedmath

}  // namespace mcb
