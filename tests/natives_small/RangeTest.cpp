#include "../natives_numeric/NativeProgram.h"

// Global 2-3 is the range variable; "rv" pushes its address.
namespace {
std::string withRange(std::string_view body) {
    std::string s(body);
    for (size_t at; (at = s.find("rv\n")) != std::string::npos;) s.replace(at, 3, "ldglobals\nfielda 2\n");
    return s;
}
}  // namespace

TEST(Range, FromFirstAndLast) {
    NativeProgram p(withRange("rv\npush 3\npush 3\nnative Range.set_first_last\n"));
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.integer(2), 3);
    EXPECT_EQ(p.integer(3), 1);
}

TEST(Range, FirstAfterLastIsInvalidAndChangesNothing) {
    NativeProgram p(withRange("rv\npush 1\npush 9\nnative Range.set_start_length\n"
                              "rv\npush 4\npush 3\nnative Range.set_first_last\n"));
    EXPECT_EQ(p.errorCode(), 6);
    EXPECT_EQ(p.errorText(), "InvalidArgumentException");
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(3), 9);
}

TEST(Range, WholeIntRangeFromZeroReadsAsToTheEnd) {
    NativeProgram p(withRange("rv\npush 0\npush 0x7FFFFFFF\nnative Range.set_first_last\n"));
    EXPECT_EQ(p.integer(2), 0);
    EXPECT_LT(p.integer(3), 0);
}

TEST(Range, SetToEnd) {
    NativeProgram p(withRange("rv\npush 2\nnative Range.set_to_end\n"));
    EXPECT_EQ(p.integer(2), 2);
    EXPECT_EQ(p.integer(3), -1);
    NativeProgram q(withRange("rv\npush -1\nnative Range.set_to_end2\n"));
    EXPECT_EQ(q.errorCode(), 6);
}

TEST(Range, ReadersAndSetters) {
    NativeProgram p(withRange("rv\npush 5\npush 6\nnative Range.set_start_length\n"
                              "rv\npush 7\nnative Range.set_start\n"
                              "rv\npush 8\nnative Range.set_length\n") +
                    storeTo(4, withRange("rv\nnative Range.start")) +
                    storeTo(5, withRange("rv\nnative Range.length")));
    EXPECT_EQ(p.integer(4), 7);
    EXPECT_EQ(p.integer(5), 8);
    for (const char* bad : {"rv\npush -1\nnative Range.set_start\n", "rv\npush -1\nnative Range.set_length\n",
                            "rv\npush -1\npush 0\nnative Range.set_start_length\n",
                            "rv\npush 0\npush -2\nnative Range.set_start_length\n"}) {
        NativeProgram q(withRange(bad));
        EXPECT_EQ(q.errorCode(), 6) << bad;
    }
}

TEST(Range, EmptyAndAssign) {
    NativeProgram p(withRange("rv\npush 4\npush 5\nnative Range.set_start_length\n"
                              "ldglobals\nfielda 4\nrv\nnative Range.assign\n"
                              "rv\nnative Range.set_empty\n"));
    EXPECT_EQ(p.integer(2), 0);
    EXPECT_EQ(p.integer(3), 0);
    EXPECT_EQ(p.integer(4), 4);
    EXPECT_EQ(p.integer(5), 5);
}

TEST(Range, EqualityOfValues) {
    NativeProgram p(storeTo(2, "push 0\npush -1\npush 0\npush -1\nnative Range.eq") +
                    storeTo(3, "push 0\npush -1\npush 0\npush -1\nnative Range.ne") +
                    storeTo(4, "push 1\npush 2\npush 2\npush 1\nnative Range.eq"));
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(3), 0);
    EXPECT_EQ(p.integer(4), 0);
}

TEST(Range, NullOrWildReferences) {
    NativeProgram p("push 0\nnative Range.set_empty\n");
    EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer");
    NativeProgram q("push 0x7FFFFFF0\nnative Range.start\n");
    EXPECT_EQ(q.errorCode(), 10);
    NativeProgram r("native Range, 13\n");
    EXPECT_EQ(r.errorText(), "VMException: Range:11");
}
