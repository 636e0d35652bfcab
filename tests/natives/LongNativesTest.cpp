// Long natives: 64-bit wrapping arithmetic on heap blocks, shifts, in-place forms,
// catchable division by zero and the stack effects of each form.
#include "../support/NativeProgram.h"

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
        {5, 256, "shl", 5},  // 256 counts as 0
        {5, 0x141, "shl", 0},  // 0x141 counts as 65
        {5, 0x100000001LL, "shl", 10},
        {TInt64(0xF0F0F0F0F0F0F0F0ULL), TInt64(0xFF00FF00FF00FF00ULL), "and", TInt64(0xF000F000F000F000ULL)},
        {-1, 0xFFFFFFFFLL, "xor", TInt64(0xFFFFFFFF00000000ULL)},
    };
    for (const auto& c : cases) EXPECT_EQ(binary(c.a, c.b, c.f), c.want) << c.a << " " << c.f << " " << c.b;
    const char* names[] = {"eq", "lt", "le", "ne", "gt", "ge"};
    const TInt32 expected[] = {0, 1, 1, 1, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(NativeProgram(storeTo(2, pushLong(-1) + pushLong(0x7FFFFFFFFLL) + "native Long." + names[i])).integer(2),
                  expected[i])
            << names[i];
}

TEST(LongNatives, DivisionByZeroIsCatchable) {
    for (const char* f : {"div", "rem"}) {
        NativeProgram p(storeTo(2, pushLong(5) + pushLong(0) + "native Long." + f));
        EXPECT_EQ(p.errorCode(), 3) << f;
        EXPECT_EQ(p.errorText(), "DivisionByZeroException") << f;
    }
    NativeProgram into(inPlace(5, pushLong(0) + "native Long.div_into\n"));
    EXPECT_EQ(into.errorCode(), 3);
    EXPECT_EQ(valueOf(into), 5);
}

TEST(LongNatives, InPlaceForms) {
    const struct {
        TInt64 a;
        std::string code;
        TInt64 want;
    } cases[] = {
        {INT64_MIN, "native Long.dec\n", INT64_MAX},
        {9, pushLong(-4) + "native Long.assign2\n", -4},
        {9, pushLong(2) + "native Long.rem_into\n", 1},
        {1, pushLong(64) + "native Long.shl_into\n", 0},
        {-8, pushLong(200) + "native Long.shr_into\n", -1},
    };
    for (const auto& c : cases) {
        NativeProgram p(inPlace(c.a, c.code));
        EXPECT_EQ(p.errorCode(), 0) << p.errorText();
        EXPECT_EQ(valueOf(p), c.want) << c.code;
    }
}

TEST(LongNatives, ResultsAreNewBlocks) {
    NativeProgram p(storeTo(3, pushLong(1)) + storeTo(2, "ldglobals\nfielda 3\nderef\n" + pushLong(2) + "native Long.add"));
    EXPECT_NE(p.word(2), p.word(3));
    EXPECT_EQ(valueOf(p, 2), 3);
    EXPECT_EQ(valueOf(p, 3), 1);
    EXPECT_EQ(p.vm.heap().headerOf(p.word(2))->gcCode, TUint32(GC_CODE_PLAIN));
}

// Negate reads the long below the top and writes the new long over the top word.
TEST(LongNatives, NegateKeepsTheStackHeight) {
    NativeProgram p(storeTo(3, pushLong(-5)) + "ldglobals\nfielda 2\nldglobals\nfielda 3\nderef\npush 0\n"
                                              "native Long.neg\nstoren 2\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(valueOf(p, 2), -5);  // the operand, untouched
    EXPECT_EQ(valueOf(p, 3), 5);   // the new long, where the top word was
    NativeProgram q("ldglobals\nfielda 2\n" + pushLong(INT64_MIN) + "push 0\nnative Long.neg\nstoren 2\n");
    EXPECT_EQ(valueOf(q, 3), INT64_MIN);
}

TEST(LongNatives, ConversionsAndWrongOperands) {
    NativeProgram p(storeTo(2, "push -7\nnative Long.from_int") + storeTo(3, pushLong(0x123456789LL) + "native Long.to_int") +
                    storeTo(4, pushLong(INT64_MIN) + "native Long.to_string") + "native Long.nop\nnative Long.nop2\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(valueOf(p, 2), -7);
    EXPECT_EQ(p.integer(3), 0x23456789);
    EXPECT_EQ(p.text(4), "-9223372036854775808");
    EXPECT_EQ(NativeProgram("push 0\n" + pushLong(1) + "native Long.add\n").errorText(),
              "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram("push 0\nnative Long.inc\n").errorCode(), 1);
}
