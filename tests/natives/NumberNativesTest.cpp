// Fixed, Float, Number, Byte, Math and Long natives through the VM: argument order, stack
// effects, error codes and the edges the bindings add (the fixed arithmetic itself is
// tested in NumericTest.cpp).
#include "../support/NativeProgram.h"

#include <bit>
#include <cmath>

namespace mcb {

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
std::string textOf(const std::string& code) { return result(code, 1).text(2); }

NativeProgram parsing(std::string_view text) {
    return NativeProgram(storeTo(2, "ldstr s\nnative Fixed.from_string", 2),
                         ".string s \"" + std::string(text) + "\"\n");
}

// Formats the fixed value through a variable at global 4 into global 2.
NativeProgram formatting(ORaw v, TInt32 decimals) {
    return NativeProgram(
        "ldglobals\nfielda 4\n" + pushFixed(v) + "storen 2\n" +
        storeTo(2, "ldglobals\nfielda 4\npush " + std::to_string(decimals) + "\nnative Fixed.to_string_decimals"));
}

const std::string kVariable = "ldglobals\nfielda 2\n";
}  // namespace

TEST(FixedNatives, ArithmeticTakesItsOperandsInOrder) {
    EXPECT_EQ(intOf(call("Fixed", "round", {fx("-2.5")})), -3);
    EXPECT_EQ(intOf(call("Fixed", "floor", {fx("-2.4")})), -3);
    EXPECT_EQ(intOf(call("Fixed", "ceil", {fx("-2.4")})), -2);
    EXPECT_EQ(fixedOf(call("Fixed", "sub", {fx("1.25"), fx("2.5")})), fx("-1.25"));
    EXPECT_EQ(fixedOf(call("Fixed", "div", {fx("7"), fx("2")})), fx("3.5"));
    EXPECT_EQ(fixedOf(call("Fixed", "pow", {fx("2"), fx("-2")})), fx("0.25"));
    EXPECT_EQ(fixedOf(call("Fixed", "abs", {ORaw::MIN})), ORaw::MAX);
    NativeProgram byZero = result(call("Fixed", "div", {fx("1"), ORaw::ZERO}));
    EXPECT_EQ(errorOf(byZero), "8: MathException");
    const char* names[] = {"eq", "ne", "lt", "le", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};  // signed 64-bit comparisons
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(intOf(call("Fixed", names[i], {ORaw::MIN, fx("0.25")})), expected[i]) << names[i];
}

TEST(FixedNatives, TextConversionsAndVariables) {
    EXPECT_EQ(parsing(" +-2.5").fixed(2), fx("-2.5"));
    NativeProgram bad = parsing(".5");  // the parser's other refusals: NumericTest.cpp
    EXPECT_EQ(errorOf(bad), "4: DataFormatException: ");
    EXPECT_EQ(formatting(fx("1"), -1).text(2), "1.0");
    NativeProgram invalid = formatting(fx("1"), -2);
    EXPECT_EQ(invalid.errorCode(), 6);
    EXPECT_EQ(invalid.word(2), 0u);
    NativeProgram exact(kVariable + pushFixed(ORaw::EPSILON) + "storen 2\n" +
                        storeTo(4, kVariable + "native Fixed.to_string"));
    EXPECT_EQ(exact.text(4), "0.00000000023283064365386962890625");
    // Conversions and variables.
    NativeProgram p(storeTo(2, "push -3\nnative Fixed.from_int", 2) +
                    storeTo(4, "push 0x1FF\nnative Fixed.from_byte", 2) + "ldglobals\nfielda 8\n" +
                    pushFixed(fx("6.75")) + "storen 2\n" + storeTo(6, "ldglobals\nfielda 8\nnative Fixed.load", 2));
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
    NativeProgram byZero(v + pushFixed(fx("10")) + "storen 2\n" + v + pushFixed(ORaw::ZERO) +
                         "native Fixed.div_into\n");
    EXPECT_EQ(byZero.errorCode(), 8);
    EXPECT_EQ(byZero.fixed(2), fx("10"));  // the variable is left alone
    for (const char* f : {"load", "from_string", "inc"})
        EXPECT_EQ(NativeProgram("push 0\nnative Fixed." + std::string(f) + "\n").errorCode(), 1) << f;
}

