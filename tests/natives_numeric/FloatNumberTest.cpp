#include "NativeProgram.h"

#include <bit>
#include <cmath>

namespace {
std::string pushFloat(float f) { return "push " + std::to_string(std::bit_cast<TInt32>(f)) + "\n"; }

float floatResult(std::string_view code) { return NativeProgram(storeTo(2, code)).real(2); }

std::string floatText(float f) { return NativeProgram(storeTo(2, pushFloat(f) + "native Float.to_string")).text(2); }
}  // namespace

TEST(FloatNatives, Arithmetic) {
    EXPECT_EQ(floatResult(pushFloat(1.5f) + pushFloat(2.25f) + "native Float.add"), 3.75f);
    EXPECT_EQ(floatResult(pushFloat(1.5f) + pushFloat(2.25f) + "native Float.sub"), -0.75f);
    EXPECT_EQ(floatResult(pushFloat(1.5f) + pushFloat(-2.0f) + "native Float.mul"), -3.0f);
    EXPECT_EQ(floatResult(pushFloat(1.0f) + pushFloat(4.0f) + "native Float.div"), 0.25f);
    EXPECT_TRUE(std::isinf(floatResult(pushFloat(1.0f) + pushFloat(0.0f) + "native Float.div")));
    EXPECT_EQ(floatResult(pushFloat(2.5f) + "native Float.neg"), -2.5f);
}

TEST(FloatNatives, FromFixed) {
    EXPECT_EQ(floatResult(pushFixed(ORaw::parse("-2.75")) + "native Float.from_fixed"), -2.75f);
    EXPECT_EQ(floatResult(pushFixed(ORaw::MAX) + "native Float.from_fixed"), 2147483648.0f);
}

TEST(FloatNatives, IntoFormsChangeTheVariable) {
    const std::string v = "ldglobals\nfielda 2\n";
    NativeProgram p(v + pushFloat(10.0f) + "store\n" + v + pushFloat(2.0f) + "native Float.add_into\n" + v +
                    pushFloat(4.0f) + "native Float.sub_into\n" + v + pushFloat(3.0f) + "native Float.mul_into\n" + v +
                    pushFloat(8.0f) + "native Float.div_into\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.real(2), 3.0f);
}

TEST(FloatNatives, TextHasSixSignificantDigits) {
    EXPECT_EQ(floatText(0.1f), "0.1");
    EXPECT_EQ(floatText(1234567.0f), "1.23457e+06");
    EXPECT_EQ(floatText(100000.0f), "100000");
    EXPECT_EQ(floatText(-2.5f), "-2.5");
    EXPECT_EQ(floatText(1e-5f), "1e-05");
    EXPECT_EQ(floatText(0.0f), "0");
}

TEST(FloatNatives, UnknownFunctionNamesTheNumber) {
    EXPECT_EQ(NativeProgram("native Float, 11\n").errorText(), "VMException: Float: invalid opcode: 11");
    EXPECT_EQ(NativeProgram("native Float, 200\n").errorText(), "VMException: Float: invalid opcode: 200");
}

TEST(NumberNatives, AbsoluteValues) {
    NativeProgram p(storeTo(2, "push 0x80000000\nnative Number.abs_int") + storeTo(3, "push -7\nnative Number.abs_int") +
                    storeTo(4, "push 0xFF\nnative Number.abs_byte") + storeTo(5, "push -128\nnative Number.abs_byte") +
                    storeTo(6, "push 0x105\nnative Number.abs_byte") + storeTo(7, "push 0\nnative Number.abs_byte"));
    EXPECT_EQ(p.integer(2), 2147483647);
    EXPECT_EQ(p.integer(3), 7);
    EXPECT_EQ(p.integer(4), 1);
    EXPECT_EQ(p.integer(5), 128);
    EXPECT_EQ(p.integer(6), 0x105);  // a positive byte gives back the whole word
    EXPECT_EQ(p.integer(7), 0);
}

TEST(NumberNatives, RadixTextIsUnsigned) {
    auto radix = [](TInt32 n, TInt32 r) {
        return NativeProgram(storeTo(2, "push " + std::to_string(n) + "\npush " + std::to_string(r) +
                                            "\nnative Number.to_string_radix")).text(2);
    };
    EXPECT_EQ(radix(255, 16), "ff");
    EXPECT_EQ(radix(-1, 16), "ffffffff");
    EXPECT_EQ(radix(-1, 2), std::string(32, '1'));
    EXPECT_EQ(radix(35, 36), "z");
    EXPECT_EQ(radix(0, 10), "0");
    EXPECT_EQ(radix(-5, 10), "4294967291");
    EXPECT_EQ(radix(10, 1), "");
    EXPECT_EQ(radix(10, 37), "");
}

TEST(ByteNatives, EveryFunctionIsInvalid) {
    EXPECT_EQ(NativeProgram("native Byte, 0\n").errorText(), "VMException: Byte:11");
    EXPECT_EQ(NativeProgram("native Byte, 1\n").errorText(), "VMException: Byte:11");
}

TEST(NumberNatives, UnknownFunction) {
    EXPECT_EQ(NativeProgram("native Number, 4\n").errorText(), "VMException: Number:11");
}
