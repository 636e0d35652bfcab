// Fixed arithmetic: conversions, saturating add, subtract and multiply, division,
// rounding and powers, checked against exact 128-bit and long double references.
#include "NumericTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FixedConversion, WordsAndReals) {
    const ORaw v = fx(-2, 0x80000000);  // -1.5
    EXPECT_EQ(v.raw(), -(TInt64(3) << 31));
    EXPECT_EQ(v.lowWord(), 0x80000000u);
    EXPECT_EQ(v.highWord(), 0xFFFFFFFEu);
    EXPECT_EQ(ORaw::fromWords(v.lowWord(), v.highWord()), v);
    EXPECT_DOUBLE_EQ(v.toReal(), -1.5);
    // From reals: truncated, saturated, NaN refused.
    EXPECT_EQ(ORaw::toFixed(-1.0 / 3.0).raw(), -TInt64(0x55555555));
    EXPECT_EQ(ORaw::toFixed(2147483647.5), fx(2147483647, 0x80000000));
    EXPECT_EQ(ORaw::toFixed(2147483648.0), ORaw::MAX);
    EXPECT_EQ(ORaw::toFixed(INFINITY), ORaw::MAX);
    EXPECT_EQ(ORaw::toFixed(-2147483648.0), ORaw::MIN);
    EXPECT_EQ(ORaw::toFixed(-INFINITY), ORaw::MIN);
    EXPECT_EQ(raisedBy([] { ORaw::toFixed(NAN); }).code, vmerr::Math);
}

TEST(FixedConversion, RoundCeilingFloorAtTheEdges) {
    EXPECT_EQ(fx(2, 0x80000000).round(), 3);    // 2.5
    EXPECT_EQ(fx(-3, 0x80000000).round(), -3);  // -2.5
    EXPECT_EQ(ORaw::MIN.round(), INT32_MIN);
    EXPECT_EQ(ORaw::MIN.ceiling(), INT32_MIN);
    // Beyond the int range the result stays at the largest int.
    EXPECT_EQ(ORaw::MAX.round(), INT32_MAX);
    EXPECT_EQ(ORaw::MAX.ceiling(), INT32_MAX);
    EXPECT_EQ(ORaw::MAX.floor(), INT32_MAX);
}

TEST(FixedConversion, RoundMatchesLongDoubleOverRandomOperands) {
    OperandSource source(11);
    for (int i = 0; i < 20000; ++i) {
        const ORaw a = source.next();
        const long double exact = (long double)a.raw() / 4294967296.0L;
        long double expected = exact < 0 ? -std::floor(-exact + 0.5L) : std::floor(exact + 0.5L);
        if (expected > INT32_MAX) expected = INT32_MAX;
        ASSERT_EQ(a.round(), TInt32(expected)) << a.raw();
        long double up = std::ceil(exact);
        if (up > INT32_MAX) up = INT32_MAX;
        ASSERT_EQ(a.ceiling(), TInt32(up)) << a.raw();
        ASSERT_EQ(a.floor(), TInt32(std::floor(exact))) << a.raw();
    }
}

TEST(FixedAddSubtract, NegationAndSumsSaturateAtTheExtremes) {
    EXPECT_EQ(-ORaw::MAX, ORaw::MIN);
    EXPECT_EQ(-ORaw::MIN, ORaw::MAX);
    EXPECT_EQ(ORaw::MIN.abs(), ORaw::MAX);
    EXPECT_EQ(fx(-2, 0x80000000).abs(), fx(1, 0x80000000));
    EXPECT_EQ(ORaw::MAX + ORaw::EPSILON, ORaw::MAX);
    EXPECT_EQ(ORaw::MIN - ORaw::EPSILON, ORaw::MIN);
    EXPECT_EQ(ORaw::ZERO - ORaw::MIN, ORaw::MAX);
    EXPECT_EQ(ORaw::MIN + ORaw::MAX, -ORaw::EPSILON);
    ORaw v = fx(5);
    v -= fx(7);
    EXPECT_EQ(v, fx(-2));
}

TEST(FixedAddSubtract, MatchExactArithmeticOverRandomOperands) {
    OperandSource source(1);
    for (int i = 0; i < 50000; ++i) {
        const ORaw a = source.next(), b = source.next();
        ASSERT_EQ(a + b, clampedExact(__int128(a.raw()) + b.raw())) << a.raw() << " " << b.raw();
        ASSERT_EQ(a - b, clampedExact(__int128(a.raw()) - b.raw())) << a.raw() << " " << b.raw();
    }
}

namespace {
// The product truncated toward zero on the magnitude, MIN counting as MAX.
ORaw exactProduct(ORaw a, ORaw b) {
    auto size = [](ORaw v) { return v == ORaw::MIN ? __int128(INT64_MAX) : __int128(v.raw() < 0 ? -__int128(v.raw()) : v.raw()); };
    const bool negative = a.isNegative() != b.isNegative();
    const __int128 product = (size(a) * size(b)) >> 32;
    if (product > INT64_MAX) return negative ? ORaw::MIN : ORaw::MAX;
    return ORaw::fromRaw(TInt64(negative ? -product : product));
}
}  // namespace

