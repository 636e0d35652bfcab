#include "../natives_numeric/NativeProgram.h"

using Bytes = std::vector<TUint8>;

TEST(Encoder, ToUtf8WritesEachCharacter) {
    NativeProgram p(storeTo(2, "ldstr s\nnative Encoder.to_utf8"), ".string s \"A\\u{E9}\\u{20AC}\"\n");
    ASSERT_EQ(p.errorCode(), 0);
    EXPECT_EQ(bytesAt(p, 2), (Bytes{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
}

TEST(Encoder, EAcuteRoundTrips) {
    NativeProgram p(storeTo(2, "ldstr s\nnative Encoder.to_utf8") +
                    storeTo(3, "ldglobals\nfielda 2\nderef\nnative Encoder.from_utf8"),
                    ".string s \"\\u{E9}\"\n");
    ASSERT_EQ(p.errorCode(), 0);
    EXPECT_EQ(bytesAt(p, 2), (Bytes{0xC3, 0xA9}));
    EXPECT_EQ(p.text(3), "\xC3\xA9");
}

TEST(Encoder, EmptyStringGivesEmptyVector) {
    NativeProgram p(storeTo(2, "ldstr s\nnative Encoder.to_utf8"), ".string s \"\"\n");
    EXPECT_EQ(bytesAt(p, 2), Bytes{});
}

// A surrogate pair (here from a 4-byte sequence) comes out as one 4-byte sequence.
TEST(Encoder, SurrogatePairRoundTripsAsOneSequence) {
    NativeProgram p(storeTo(2, "extcall 20, 99\nnative Encoder.from_utf8") +
                        storeTo(4, "ldglobals\nfielda 2\nderef\nnative Encoder.to_utf8"),
                    {}, handingBytes({0xF0, 0x9F, 0x98, 0x80}));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    const OString& s = p.vm.stringOf(p.word(2));
    ASSERT_EQ(s.length(), 2);
    EXPECT_EQ(s.charAt(0), 0xD83D);
    EXPECT_EQ(s.charAt(1), 0xDE00);
    EXPECT_EQ(bytesAt(p, 4), (Bytes{0xF0, 0x9F, 0x98, 0x80}));
}

// A lone half is written as its own 3-byte sequence, which strict decoding refuses.
TEST(Encoder, LoneSurrogateHalfDoesNotReadBack) {
    NativeProgram q(R"(
    ldglobals
    fielda 2
    push 0xD83D
    native Char.to_string
    store
)" + storeTo(3, "ldglobals\nfielda 2\nderef\nnative Encoder.to_utf8") +
                    storeTo(4, "ldglobals\nfielda 3\nderef\nnative Encoder.from_utf8"));
    EXPECT_EQ(bytesAt(q, 3), (Bytes{0xED, 0xA0, 0xBD}));
    EXPECT_EQ(q.errorCode(), 4);
    EXPECT_EQ(q.errorText(), "DataFormatException: ");
    EXPECT_EQ(q.word(4), 0u);
}

TEST(Encoder, InvalidLeadByteIsDataFormat) {
    NativeProgram p(storeTo(2, "extcall 20, 99\nnative Encoder.from_utf8"), {}, handingBytes({0x41, 0xFF}));
    EXPECT_EQ(p.errorCode(), 4);
    NativeProgram cut(storeTo(2, "extcall 20, 99\nnative Encoder.from_utf8"), {}, handingBytes({0xC3}));
    EXPECT_EQ(cut.errorCode(), 4);
}

TEST(Encoder, NullOperands) {
    NativeProgram p("push 0\nnative Encoder.to_utf8\n");
    EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer");
    NativeProgram q("push 0\nnative Encoder.from_utf8\n");
    EXPECT_EQ(q.errorText(), "NullPointerException: NULL pointer");
    NativeProgram r("push 0\nbox\nnative Encoder.from_utf8\n");  // a cell holding null
    EXPECT_EQ(r.errorText(), "NullPointerException: NULL pointer");
}

TEST(Encoder, AStringIsNotAByteVector) {
    NativeProgram p("ldstr s\nnative Encoder.from_utf8\n", ".string s \"x\"\n");
    EXPECT_EQ(p.errorCode(), 10);
    EXPECT_EQ(p.errorText(), "VMException: Invalid TYPEID");
}