TEST(FloatNatives, ArithmeticAndText) {
    EXPECT_EQ(floatOf(pushFloat(1.5f) + pushFloat(2.25f) + "native Float.sub"), -0.75f);
    EXPECT_EQ(floatOf(pushFloat(1.0f) + pushFloat(4.0f) + "native Float.div"), 0.25f);
    EXPECT_EQ(floatOf(pushFixed(ORaw::parse("-2.75")) + "native Float.from_fixed"), -2.75f);
    EXPECT_EQ(floatOf(pushFixed(ORaw::MAX) + "native Float.from_fixed"), 2147483648.0f);
    NativeProgram p(kVariable + pushFloat(10.0f) + "store\n" + kVariable + pushFloat(2.0f) + "native Float.add_into\n" +
                    kVariable + pushFloat(4.0f) + "native Float.sub_into\n" + kVariable + pushFloat(3.0f) +
                    "native Float.mul_into\n" + kVariable + pushFloat(8.0f) + "native Float.div_into\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.real(2), 3.0f);
    // Six significant digits.
    for (auto [f, text] :
         {std::pair{0.1f, "0.1"}, {1234567.0f, "1.23457e+06"}, {100000.0f, "100000"}, {1e-5f, "1e-05"}})
        EXPECT_EQ(textOf(pushFloat(f) + "native Float.to_string"), text);
}

TEST(NumberNatives, AbsoluteValuesAndUnsignedRadixText) {
    EXPECT_EQ(intOf("push 0x80000000\nnative Number.abs_int"), INT32_MAX);
    EXPECT_EQ(intOf("push 0xFF\nnative Number.abs_byte"), 1);
    EXPECT_EQ(intOf("push -128\nnative Number.abs_byte"), 128);
    EXPECT_EQ(intOf("push 0x105\nnative Number.abs_byte"), 0x105);  // a positive byte gives back the whole word
    EXPECT_EQ(textOf("push -1\npush 2\nnative Number.to_string_radix"), std::string(32, '1'));
    EXPECT_EQ(textOf("push -5\npush 10\nnative Number.to_string_radix"), "4294967291");
    EXPECT_EQ(textOf("push 10\npush 1\nnative Number.to_string_radix"), "");
}

TEST(MathNatives, FunctionsDomainErrorsRandomNumbersAndExtremes) {
    // The values and every domain edge: NumericTest.cpp; here the binding and its operand order.
    EXPECT_NEAR(fixedOf(call("Math", "sin", {fx("1.5707963")})).toReal(), 1.0, 1e-7);
    EXPECT_NEAR(fixedOf(call("Math", "log_base", {fx("1000"), fx("10")})).toReal(), 3.0, 1e-7);
    EXPECT_NEAR(fixedOf(call("Math", "to_radians", {fx("-180")})).toReal(), -M_PI, 1e-6);
    NativeProgram domain = result(call("Math", "log_base", {fx("5"), fx("1")}));
    EXPECT_EQ(errorOf(domain), "8: MathException");
    // The draws themselves and their equal and extreme bounds: NumericTest.cpp.
    NativeProgram p(storeTo(2, "push 5\npush 1\nnative Math.random_int") +  // bounds in either order
                    storeTo(4, pushFixed(fx("2.5")) + pushFixed(fx("-1.25")) + "native Math.random_fixed", 2) +
                    storeTo(8, "push 0x17F\npush 0x80\nnative Math.min_byte") +
                    storeTo(9, "push 0x17F\npush 0x80\nnative Math.max_byte") +
                    storeTo(10, pushFixed(fx("-0.5")) + pushFixed(fx("0.25")) + "native Math.max_fixed", 2));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_GE(p.integer(2), 1);
    EXPECT_LE(p.integer(2), 5);
    EXPECT_GE(p.fixed(4), fx("-1.25"));
    EXPECT_LE(p.fixed(4), fx("2.5"));
    EXPECT_EQ(p.integer(8), -128);  // 127 and -128 by their low bytes
    EXPECT_EQ(p.integer(9), 127);
    EXPECT_EQ(p.fixed(10), fx("0.25"));
}

// Long natives: 64-bit wrapping arithmetic on heap blocks, shifts, in-place forms,
// catchable division by zero and the stack effects of each form.
namespace {
TInt64 valueOf(NativeProgram& p, int g = 2) {
    const VMAddr block = p.word(g);
    return TInt64(TUint64(p.vm.memory().readWord(block + 4)) << 32 | p.vm.memory().readWord(block));
}

TInt64 binary(TInt64 a, TInt64 b, std::string_view function) {
    NativeProgram p(storeTo(2, pushLong(a) + pushLong(b) + "native Long." + std::string(function)));
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    return valueOf(p);
}

// Runs `code` on the long at global 2, which starts as `a`.
std::string inPlace(TInt64 a, std::string_view code) {
    return storeTo(2, pushLong(a)) + "ldglobals\nfielda 2\nderef\n" + std::string(code);
}
}  // namespace

TEST(LongNatives, ArithmeticWrapsAndShiftsUseTheLowEightBits) {
    const struct {
        TInt64 a, b;
        const char* f;
        TInt64 want;
    } cases[] = {
        {INT64_MAX, 1, "add", INT64_MIN},
        {-3000000000LL, 7, "mul", -21000000000LL},
        {0x100000000LL, 0x100000000LL, "mul", 0},
        {-7, 2, "div", -3},
        {INT64_MIN, -1, "div", INT64_MIN},
        {INT64_MIN, -1, "rem", 0},
        {1, 63, "shl", INT64_MIN},
        {1, 64, "shl", 0},
        {-256, 4, "shr", -16},
        {5, 256, "shl", 5},    // 256 counts as 0
        {5, 0x141, "shl", 0},  // 0x141 counts as 65
        {5, 0x100000001LL, "shl", 10},
        {TInt64(0xF0F0F0F0F0F0F0F0ULL), TInt64(0xFF00FF00FF00FF00ULL), "and", TInt64(0xF000F000F000F000ULL)},
        {-1, 0xFFFFFFFFLL, "xor", TInt64(0xFFFFFFFF00000000ULL)},
    };
    for (const auto& c : cases) EXPECT_EQ(binary(c.a, c.b, c.f), c.want) << c.a << " " << c.f << " " << c.b;
    const char* names[] = {"eq", "lt", "le", "ne", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(
            NativeProgram(storeTo(2, pushLong(-1) + pushLong(0x7FFFFFFFFLL) + "native Long." + names[i])).integer(2),
            expected[i])
            << names[i];
    for (const char* f : {"div", "rem"}) {  // division by zero is catchable
        NativeProgram p(storeTo(2, pushLong(5) + pushLong(0) + "native Long." + f));
        EXPECT_EQ(errorOf(p), "3: DivisionByZeroException") << f;
    }
}

// In-place forms; a failed division leaves the long as it was.
TEST(LongNatives, InPlaceFormsNegateConversionsAndWrongOperands) {
    const struct {
        TInt64 a;
        std::string code;
        TInt64 want;
        TInt32 error = 0;
    } cases[] = {
        {INT64_MIN, "native Long.dec\n", INT64_MAX},        {9, pushLong(-4) + "native Long.assign2\n", -4},
        {9, pushLong(2) + "native Long.rem_into\n", 1},     {1, pushLong(64) + "native Long.shl_into\n", 0},
        {-8, pushLong(200) + "native Long.shr_into\n", -1}, {5, pushLong(0) + "native Long.div_into\n", 5, 3},
    };
    for (const auto& c : cases) {
        NativeProgram p(inPlace(c.a, c.code));
        EXPECT_EQ(p.errorCode(), c.error) << p.errorText();
        EXPECT_EQ(valueOf(p), c.want) << c.code;
    }
    // Negate reads the long below the top and writes the new long over the top word.
    NativeProgram p(storeTo(3, pushLong(-5)) +
                    "ldglobals\nfielda 2\nldglobals\nfielda 3\nderef\npush 0\n"
                    "native Long.neg\nstoren 2\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(valueOf(p, 2), -5);  // the operand, untouched
    EXPECT_EQ(valueOf(p, 3), 5);   // the new long, where the top word was
    NativeProgram q("ldglobals\nfielda 2\n" + pushLong(INT64_MIN) + "push 0\nnative Long.neg\nstoren 2\n");
    EXPECT_EQ(valueOf(q, 3), INT64_MIN);
    // Conversions and wrong operands.
    NativeProgram converted(
        storeTo(2, "push -7\nnative Long.from_int") + storeTo(3, pushLong(0x123456789LL) + "native Long.to_int") +
        storeTo(4, pushLong(INT64_MIN) + "native Long.to_string") + "native Long.nop\nnative Long.nop2\n");
    ASSERT_EQ(converted.errorCode(), 0) << converted.errorText();
    EXPECT_EQ(valueOf(converted, 2), -7);
    EXPECT_EQ(converted.integer(3), 0x23456789);
    EXPECT_EQ(converted.text(4), "-9223372036854775808");
    EXPECT_EQ(NativeProgram("push 0\n" + pushLong(1) + "native Long.add\n").errorCode(), 1);
    EXPECT_EQ(NativeProgram("push 0\nnative Long.inc\n").errorCode(), 1);
    // A result is a new plain block: the operand keeps its value.
    NativeProgram r(storeTo(3, pushLong(1)) +
                    storeTo(2, "ldglobals\nfielda 3\nderef\n" + pushLong(2) + "native Long.add"));
    EXPECT_EQ((std::vector<TInt64>{valueOf(r, 2), valueOf(r, 3)}), (std::vector<TInt64>{3, 1}));
    EXPECT_EQ(r.vm.heap().headerOf(r.word(2))->gcCode, TUint32(GC_CODE_PLAIN));
}

}  // namespace mcb
