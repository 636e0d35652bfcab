// Numeric natives: fixed values (conversions, saturating arithmetic, powers, the
// math group, text) at the edges and against exact 128-bit, decimal and long double
// references over random operands; the random generator against published outputs
// (DateTime: DateTimeTest.cpp).
#include "foundation/ORaw.h"
#include "foundation/VMError.h"
#include "natives/CMersenneTwister.h"
#include "natives/FixedMath.h"

#include "../support/Outcome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace mcb {

using namespace fixedmath;

namespace {
ORaw fx(TInt32 integer, TUint32 fraction = 0) { return ORaw::fromParts(integer, fraction); }
ORaw parsed(const char* text) { return ORaw::parse(text); }
long double asReal(ORaw v) { return (long double)v.raw() / 4294967296.0L; }
constexpr long double KPi = std::numbers::pi_v<long double>;
constexpr long double KAngleTolerance = 1e-7L;  // the conversion constants carry 32 fraction bits

void expectNear(ORaw got, long double exact, long double tolerance = 4.0L / 4294967296.0L) {
    EXPECT_LE(std::fabs(asReal(got) - exact), tolerance) << asReal(got) << " vs " << exact;
}

ORaw clamped(__int128 v) { return v > INT64_MAX ? ORaw::MAX : v < INT64_MIN ? ORaw::MIN : ORaw::fromRaw(TInt64(v)); }

// Raw values of every magnitude, the extremes common enough to hit saturation.
ORaw operand(std::mt19937_64& e) {
    switch (e() % 8) {
    case 0: return ORaw::fromRaw(TInt64(e()));
    case 1: return ORaw::fromInt(TInt32(e()));
    case 2: return e() % 2 ? ORaw::MAX : ORaw::MIN;
    }
    const int shift = 1 + int(e() % 63);
    const TInt64 v = TInt64(e() >> shift);
    return ORaw::fromRaw(e() % 2 ? -v : v);
}

// The product truncated toward zero on the magnitude, MIN counting as MAX.
ORaw exactProduct(ORaw a, ORaw b) {
    auto size = [](ORaw v) {
        return v == ORaw::MIN ? __int128(INT64_MAX) : v.raw() < 0 ? -__int128(v.raw()) : __int128(v.raw());
    };
    const __int128 product = (size(a) * size(b)) >> 32;
    return a.isNegative() != b.isNegative() ? clamped(-product) : clamped(product);
}

// d decimals rounding on the next digit only, the largest integer keeping its nines;
// d < 0: the exact expansion, f / 2^32 = f * 5^32 / 10^32.
std::string decimalText(ORaw v, int d) {
    const unsigned __int128 size = v.isNegative() ? -(__int128)v.raw() : v.raw(), fraction = size & 0xFFFFFFFFu;
    TUint64 integer = TUint64(size >> 32);
    const int digits = d < 0 ? 32 : d;
    unsigned __int128 scale = 1, kept = fraction;
    for (int i = 0; i < digits; ++i) scale *= 10, kept *= d < 0 ? 5 : 1;
    if (d >= 0) kept = (fraction * scale) >> 32;
    if (d >= 0 && ((fraction * scale * 10) >> 32) % 10 >= 5 && ++kept == scale) {
        if (integer >= 2147483647u) kept = scale - 1;
        else kept = 0, ++integer;
    }
    std::string text(v.isNegative() ? "-" : ""), tail(size_t(digits), '0');
    text += std::to_string(integer);
    for (int i = digits - 1; i >= 0; --i, kept /= 10) tail[size_t(i)] = char('0' + int(kept % 10));
    if (d < 0) tail.erase(std::max<size_t>(1, tail.find_last_not_of('0') + 1));
    return digits ? text + "." + tail : text;
}

}  // namespace

