// String natives run as assembly programs: results, edits in place, errors and dispatch
// (the string operations' own edges: ObjectsTest.cpp).
#include "NativeTestSupport.h"

namespace mcb {

namespace {
const std::string kTexts =
    ".string hello \"Hello\"\n.string abcabc \"abcabc\"\n.string abc \"abc\"\n.string ABC \"ABC\"\n"
    ".string ABD \"ABD\"\n.string ab \"ab\"\n.string a \"a\"\n.string A \"A\"\n.string X \"X\"\n"
    ".string xy \"xy\"\n.string bc \"BC\"\n.string aa \"aa\"\n.string aaaa \"aaaa\"\n"
    ".string abab \"abab\"\n.string aBb \"AbB\"\n.string ell \"ELL\"\n.string ll \"LL\"\n"
    ".string he \"he\"\n.string long \"Hello!!\"\n.string five \"abcde\"\n.string empty \"\"\n"
    ".string spaced \"  a  b  \"\n.string mixed \"MiXeD\"\n"
    ".string csv \",a,,b,\"\n.string n1 \"  -42x\"\n.string n2 \"+-0\"\n.string n3 \"abc\"\n"
    ".string n5 \"4294967297\"\n.string n6 \" ff\"\n.string n7 \"FFz\"\n.string n8 \"-5\"\n"
    ".string n9 \"+-5\"\n";

// 'i': the word `ops` leave; 's': the new string they leave; 'v': the strings of the vector they
// leave, each followed by ";"; 'e': the string constant `src` after `ops` edit it in place (its
// cell is global 2, and a word pushed before must still be on top). A VM error gives "code: text";
// a failed edit must leave the string as it was.
struct Case {
    char kind;
    const char* src;
    const char* ops;
    const char* want;
};

std::string evaluate(const Case& c) {
    const bool edit = c.kind == 'e';
    const std::string body = edit ? "push 4321\n ldstr " + std::string(c.src) + "\n @keep 2\n" + c.ops + "\n @store 3\n"
                                  : std::string(c.ops) + "\n @store 2\n";
    NativeProgram p(body, kTexts);
    if (!p.returned()) return "halted";
    if (p.errorCode() != 0) {
        if (edit) {
            NativeProgram original("ldstr " + std::string(c.src) + "\n @store 2\n", kTexts);
            EXPECT_TRUE(original.returned());
            EXPECT_EQ(p.text(2), original.text(2)) << "a failed edit changed the string";
        }
        return std::to_string(p.errorCode()) + ": " + p.errorText();
    }
    if (edit) {
        EXPECT_EQ(p.integer(3), 4321) << "stack effect";
    }
    if (c.kind != 'v') return c.kind == 'i' ? std::to_string(p.integer(2)) : p.text(2);
    std::string pieces;
    for (const std::string& piece : p.strings(2)) pieces += piece + ";";
    return pieces;
}

void check(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.src) + " | " + c.ops);
        EXPECT_EQ(evaluate(c), c.want);
    }
}

const char* const kIndex = "2: IndexOutOfBoundsException";
const char* const kRange = "5: RangeException";
const char* const kArgument = "6: InvalidArgumentException";
const char* const kFormat = "4: DataFormatException: ";
const char* const kNull = "1: NullPointerException: NULL pointer";
}  // namespace

