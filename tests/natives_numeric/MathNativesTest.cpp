#include "NativeProgram.h"

#include <cmath>

namespace {
ORaw fx(std::string_view text) { return ORaw::parse(text); }

NativeProgram unary(std::string_view function, ORaw x) {
    return NativeProgram(storeTo(2, pushFixed(x) + "native Math." + std::string(function), 2));
}

NativeProgram binary(std::string_view function, ORaw x, ORaw y) {
    return NativeProgram(storeTo(2, pushFixed(x) + pushFixed(y) + "native Math." + std::string(function), 2));
}

double near(NativeProgram&& p) { return p.fixed(2).toReal(); }
}  // namespace

TEST(MathNatives, ElementaryFunctions) {
    EXPECT_NEAR(near(unary("sin", fx("1.5707963"))), 1.0, 1e-7);
    EXPECT_NEAR(near(unary("cos", ORaw::PI)), -1.0, 1e-7);
    EXPECT_NEAR(near(unary("tan", fx("0.5"))), std::tan(0.5), 1e-7);
    EXPECT_NEAR(near(unary("asin", fx("1"))), M_PI / 2, 1e-7);
    EXPECT_NEAR(near(unary("acos", fx("-1"))), M_PI, 1e-7);
    EXPECT_NEAR(near(unary("atan", fx("1"))), M_PI / 4, 1e-7);
    EXPECT_NEAR(near(unary("sqrt", fx("2"))), std::sqrt(2.0), 1e-8);
    EXPECT_NEAR(near(unary("ln", ORaw::E)), 1.0, 1e-7);
    EXPECT_NEAR(near(binary("log_base", fx("1000"), fx("10"))), 3.0, 1e-7);
}

TEST(MathNatives, DomainErrorsAreCatchableMathExceptions) {
    for (auto [function, x] : {std::pair{"asin", fx("1.0001")}, {"acos", fx("-2")}, {"sqrt", fx("-0.0001")},
                               {"ln", fx("0")}, {"ln", fx("-1")}, {"to_radians", fx("360.5")},
                               {"to_degrees", fx("6.3")}}) {
        NativeProgram p = unary(function, x);
        EXPECT_EQ(p.errorCode(), 8) << function;
        EXPECT_EQ(p.errorText(), "MathException") << function;
    }
    for (const char* base : {"0", "1", "-1"}) EXPECT_EQ(binary("log_base", fx("5"), fx(base)).errorCode(), 8) << base;
    EXPECT_EQ(binary("log_base", fx("-5"), fx("2")).errorCode(), 8);
}

TEST(MathNatives, TangentAtTheEdgeOfTheRangeIsAnError) {
    // Just below pi/2 the tangent exceeds the fixed range.
    EXPECT_EQ(unary("tan", ORaw::fromRaw(0x1921FB544LL)).errorCode(), 8);
}

TEST(MathNatives, LogarithmOfTheBaseItselfIsOne) {
    EXPECT_EQ(binary("log_base", fx("-3"), fx("-3")).fixed(2), ORaw::ONE);
}

TEST(MathNatives, AngleConversions) {
    EXPECT_NEAR(near(unary("to_degrees", ORaw::PI)), 180.0, 1e-5);
    EXPECT_NEAR(near(unary("to_radians", fx("-180"))), -M_PI, 1e-6);
    EXPECT_NEAR(near(unary("to_radians", fx("360"))), 2 * M_PI, 1e-6);
    // A little beyond 2π still converts, as a full turn.
    const ORaw justBeyond = ORaw::fromParts(6, 0x487EF000);
    EXPECT_EQ(unary("to_degrees", -justBeyond).fixed(2), -unary("to_degrees", ORaw::fromParts(6, 0x487ED511)).fixed(2));
}

TEST(MathNatives, RandomIntTakesBoundsInEitherOrder) {
    std::string body;
    for (int g = 2; g < 22; ++g) body += storeTo(g, "push 5\npush 1\nnative Math.random_int");
    NativeProgram p(body);
    ASSERT_EQ(p.errorCode(), 0);
    for (int g = 2; g < 22; ++g) {
        EXPECT_GE(p.integer(g), 1);
        EXPECT_LE(p.integer(g), 5);
    }
    NativeProgram whole(storeTo(2, "push 0x80000000\npush 0x7FFFFFFF\nnative Math.random_int") +
                        storeTo(3, "push 7\npush 7\nnative Math.random_int"));
    EXPECT_EQ(whole.errorCode(), 0);
    EXPECT_EQ(whole.integer(3), 7);
}

TEST(MathNatives, RandomFixedStaysBetweenTheBounds) {
    for (int i = 0; i < 10; ++i) {
        const ORaw r = binary("random_fixed", fx("2.5"), fx("-1.25")).fixed(2);
        EXPECT_GE(r, fx("-1.25"));
        EXPECT_LE(r, fx("2.5"));
    }
    EXPECT_EQ(binary("random_fixed", ORaw::MAX, ORaw::MAX).fixed(2), ORaw::MAX);
}

TEST(MathNatives, MinimumAndMaximum) {
    NativeProgram p(storeTo(2, "push 0x17F\npush 0x80\nnative Math.min_byte") +
                    storeTo(3, "push 0x17F\npush 0x80\nnative Math.max_byte") +
                    storeTo(4, "push -5\npush 3\nnative Math.min_int") + storeTo(5, "push -5\npush 3\nnative Math.max_int") +
                    storeTo(6, pushFixed(fx("-0.5")) + pushFixed(fx("0.25")) + "native Math.min_fixed", 2) +
                    storeTo(8, pushFixed(fx("-0.5")) + pushFixed(fx("0.25")) + "native Math.max_fixed", 2));
    EXPECT_EQ(p.integer(2), -128);
    EXPECT_EQ(p.integer(3), 127);
    EXPECT_EQ(p.integer(4), -5);
    EXPECT_EQ(p.integer(5), 3);
    EXPECT_EQ(p.fixed(6), fx("-0.5"));
    EXPECT_EQ(p.fixed(8), fx("0.25"));
}

TEST(MathNatives, Constants) {
    NativeProgram p(storeTo(2, "native Math.e", 2) + storeTo(4, "native Math.pi", 2) + storeTo(6, "native Math.epsilon", 2));
    EXPECT_EQ(p.fixed(2), ORaw::fromParts(2, 0xB7E15163));
    EXPECT_EQ(p.fixed(4), ORaw::fromParts(3, 0x243F6A89));
    EXPECT_EQ(p.fixed(6), ORaw::fromRaw(1));
}

TEST(MathNatives, UnknownFunction) {
    EXPECT_EQ(NativeProgram("native Math, 23\n").errorText(), "VMException: Math:11");
}
