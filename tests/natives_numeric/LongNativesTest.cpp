#include "NativeProgram.h"

namespace {
// Global 2 receives the reference to the new long that `code` leaves.
NativeProgram longResult(std::string_view code) { return NativeProgram(storeTo(2, code)); }

TInt64 valueOf(NativeProgram& p, int g = 2) {
    const VMAddr block = p.word(g);
    return TInt64(TUint64(p.vm.memory().readWord(block + 4)) << 32 | p.vm.memory().readWord(block));
}

TInt64 binary(TInt64 a, TInt64 b, std::string_view function) {
    NativeProgram p = longResult(pushLong(a) + pushLong(b) + "native Long." + std::string(function));
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    return valueOf(p);
}

TInt32 compare(TInt64 a, TInt64 b, std::string_view function) {
    return NativeProgram(storeTo(2, pushLong(a) + pushLong(b) + "native Long." + std::string(function))).integer(2);
}

// Runs an in-place function on the long at global 2, which starts as `a`.
TInt64 inPlace(TInt64 a, std::string_view code) {
    NativeProgram p(storeTo(2, pushLong(a)) + "ldglobals\nfielda 2\nderef\n" + std::string(code));
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    return valueOf(p);
}
}  // namespace

TEST(LongNatives, ArithmeticWraps) {
    EXPECT_EQ(binary(INT64_MAX, 1, "add"), INT64_MIN);
    EXPECT_EQ(binary(INT64_MIN, 1, "sub"), INT64_MAX);
    EXPECT_EQ(binary(0x100000000LL, 0x100000000LL, "mul"), 0);
    EXPECT_EQ(binary(-3000000000LL, 7, "mul"), -21000000000LL);
    EXPECT_EQ(binary(-7, 2, "div"), -3);
    EXPECT_EQ(binary(-7, 2, "rem"), -1);
    EXPECT_EQ(binary(7, -2, "rem"), 1);
    EXPECT_EQ(binary(INT64_MIN, -1, "div"), INT64_MIN);
    EXPECT_EQ(binary(INT64_MIN, -1, "rem"), 0);
}

TEST(LongNatives, DivisionByZeroIsCatchable) {
    for (const char* f : {"div", "rem"}) {
        NativeProgram p = longResult(pushLong(5) + pushLong(0) + "native Long." + f);
        EXPECT_EQ(p.errorCode(), 3) << f;
        EXPECT_EQ(p.errorText(), "DivisionByZeroException") << f;
    }
    NativeProgram into(storeTo(2, pushLong(5)) + "ldglobals\nfielda 2\nderef\n" + pushLong(0) + "native Long.div_into\n");
    EXPECT_EQ(into.errorCode(), 3);
    EXPECT_EQ(valueOf(into), 5);
}

TEST(LongNatives, ShiftsAtAndBeyond64) {
    EXPECT_EQ(binary(1, 63, "shl"), INT64_MIN);
    EXPECT_EQ(binary(1, 64, "shl"), 0);
    EXPECT_EQ(binary(-1, 70, "shr"), -1);
    EXPECT_EQ(binary(INT64_MAX, 64, "shr"), 0);
    EXPECT_EQ(binary(-256, 4, "shr"), -16);
    // Only the low 8 bits of the count: 256 is 0, 0x141 is 65.
    EXPECT_EQ(binary(5, 256, "shl"), 5);
    EXPECT_EQ(binary(5, 0x141, "shl"), 0);
    EXPECT_EQ(binary(5, 0x100000001LL, "shl"), 10);
}

TEST(LongNatives, Bitwise) {
    EXPECT_EQ(binary(0xF0F0F0F0F0F0F0F0LL, 0xFF00FF00FF00FF00LL, "and"), TInt64(0xF000F000F000F000ULL));
    EXPECT_EQ(binary(0x1, 0x100000000LL, "or"), 0x100000001LL);
    EXPECT_EQ(binary(-1, 0xFFFFFFFFLL, "xor"), TInt64(0xFFFFFFFF00000000ULL));
}

