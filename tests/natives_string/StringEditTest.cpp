// String natives that edit a string object in place (every cell that refers to it
// sees the change) or make new strings into destination cells.
#include "NativeProgram.h"

namespace {
const char* kTexts = R"(
.string hello "Hello"
.string abcabc "abcabc"
.string a "a"
.string A "A"
.string X "X"
.string xy "xy"
.string bc "BC"
.string empty ""
.string spaced "  a  b  "
.string blanks "   "
.string mixed "MiXeD"
.string csv ",a,,b,"
.string abc "abc"
.string acb "a,b"
)";

// Runs `ops` on a new string made from constant `source` (its cell is global 2)
// and returns the string afterwards. The word pushed before must still be there:
// editing opcodes leave nothing on the stack.
std::string edited(const std::string& source, const std::string& ops) {
    NativeProgram p("push 4321\n ldstr " + source + "\n @keep 2\n" + ops + "\n @store 3\n", kTexts);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(3), 4321) << "stack effect of " << ops;
    return p.code() == 0 ? p.str(2) : "error " + p.text();
}

std::string errorResult(const std::string& body) {
    NativeProgram p(body, kTexts);
    return errorOf(p);
}

// Runs `ops` with the cell of a new string from `source` in global 2 as the
// destination and returns the string the cell holds afterwards.
std::string assigned(const std::string& source, const std::string& ops) {
    NativeProgram p("ldstr " + source + "\n @keep 2\n" + ops + "\n", kTexts);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    return p.code() == 0 ? p.str(2) : "error " + p.text();
}
}  // namespace

TEST(StringEdit, SetIntoDestinations) {
    EXPECT_EQ(assigned("hello", "native String.set_empty"), "");
    EXPECT_EQ(assigned("empty", "ldstr abc\n native String.set_copy"), "abc");
    EXPECT_EQ(assigned("empty", "ldstr abc\n native String.set_copy2"), "abc");
    EXPECT_EQ(assigned("empty", "push 122\n push 3\n native String.set_repeated_char"), "zzz");
    EXPECT_EQ(assigned("empty", "push 122\n push 0\n native String.set_repeated_char"), "");
    EXPECT_EQ(assigned("empty", "ldstr hello\n push 1\n push 3\n native String.set_substring"), "ell");
    EXPECT_EQ(assigned("empty", "ldstr hello\n push 2\n push -1\n native String.set_substring"), "llo");
    EXPECT_EQ(assigned("empty", "ldstr hello\n push 2\n native String.set_stepped"), "Hlo");
    EXPECT_EQ(assigned("empty", "ldstr hello\n push 1\n push -1\n push 2\n native String.set_stepped_r"), "el");
    EXPECT_EQ(assigned("empty", "ldstr empty\n push 3\n native String.set_stepped"), "");
}

TEST(StringEdit, SetFailuresLeaveTheDestinationAlone) {
    NativeProgram p("ldstr hello\n @keep 2\n push 65\n push -1\n native String.set_repeated_char", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 6);
    EXPECT_EQ(p.str(2), "Hello");
    EXPECT_EQ(errorResult("ldstr a\n ldstr hello\n push 0\n native String.set_stepped"), "6: InvalidArgumentException");
    EXPECT_EQ(errorResult("ldstr a\n ldstr empty\n push 0\n native String.set_stepped"), "6: InvalidArgumentException");
    EXPECT_EQ(errorResult("push 0\n native String.set_empty"), "1: NullPointerException: NULL pointer");
}

TEST(StringEdit, EditsAreSeenThroughEveryCell) {
    // set_copy shares the object's characters, not the object: the copy stays.
    NativeProgram p(R"(
    ldstr hello
    @keep 2
    ldstr empty
    @keep 3
    ldloc -2
    native String.set_copy
    @load 2
    push 33
    native String.append_char
    ; a second cell referring to the same object sees the change
    @load 2
    deref
    box
    @store 4
    adjsp -1
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.str(2), "Hello!");
    EXPECT_EQ(p.str(3), "Hello");
    EXPECT_EQ(p.str(4), "Hello!");
}

