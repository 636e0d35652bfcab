// String natives that read strings: length, characters, search, count, most
// frequent character, starts and ends, run as assembly programs.
#include "NativeProgram.h"

namespace {
const char* kTexts = R"(
.string hello "Hello"
.string abcabc "abcabc"
.string a "a"
.string A "A"
.string bc "BC"
.string aa "aa"
.string aaaa "aaaa"
.string ll "LL"
.string empty ""
.string abab "abab"
.string aBb "AbB"
.string five "abcde"
.string he "he"
.string lo "LO"
.string long "Hello!!"
)";

// Runs `body` and returns the word it leaves, stored in global 2.
TInt32 intResult(const std::string& body) {
    NativeProgram p(body + "\n    @store 2\n", kTexts);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    return p.global(2);
}

std::string errorResult(const std::string& body) {
    NativeProgram p(body, kTexts);
    return errorOf(p);
}
}  // namespace

TEST(StringQuery, LengthAndEmptiness) {
    EXPECT_EQ(intResult("ldstr hello\n native String.length"), 5);
    EXPECT_EQ(intResult("ldstr empty\n native String.length"), 0);
    EXPECT_EQ(intResult("ldstr empty\n native String.is_empty"), 1);
    EXPECT_EQ(intResult("ldstr hello\n native String.is_empty"), 0);
}

TEST(StringQuery, CharactersByIndexAndAtTheEnds) {
    EXPECT_EQ(intResult("ldstr hello\n push 1\n native String.char_at"), 'e');
    EXPECT_EQ(intResult("ldstr hello\n native String.first_char"), 'H');
    EXPECT_EQ(intResult("ldstr hello\n native String.last_char"), 'o');
    EXPECT_EQ(errorResult("ldstr hello\n push 5\n native String.char_at"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr hello\n push -1\n native String.char_at"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr empty\n native String.first_char"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr empty\n native String.last_char"), "2: IndexOutOfBoundsException");
}

TEST(StringQuery, FindAsRangeLeavesTwoWords) {
    NativeProgram p(R"(
    push 77
    ldstr hello
    ldstr ll
    native String.find_range
    @store 3
    @store 2
    @store 4
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.global(2), 2);
    EXPECT_EQ(p.global(3), 2);
    EXPECT_EQ(p.global(4), 77);  // nothing below the arguments was touched
    NativeProgram none("ldstr hello\n ldstr aa\n native String.find_range\n @store 3\n @store 2", kTexts);
    ASSERT_TRUE(none.run());
    EXPECT_EQ(none.global(2), 0);
    EXPECT_EQ(none.global(3), 0);
}

TEST(StringQuery, FindFirstFamily) {
    // (s, x, range): the position counts from the start of s.
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n push 2\n push -1\n native String.find_first_r"), 3);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n push 0\n push 0\n native String.find_first_r"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 0\n native String.find_first_f"), 1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 1\n native String.find_first_f"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 2\n push 4\n push 1\n native String.find_first_rf"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 2\n push 4\n push 0\n native String.find_first_rf"), 4);
    EXPECT_EQ(intResult("ldstr abcabc\n push 99\n native String.find_first_c"), 2);    // 'c'
    EXPECT_EQ(intResult("ldstr abcabc\n push 67\n native String.find_first_c"), 2);    // 'C', no flag: lower-cased
    EXPECT_EQ(intResult("ldstr abcabc\n push 99\n push 3\n push 3\n native String.find_first_cr"), 5);
    EXPECT_EQ(intResult("ldstr abcabc\n push 67\n push 1\n native String.find_first_cf"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n push 67\n push 1\n push -1\n push 0\n native String.find_first_crf"), 2);
    // An empty pattern and a pattern longer than the part are never found.
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr empty\n push 0\n native String.find_first_f"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 5\n push 1\n native String.find_first_r"), -1);
}

TEST(StringQuery, FindLastFamily) {
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n native String.find_last"), 3);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr A\n native String.find_last"), 3);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n push 0\n push 3\n native String.find_last_r"), 0);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr A\n push 1\n native String.find_last_f"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr bc\n push 0\n push 3\n push 0\n native String.find_last_rf"), 1);
    EXPECT_EQ(intResult("ldstr abcabc\n push 98\n native String.find_last_c"), 4);
    EXPECT_EQ(intResult("ldstr abcabc\n push 98\n push 0\n push 4\n native String.find_last_cr"), 1);
    EXPECT_EQ(intResult("ldstr abcabc\n push 66\n push 0\n native String.find_last_cf"), 4);
    EXPECT_EQ(intResult("ldstr abcabc\n push 66\n push 0\n push -1\n push 1\n native String.find_last_crf"), -1);
}

