// The String group's dispatch: invalid and reserved opcodes end in an orderly
// VM error 10 naming the bytecode position, null and wrong operands raise, and
// opcodes above 127 arrive unsigned.
#include "NativeProgram.h"

namespace {
const char* kTexts = R"(
.string hello "Hello"
.string empty ""
)";

std::string errorResult(const std::string& body) {
    NativeProgram p(body, kTexts);
    return errorOf(p);
}
}  // namespace

TEST(StringDispatch, InvalidAndReservedOpcodesNameTheProgramCounter) {
    // main's handler takes bytes 0-8 and ldstr 9-13, so the native's last byte is 16.
    for (int opcode : {0, 3, 6, 13, 54, 55, 56, 161, 200, 255})
        EXPECT_EQ(errorResult("ldstr hello\n native 8, " + std::to_string(opcode)), "10: VMException: String:16")
            << "opcode " << opcode;
}

TEST(StringDispatch, OpcodesAboveOneHundredTwentySevenAreReadUnsigned) {
    NativeProgram p(R"(
    push 97
    native String.char_to_upper
    @store 2
    push 5
    native String.nop
    @store 3
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(2), 'A');
    EXPECT_EQ(p.global(3), 5);  // 151 takes no arguments
}

TEST(StringDispatch, NullOperandsRaiseNullPointer) {
    EXPECT_EQ(errorResult("push 0\n native String.length"), "1: NullPointerException: NULL pointer");
    // A cell that holds no string yet.
    EXPECT_EQ(errorResult("push 0\n box\n native String.length"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("ldstr hello\n push 0\n native String.append"), "1: NullPointerException: NULL pointer");
}

TEST(StringDispatch, OperandsThatAreNotStringsAreRejected) {
    EXPECT_EQ(errorResult("push 99\n box\n native String.length"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("push 0x10\n native String.length"), "10: VMException: Bad VM address 0x00000010");
    EXPECT_EQ(errorResult("@vec 4\n native String.length"), "10: VMException: Invalid TYPEID");
}

TEST(StringDispatch, TooFewStackWordsAreAnError) {
    NativeProgram p("native String.concat", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 10);
}