TEST(StringEdit, Insertion) {
    EXPECT_EQ(edited("hello", "ldstr xy\n push 1\n native String.insert"), "Hxyello");
    EXPECT_EQ(edited("hello", "ldstr xy\n push 5\n native String.insert"), "Helloxy");
    EXPECT_EQ(edited("hello", "push 33\n push 0\n native String.insert_char"), "!Hello");
    EXPECT_EQ(edited("hello", "ldstr abcabc\n push 1\n push 2\n push 2\n native String.insert_part"), "Hebcllo");
    EXPECT_EQ(edited("hello", "ldstr abcabc\n push 0\n push 0\n push 5\n native String.insert_part"), "Hello");
    EXPECT_EQ(errorResult("ldstr hello\n ldstr abcabc\n push 0\n push 0\n push 9\n native String.insert_part"),
              "2: IndexOutOfBoundsException");
    EXPECT_EQ(edited("empty", "ldstr xy\n push 0\n native String.insert"), "xy");
    EXPECT_EQ(errorResult("ldstr hello\n ldstr xy\n push 6\n native String.insert"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr hello\n push 33\n push -1\n native String.insert_char"),
              "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr hello\n ldstr xy\n push 1\n push 2\n push 0\n native String.insert_part"),
              "5: RangeException");
}

TEST(StringEdit, PrependAppendRepeat) {
    EXPECT_EQ(edited("hello", "ldstr xy\n native String.prepend"), "xyHello");
    EXPECT_EQ(edited("hello", "push 62\n native String.prepend_char"), ">Hello");
    EXPECT_EQ(edited("hello", "ldstr xy\n native String.append"), "Helloxy");
    EXPECT_EQ(edited("hello", "push 33\n native String.append_char"), "Hello!");
    EXPECT_EQ(edited("hello", "ldstr xy\n native String.append2"), "Helloxy");
    EXPECT_EQ(edited("hello", "push 33\n native String.append_char2"), "Hello!");
    EXPECT_EQ(edited("xy", "push 3\n native String.repeat_in_place"), "xyxyxy");
    EXPECT_EQ(edited("xy", "push 0\n native String.repeat_in_place"), "");
    EXPECT_EQ(errorResult("ldstr xy\n push -1\n native String.repeat_in_place"), "6: InvalidArgumentException");
    // A string appended to itself.
    EXPECT_EQ(edited("xy", "@load 2\n native String.append"), "xyxy");
}

TEST(StringEdit, ReplaceRange) {
    EXPECT_EQ(edited("hello", "push 1\n push 3\n ldstr xy\n native String.replace_range"), "Hxyo");
    EXPECT_EQ(edited("hello", "push 1\n push -1\n ldstr empty\n native String.replace_range"), "H");
    EXPECT_EQ(edited("hello", "push 0\n push 0\n ldstr xy\n native String.replace_range"), "Hello");
    EXPECT_EQ(edited("hello", "push 4\n push 1\n push 33\n native String.replace_range_char"), "Hell!");
    EXPECT_EQ(errorResult("ldstr hello\n push 2\n push 0\n ldstr xy\n native String.replace_range"),
              "5: RangeException");
}

TEST(StringEdit, ReplaceFirstLastAll) {
    EXPECT_EQ(edited("abcabc", "ldstr bc\n ldstr X\n native String.replace_first"), "aXabc");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n ldstr X\n push 1\n native String.replace_first_f"), "abcabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 33\n native String.replace_first_c"), "!bcabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 33\n push 1\n native String.replace_first_cf"), "abcabc");
    EXPECT_EQ(edited("abcabc", "ldstr a\n push 1\n push -1\n ldstr xy\n native String.replace_first_r"), "abcxybc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 1\n push -1\n ldstr xy\n push 0\n native String.replace_first_rf"),
              "abcxybc");
    EXPECT_EQ(edited("abcabc", "ldstr a\n push 0\n push 3\n push 33\n native String.replace_first_rc"), "!bcabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 0\n push 3\n push 33\n push 1\n native String.replace_first_rcf"),
              "abcabc");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n ldstr X\n native String.replace_last"), "abcaX");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n push 0\n push 4\n ldstr X\n native String.replace_last_r"), "aXabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 33\n native String.replace_last_c"), "abc!bc");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n ldstr X\n native String.replace_all"), "aXaX");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n ldstr empty\n native String.replace_all"), "aa");  // removes
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 33\n push 1\n native String.replace_all_cf"), "abcabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 1\n push -1\n push 33\n push 0\n native String.replace_all_rcf"),
              "abc!bc");
    EXPECT_EQ(edited("abcabc", "ldstr empty\n ldstr X\n native String.replace_all"), "abcabc");
}