TEST(StringQuery, FindBeforeTakesTheRangeFirst) {
    EXPECT_EQ(intResult("ldstr abcabc\n push 1\n push -1\n ldstr A\n native String.find_first_before"), 3);
    EXPECT_EQ(intResult("ldstr abcabc\n push 1\n push -1\n ldstr A\n push 1\n native String.find_first_before_f"), -1);
    EXPECT_EQ(intResult("ldstr abcabc\n push 0\n push 4\n ldstr a\n native String.find_last_before"), 3);
    EXPECT_EQ(intResult("ldstr abcabc\n push 0\n push 3\n ldstr a\n push 1\n native String.find_last_before_f"), 0);
}

TEST(StringQuery, RangeRules) {
    // (0, 0) is the empty range on any string; (3, 0) on five characters is not.
    EXPECT_EQ(intResult("ldstr five\n ldstr a\n push 0\n push 0\n native String.find_first_r"), -1);
    EXPECT_EQ(errorResult("ldstr five\n ldstr a\n push 3\n push 0\n native String.find_first_r"), "5: RangeException");
    EXPECT_EQ(errorResult("ldstr five\n ldstr a\n push -1\n push 2\n native String.find_first_r"), "5: RangeException");
    EXPECT_EQ(errorResult("ldstr five\n ldstr a\n push 2\n push 4\n native String.find_first_r"), "5: RangeException");
    EXPECT_EQ(errorResult("ldstr five\n ldstr a\n push 5\n push -1\n native String.find_first_r"), "5: RangeException");
    EXPECT_EQ(intResult("ldstr empty\n ldstr a\n push 0\n push -1\n native String.find_first_r"), -1);
    EXPECT_EQ(errorResult("ldstr five\n ldstr a\n push 1\n push 0x7fffffff\n native String.find_first_r"),
              "5: RangeException");
}

TEST(StringQuery, CountIsNonOverlapping) {
    EXPECT_EQ(intResult("ldstr aaaa\n ldstr aa\n native String.count"), 2);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr A\n native String.count"), 2);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n push 1\n push -1\n native String.count_r"), 1);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr A\n push 1\n native String.count_f"), 0);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr A\n push 0\n push 4\n push 0\n native String.count_rf"), 2);
    EXPECT_EQ(intResult("ldstr abcabc\n push 99\n native String.count_c"), 2);
    EXPECT_EQ(intResult("ldstr abcabc\n push 99\n push 0\n push 3\n native String.count_cr"), 1);
    EXPECT_EQ(intResult("ldstr abcabc\n push 67\n push 1\n native String.count_cf"), 0);
    EXPECT_EQ(intResult("ldstr abcabc\n push 67\n push 0\n push -1\n push 0\n native String.count_crf"), 2);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr empty\n native String.count"), 0);
    EXPECT_EQ(intResult("ldstr abcabc\n ldstr a\n push 0\n push 0\n native String.count_r"), 0);
}

TEST(StringQuery, MostFrequentCharacter) {
    EXPECT_EQ(intResult("ldstr abab\n native String.most_frequent"), 'a');
    EXPECT_EQ(intResult("ldstr aBb\n native String.most_frequent"), 'b');  // lower-cased result
    EXPECT_EQ(intResult("ldstr aBb\n push 1\n native String.most_frequent_f"), 'A');
    EXPECT_EQ(intResult("ldstr abab\n push 1\n push -1\n native String.most_frequent_r"), 'b');
    EXPECT_EQ(intResult("ldstr aBb\n push 1\n push 2\n push 1\n native String.most_frequent_rf"), 'b');  // tie: first seen
    EXPECT_EQ(errorResult("ldstr empty\n native String.most_frequent"), "4: DataFormatException: ");
    EXPECT_EQ(errorResult("ldstr abab\n push 2\n push 5\n native String.most_frequent_r"), "5: RangeException");
}

TEST(StringQuery, StartsAndEndsWith) {
    EXPECT_EQ(intResult("ldstr hello\n ldstr he\n native String.starts_with"), 1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr he\n push 1\n native String.starts_with_f"), 0);
    EXPECT_EQ(intResult("ldstr hello\n ldstr lo\n native String.ends_with"), 1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr lo\n push 1\n native String.ends_with_f"), 0);
    EXPECT_EQ(intResult("ldstr hello\n ldstr empty\n native String.starts_with"), 0);
    EXPECT_EQ(intResult("ldstr empty\n ldstr empty\n native String.ends_with"), 0);
    EXPECT_EQ(intResult("ldstr hello\n ldstr long\n native String.starts_with"), 0);
}
