// Fixed, Float, Number, Byte and Math natives through the VM: argument order, stack
// effects, error codes and the edges the bindings add (the arithmetic itself is
// tested in NumericTest.cpp).
#include "../support/NativeProgram.h"

#include <bit>
#include <cmath>

namespace {
ORaw fx(std::string_view text) { return ORaw::parse(text); }

// The `words` words that `code` leaves, from global 2.
NativeProgram result(const std::string& code, int words = 2) { return NativeProgram(storeTo(2, code, words)); }
ORaw fixedOf(const std::string& code) { return result(code).fixed(2); }
TInt32 intOf(const std::string& code) { return result(code, 1).integer(2); }
std::string call(std::string_view group, std::string_view function, std::vector<ORaw> args) {
    std::string s;
    for (ORaw a : args) s += pushFixed(a);
    return s + "native " + std::string(group) + "." + std::string(function);
}
std::string pushFloat(float f) { return "push " + std::to_string(std::bit_cast<TInt32>(f)) + "\n"; }
float floatOf(const std::string& code) { return result(code, 1).real(2); }

NativeProgram parsing(std::string_view text) {
    return NativeProgram(storeTo(2, "ldstr s\nnative Fixed.from_string", 2), ".string s \"" + std::string(text) + "\"\n");
}

// Formats the fixed value through a variable at global 4 into global 2.
NativeProgram formatting(ORaw v, TInt32 decimals) {
    return NativeProgram("ldglobals\nfielda 4\n" + pushFixed(v) + "storen 2\n" +
                         storeTo(2, "ldglobals\nfielda 4\npush " + std::to_string(decimals) +
                                        "\nnative Fixed.to_string_decimals"));
}

const std::string kVariable = "ldglobals\nfielda 2\n";
}  // namespace

TEST(FixedNatives, TextInAndOut) {
    EXPECT_EQ(parsing(" +-2.5").fixed(2), fx("-2.5"));
    NativeProgram bad = parsing(".5");  // the parser's other refusals: NumericTest.cpp
    EXPECT_EQ(bad.errorCode(), 4);
    EXPECT_EQ(bad.errorText(), "DataFormatException: ");
    EXPECT_EQ(formatting(fx("-2.5"), 0).text(2), "-3");
    EXPECT_EQ(formatting(fx("1"), -1).text(2), "1.0");
    EXPECT_EQ(formatting(ORaw::MAX, 1).text(2), "2147483647.9");
    NativeProgram invalid = formatting(fx("1"), -2);
    EXPECT_EQ(invalid.errorCode(), 6);
    EXPECT_EQ(invalid.word(2), 0u);
    NativeProgram exact(kVariable + pushFixed(ORaw::EPSILON) + "storen 2\n" + storeTo(4, kVariable + "native Fixed.to_string"));
    EXPECT_EQ(exact.text(4), "0.00000000023283064365386962890625");
}

TEST(FixedNatives, ArithmeticTakesItsOperandsInOrder) {
    EXPECT_EQ(intOf(call("Fixed", "round", {fx("-2.5")})), -3);
    EXPECT_EQ(intOf(call("Fixed", "floor", {fx("-2.4")})), -3);
    EXPECT_EQ(intOf(call("Fixed", "ceil", {fx("-2.4")})), -2);
    EXPECT_EQ(fixedOf(call("Fixed", "sub", {fx("1.25"), fx("2.5")})), fx("-1.25"));
    EXPECT_EQ(fixedOf(call("Fixed", "mul", {ORaw::MAX, fx("-2")})), ORaw::MIN);
    EXPECT_EQ(fixedOf(call("Fixed", "div", {fx("7"), fx("2")})), fx("3.5"));
    EXPECT_EQ(fixedOf(call("Fixed", "pow", {fx("2"), fx("-2")})), fx("0.25"));
    EXPECT_EQ(fixedOf(call("Fixed", "abs", {ORaw::MIN})), ORaw::MAX);
    for (auto args : {std::vector<ORaw>{fx("1"), ORaw::ZERO}, {fx("-8"), ORaw::divide(fx("1"), fx("3"))}}) {
        NativeProgram p = result(call("Fixed", args[1] == ORaw::ZERO ? "div" : "pow", args));
        EXPECT_EQ(p.errorCode(), 8);
        EXPECT_EQ(p.errorText(), "MathException");
    }
    const char* names[] = {"eq", "ne", "lt", "le", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};  // signed 64-bit comparisons
    for (int i = 0; i < 6; ++i) EXPECT_EQ(intOf(call("Fixed", names[i], {ORaw::MIN, fx("0.25")})), expected[i]) << names[i];
}

