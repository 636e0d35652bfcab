// String natives that compare strings, classify characters and convert between
// strings and numbers.
#include "NativeProgram.h"

namespace {
const char* kTexts = R"(
.string abc "abc"
.string ABD "ABD"
.string ABC "ABC"
.string ab "ab"
.string hello "Hello"
.string ell "ELL"
.string empty ""
.string n1 "  -42x"
.string n2 "+-0"
.string n3 "abc"
.string n4 "+17"
.string n5 "4294967297"
.string n6 " ff"
.string n7 "FFz"
.string n8 "-5"
.string n9 "+-5"
.string tab "\t 9"
)";

TInt32 intResult(const std::string& body) {
    NativeProgram p(body + "\n    @store 2\n", kTexts);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    return p.global(2);
}

std::string strResult(const std::string& body) {
    NativeProgram p(body + "\n    @store 2\n", kTexts);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    return p.code() == 0 ? p.str(2) : "error";
}

std::string errorResult(const std::string& body) {
    NativeProgram p(body, kTexts);
    return errorOf(p);
}
}  // namespace

TEST(StringCompare, CompareWithAndWithoutCase) {
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABD\n push 0\n native String.compare"), -1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABD\n push 1\n native String.compare"), 1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n push 0\n native String.compare"), 0);
    EXPECT_EQ(intResult("ldstr ab\n ldstr abc\n push 1\n native String.compare"), -1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ab\n push 1\n native String.compare"), 1);
    EXPECT_EQ(intResult("ldstr empty\n ldstr empty\n push 1\n native String.compare"), 0);
}

TEST(StringCompare, ComparePartThenByLength) {
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 3\n push 0\n native String.compare_part"), 0);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 3\n push 1\n native String.compare_part"), 1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 2\n push 0\n native String.compare_part"), -1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push -1\n push 0\n native String.compare_part"), 1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 0\n push 0\n push 0\n native String.compare_part"), -1);
}

TEST(StringCompare, RelationsAreExact) {
    EXPECT_EQ(intResult("ldstr abc\n ldstr abc\n native String.eq"), 1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n native String.eq"), 0);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n native String.ne"), 1);
    EXPECT_EQ(intResult("ldstr ABC\n ldstr abc\n native String.lt"), 1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr abc\n native String.le"), 1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ab\n native String.gt"), 1);
    EXPECT_EQ(intResult("ldstr ab\n ldstr abc\n native String.ge"), 0);
    EXPECT_EQ(intResult("ldstr empty\n ldstr empty\n native String.eq"), 1);
}

TEST(StringCompare, EqualityIgnoringCase) {
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n native String.eq_nocase"), 1);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABD\n native String.eq_nocase"), 0);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n push 1\n native String.eq_f"), 0);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n push 0\n native String.eq_f"), 1);
}

TEST(StringCompare, RegionEqual) {
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 3\n native String.region_equal"), 1);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 3\n push 1\n native String.region_equal_f"), 0);
    EXPECT_EQ(intResult("ldstr hello\n ldstr ell\n push 1\n push 2\n native String.region_equal"), 0);
    EXPECT_EQ(intResult("ldstr abc\n ldstr ABC\n push 0\n push -1\n native String.region_equal"), 1);
    EXPECT_EQ(errorResult("ldstr abc\n ldstr empty\n push 0\n push -1\n native String.region_equal"),
              "6: InvalidArgumentException");
}

TEST(StringCharacters, ClassesAndCase) {
    EXPECT_EQ(intResult("push 65\n native String.char_to_lower"), 'a');
    EXPECT_EQ(intResult("push 0x100e4\n native String.char_to_upper"), 0xC4);  // low 16 bits: 0xE4
    EXPECT_EQ(intResult("push 0x3b1\n native String.char_to_upper"), 0x391);    // Greek alpha
    EXPECT_EQ(intResult("push 65\n native String.is_letter"), 1);
    EXPECT_EQ(intResult("push 49\n native String.is_letter"), 0);
    EXPECT_EQ(intResult("push 49\n native String.is_digit"), 1);
    EXPECT_EQ(intResult("push 32\n native String.is_space"), 1);
    EXPECT_EQ(intResult("push 0x3000\n native String.is_space"), 1);  // ideographic space
    EXPECT_EQ(intResult("push 65\n native String.is_space"), 0);
}

TEST(StringNumbers, FromInt) {
    EXPECT_EQ(strResult("push -2147483648\n native String.from_int"), "-2147483648");
    EXPECT_EQ(strResult("push 0\n native String.from_int"), "0");
    EXPECT_EQ(strResult("push -1\n push 16\n native String.from_int_radix"), "ffffffff");
    EXPECT_EQ(strResult("push 255\n push 2\n native String.from_int_radix"), "11111111");
    EXPECT_EQ(strResult("push 35\n push 36\n native String.from_int_radix"), "z");
    EXPECT_EQ(strResult("push 35\n push 37\n native String.from_int_radix"), "");
    EXPECT_EQ(strResult("push 35\n push 1\n native String.from_int_radix"), "");
}

TEST(StringNumbers, ToInt) {
    EXPECT_EQ(intResult("ldstr n1\n native String.to_int"), -42);
    EXPECT_EQ(intResult("ldstr n2\n native String.to_int"), 0);
    EXPECT_EQ(intResult("ldstr n4\n native String.to_int"), 17);
    EXPECT_EQ(intResult("ldstr n5\n native String.to_int"), 1);  // wraps around in 32 bits
    EXPECT_EQ(intResult("ldstr tab\n native String.to_int"), 9);
    EXPECT_EQ(errorResult("ldstr n3\n native String.to_int"), "4: DataFormatException: ");
    EXPECT_EQ(errorResult("ldstr empty\n native String.to_int"), "4: DataFormatException: ");
    EXPECT_EQ(errorResult("ldstr n9\n native String.to_int"), "4: DataFormatException: ");
}

TEST(StringNumbers, ToIntInRadix) {
    EXPECT_EQ(intResult("ldstr n6\n push 16\n native String.to_int_radix"), 255);
    EXPECT_EQ(intResult("ldstr n7\n push 16\n native String.to_int_radix"), 255);  // stops at z
    EXPECT_EQ(intResult("ldstr n7\n push 36\n native String.to_int_radix"), 15 * 36 * 36 + 15 * 36 + 35);
    EXPECT_EQ(intResult("ldstr n1\n push 10\n native String.to_int_radix"), -42);  // radix 10 takes a sign
    EXPECT_EQ(errorResult("ldstr n8\n push 16\n native String.to_int_radix"), "4: DataFormatException: ");
    EXPECT_EQ(errorResult("ldstr n6\n push 37\n native String.to_int_radix"), "6: InvalidArgumentException");
    EXPECT_EQ(errorResult("ldstr n6\n push 1\n native String.to_int_radix"), "6: InvalidArgumentException");
}
