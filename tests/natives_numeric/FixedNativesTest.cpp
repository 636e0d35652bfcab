#include "NativeProgram.h"

namespace {
ORaw fx(std::string_view text) { return ORaw::parse(text); }

// Parses the text constant with Fixed.from_string into global 2.
NativeProgram parsing(std::string_view text) {
    return NativeProgram(storeTo(2, "ldstr s\nnative Fixed.from_string", 2),
                         ".string s \"" + std::string(text) + "\"\n");
}

// Formats the fixed value through a variable at global 4 into global 2.
NativeProgram formatting(ORaw v, TInt32 decimals) {
    return NativeProgram("ldglobals\nfielda 4\n" + pushFixed(v) + "storen 2\n" +
                         storeTo(2, "ldglobals\nfielda 4\npush " + std::to_string(decimals) +
                                        "\nnative Fixed.to_string_decimals"));
}

NativeProgram binary(ORaw a, ORaw b, std::string_view function, int words = 2) {
    return NativeProgram(storeTo(2, pushFixed(a) + pushFixed(b) + "native Fixed." + std::string(function), words));
}
}  // namespace

TEST(FixedNatives, ParsingSkipsSpaceAndPlusesThenOneMinus) {
    NativeProgram p = parsing(" +-2.5");
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.fixed(2), fx("-2.5"));
    EXPECT_EQ(parsing("++7.25xyz").fixed(2), fx("7.25"));
}

TEST(FixedNatives, ParsingNeedsDigitsOnBothSidesOfThePoint) {
    for (const char* bad : {".5", "5.", "", "   ", "--1", "-"}) {
        NativeProgram p = parsing(bad);
        EXPECT_EQ(p.errorCode(), 4) << bad;
        EXPECT_EQ(p.errorText(), "DataFormatException: ") << bad;
    }
}

TEST(FixedNatives, ParsingSaturatesALargeIntegerPart) {
    EXPECT_EQ(parsing("3000000000").fixed(2), ORaw::MAX);
    EXPECT_EQ(parsing("-3000000000.5").fixed(2), ORaw::MIN);
    EXPECT_EQ(parsing("2147483647").fixed(2), ORaw::fromInt(INT32_MAX));
}

TEST(FixedNatives, FormattingRoundsHalvesAwayFromZero) {
    EXPECT_EQ(formatting(fx("2.5"), 0).text(2), "3");
    EXPECT_EQ(formatting(fx("-2.5"), 0).text(2), "-3");
    EXPECT_EQ(formatting(fx("0.999"), 2).text(2), "1.00");
    EXPECT_EQ(formatting(fx("1"), -1).text(2), "1.0");
    EXPECT_EQ(formatting(fx("0.5"), -1).text(2), "0.5");
    EXPECT_EQ(formatting(ORaw::MAX, 1).text(2), "2147483647.9");
    EXPECT_EQ(formatting(ORaw::MIN, 0).text(2), "-2147483648");
}

TEST(FixedNatives, FormattingWithFewerThanMinusOneDecimalsIsInvalid) {
    NativeProgram p = formatting(fx("1"), -2);
    EXPECT_EQ(p.errorCode(), 6);
    EXPECT_EQ(p.word(2), 0u);
}

TEST(FixedNatives, ExactTextOfAVariable) {
    NativeProgram p("ldglobals\nfielda 4\n" + pushFixed(ORaw::EPSILON) + "storen 2\n" +
                    storeTo(2, "ldglobals\nfielda 4\nnative Fixed.to_string"));
    EXPECT_EQ(p.text(2), "0.00000000023283064365386962890625");
}

TEST(FixedNatives, RoundingToInts) {
    auto toInt = [](ORaw v, const char* f) {
        return NativeProgram(storeTo(2, pushFixed(v) + "native Fixed." + f)).integer(2);
    };
    EXPECT_EQ(toInt(fx("-2.5"), "round"), -3);
    EXPECT_EQ(toInt(fx("2.5"), "round"), 3);
    EXPECT_EQ(toInt(fx("-2.4"), "round"), -2);
    EXPECT_EQ(toInt(fx("-2.4"), "floor"), -3);
    EXPECT_EQ(toInt(fx("-2.4"), "ceil"), -2);
    EXPECT_EQ(toInt(fx("2.0001"), "ceil"), 3);
    EXPECT_EQ(toInt(ORaw::MAX, "ceil"), INT32_MAX);
}

TEST(FixedNatives, MultiplicationSaturates) {
    EXPECT_EQ(binary(ORaw::MAX, fx("2"), "mul").fixed(2), ORaw::MAX);
    EXPECT_EQ(binary(ORaw::MAX, fx("-2"), "mul").fixed(2), ORaw::MIN);
    EXPECT_EQ(binary(fx("1.5"), fx("-4"), "mul").fixed(2), fx("-6"));
}

TEST(FixedNatives, AdditionAndSubtractionSaturate) {
    EXPECT_EQ(binary(ORaw::MAX, ORaw::EPSILON, "add").fixed(2), ORaw::MAX);
    EXPECT_EQ(binary(ORaw::MIN, ORaw::EPSILON, "sub").fixed(2), ORaw::MIN);
    EXPECT_EQ(binary(fx("1.25"), fx("2.5"), "add").fixed(2), fx("3.75"));
    EXPECT_EQ(binary(fx("1.25"), fx("2.5"), "sub").fixed(2), fx("-1.25"));
}