TEST(FixedNatives, ConversionsAndVariables) {
    NativeProgram p(storeTo(2, "push -3\nnative Fixed.from_int", 2) + storeTo(4, "push 0x1FF\nnative Fixed.from_byte", 2) +
                    "ldglobals\nfielda 8\n" + pushFixed(fx("6.75")) + "storen 2\n" +
                    storeTo(6, "ldglobals\nfielda 8\nnative Fixed.load", 2));
    EXPECT_EQ(p.fixed(2), fx("-3"));
    EXPECT_EQ(p.fixed(4), fx("-1"));
    EXPECT_EQ(p.fixed(6), fx("6.75"));
    const std::string v = kVariable;
    NativeProgram into(v + pushFixed(fx("10")) + "storen 2\n" + v + pushFixed(fx("2.5")) + "native Fixed.add_into\n" +
                       v + pushFixed(fx("0.5")) + "native Fixed.sub_into\n" + v + pushFixed(fx("3")) +
                       "native Fixed.mul_into\n" + v + pushFixed(fx("4")) + "native Fixed.div_into\n" + v +
                       "native Fixed.inc\n" + v + "native Fixed.inc\n" + v + "native Fixed.dec\n");
    ASSERT_EQ(into.errorCode(), 0) << into.errorText();
    EXPECT_EQ(into.fixed(2), fx("10"));
    NativeProgram byZero(v + pushFixed(fx("10")) + "storen 2\n" + v + pushFixed(ORaw::ZERO) + "native Fixed.div_into\n");
    EXPECT_EQ(byZero.errorCode(), 8);
    EXPECT_EQ(byZero.fixed(2), fx("10"));  // the variable is left alone
}

