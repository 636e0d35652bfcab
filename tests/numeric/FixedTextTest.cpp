// Fixed values as text: parsing with its errors and saturation, exact and
// rounded formatting checked against an exact decimal expansion.
#include "NumericTestSupport.h"

#include <gtest/gtest.h>

namespace {
ORaw parsed(const char* text) { return ORaw::parse(text); }

// The exact decimal digits of a 32-bit fraction: f / 2^32 = f * 5^32 / 10^32.
std::string exactFractionDigits(TUint32 fraction) {
    unsigned __int128 scaled = fraction;
    for (int i = 0; i < 32; ++i) scaled *= 5;
    std::string digits(32, '0');
    for (int i = 31; i >= 0; --i, scaled /= 10) digits[i] = char('0' + int(scaled % 10));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return digits;
}

std::string exactText(ORaw v) {
    const bool negative = v.isNegative();
    const unsigned __int128 size = negative ? -(__int128)v.raw() : v.raw();
    std::string text(negative ? "-" : "");
    return text.append(std::to_string(TUint64(size >> 32))).append(".").append(exactFractionDigits(TUint32(size)));
}

// d decimals, rounding on the next digit only, through integer arithmetic.
std::string roundedText(ORaw v, int d) {
    const bool negative = v.isNegative();
    const unsigned __int128 size = negative ? -(__int128)v.raw() : v.raw();
    TUint64 integer = TUint64(size >> 32);
    const unsigned __int128 fraction = size & 0xFFFFFFFFu;
    unsigned __int128 tenToD = 1;
    for (int i = 0; i < d; ++i) tenToD *= 10;
    unsigned __int128 kept = (fraction * tenToD) >> 32;
    const int next = int(((fraction * tenToD * 10) >> 32) % 10);
    if (next >= 5 && ++kept == tenToD) {
        if (integer >= 2147483647u) {
            kept = tenToD - 1;
        } else {
            kept = 0;
            ++integer;
        }
    }
    std::string text(negative ? "-" : "");
    text += std::to_string(integer);
    if (d > 0) {
        std::string digits(d, '0');
        for (int i = d - 1; i >= 0; --i, kept /= 10) digits[i] = char('0' + int(kept % 10));
        text += "." + digits;
    }
    return text;
}
}  // namespace

TEST(FixedParse, SignsWhiteSpaceAndTrailingText) {
    EXPECT_EQ(parsed(" +-2.5"), fx(-3, 0x80000000));
    EXPECT_EQ(parsed("+++7"), fx(7));
    EXPECT_EQ(parsed("\t\n 0.5"), fx(0, 0x80000000));
    EXPECT_EQ(parsed("1.5.5"), fx(1, 0x80000000));
    const TUint16 ideographicSpace[] = {0x3000, '4', '2'};
    EXPECT_EQ(ORaw::parse(ideographicSpace, 3), fx(42));
    for (const char* text : {"", "   ", ".5", "5.", "-", "+-", "-+1", "--1", "abc", "5.x"}) {
        const RaisedError e = raisedBy([&] { ORaw::parse(text); });
        EXPECT_EQ(e.code, vmerr::DataFormat) << '"' << text << '"';
        EXPECT_EQ(e.text, "DataFormatException: ") << '"' << text << '"';
    }
    EXPECT_EQ(raisedBy([] { ORaw::parse(nullptr, 5); }).code, vmerr::DataFormat);
}

TEST(FixedParse, LargeIntegerPartsSaturateAtOnce) {
    EXPECT_EQ(parsed("-3000000000"), ORaw::MIN);
    EXPECT_EQ(parsed("2147483648."), ORaw::MAX);  // saturation comes before the point's check
    EXPECT_EQ(parsed("-2147483648"), ORaw::MIN);
    EXPECT_EQ(parsed("2147483647.5"), fx(2147483647, 0x80000000));
    EXPECT_EQ(parsed("99999999999999999999999999"), ORaw::MAX);
}

TEST(FixedParse, FractionDigitsBeyondTheNumeratorAreIgnored) {
    // 4294967295 would fit, so all ten digits count; one more would not.
    EXPECT_EQ(parsed("0.4294967295"), fx(0, TUint32((4294967295ull << 32) / 10000000000ull)));
    EXPECT_EQ(parsed("0.42949672951234"), parsed("0.4294967295"));
    EXPECT_EQ(parsed("0.99999999999"), parsed("0.999999999"));
    // Many leading zeros neither overflow the denominator nor change the value.
    EXPECT_EQ(parsed("1.000000000000000000000000000000000000001"), fx(1));
    EXPECT_EQ(parsed("1.0000000004294967295"), fx(1, 1));
}

TEST(FixedParse, RandomDecimalsMatchTheirExactValue) {
    std::mt19937 engine(5);
    for (int i = 0; i < 20000; ++i) {
        const TUint32 integer = engine() % 2147483648u;
        const int k = 1 + int(engine() % 9);
        TUint64 tenToK = 1;
        for (int j = 0; j < k; ++j) tenToK *= 10;
        const TUint64 numerator = engine() % tenToK;
        std::string digits = std::to_string(numerator);
        digits.insert(0, size_t(k) - digits.size(), '0');
        const bool negative = engine() % 2;
        std::string text(negative ? "-" : "");
        text.append(std::to_string(integer)).append(".").append(digits);
        const __int128 exact = (__int128(integer) << 32) + ((__int128(numerator) << 32) / tenToK);
        ASSERT_EQ(ORaw::parse(text), ORaw::fromRaw(TInt64(negative ? -exact : exact))) << text;
    }
}

TEST(FixedFormat, ExtremesRoundingAndDecimalCounts) {
    EXPECT_EQ(ORaw::MAX.format(-1), "2147483647.99999999976716935634613037109375");
    EXPECT_EQ(ORaw::MIN.format(-1), "-2147483648.0");
    EXPECT_EQ(ORaw::ZERO.format(-1), "0.0");
    EXPECT_EQ(parsed("9.96").format(1), "10.0");
    EXPECT_EQ(parsed("-0.001").format(0), "-0");
    EXPECT_EQ(ORaw::E.format(9), "2.718281829");  // the constant's fraction rounds up
    // A carry at the largest integer keeps the nines.
    EXPECT_EQ(ORaw::MAX.format(0), "2147483647");
    EXPECT_EQ(ORaw::MAX.format(2), "2147483647.99");
    EXPECT_EQ((-ORaw::MAX).format(3), "-2147483648.000");
    EXPECT_EQ(ORaw::fromRaw(INT64_MIN + 1).format(1), "-2147483647.9");
    EXPECT_EQ(fx(2, 0x80000000).format(-5), "3");  // below -1 acts as 0
    EXPECT_EQ(fx(1).format(40).size(), 42u);
    EXPECT_EQ(raisedBy([] { fx(1).format(INT32_MAX); }).code, vmerr::InvalidArgument);  // a runaway count
}

TEST(FixedFormat, MatchesExactDecimalExpansionOverRandomValues) {
    OperandSource source(6);
    std::mt19937 engine(7);
    for (int i = 0; i < 20000; ++i) {
        const ORaw v = source.next();
        ASSERT_EQ(v.format(-1), exactText(v)) << v.raw();
        const int d = int(engine() % 20);
        ASSERT_EQ(v.format(d), roundedText(v, d)) << v.raw() << " d=" << d;
    }
}

TEST(FixedFormat, ExactTextParsesBackToTheSameValueWhenShort) {
    for (const char* text : {"0.5", "-2.25", "1.0", "123.125", "-0.0625"}) {
        EXPECT_EQ(parsed(text).format(-1), text);
    }
}
