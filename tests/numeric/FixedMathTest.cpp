// Math group functions: results through double precision, domain errors, the
// angle conversions with their thresholds, minimum and maximum, random numbers.
#include "NumericTestSupport.h"
#include "natives/CMersenneTwister.h"
#include "natives/FixedMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace fixedmath;

namespace {
constexpr long double KPi = std::numbers::pi_v<long double>;

TInt32 mathError(void (*body)()) { return raisedBy(body).code; }

long double asReal(ORaw v) { return (long double)v.raw() / 4294967296.0L; }

// Within a few units of the last fraction bit of the exact value.
void expectNear(ORaw got, long double exact, long double tolerance = 4.0L / 4294967296.0L) {
    EXPECT_LE(std::fabs(asReal(got) - exact), tolerance) << asReal(got) << " vs " << exact;
}

// The conversion constants carry 32 fraction bits, so products drift a little.
constexpr long double KAngleTolerance = 1e-7L;
}  // namespace

TEST(FixedMath, ElementaryFunctionsAtTheirEdges) {
    expectNear(sine(ORaw::PI), 0);
    expectNear(tangent(fx(1)), std::tan(1.0L));
    expectNear(arcSine(fx(1)), KPi / 2);
    expectNear(arcCosine(fx(-1)), KPi);
    EXPECT_EQ(squareRoot(fx(16)), fx(4));
    EXPECT_EQ(naturalLogarithm(fx(1)), ORaw::ZERO);
}

TEST(FixedMath, MatchLongDoubleOverRandomArguments) {
    OperandSource source(8);
    for (int i = 0; i < 5000; ++i) {
        const ORaw x = ORaw::fromRaw(source.next().raw() >> 8);  // |x| below 2^23
        const long double r = asReal(x);
        expectNear(sine(x), std::sin(r));
        expectNear(cosine(x), std::cos(r));
        expectNear(arcTangent(x), std::atan(r));
        if (!x.isNegative()) expectNear(squareRoot(x), std::sqrt(r));
        if (x > ORaw::ZERO) expectNear(naturalLogarithm(x), std::log(r));
    }
}

TEST(FixedMath, DomainErrors) {
    EXPECT_EQ(mathError([] { arcSine(fx(1) + ORaw::EPSILON); }), vmerr::Math);
    EXPECT_EQ(mathError([] { arcSine(fx(-1) - ORaw::EPSILON); }), vmerr::Math);
    EXPECT_EQ(mathError([] { arcCosine(fx(2)); }), vmerr::Math);
    EXPECT_EQ(mathError([] { squareRoot(-ORaw::EPSILON); }), vmerr::Math);
    EXPECT_EQ(mathError([] { naturalLogarithm(ORaw::ZERO); }), vmerr::Math);
    EXPECT_EQ(mathError([] { sine(ORaw::MAX); }), 0);
    EXPECT_EQ(raisedBy([] { squareRoot(fx(-4)); }).text, "MathException");
    // pi/2 in fixed point is close enough for tan to pass 2^31.
    const ORaw halfPi = ORaw::divide(ORaw::PI, fx(2));
    EXPECT_EQ(raisedBy([&] { tangent(halfPi); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([&] { tangent(-halfPi); }).code, vmerr::Math);
}

TEST(FixedMath, LogarithmToABase) {
    EXPECT_EQ(logarithm(fx(-3), fx(-3)), fx(1));
    expectNear(logarithm(fx(8), fx(2)), 3);
    expectNear(logarithm(fx(2), fx(0, 0x80000000)), -1);
    for (ORaw base : {ORaw::ZERO, fx(1), fx(-1)}) {
        EXPECT_EQ(raisedBy([&] { logarithm(fx(5), base); }).code, vmerr::Math);
        EXPECT_EQ(raisedBy([&] { logarithm(base, base); }).code, vmerr::Math);
    }
    EXPECT_EQ(raisedBy([] { logarithm(fx(-8), fx(2)); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([] { logarithm(fx(8), fx(-2)); }).code, vmerr::Math);
    EXPECT_EQ(logarithm(ORaw::ZERO, fx(2)), ORaw::MIN);  // ln 0 is -infinity, held as MIN
}

TEST(FixedMath, AngleConversionsAndTheirThresholds) {
    expectNear(radiansToDegrees(ORaw::PI), 180, KAngleTolerance);
    const ORaw fullTurn = radiansToDegrees(KTwoPi);
    expectNear(fullTurn, 360, KAngleTolerance);
    // A little beyond 2 pi still gives the full turn, with the argument's sign.
    EXPECT_EQ(radiansToDegrees(fx(6, 0x487EFFFF)), fullTurn);
    EXPECT_EQ(radiansToDegrees(fx(-7, ~0x487EFFFFu + 1)), -fullTurn);
    EXPECT_EQ(raisedBy([] { radiansToDegrees(fx(6, 0x487F0000)); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([] { radiansToDegrees(ORaw::MIN); }).code, vmerr::Math);
    expectNear(degreesToRadians(fx(180)), KPi, KAngleTolerance);
    EXPECT_EQ(degreesToRadians(fx(-360)), -degreesToRadians(fx(360)));
    EXPECT_EQ(raisedBy([] { degreesToRadians(fx(360) + ORaw::EPSILON); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([] { degreesToRadians(fx(-361)); }).code, vmerr::Math);
}

TEST(FixedMath, MinimumAndMaximum) {
    EXPECT_EQ(minimumByte(0x17F, 0x80), -128);  // 127 and -128 by their low bytes
    EXPECT_EQ(maximumByte(0x17F, 0x80), 127);
    EXPECT_EQ(maximumInt(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(minimumFixed(ORaw::MIN, fx(0)), ORaw::MIN);
    EXPECT_EQ(maximumFixed(ORaw::EPSILON, ORaw::ZERO), ORaw::EPSILON);
}

TEST(FixedMath, RandomIntTakesBoundsInEitherOrderAndTheWholeRange) {
    CMersenneTwister a(99), b(99), reference(99);
    for (int i = 0; i < 5000; ++i) {
        const TInt32 x = randomInt(a, 5, 1);
        ASSERT_EQ(x, randomInt(b, 1, 5));
        ASSERT_EQ(x, TInt32(1 + reference.next() % 5));
    }
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(randomInt(a, INT32_MIN, INT32_MAX), TInt32(INT32_MIN + TInt64(reference.next())));
    EXPECT_EQ(randomInt(a, 42, 42), 42);
}

TEST(FixedMath, RandomFixedCoversTheBoundsUniformly) {
    CMersenneTwister mt(3);
    const ORaw lo = fx(-2), hi = fx(3);
    int buckets[5] = {};
    for (int i = 0; i < 50000; ++i) {
        const ORaw v = randomFixed(mt, hi, lo);
        ASSERT_GE(v, lo);
        ASSERT_LE(v, hi);
        ++buckets[std::min(4, v.floor() + 2)];
    }
    for (int count : buckets) EXPECT_NEAR(count, 10000, 600);
    EXPECT_EQ(randomFixed(mt, ORaw::PI, ORaw::PI), ORaw::PI);
    for (int i = 0; i < 1000; ++i) randomFixed(mt, ORaw::MIN, ORaw::MAX);  // the draw must not overflow
}