TEST(FixedNatives, NegationSwapsTheInfinities) {
    EXPECT_EQ(NativeProgram(storeTo(2, pushFixed(ORaw::MAX) + "native Fixed.neg", 2)).fixed(2), ORaw::MIN);
    EXPECT_EQ(NativeProgram(storeTo(2, pushFixed(ORaw::MIN) + "native Fixed.neg", 2)).fixed(2), ORaw::MAX);
    EXPECT_EQ(NativeProgram(storeTo(2, pushFixed(ORaw::MIN) + "native Fixed.abs", 2)).fixed(2), ORaw::MAX);
}

TEST(FixedNatives, DivisionByZeroIsAMathError) {
    NativeProgram p = binary(fx("1"), ORaw::ZERO, "div");
    EXPECT_EQ(p.errorCode(), 8);
    EXPECT_EQ(p.errorText(), "MathException");
    EXPECT_EQ(binary(fx("7"), fx("2"), "div").fixed(2), fx("3.5"));
}

TEST(FixedNatives, PowerDomain) {
    NativeProgram cubeRootOfNegative = binary(fx("-8"), ORaw::divide(fx("1"), fx("3")), "pow");
    EXPECT_EQ(cubeRootOfNegative.errorCode(), 8);
    EXPECT_EQ(cubeRootOfNegative.errorText(), "MathException");
    EXPECT_EQ(binary(fx("-2"), fx("3"), "pow").fixed(2), fx("-8"));
    EXPECT_EQ(binary(fx("0"), fx("-1"), "pow").errorCode(), 8);
    EXPECT_EQ(binary(fx("5"), fx("0"), "pow").fixed(2), fx("1"));
    EXPECT_EQ(binary(fx("2"), fx("-2"), "pow").fixed(2), fx("0.25"));
    // Underflow is 0, not a stop.
    EXPECT_EQ(binary(fx("0.001"), fx("1000"), "pow").fixed(2), ORaw::ZERO);
}

TEST(FixedNatives, ConversionsGrowTheStackByOneWord) {
    NativeProgram p(storeTo(2, "push -3\nnative Fixed.from_int", 2) + storeTo(4, "push 0x1FF\nnative Fixed.from_byte", 2) +
                    "ldglobals\nfielda 8\n" + pushFixed(fx("6.75")) + "storen 2\n" +
                    storeTo(6, "ldglobals\nfielda 8\nnative Fixed.load", 2));
    EXPECT_EQ(p.fixed(2), fx("-3"));
    EXPECT_EQ(p.fixed(4), fx("-1"));
    EXPECT_EQ(p.fixed(6), fx("6.75"));
}

TEST(FixedNatives, IntoFormsChangeTheVariable) {
    const std::string v = "ldglobals\nfielda 2\n";
    NativeProgram p(v + pushFixed(fx("10")) + "storen 2\n" + v + pushFixed(fx("2.5")) + "native Fixed.add_into\n" +
                    v + pushFixed(fx("0.5")) + "native Fixed.sub_into\n" + v + pushFixed(fx("3")) +
                    "native Fixed.mul_into\n" + v + pushFixed(fx("4")) + "native Fixed.div_into\n" + v +
                    "native Fixed.inc\n" + v + "native Fixed.inc\n" + v + "native Fixed.dec\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.fixed(2), fx("10"));
}

TEST(FixedNatives, DivideIntoZeroLeavesTheVariable) {
    const std::string v = "ldglobals\nfielda 2\n";
    NativeProgram p(v + pushFixed(fx("10")) + "storen 2\n" + v + pushFixed(ORaw::ZERO) + "native Fixed.div_into\n");
    EXPECT_EQ(p.errorCode(), 8);
    EXPECT_EQ(p.fixed(2), fx("10"));
}

TEST(FixedNatives, ComparisonsAreSigned64Bit) {
    const ORaw small = fx("-0.5"), big = fx("0.25");
    const char* names[] = {"eq", "ne", "lt", "le", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(binary(small, big, names[i], 1).integer(2), expected[i]) << names[i];
    EXPECT_EQ(binary(big, big, "eq", 1).integer(2), 1);
    EXPECT_EQ(binary(ORaw::MIN, ORaw::MAX, "lt", 1).integer(2), 1);
}

TEST(FixedNatives, Extremes) {
    NativeProgram p(storeTo(2, "native Fixed.min_value", 2) + storeTo(4, "native Fixed.max_value", 2));
    EXPECT_EQ(p.fixed(2), ORaw::MIN);
    EXPECT_EQ(p.fixed(4), ORaw::MAX);
}

TEST(FixedNatives, NullVariablesAndStrings) {
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.load\n").errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.from_string\n").errorCode(), 1);
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.inc\n").errorCode(), 1);
}

TEST(FixedNatives, UnknownFunction) {
    EXPECT_EQ(NativeProgram("native Fixed, 31\n").errorText(), "VMException: Fixed:11");
    EXPECT_EQ(NativeProgram("native Fixed, 0\n").errorText(), "VMException: Fixed:11");
}