TEST(FloatNatives, ArithmeticAndText) {
    EXPECT_EQ(floatOf(pushFloat(1.5f) + pushFloat(2.25f) + "native Float.sub"), -0.75f);
    EXPECT_EQ(floatOf(pushFloat(1.0f) + pushFloat(4.0f) + "native Float.div"), 0.25f);
    EXPECT_TRUE(std::isinf(floatOf(pushFloat(1.0f) + pushFloat(0.0f) + "native Float.div")));
    EXPECT_EQ(floatOf(pushFixed(ORaw::parse("-2.75")) + "native Float.from_fixed"), -2.75f);
    EXPECT_EQ(floatOf(pushFixed(ORaw::MAX) + "native Float.from_fixed"), 2147483648.0f);
    NativeProgram p(kVariable + pushFloat(10.0f) + "store\n" + kVariable + pushFloat(2.0f) + "native Float.add_into\n" +
                    kVariable + pushFloat(4.0f) + "native Float.sub_into\n" + kVariable + pushFloat(3.0f) +
                    "native Float.mul_into\n" + kVariable + pushFloat(8.0f) + "native Float.div_into\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.real(2), 3.0f);
    // Six significant digits.
    for (auto [f, text] : {std::pair{0.1f, "0.1"}, {1234567.0f, "1.23457e+06"}, {100000.0f, "100000"}, {1e-5f, "1e-05"}})
        EXPECT_EQ(result(pushFloat(f) + "native Float.to_string", 1).text(2), text);
}

TEST(NumberNatives, AbsoluteValuesAndUnsignedRadixText) {
    EXPECT_EQ(intOf("push 0x80000000\nnative Number.abs_int"), INT32_MAX);
    EXPECT_EQ(intOf("push 0xFF\nnative Number.abs_byte"), 1);
    EXPECT_EQ(intOf("push -128\nnative Number.abs_byte"), 128);
    EXPECT_EQ(intOf("push 0x105\nnative Number.abs_byte"), 0x105);  // a positive byte gives back the whole word
    auto radix = [](TInt32 n, TInt32 r) {
        return result("push " + std::to_string(n) + "\npush " + std::to_string(r) + "\nnative Number.to_string_radix", 1)
            .text(2);
    };
    EXPECT_EQ(radix(-1, 2), std::string(32, '1'));
    EXPECT_EQ(radix(35, 36), "z");
    EXPECT_EQ(radix(-5, 10), "4294967291");
    EXPECT_EQ(radix(10, 1), "");
}

TEST(MathNatives, FunctionsAndDomainErrors) {
    EXPECT_NEAR(fixedOf(call("Math", "sin", {fx("1.5707963")})).toReal(), 1.0, 1e-7);
    EXPECT_NEAR(fixedOf(call("Math", "sqrt", {fx("2")})).toReal(), std::sqrt(2.0), 1e-8);
    EXPECT_NEAR(fixedOf(call("Math", "log_base", {fx("1000"), fx("10")})).toReal(), 3.0, 1e-7);
    EXPECT_EQ(fixedOf(call("Math", "log_base", {fx("-3"), fx("-3")})), ORaw::ONE);
    EXPECT_NEAR(fixedOf(call("Math", "to_degrees", {ORaw::PI})).toReal(), 180.0, 1e-5);
    EXPECT_NEAR(fixedOf(call("Math", "to_radians", {fx("-180")})).toReal(), -M_PI, 1e-6);
    // A little beyond 2π still converts, as a full turn.
    EXPECT_EQ(fixedOf(call("Math", "to_degrees", {-ORaw::fromParts(6, 0x487EF000)})),
              -fixedOf(call("Math", "to_degrees", {ORaw::fromParts(6, 0x487ED511)})));
    const std::vector<std::pair<const char*, std::vector<ORaw>>> domain = {
        {"asin", {fx("1.0001")}},     {"sqrt", {fx("-0.0001")}},      {"ln", {fx("0")}},
        {"to_radians", {fx("360.5")}}, {"to_degrees", {fx("6.3")}},   {"log_base", {fx("5"), fx("1")}},
        {"tan", {ORaw::fromRaw(0x1921FB544LL)}},  // just below pi/2
    };
    for (const auto& [function, args] : domain) {
        NativeProgram p = result(call("Math", function, args));
        EXPECT_EQ(p.errorCode(), 8) << function;
        EXPECT_EQ(p.errorText(), "MathException") << function;
    }
}

TEST(MathNatives, RandomNumbersAndExtremes) {
    std::string body;
    for (int g = 2; g < 12; ++g) body += storeTo(g, "push 5\npush 1\nnative Math.random_int");  // bounds in either order
    body += storeTo(12, "push 0x80000000\npush 0x7FFFFFFF\nnative Math.random_int") +
            storeTo(13, "push 7\npush 7\nnative Math.random_int") +
            storeTo(14, pushFixed(fx("2.5")) + pushFixed(fx("-1.25")) + "native Math.random_fixed", 2) +
            storeTo(16, pushFixed(ORaw::MAX) + pushFixed(ORaw::MAX) + "native Math.random_fixed", 2) +
            storeTo(18, "push 0x17F\npush 0x80\nnative Math.min_byte") + storeTo(19, "push 0x17F\npush 0x80\nnative Math.max_byte") +
            storeTo(20, pushFixed(fx("-0.5")) + pushFixed(fx("0.25")) + "native Math.max_fixed", 2);
    NativeProgram p(body);
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    for (int g = 2; g < 12; ++g) {
        EXPECT_GE(p.integer(g), 1);
        EXPECT_LE(p.integer(g), 5);
    }
    EXPECT_EQ(p.integer(13), 7);
    EXPECT_GE(p.fixed(14), fx("-1.25"));
    EXPECT_LE(p.fixed(14), fx("2.5"));
    EXPECT_EQ(p.fixed(16), ORaw::MAX);
    EXPECT_EQ(p.integer(18), -128);
    EXPECT_EQ(p.integer(19), 127);
    EXPECT_EQ(p.fixed(20), fx("0.25"));
}

TEST(NumberNatives, NullOperands) {
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.load\n").errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.from_string\n").errorCode(), 1);
    EXPECT_EQ(NativeProgram("push 0\nnative Fixed.inc\n").errorCode(), 1);
}