TEST(FixedMultiply, SaturatesWithTheSignOfTheProduct) {
    EXPECT_EQ(ORaw::MIN * fx(-2), ORaw::MAX);
    EXPECT_EQ(fx(65536) * fx(32768), ORaw::MAX);  // 2^31 is just out of range
    EXPECT_EQ(fx(65536) * fx(-32768), ORaw::MIN);
    EXPECT_EQ(ORaw::EPSILON * ORaw::EPSILON, ORaw::ZERO);
    EXPECT_EQ((-ORaw::EPSILON) * ORaw::toFixed(0.5), ORaw::ZERO);  // truncated toward zero
}

TEST(FixedMultiply, MatchesExactArithmeticOverRandomOperands) {
    OperandSource source(2);
    for (int i = 0; i < 50000; ++i) {
        const ORaw a = source.next(), b = source.next();
        ASSERT_EQ(a * b, exactProduct(a, b)) << a.raw() << " * " << b.raw();
    }
}

TEST(FixedDivide, ZeroDivisorAndSaturation) {
    const RaisedError e = raisedBy([] { ORaw::divide(fx(1), ORaw::ZERO); });
    EXPECT_EQ(e.code, vmerr::Math);
    EXPECT_EQ(e.text, "MathException");
    EXPECT_EQ(ORaw::divide(fx(-7), fx(2)), fx(-4, 0x80000000));
    EXPECT_EQ(ORaw::divide(fx(1), ORaw::EPSILON), ORaw::MAX);
    EXPECT_EQ(ORaw::divide(fx(-1), ORaw::EPSILON), ORaw::MIN);
    EXPECT_EQ(ORaw::divide(ORaw::MIN, fx(-1)), ORaw::MAX);
}

TEST(FixedDivide, StaysWithinDoublePrecisionOfTheExactQuotient) {
    OperandSource source(3);
    for (int i = 0; i < 50000; ++i) {
        const ORaw a = source.next(), b = source.next();
        if (b == ORaw::ZERO) continue;
        const __int128 exact = (__int128(a.raw()) * (__int128(1) << 32)) / b.raw();
        const ORaw expected = clampedExact(exact);
        const ORaw got = ORaw::divide(a, b);
        const long double tolerance =
            std::fabs((long double)expected.raw()) * 0x1p-51L + 2.0L;
        ASSERT_LE(std::fabs((long double)got.raw() - (long double)expected.raw()), tolerance)
            << a.raw() << " / " << b.raw();
    }
}

TEST(FixedPower, ZerosNegativeBasesAndSaturation) {
    EXPECT_EQ(ORaw::pow(ORaw::ZERO, ORaw::ZERO), fx(1));
    EXPECT_EQ(ORaw::pow(ORaw::ZERO, fx(3)), ORaw::ZERO);
    EXPECT_EQ(ORaw::pow(fx(-2), fx(3)), fx(-8));
    EXPECT_EQ(ORaw::pow(fx(-2), fx(-1)), ORaw::toFixed(-0.5));
    EXPECT_EQ(ORaw::pow(fx(4), ORaw::toFixed(0.5)), fx(2));
    EXPECT_EQ(ORaw::pow(fx(2), fx(40)), ORaw::MAX);
    EXPECT_EQ(ORaw::pow(fx(-2), fx(41)), ORaw::MIN);
    EXPECT_EQ(ORaw::pow(ORaw::EPSILON, fx(100)), ORaw::ZERO);  // underflow; its reciprocal saturates
    EXPECT_EQ(ORaw::pow(ORaw::EPSILON, fx(-100)), ORaw::MAX);
    EXPECT_EQ(ORaw::pow(-ORaw::EPSILON, fx(-101)), ORaw::MIN);
    EXPECT_EQ(raisedBy([] { ORaw::pow(fx(-8), ORaw::divide(fx(1), fx(3))); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([] { ORaw::pow(ORaw::ZERO, fx(-1)); }).code, vmerr::Math);
    EXPECT_EQ(raisedBy([] { ORaw::pow(fx(-1), ORaw::toFixed(0.5)); }).text, "MathException");
}

TEST(FixedPower, MatchesLongDoubleOverRandomOperands) {
    std::mt19937 engine(4);
    for (int i = 0; i < 20000; ++i) {
        const ORaw x = ORaw::fromRaw(TInt64(engine() % 0x1000000000ULL) - 0x800000000LL);
        const ORaw y = (i % 2) ? ORaw::fromInt(TInt32(engine() % 21) - 10)
                               : ORaw::fromRaw(TInt64(engine() % 0x600000000ULL) - 0x300000000LL);
        if (x == ORaw::ZERO || (x.isNegative() && (y.raw() & 0xFFFFFFFF))) continue;
        const long double base = std::fabs((long double)x.raw() / 4294967296.0L);
        const long double exponent = (long double)y.raw() / 4294967296.0L;
        long double expected = std::pow(base, exponent);
        if (x.isNegative() && (y.floor() & 1)) expected = -expected;
        const ORaw got = ORaw::pow(x, y);
        if (std::fabs(expected) >= 2147483648.0L) {
            ASSERT_EQ(got, expected > 0 ? ORaw::MAX : ORaw::MIN);
            continue;
        }
        const long double tolerance = std::fabs(expected) * 1e-13L * 4294967296.0L + 2.0L;
        ASSERT_LE(std::fabs((long double)got.raw() - expected * 4294967296.0L), tolerance)
            << x.raw() << " ^ " << y.raw();
    }
}