// Conversions truncate and saturate; arithmetic saturates at the extremes; NaN, division
// by zero and powers without a real value are refused.
TEST(Fixed, ConversionsAndArithmeticAtTheEdges) {
    const ORaw v = fx(-2, 0x80000000);  // -1.5
    EXPECT_EQ(v.raw(), -(TInt64(3) << 31));
    EXPECT_DOUBLE_EQ(v.toReal(), -1.5);
    const std::pair<ORaw, ORaw> rows[] = {
        {ORaw::toFixed(-1.0 / 3.0), ORaw::fromRaw(-0x55555555)}, {ORaw::toFixed(2147483648.0), ORaw::MAX},
        {ORaw::toFixed(2147483647.5), fx(2147483647, 0x80000000)}, {ORaw::toFixed(-INFINITY), ORaw::MIN},
        {-ORaw::MIN, ORaw::MAX}, {ORaw::MIN.abs(), ORaw::MAX},
        {fx(65536) * fx(-32768), ORaw::MIN},                   // -2^31 - just out of range: MIN
        {(-ORaw::EPSILON) * ORaw::toFixed(0.5), ORaw::ZERO},  // truncated toward zero
        {ORaw::divide(fx(-7), fx(2)), fx(-4, 0x80000000)}, {ORaw::divide(fx(-1), ORaw::EPSILON), ORaw::MIN},
        {ORaw::divide(ORaw::MIN, fx(-1)), ORaw::MAX}, {ORaw::pow(ORaw::ZERO, ORaw::ZERO), fx(1)},
        {ORaw::pow(ORaw::ZERO, fx(3)), ORaw::ZERO}, {ORaw::pow(fx(-2), fx(-1)), ORaw::toFixed(-0.5)},
        {ORaw::pow(fx(4), ORaw::toFixed(0.5)), fx(2)}, {ORaw::pow(fx(-2), fx(41)), ORaw::MIN},
        {ORaw::pow(ORaw::EPSILON, fx(100)), ORaw::ZERO},  // underflow; its reciprocal saturates
        {ORaw::pow(-ORaw::EPSILON, fx(-101)), ORaw::MIN},
    };
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
    EXPECT_EQ(fx(2, 0x80000000).round(), 3);
    EXPECT_EQ(fx(-3, 0x80000000).round(), -3);  // -2.5
    expectAllRaise({{vmerr::Math, [] { ORaw::toFixed(NAN); }}, {vmerr::Math, [] { ORaw::divide(fx(1), ORaw::ZERO); }},
                    {vmerr::Math, [] { ORaw::pow(fx(-8), ORaw::divide(fx(1), fx(3))); }},
                    {vmerr::Math, [] { ORaw::pow(ORaw::ZERO, fx(-1)); }}});
}

TEST(Fixed, MatchesExactReferencesOverRandomOperands) {
    std::mt19937_64 e(1);
    for (int i = 0; i < 30000; ++i) {
        const ORaw a = operand(e), b = operand(e);
        SCOPED_TRACE(testing::Message() << a.raw() << ", " << b.raw() << ", iteration " << i);
        ASSERT_EQ(a + b, clamped(__int128(a.raw()) + b.raw()));
        ASSERT_EQ(a - b, clamped(__int128(a.raw()) - b.raw()));
        ASSERT_EQ(a * b, exactProduct(a, b));
        if (b != ORaw::ZERO) {  // within double precision of the exact quotient
            const long double q = clamped((__int128(a.raw()) << 32) / b.raw()).raw();
            ASSERT_LE(std::fabs(ORaw::divide(a, b).raw() - q), std::fabs(q) * 0x1p-51L + 2);
        }
        const long double exact = asReal(a), half = exact < 0 ? -std::floor(-exact + 0.5L) : std::floor(exact + 0.5L);
        ASSERT_EQ(a.round(), TInt32(std::min<long double>(INT32_MAX, half)));
        ASSERT_EQ(a.ceiling(), TInt32(std::min<long double>(INT32_MAX, std::ceil(exact))));
        ASSERT_EQ(a.floor(), TInt32(std::floor(exact)));
        ASSERT_EQ(a.format(-1), decimalText(a, -1));
        const int d = int(e() % 20);
        ASSERT_EQ(a.format(d), decimalText(a, d)) << d;
        const ORaw x = ORaw::fromRaw(b.raw() >> 8);  // |x| below 2^23
        expectNear(sine(x), std::sin(asReal(x)));
        expectNear(cosine(x), std::cos(asReal(x)));
        expectNear(arcTangent(x), std::atan(asReal(x)));
        if (!x.isNegative()) expectNear(squareRoot(x), std::sqrt(asReal(x)));
        if (x > ORaw::ZERO) expectNear(naturalLogarithm(x), std::log(asReal(x)));
        const ORaw base = ORaw::fromRaw(TInt64(e() % 0x1000000000ULL) - 0x800000000LL);  // powers
        const ORaw power = i % 2 ? ORaw::fromInt(TInt32(e() % 21) - 10)
                                 : ORaw::fromRaw(TInt64(e() % 0x600000000ULL) - 0x300000000LL);
        if (base != ORaw::ZERO && !(base.isNegative() && (power.raw() & 0xFFFFFFFF))) {
            long double expected = std::pow(std::fabs(asReal(base)), asReal(power));
            if (base.isNegative() && (power.floor() & 1)) expected = -expected;
            const ORaw got = ORaw::pow(base, power);
            if (std::fabs(expected) >= 2147483648.0L) {
                ASSERT_EQ(got, expected > 0 ? ORaw::MAX : ORaw::MIN);
            } else {
                ASSERT_LE(std::fabs(asReal(got) - expected), std::fabs(expected) * 1e-13L + 2 / 4294967296.0L);
            }
        }
        const TUint32 integer = e() % 2147483648u, k = 1 + e() % 9;  // decimals parse to their exact value
        TUint64 tenToK = 1;
        for (TUint32 j = 0; j < k; ++j) tenToK *= 10;
        const TUint64 numerator = e() % tenToK;
        std::string digits = std::to_string(numerator), text(i % 2 ? "-" : "");
        text.append(std::to_string(integer)).append(".").append(k - digits.size(), '0').append(digits);
        const __int128 value = (__int128(integer) << 32) + ((__int128(numerator) << 32) / tenToK);
        ASSERT_EQ(ORaw::parse(text), ORaw::fromRaw(TInt64(i % 2 ? -value : value))) << text;
    }
}