TEST(StringNatives, CompareClassifyAndNumberConversions) {
    check({
        {'i', "", "ldstr abc\n ldstr ABD\n push 0\n native String.compare", "-1"},
        {'i', "", "ldstr abc\n ldstr ABD\n push 1\n native String.compare", "1"},
        {'i', "", "ldstr hello\n ldstr ell\n push 1\n push 3\n push 0\n native String.compare_part", "0"},
        {'i', "", "ldstr hello\n ldstr ell\n push 1\n push -1\n push 0\n native String.compare_part", "1"},
        {'i', "", "ldstr abc\n ldstr abc\n native String.eq", "1"},
        {'i', "", "ldstr ABC\n ldstr abc\n native String.lt", "1"},
        {'i', "", "ldstr abc\n ldstr ABC\n native String.eq_nocase", "1"},
        {'i', "", "ldstr abc\n ldstr ABC\n push 1\n native String.eq_f", "0"},
        {'i', "", "ldstr hello\n ldstr ell\n push 1\n push 3\n native String.region_equal", "1"},
        {'i', "", "ldstr hello\n ldstr ell\n push 1\n push 3\n push 1\n native String.region_equal_f", "0"},
        {'i', "", "ldstr abc\n ldstr empty\n push 0\n push -1\n native String.region_equal", kArgument},
        {'i', "", "push 0x100e4\n native String.char_to_upper", "196"},  // low 16 bits only
        {'i', "", "push 0x3000\n native String.is_space", "1"},
        // Numbers to and from text.
        {'s', "", "push -2147483648\n native String.from_int", "-2147483648"},
        {'s', "", "push -1\n push 16\n native String.from_int_radix", "ffffffff"},
        {'s', "", "push 35\n push 37\n native String.from_int_radix", ""},
        {'i', "", "ldstr n1\n native String.to_int", "-42"},
        {'i', "", "ldstr n2\n native String.to_int", "0"},
        {'i', "", "ldstr n5\n native String.to_int", "1"},  // wraps around in 32 bits
        {'i', "", "ldstr n3\n native String.to_int", kFormat},
        {'i', "", "ldstr n9\n native String.to_int", kFormat},
        {'i', "", "ldstr n6\n push 16\n native String.to_int_radix", "255"},
        {'i', "", "ldstr n7\n push 36\n native String.to_int_radix", "20015"},
        {'i', "", "ldstr n1\n push 10\n native String.to_int_radix", "-42"},  // radix 10 takes a sign
        {'i', "", "ldstr n8\n push 16\n native String.to_int_radix", kFormat},
        {'i', "", "ldstr n6\n push 37\n native String.to_int_radix", kArgument},
    });
}

TEST(StringNatives, Queries) {
    check({
        {'i', "", "ldstr hello\n native String.length", "5"},
        {'i', "", "ldstr hello\n push 1\n native String.char_at", "101"},
        {'i', "", "ldstr hello\n push 5\n native String.char_at", kIndex},
        {'i', "", "ldstr empty\n native String.last_char", kIndex},
        {'i', "", "ldstr abcabc\n ldstr a\n push 2\n push -1\n native String.find_first_r", "3"},
        {'i', "", "ldstr abcabc\n ldstr bc\n push 1\n native String.find_first_f", "-1"},
        {'i', "", "ldstr abcabc\n push 67\n native String.find_first_c", "2"},  // no flag: lower-cased
        {'i', "", "ldstr abcabc\n push 67\n push 1\n push -1\n push 0\n native String.find_first_crf", "2"},
        {'i', "", "ldstr abcabc\n ldstr A\n native String.find_last", "3"},
        {'i', "", "ldstr abcabc\n push 66\n push 0\n push -1\n push 1\n native String.find_last_crf", "-1"},
        // The _before forms take the range before the pattern.
        {'i', "", "ldstr abcabc\n push 1\n push -1\n ldstr A\n native String.find_first_before", "3"},
        // (0, 0) is the empty range on any string; (3, 0) on five characters is not.
        {'i', "", "ldstr five\n ldstr a\n push 0\n push 0\n native String.find_first_r", "-1"},
        {'i', "", "ldstr empty\n ldstr a\n push 0\n push -1\n native String.find_first_r", "-1"},
        {'i', "", "ldstr five\n ldstr a\n push 3\n push 0\n native String.find_first_r", kRange},
        {'i', "", "ldstr five\n ldstr a\n push 1\n push 0x7fffffff\n native String.find_first_r", kRange},
        {'i', "", "ldstr aaaa\n ldstr aa\n native String.count", "2"},  // non-overlapping
        {'i', "", "ldstr abcabc\n push 67\n push 0\n push -1\n push 0\n native String.count_crf", "2"},
        {'i', "", "ldstr aBb\n native String.most_frequent", "98"},  // lower-cased
        {'i', "", "ldstr empty\n native String.most_frequent", kFormat},
        {'i', "", "ldstr abab\n push 2\n push 5\n native String.most_frequent_r", kRange},
        {'i', "", "ldstr hello\n ldstr he\n native String.starts_with", "1"},
        {'i', "", "ldstr hello\n ldstr empty\n native String.starts_with", "0"},
        {'i', "", "ldstr hello\n ldstr long\n native String.starts_with", "0"},
        // Split gives the pieces between separators.
        {'v', "", "ldstr csv\n push 44\n native String.split_c", "a;b;"},
        {'v', "", "ldstr abc\n push 44\n native String.split_c", ""},
        {'v', "", "ldstr empty\n push 44\n native String.split_c", ""},
        {'v', "", "ldstr abcabc\n ldstr bc\n push 1\n native String.split_f", ""},
        {'v', "", "ldstr abcabc\n push 66\n push 0\n native String.split_cf", "a;ca;c;"},
        {'v', "", "ldstr abc\n ldstr empty\n native String.split", kArgument},
    });
    // find_range leaves two words.
    NativeProgram p(
        "push 77\n ldstr hello\n ldstr ll\n native String.find_range\n @store 3\n @store 2\n @store 4\n"
        "ldstr hello\n ldstr aa\n native String.find_range\n @store 6\n @store 5\n",
        kTexts);
    ASSERT_TRUE(p.returned());
    // 77: nothing below the arguments was touched.
    EXPECT_EQ(globals(p, 2, 6), (std::vector<TInt32>{2, 2, 77, 0, 0}));
}