TEST(StringEdit, ReplaceAllWithTheRangeBeforeThePatterns) {
    EXPECT_EQ(edited("abcabc", "push 1\n push -1\n ldstr A\n ldstr xy\n native String.replace_all_before"),
              "abcxybc");
    EXPECT_EQ(edited("abcabc", "push 0\n push -1\n ldstr A\n ldstr xy\n push 1\n native String.replace_all_before_f"),
              "abcabc");
}

TEST(StringEdit, RemoveCharactersAndRanges) {
    EXPECT_EQ(edited("hello", "push 0\n native String.remove_at"), "ello");
    EXPECT_EQ(edited("hello", "push 1\n push 2\n native String.remove_range"), "Hlo");
    EXPECT_EQ(edited("hello", "push 0\n push 0\n native String.remove_range"), "Hello");
    EXPECT_EQ(edited("hello", "push 0\n push -1\n native String.remove_range"), "");
    EXPECT_EQ(errorResult("ldstr hello\n push 5\n native String.remove_at"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr hello\n push 4\n push 2\n native String.remove_range"), "5: RangeException");
}

TEST(StringEdit, RemoveFirstLastAll) {
    EXPECT_EQ(edited("abcabc", "ldstr A\n native String.remove_first"), "bcabc");
    EXPECT_EQ(edited("abcabc", "ldstr a\n push 1\n push -1\n native String.remove_first_r"), "abcbc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 1\n native String.remove_first_f"), "abcabc");
    EXPECT_EQ(edited("abcabc", "ldstr A\n push 2\n push 4\n push 0\n native String.remove_first_rf"), "abcbc");
    EXPECT_EQ(edited("abcabc", "push 99\n native String.remove_first_c"), "ababc");
    EXPECT_EQ(edited("abcabc", "push 99\n push 3\n push -1\n native String.remove_first_cr"), "abcab");
    EXPECT_EQ(edited("abcabc", "push 67\n push 1\n native String.remove_first_cf"), "abcabc");
    EXPECT_EQ(edited("abcabc", "push 67\n push 0\n push -1\n push 0\n native String.remove_first_crf"), "ababc");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n native String.remove_last"), "abca");
    EXPECT_EQ(edited("abcabc", "push 97\n native String.remove_last_c"), "abcbc");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n native String.remove_all"), "aa");
    EXPECT_EQ(edited("abcabc", "ldstr bc\n push 0\n push 4\n native String.remove_all_r"), "aabc");
    EXPECT_EQ(edited("abcabc", "push 98\n native String.remove_all_c"), "acac");
    EXPECT_EQ(edited("abcabc", "push 66\n push 1\n native String.remove_all_cf"), "abcabc");
}

TEST(StringEdit, RemoveFromTheEnds) {
    EXPECT_EQ(edited("hello", "native String.remove_front"), "ello");
    EXPECT_EQ(edited("hello", "push 2\n native String.remove_front_n"), "llo");
    EXPECT_EQ(edited("hello", "push 5\n native String.remove_front_n"), "");
    EXPECT_EQ(edited("hello", "push 0\n native String.remove_back_n"), "Hello");
    EXPECT_EQ(edited("hello", "native String.remove_back"), "Hell");
    EXPECT_EQ(edited("hello", "push 4\n native String.remove_back_n"), "H");
    EXPECT_EQ(errorResult("ldstr hello\n push 6\n native String.remove_front_n"), "6: InvalidArgumentException");
    EXPECT_EQ(errorResult("ldstr hello\n push -1\n native String.remove_back_n"), "6: InvalidArgumentException");
    EXPECT_EQ(errorResult("ldstr empty\n native String.remove_back"), "6: InvalidArgumentException");
}

TEST(StringEdit, ClearTrimAndCase) {
    EXPECT_EQ(edited("hello", "native String.clear"), "");
    EXPECT_EQ(edited("spaced", "native String.trim_front"), "a  b  ");
    EXPECT_EQ(edited("spaced", "native String.trim_back"), "  a  b");
    EXPECT_EQ(edited("spaced", "native String.trim"), "a b");
    EXPECT_EQ(edited("blanks", "native String.trim"), "");
    EXPECT_EQ(edited("mixed", "native String.to_lower"), "mixed");
    EXPECT_EQ(edited("mixed", "native String.to_upper"), "MIXED");
}

TEST(StringEdit, ReplaceOrInsert) {
    // Length 0 inserts at the start of the range, even past (0, 0).
    EXPECT_EQ(edited("hello", "push 2\n push 0\n ldstr xy\n native String.replace_or_insert"), "Hexyllo");
    EXPECT_EQ(edited("hello", "push 5\n push 0\n ldstr xy\n native String.replace_or_insert"), "Helloxy");
    EXPECT_EQ(edited("hello", "push 1\n push 3\n ldstr xy\n native String.replace_or_insert"), "Hxyo");
    EXPECT_EQ(errorResult("ldstr hello\n push 6\n push 0\n ldstr xy\n native String.replace_or_insert"),
              "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("ldstr hello\n push -1\n push 0\n ldstr xy\n native String.replace_or_insert"),
              "5: RangeException");
}

TEST(StringEdit, ReplaceOrInsertPartUsesThePartBothWays) {
    // (s, range of x, x, target): "bca" is the part (1, 3) of abcabc.
    EXPECT_EQ(edited("hello", "push 1\n push 3\n ldstr abcabc\n push 1\n push 0\n native String.replace_or_insert_part"),
              "Hbcaello");
    EXPECT_EQ(edited("hello", "push 1\n push 3\n ldstr abcabc\n push 1\n push 3\n native String.replace_or_insert_part"),
              "Hbcao");
    EXPECT_EQ(edited("hello", "push 0\n push -1\n ldstr xy\n push 0\n push 5\n native String.replace_or_insert_part"),
              "xy");
    EXPECT_EQ(errorResult("ldstr hello\n push 1\n push 5\n ldstr xy\n push 0\n push 0\n "
                          "native String.replace_or_insert_part"),
              "5: RangeException");
}

TEST(StringEdit, FailedEditsLeaveTheStringAlone) {
    NativeProgram p("ldstr hello\n @keep 2\n push 1\n push 9\n ldstr xy\n native String.replace_range", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 5);
    EXPECT_EQ(p.str(2), "Hello");
}

TEST(StringEdit, NewStringsAsResults) {
    NativeProgram p(R"(
    ldstr hello
    ldstr xy
    native String.concat
    @store 2
    ldstr xy
    push 3
    native String.repeat
    @store 3
    ldstr hello
    push 1
    push 3
    native String.substring
    @store 4
    ldstr hello
    push 3
    push -1
    native String.substring2
    @store 5
    ldstr empty
    push 4
    native String.repeat
    @store 6
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.str(2), "Helloxy");
    EXPECT_EQ(p.str(3), "xyxyxy");
    EXPECT_EQ(p.str(4), "ell");
    EXPECT_EQ(p.str(5), "lo");
    EXPECT_EQ(p.str(6), "");
    EXPECT_EQ(errorResult("ldstr xy\n push -2\n native String.repeat"), "6: InvalidArgumentException");
}

TEST(StringSplit, PiecesBetweenSeparators) {
    auto split = [](const std::string& source, const std::string& ops) {
        NativeProgram p("ldstr " + source + "\n" + ops + "\n @store 2\n", kTexts);
        EXPECT_TRUE(p.run());
        EXPECT_EQ(p.code(), 0) << p.text();
        return p.strings(2);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split("csv", "push 44\n native String.split_c"), (V{"a", "b"}));
    EXPECT_EQ(split("abc", "push 44\n native String.split_c"), V{});
    EXPECT_EQ(split("acb", "push 44\n native String.split_c"), (V{"a", "b"}));
    EXPECT_EQ(split("empty", "push 44\n native String.split_c"), V{});
    EXPECT_EQ(split("abcabc", "ldstr bc\n native String.split"), (V{"a", "a"}));
    EXPECT_EQ(split("abcabc", "ldstr bc\n push 1\n native String.split_f"), V{});
    EXPECT_EQ(split("abcabc", "push 66\n push 0\n native String.split_cf"), (V{"a", "ca", "c"}));
    EXPECT_EQ(errorResult("ldstr abc\n ldstr empty\n native String.split"), "6: InvalidArgumentException");
}