TEST(Fixed, MathFunctionsAtTheirEdgesAndDomainErrors) {
    expectNear(sine(ORaw::PI), 0);
    expectNear(tangent(fx(1)), std::tan(1.0L));
    expectNear(arcSine(fx(1)), KPi / 2);
    expectNear(arcCosine(fx(-1)), KPi);
    EXPECT_EQ(squareRoot(fx(16)), fx(4));
    EXPECT_EQ(naturalLogarithm(fx(1)), ORaw::ZERO);
    EXPECT_EQ(outcomeOf([] { sine(ORaw::MAX); }).code, 0);
    for (auto body : {+[] { arcSine(fx(1) + ORaw::EPSILON); }, +[] { arcSine(fx(-1) - ORaw::EPSILON); },
                      +[] { arcCosine(fx(2)); }, +[] { squareRoot(-ORaw::EPSILON); },
                      +[] { naturalLogarithm(ORaw::ZERO); }, +[] { tangent(ORaw::divide(ORaw::PI, fx(2))); },
                      +[] { tangent(-ORaw::divide(ORaw::PI, fx(2))); },  // pi/2 close enough to pass 2^31
                      +[] { logarithm(fx(5), fx(1)); }, +[] { logarithm(fx(5), ORaw::ZERO); },
                      +[] { logarithm(fx(-1), fx(-1)); }, +[] { logarithm(fx(-8), fx(2)); },
                      +[] { logarithm(fx(8), fx(-2)); }, +[] { radiansToDegrees(fx(6, 0x487F0000)); },
                      +[] { radiansToDegrees(ORaw::MIN); }, +[] { degreesToRadians(fx(360) + ORaw::EPSILON); },
                      +[] { degreesToRadians(fx(-361)); }})
        EXPECT_EQ(outcomeOf(body).code, vmerr::Math);
    EXPECT_EQ(outcomeOf([] { squareRoot(fx(-4)); }).text, "MathException");
    EXPECT_EQ(logarithm(fx(-3), fx(-3)), fx(1));
    expectNear(logarithm(fx(8), fx(2)), 3);
    expectNear(logarithm(fx(2), fx(0, 0x80000000)), -1);
    EXPECT_EQ(logarithm(ORaw::ZERO, fx(2)), ORaw::MIN);  // ln 0 is -infinity, held as MIN
    expectNear(radiansToDegrees(ORaw::PI), 180, KAngleTolerance);
    const ORaw fullTurn = radiansToDegrees(KTwoPi);
    expectNear(fullTurn, 360, KAngleTolerance);
    EXPECT_EQ(radiansToDegrees(fx(6, 0x487EFFFF)), fullTurn);  // a little beyond 2 pi: the full turn, signed
    EXPECT_EQ(radiansToDegrees(fx(-7, ~0x487EFFFFu + 1)), -fullTurn);
    expectNear(degreesToRadians(fx(180)), KPi, KAngleTolerance);
    EXPECT_EQ(degreesToRadians(fx(-360)), -degreesToRadians(fx(360)));
    EXPECT_EQ(maximumInt(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(minimumFixed(ORaw::MIN, fx(0)), ORaw::MIN);
    EXPECT_EQ(maximumFixed(ORaw::EPSILON, ORaw::ZERO), ORaw::EPSILON);
}

TEST(Fixed, ParseAndFormatEdgesAndErrors) {
    const TUint16 ideographicSpace[] = {0x3000, '4', '2'};
    EXPECT_EQ(ORaw::parse(ideographicSpace, 3), fx(42));
    for (const char* text : {"", "   ", ".5", "5.", "-", "+-", "-+1", "--1", "abc", "5.x"}) {
        const Outcome e = outcomeOf([&] { ORaw::parse(text); });
        EXPECT_EQ(e.code, vmerr::DataFormat) << '"' << text << '"';
        EXPECT_EQ(e.text, "DataFormatException: ") << '"' << text << '"';
    }
    EXPECT_EQ(outcomeOf([] { ORaw::parse(nullptr, 5); }).code, vmerr::DataFormat);
    const std::pair<const char*, ORaw> parses[] = {
        {" +-2.5", fx(-3, 0x80000000)}, {"+++7", fx(7)}, {"\t\n 0.5", fx(0, 0x80000000)}, {"1.5.5", fx(1, 0x80000000)},
        {"2147483648.", ORaw::MAX},  // saturation at once, before the point's check
        {"-2147483648", ORaw::MIN}, {"-3000000000", ORaw::MIN}, {"2147483647.5", fx(2147483647, 0x80000000)},
        {"99999999999999999999999999", ORaw::MAX},
        // Fraction digits count while the numerator fits (4294967295 does); many leading zeros change nothing.
        {"0.4294967295", fx(0, TUint32((4294967295ull << 32) / 10000000000ull))},
        {"0.42949672951234", parsed("0.4294967295")}, {"0.99999999999", parsed("0.999999999")},
        {"1.000000000000000000000000000000000000001", fx(1)}, {"1.0000000004294967295", fx(1, 1)},
    };
    for (const auto& [text, value] : parses) EXPECT_EQ(parsed(text), value) << text;
    EXPECT_EQ(ORaw::ZERO.format(-1), "0.0");
    EXPECT_EQ(parsed("9.96").format(1), "10.0");
    EXPECT_EQ(parsed("-0.001").format(0), "-0");
    EXPECT_EQ(ORaw::MAX.format(0), "2147483647");  // a carry at the largest integer keeps the nines
    EXPECT_EQ((-ORaw::MAX).format(3), "-2147483648.000");
    EXPECT_EQ(fx(2, 0x80000000).format(-5), "3");  // below -1 acts as 0
    EXPECT_EQ(fx(1).format(40).size(), 42u);
    EXPECT_EQ(outcomeOf([] { fx(1).format(INT32_MAX); }).code, vmerr::InvalidArgument);  // a runaway count
}

TEST(Fixed, RandomIntAndFixedTakeBoundsInEitherOrderAndCoverThemUniformly) {
    CMersenneTwister a(99), b(99), reference(99);
    for (int i = 0; i < 5000; ++i) {
        const TInt32 x = randomInt(a, 5, 1);
        ASSERT_EQ(x, randomInt(b, 1, 5));
        ASSERT_EQ(x, TInt32(1 + reference.next() % 5));
    }
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(randomInt(a, INT32_MIN, INT32_MAX), TInt32(INT32_MIN + TInt64(reference.next())));
    EXPECT_EQ(randomInt(a, 42, 42), 42);
    int buckets[5] = {};
    for (int i = 0; i < 50000; ++i) {
        const ORaw v = randomFixed(a, fx(3), fx(-2));
        ASSERT_GE(v, fx(-2));
        ASSERT_LE(v, fx(3));
        ++buckets[std::min(4, v.floor() + 2)];
    }
    for (int count : buckets) EXPECT_NEAR(count, 10000, 600);
    EXPECT_EQ(randomFixed(a, ORaw::PI, ORaw::PI), ORaw::PI);
    for (int i = 0; i < 1000; ++i) randomFixed(a, ORaw::MIN, ORaw::MAX);  // the draw must not overflow
}

TEST(MersenneTwister, PublishedOutputs) {
    CMersenneTwister::State state{};  // the reference seeding, under which seed 5489 has published outputs
    state[0] = 5489;
    for (TUint32 i = 1; i < state.size(); ++i) state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + i;
    CMersenneTwister mt(state);
    for (TUint32 expected : {3499211612u, 581869302u, 3890346734u, 3586334585u}) EXPECT_EQ(mt.next(), expected);
    for (int i = 4; i < 9999; ++i) mt.next();
    EXPECT_EQ(mt.next(), 4123659995u);  // the 10000th output
    CMersenneTwister seeded(4357);  // seeding by 69069
    for (TUint32 expected : {0xd13c8af5u, 0xffc27482u, 0x82a6958bu, 0x21ac240au, 0x09110bbau, 0xfe127bc0u})
        EXPECT_EQ(seeded.next(), expected);
    CMersenneTwister zero(0);  // every state word 0: so is every output
    for (int i = 0; i < 700; ++i) ASSERT_EQ(zero.next(), 0u);
    TUint32 any = 0;
    CMersenneTwister clock = CMersenneTwister::fromClock();
    for (int i = 0; i < 1000; ++i) any |= clock.next();
    EXPECT_NE(any, 0u);
}

}  // namespace mcb
