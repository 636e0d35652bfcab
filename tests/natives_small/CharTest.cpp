#include "../natives_numeric/NativeProgram.h"

TEST(Char, FromIntKeepsTheLow16Bits) {
    NativeProgram p(storeTo(2, "push 0x1F600\nnative Char.from_int") + storeTo(3, "push -1\nnative Char.from_int"));
    EXPECT_EQ(p.integer(2), 0xF600);
    EXPECT_EQ(p.integer(3), 0xFFFF);
}

TEST(Char, CaseMapping) {
    NativeProgram p(storeTo(2, "push 0x41\nnative Char.to_lower") + storeTo(3, "push 0xE9\nnative Char.to_upper") +
                    storeTo(4, "push 0x10061\nnative Char.to_upper") +  // only the low 16 bits count
                    storeTo(5, "push 0x3A3\nnative Char.to_lower"));
    EXPECT_EQ(p.integer(2), 'a');
    EXPECT_EQ(p.integer(3), 0xC9);
    EXPECT_EQ(p.integer(4), 'A');
    EXPECT_EQ(p.integer(5), 0x3C3);
}

TEST(Char, IntoFormsReplaceTheFirstWordAndDropOne) {
    NativeProgram p(storeTo(2, "push 99\npush 0x5A\nnative Char.lower_into") +
                    storeTo(3, "push 99\npush 0x7A\nnative Char.upper_into"));
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.integer(2), 'z');
    EXPECT_EQ(p.integer(3), 'Z');
}

TEST(Char, Classes) {
    NativeProgram p(storeTo(2, "push 0xE9\nnative Char.is_letter") + storeTo(3, "push 0x37\nnative Char.is_digit") +
                    storeTo(4, "push 0x20\nnative Char.is_space") + storeTo(5, "push 0x41\nnative Char.is_digit") +
                    storeTo(6, "push 0x660\nnative Char.is_digit") + storeTo(7, "push 0x2D\nnative Char.is_letter"));
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(3), 1);
    EXPECT_EQ(p.integer(4), 1);
    EXPECT_EQ(p.integer(5), 0);
    EXPECT_EQ(p.integer(6), 1);  // Arabic-Indic zero
    EXPECT_EQ(p.integer(7), 0);
}

TEST(Char, ToString) {
    NativeProgram p(storeTo(2, "push 0xE9\nnative Char.to_string"));
    EXPECT_EQ(p.text(2), "\xC3\xA9");
}

TEST(Char, UnknownFunction) {
    NativeProgram p("native Char, 0\n");
    EXPECT_EQ(p.errorText(), "VMException: Char:11");
}