TEST(StringNatives, EditsInPlaceAndEditsAreSeenThroughEveryCell) {
    check({
        {'e', "hello", "native String.set_empty", ""},
        {'e', "empty", "ldstr abc\n native String.set_copy", "abc"},
        {'e', "empty", "push 122\n push 3\n native String.set_repeated_char", "zzz"},
        {'e', "hello", "push 65\n push -1\n native String.set_repeated_char", kArgument},
        {'e', "empty", "ldstr hello\n push 2\n push -1\n native String.set_substring", "llo"},
        {'e', "empty", "ldstr hello\n push 1\n push -1\n push 2\n native String.set_stepped_r", "el"},
        {'e', "a", "ldstr hello\n push 0\n native String.set_stepped", kArgument},
        {'e', "hello", "ldstr xy\n push 1\n native String.insert", "Hxyello"},
        {'e', "hello", "ldstr xy\n push 6\n native String.insert", kIndex},
        {'e', "hello", "ldstr abcabc\n push 1\n push 2\n push 2\n native String.insert_part", "Hebcllo"},
        {'e', "hello", "ldstr abcabc\n push 0\n push 0\n push 9\n native String.insert_part", kIndex},
        {'e', "hello", "ldstr xy\n push 1\n push 2\n push 0\n native String.insert_part", kRange},
        {'e', "hello", "ldstr xy\n native String.prepend", "xyHello"},
        {'e', "hello", "ldstr xy\n native String.append", "Helloxy"},
        {'e', "xy", "@load 2\n native String.append", "xyxy"},  // a string appended to itself
        {'e', "xy", "push 3\n native String.repeat_in_place", "xyxyxy"},
        {'e', "xy", "push -1\n native String.repeat_in_place", kArgument},
        // Replacing and removing.
        {'e', "hello", "push 1\n push 3\n ldstr xy\n native String.replace_range", "Hxyo"},
        {'e', "hello", "push 4\n push 1\n push 33\n native String.replace_range_char", "Hell!"},
        {'e', "hello", "push 2\n push 0\n ldstr xy\n native String.replace_range", kRange},
        {'e', "hello", "push 1\n push 9\n ldstr xy\n native String.replace_range", kRange},
        {'e', "abcabc", "ldstr bc\n ldstr X\n native String.replace_first", "aXabc"},
        {'e', "abcabc", "ldstr a\n push 1\n push -1\n ldstr xy\n native String.replace_first_r", "abcxybc"},
        {'e', "abcabc", "ldstr A\n push 0\n push 3\n push 33\n push 1\n native String.replace_first_rcf", "abcabc"},
        {'e', "abcabc", "ldstr bc\n ldstr X\n native String.replace_last", "abcaX"},
        {'e', "abcabc", "ldstr bc\n ldstr X\n native String.replace_all", "aXaX"},
        {'e', "abcabc", "ldstr bc\n ldstr empty\n native String.replace_all", "aa"},
        {'e', "abcabc", "ldstr empty\n ldstr X\n native String.replace_all", "abcabc"},
        {'e', "abcabc", "ldstr A\n push 1\n push -1\n push 33\n push 0\n native String.replace_all_rcf", "abc!bc"},
        {'e', "abcabc", "push 1\n push -1\n ldstr A\n ldstr xy\n native String.replace_all_before", "abcxybc"},
        {'e', "abcabc", "push 0\n push -1\n ldstr A\n ldstr xy\n push 1\n native String.replace_all_before_f",
         "abcabc"},
        {'e', "hello", "push 2\n push 0\n ldstr xy\n native String.replace_or_insert", "Hexyllo"},
        {'e', "hello", "push 6\n push 0\n ldstr xy\n native String.replace_or_insert", kIndex},
        {'e', "hello", "push -1\n push 0\n ldstr xy\n native String.replace_or_insert", kRange},
        // (s, range of x, x, target): "bca" is the part (1, 3) of abcabc.
        {'e', "hello", "push 1\n push 3\n ldstr abcabc\n push 1\n push 0\n native String.replace_or_insert_part",
         "Hbcaello"},
        {'e', "hello", "push 1\n push 3\n ldstr abcabc\n push 1\n push 3\n native String.replace_or_insert_part",
         "Habcabco" /* a replacement takes all of x */},
        {'e', "hello", "push 1\n push 5\n ldstr xy\n push 0\n push 0\n native String.replace_or_insert_part", kRange},
        {'e', "hello", "push 1\n push 2\n native String.remove_range", "Hlo"},
        {'e', "hello", "push 5\n native String.remove_at", kIndex},
        {'e', "hello", "push 4\n push 2\n native String.remove_range", kRange},
        {'e', "abcabc", "ldstr A\n native String.remove_first", "bcabc"},
        {'e', "abcabc", "push 99\n push 3\n push -1\n native String.remove_first_cr", "abcab"},
        {'e', "abcabc", "ldstr bc\n native String.remove_last", "abca"},
        {'e', "hello", "push 5\n native String.remove_front_n", ""},
        {'e', "hello", "native String.remove_back", "Hell"},
        {'e', "hello", "push 6\n native String.remove_front_n", kArgument},
        {'e', "empty", "native String.remove_back", kArgument},
        {'e', "spaced", "native String.trim", "a b"},
        {'e', "mixed", "native String.to_upper", "MIXED"},
        {'s', "", "ldstr hello\n ldstr xy\n native String.concat", "Helloxy"},
        {'s', "", "ldstr empty\n push 4\n native String.repeat", ""},
        {'s', "", "ldstr xy\n push -2\n native String.repeat", kArgument},
        // Refused before anything is built, naming what would have been too large.
        {'s', "", "ldstr xy\n push 0x20000000\n native String.repeat", "6: InvalidArgumentException: String too large"},
        {'e', "xy", "push 0x40000000\n native String.repeat_in_place", "6: InvalidArgumentException: String too large"},
    });
    // Edits are seen through every cell; set_copy shares the object's characters, not the object: the copy
    // stays.
    NativeProgram p(
        "ldstr hello\n @keep 2\n ldstr empty\n @keep 3\n ldloc -2\n native String.set_copy\n"
        "@load 2\n push 33\n native String.append_char\n @load 2\n deref\n box\n @store 4\n adjsp -1\n",
        kTexts);
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.text(2), "Hello!");
    EXPECT_EQ(p.text(3), "Hello");
    EXPECT_EQ(p.text(4), "Hello!");
}

// (Function numbers the group lacks: NativeDispatch in SystemTest.cpp.)
TEST(StringDispatch, WrongOperandsAndHighOpcodes) {
    check({
        {'i', "", "push 0\n native String.length", kNull},
        {'i', "", "push 0\n box\n native String.length", kNull},  // a cell with no string yet
        {'i', "", "ldstr hello\n push 0\n native String.append", kNull},
        {'i', "", "push 99\n box\n native String.length", "10: VMException: Invalid TYPEID"},
        {'i', "", "push 0x10\n native String.length", "10: VMException: Bad VM address 0x00000010"},
        {'i', "", "@vec 4\n native String.length", "10: VMException: Invalid TYPEID"},
    });
    NativeProgram few("native String.concat", kTexts);
    EXPECT_EQ(errorOf(few).substr(0, 4), "10: ");  // too few stack words
    // Opcodes above 127 are read unsigned: 151 takes no arguments.
    NativeProgram p("push 97\n native String.char_to_upper\n @store 2\n push 5\n native String.nop\n @store 3\n",
                    kTexts);
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.integer(2), 'A');
    EXPECT_EQ(p.integer(3), 5);
}

}  // namespace mcb
