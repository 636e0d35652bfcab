// The functions behind the Math native group: elementary functions of fixed
// values through double precision, angle conversions with fixed constants,
// minimum and maximum, and random numbers. Domain errors raise VM error 8.
#pragma once

#include "foundation/ORaw.h"
#include "foundation/Types.h"

namespace mcb {

class CMersenneTwister;

namespace fixedmath {
// 2π, 180/π and π/180 as the fixed values the conversions use.
inline constexpr ORaw KTwoPi = ORaw::fromParts(6, 0x487ED511);
inline constexpr ORaw KRadiansToDegrees = ORaw::fromParts(57, 0x4BB834C7);
inline constexpr ORaw KDegreesToRadians = ORaw::fromParts(0, 0x0477D1A8);
// Up to this size, an angle a little beyond 2π still converts as 2π.
inline constexpr ORaw KTwoPiTolerance = ORaw::fromParts(6, 0x487EFFFF);

ORaw sine(ORaw x);
ORaw cosine(ORaw x);
ORaw tangent(ORaw x);
ORaw arcSine(ORaw x);
ORaw arcCosine(ORaw x);
ORaw arcTangent(ORaw x);
ORaw radiansToDegrees(ORaw x);
ORaw degreesToRadians(ORaw x);
ORaw squareRoot(ORaw x);
ORaw logarithm(ORaw x, ORaw base);
ORaw naturalLogarithm(ORaw x);

// Inclusive bounds, given in either order.
TInt32 randomInt(CMersenneTwister& generator, TInt32 lo, TInt32 hi);
ORaw randomFixed(CMersenneTwister& generator, ORaw lo, ORaw hi);

// Bytes compare as their low 8 bits, signed.
TInt32 minimumByte(TInt32 a, TInt32 b);
TInt32 maximumByte(TInt32 a, TInt32 b);
inline TInt32 minimumInt(TInt32 a, TInt32 b) { return a < b ? a : b; }
inline TInt32 maximumInt(TInt32 a, TInt32 b) { return a > b ? a : b; }
inline ORaw minimumFixed(ORaw a, ORaw b) { return a < b ? a : b; }
inline ORaw maximumFixed(ORaw a, ORaw b) { return a > b ? a : b; }
}  // namespace fixedmath

}  // namespace mcb