TEST(LongNatives, ComparisonsAreSigned) {
    const char* names[] = {"eq", "lt", "le", "ne", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(compare(-1, 0x7FFFFFFFFLL, names[i]), expected[i]) << names[i];
    EXPECT_EQ(compare(INT64_MIN, INT64_MIN, "eq"), 1);
}

TEST(LongNatives, InPlaceForms) {
    EXPECT_EQ(inPlace(41, "native Long.inc\n"), 42);
    EXPECT_EQ(inPlace(INT64_MIN, "native Long.dec\n"), INT64_MAX);
    EXPECT_EQ(inPlace(9, "native Long.set_zero\n"), 0);
    EXPECT_EQ(inPlace(9, pushLong(-4) + "native Long.assign\n"), -4);
    EXPECT_EQ(inPlace(9, pushLong(-4) + "native Long.assign2\n"), -4);
    EXPECT_EQ(inPlace(9, pushLong(3) + "native Long.add_into\n"), 12);
    EXPECT_EQ(inPlace(9, pushLong(3) + "native Long.sub_into\n"), 6);
    EXPECT_EQ(inPlace(9, pushLong(3) + "native Long.mul_into\n"), 27);
    EXPECT_EQ(inPlace(9, pushLong(2) + "native Long.div_into\n"), 4);
    EXPECT_EQ(inPlace(9, pushLong(2) + "native Long.rem_into\n"), 1);
    EXPECT_EQ(inPlace(12, pushLong(10) + "native Long.and_into\n"), 8);
    EXPECT_EQ(inPlace(12, pushLong(3) + "native Long.or_into\n"), 15);
    EXPECT_EQ(inPlace(12, pushLong(10) + "native Long.xor_into\n"), 6);
    EXPECT_EQ(inPlace(1, pushLong(64) + "native Long.shl_into\n"), 0);
    EXPECT_EQ(inPlace(-8, pushLong(200) + "native Long.shr_into\n"), -1);
}

TEST(LongNatives, ResultsAreNewBlocks) {
    NativeProgram p(storeTo(3, pushLong(1)) + storeTo(2, "ldglobals\nfielda 3\nderef\n" + pushLong(2) + "native Long.add"));
    EXPECT_NE(p.word(2), p.word(3));
    EXPECT_EQ(valueOf(p, 2), 3);
    EXPECT_EQ(valueOf(p, 3), 1);
    EXPECT_EQ(p.vm.heap().headerOf(p.word(2))->gcCode, TUint32(GC_CODE_PLAIN));
}

// Negate reads the long below the top and writes the new long over the top
// word, keeping the stack height.
TEST(LongNatives, NegateKeepsTheStackHeight) {
    NativeProgram p(storeTo(3, pushLong(-5)) + R"(
    ldglobals
    fielda 2
    ldglobals
    fielda 3
    deref
    push 0
    native Long.neg
    storen 2
)");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(valueOf(p, 2), -5);  // the operand, untouched
    EXPECT_EQ(valueOf(p, 3), 5);   // the new long, where the top word was
    NativeProgram q("ldglobals\nfielda 2\n" + pushLong(INT64_MIN) + "push 0\nnative Long.neg\nstoren 2\n");
    EXPECT_EQ(valueOf(q, 3), INT64_MIN);
}

TEST(LongNatives, Conversions) {
    NativeProgram p(storeTo(2, "push -7\nnative Long.from_int") + storeTo(3, pushLong(0x123456789LL) + "native Long.to_int") +
                    storeTo(4, pushLong(INT64_MIN) + "native Long.to_string") +
                    storeTo(5, pushLong(0) + "native Long.to_string") + "native Long.nop\nnative Long.nop2\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(valueOf(p, 2), -7);
    EXPECT_EQ(p.integer(3), 0x23456789);
    EXPECT_EQ(p.text(4), "-9223372036854775808");
    EXPECT_EQ(p.text(5), "0");
}

TEST(LongNatives, NullLongs) {
    NativeProgram p("push 0\n" + pushLong(1) + "native Long.add\n");
    EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram("push 0\nnative Long.inc\n").errorCode(), 1);
}

TEST(LongNatives, ReservedAndUnknownFunctions) {
    EXPECT_EQ(NativeProgram("native Long, 4\n").errorText(), "VMException: Long:11");
    EXPECT_EQ(NativeProgram("native Long, 39\n").errorText(), "VMException: Long:11");
}
