// The String native group: its table of functions, and the operations that
// read strings without changing them (queries, search, count, comparison,
// character classes, number conversion, new strings from old ones).
#include "natives/NativeGroupOps.h"
#include "natives/StringNatives.h"
#include "natives/StringOperands.h"

#include <algorithm>

namespace mcb {

namespace {

TInt32 sign(TInt32 d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// --- queries --------------------------------------------------------------------------

void length(VirtualMachine& vm) {
    StringArgs a(vm, 1);
    a.result(a.string(0).length());
}

void isEmpty(VirtualMachine& vm) {
    StringArgs a(vm, 1);
    a.resultBool(a.string(0).isEmpty());
}

void charAt(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    a.result(a.string(0).charAt(a.word(1)));
}

void firstOrLast(VirtualMachine& vm, TInt32 first) {
    StringArgs a(vm, 1);
    const OString& s = a.string(0);
    a.result(s.charAt(first ? 0 : s.length() - 1));
}

// --- searching and counting ----------------------------------------------------------

void findAsRange(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    const OString& s = a.string(0);
    OString x = a.string(1);
    TInt32 p = s.find(x, 0, s.length() - 1, false);
    a.word(0) = p < 0 ? 0 : p;
    a.word(1) = p < 0 ? 0 : x.length();
    a.leave(2);
}

// The variant is the pattern's place in the eight-variant order.
void findFirst(VirtualMachine& vm, TInt32 variant) {
    PatternCall c(vm, PatternShape::ofVariant(variant));
    c.args.result(c.s.find(c.pattern, c.range.start, c.range.end, c.exact));
}

void findLast(VirtualMachine& vm, TInt32 variant) {
    PatternCall c(vm, PatternShape::ofVariant(variant));
    c.args.result(c.s.findLast(c.pattern, c.range.start, c.range.end, c.exact));
}

void count(VirtualMachine& vm, TInt32 variant) {
    PatternCall c(vm, PatternShape::ofVariant(variant));
    c.args.result(c.s.count(c.pattern, c.range.start, c.range.end, c.exact));
}

// (s), (s, range), (s, flag), (s, range, flag).
void mostFrequent(VirtualMachine& vm, TInt32 variant) {
    PatternShape shape = PatternShape::ofVariant(variant);
    StringArgs a(vm, shape.words() - 1);
    const OString& s = a.string(0);
    if (s.isEmpty()) vmerr::raise(vmerr::DataFormat);
    StringRange r = shape.range ? a.range(1, s.length()) : StringArgs::all(s);
    bool exact = shape.flag && a.exact(shape.range ? 3 : 1);
    a.result(s.mostFrequent(r.start, r.end, exact));
}

// Variants of findBefore and startsOrEndsWith: a case flag follows; from the end.
enum : TInt32 { kWithFlag = 1, kFromEnd = 2 };

// (s, range, x), (s, range, x, flag): the range comes before the pattern.
void findBefore(VirtualMachine& vm, TInt32 variant) {
    bool flag = (variant & kWithFlag) != 0;
    StringArgs a(vm, flag ? 5 : 4);
    const OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    OString x = a.string(3);
    bool exact = flag && a.exact(4);
    a.result((variant & kFromEnd) == 0 ? s.find(x, r.start, r.end, exact) : s.findLast(x, r.start, r.end, exact));
}

void startsOrEndsWith(VirtualMachine& vm, TInt32 variant) {
    bool flag = (variant & kWithFlag) != 0;
    StringArgs a(vm, flag ? 3 : 2);
    const OString& s = a.string(0);
    OString x = a.string(1);
    bool exact = flag && a.exact(2);
    TInt32 n = s.length(), m = x.length();
    if (n == 0 || m == 0 || m > n) {
        a.resultBool(false);
        return;
    }
    a.resultBool(s.compareRun((variant & kFromEnd) == 0 ? 0 : n - m, x, m, exact) == 0);
}

// --- comparison ----------------------------------------------------------------------

void compare(VirtualMachine& vm) {
    StringArgs a(vm, 3);
    a.result(a.string(0).compareTo(a.string(1), a.exact(2)));
}

// The range of a against b over the shorter length, then by length.
void comparePart(VirtualMachine& vm) {
    StringArgs a(vm, 5);
    const OString& s = a.string(0);
    const OString& b = a.string(1);
    StringRange r = a.range(2, s.length());
    bool exact = a.exact(4);
    TInt32 n = std::min(r.length(), b.length());
    TInt32 d = s.compareRun(r.empty() ? 0 : r.start, b, n, exact);
    a.result(sign(d != 0 ? d : r.length() - b.length()));
}

enum Relation : TInt32 { kEq, kNe, kLt, kLe, kGt, kGe };

void relation(VirtualMachine& vm, TInt32 which) {
    StringArgs a(vm, 2);
    const OString& x = a.string(0);
    const OString& y = a.string(1);
    if (which == kEq || which == kNe) {
        a.resultBool(x.equals(y, true) == (which == kEq));
        return;
    }
    TInt32 c = x.compareTo(y, true);
    bool r = which == kLt ? c < 0 : which == kLe ? c <= 0 : which == kGt ? c > 0 : c >= 0;
    a.resultBool(r);
}

void equalIgnoringCase(VirtualMachine& vm, TInt32 flag) {
    StringArgs a(vm, flag ? 3 : 2);
    a.resultBool(a.string(0).equals(a.string(1), flag && a.exact(2)));
}

// The range of a must have b's length and equal characters.
void regionEqual(VirtualMachine& vm, TInt32 flag) {
    StringArgs a(vm, flag ? 5 : 4);
    const OString& s = a.string(0);
    const OString& b = a.string(1);
    StringRange r = a.range(2, s.length());
    bool exact = flag && a.exact(4);
    if (b.isEmpty()) vmerr::raise(vmerr::InvalidArgument);
    a.resultBool(r.length() == b.length() && s.compareRun(r.start, b, b.length(), exact) == 0);
}

// --- characters ------------------------------------------------------------------------

enum CharQuestion : TInt32 { kToLower, kToUpper, kIsLetter, kIsDigit, kIsSpace };

void character(VirtualMachine& vm, TInt32 question) {
    StringArgs a(vm, 1);
    TUint16 c = a.character(0);
    switch (question) {
    case kToLower: a.result(OString::toLowerChar(c)); break;
    case kToUpper: a.result(OString::toUpperChar(c)); break;
    case kIsLetter: a.resultBool(OString::isLetter(c)); break;
    case kIsDigit: a.resultBool(OString::isDigit(c)); break;
    default: a.resultBool(OString::isSpace(c)); break;
    }
}

// --- numbers -------------------------------------------------------------------------------

TInt32 digitValue(TUint16 c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

TInt32 skipSpace(const OString& s, TInt32 i) {
    while (i < s.length() && OString::isSpace(s.charAt(i))) ++i;
    return i;
}

// Decimal with an optional sign; 32-bit wrap-around; no digit is error 4.
TInt32 parseDecimal(const OString& s) {
    TInt32 n = s.length();
    TInt32 i = skipSpace(s, 0);
    bool negative = false;
    if (i < n && s.charAt(i) == '-') {
        negative = true;
        ++i;
    } else if (i < n && s.charAt(i) == '+') {
        if (i + 2 < n && s.charAt(i + 1) == '-' && s.charAt(i + 2) == '0') return 0;
        ++i;
    }
    TUint32 value = 0;
    TInt32 first = i;
    for (; i < n && s.charAt(i) >= '0' && s.charAt(i) <= '9'; ++i) value = value * 10 + (s.charAt(i) - '0');
    if (i == first) vmerr::raise(vmerr::DataFormat);
    return TInt32(negative ? 0u - value : value);
}

TInt32 parseInRadix(const OString& s, TInt32 radix) {
    if (radix == 10) return parseDecimal(s);
    if (radix < 2 || radix > 36) vmerr::raise(vmerr::InvalidArgument);
    TInt32 i = skipSpace(s, 0), first = i;
    TUint32 value = 0;
    for (; i < s.length() && digitValue(s.charAt(i)) < radix; ++i)
        value = value * TUint32(radix) + TUint32(digitValue(s.charAt(i)));
    if (i == first) vmerr::raise(vmerr::DataFormat);
    return TInt32(value);
}

void fromInt(VirtualMachine& vm, TInt32 radix) {
    StringArgs a(vm, radix ? 2 : 1);
    TInt32 v = a.word(0);
    a.resultString(radix ? OString::fromUnsigned(TUint32(v), a.word(1)) : OString::fromInt64(v));
}

void toInt(VirtualMachine& vm, TInt32 radix) {
    StringArgs a(vm, radix ? 2 : 1);
    const OString& s = a.string(0);
    a.result(radix ? parseInRadix(s, a.word(1)) : parseDecimal(s));
}

// --- new strings from old ones ---------------------------------------------------------

void concat(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    OString joined(a.string(0));
    joined.append(a.string(1));
    a.resultString(joined);
}

void repeat(VirtualMachine& vm) {
    StringArgs a(vm, 2);
    a.resultString(OString::repeated(a.string(0), a.word(1)));
}

void substring(VirtualMachine& vm) {
    StringArgs a(vm, 3);
    const OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    a.resultString(OString(s, r.start, r.end));
}

void nothing(VirtualMachine&) {}

// --- the table -------------------------------------------------------------------------------

using namespace stringops;

// 3, 6, 13, 55 and 56 are reserved and 0 and 54 invalid: they have no row.
constexpr natives::Function kString[] = {
    {1, "set_empty", setString, kEmpty},
    {2, "set_copy", setString, kCopy},
    {4, "set_copy2", setString, kCopy},
    {5, "set_repeated_char", setString, kRepeatedChar},
    {7, "set_substring", setString, kSubstring},
    {8, "set_stepped", setString, kStepped},
    {9, "set_stepped_r", setString, kSteppedRange},
    {10, "length", length},
    {11, "is_empty", isEmpty},
    {12, "char_at", charAt},
    {14, "first_char", firstOrLast, true},
    {15, "last_char", firstOrLast, false},
    {16, "find_range", findAsRange},
    {17, "find_first_r", findFirst, 1},
    {18, "find_first_f", findFirst, 2},
    {19, "find_first_rf", findFirst, 3},
    {20, "find_first_c", findFirst, 4},
    {21, "find_first_cr", findFirst, 5},
    {22, "find_first_cf", findFirst, 6},
    {23, "find_first_crf", findFirst, 7},
    {24, "find_last", findLast, 0},
    {25, "find_last_r", findLast, 1},
    {26, "find_last_f", findLast, 2},
    {27, "find_last_rf", findLast, 3},
    {28, "find_last_c", findLast, 4},
    {29, "find_last_cr", findLast, 5},
    {30, "find_last_cf", findLast, 6},
    {31, "find_last_crf", findLast, 7},
    {32, "most_frequent", mostFrequent, 0},
    {33, "most_frequent_r", mostFrequent, 1},
    {34, "most_frequent_f", mostFrequent, 2},
    {35, "most_frequent_rf", mostFrequent, 3},
    {36, "count", count, 0},
    {37, "count_r", count, 1},
    {38, "count_f", count, 2},
    {39, "count_rf", count, 3},
    {40, "count_c", count, 4},
    {41, "count_cr", count, 5},
    {42, "count_cf", count, 6},
    {43, "count_crf", count, 7},
    {44, "starts_with", startsOrEndsWith, 0},
    {45, "starts_with_f", startsOrEndsWith, kWithFlag},
    {46, "ends_with", startsOrEndsWith, kFromEnd},
    {47, "ends_with_f", startsOrEndsWith, kFromEnd | kWithFlag},
    {48, "concat", concat},
    {49, "repeat", repeat},
    {50, "split", split, 0},
    {51, "split_f", split, 1},
    {52, "split_c", split, 2},
    {53, "split_cf", split, 3},
    {57, "insert", insert, kInsertString},
    {58, "insert_char", insert, kInsertChar},
    {59, "insert_part", insert, kInsertPart},
    {60, "prepend", prependAppend, 0},
    {61, "prepend_char", prependAppend, kOfChar},
    {62, "append", prependAppend, kAtEnd},
    {63, "append_char", prependAppend, kAtEnd | kOfChar},
    {64, "append2", prependAppend, kAtEnd},
    {65, "append_char2", prependAppend, kAtEnd | kOfChar},
    {66, "repeat_in_place", repeatInPlace},
    {67, "replace_range", replaceRange, false},
    {68, "replace_range_char", replaceRange, true},
    {69, "replace_first", replaceMatches, 0},
    {70, "replace_first_f", replaceMatches, 1},
    {71, "replace_first_c", replaceMatches, 2},
    {72, "replace_first_cf", replaceMatches, 3},
    {73, "replace_first_r", replaceMatches, 4},
    {74, "replace_first_rf", replaceMatches, 5},
    {75, "replace_first_rc", replaceMatches, 6},
    {76, "replace_first_rcf", replaceMatches, 7},
    {77, "replace_last", replaceMatches, 8},
    {78, "replace_last_f", replaceMatches, 9},
    {79, "replace_last_c", replaceMatches, 10},
    {80, "replace_last_cf", replaceMatches, 11},
    {81, "replace_last_r", replaceMatches, 12},
    {82, "replace_last_rf", replaceMatches, 13},
    {83, "replace_last_rc", replaceMatches, 14},
    {84, "replace_last_rcf", replaceMatches, 15},
    {85, "replace_all", replaceMatches, 16},
    {86, "replace_all_f", replaceMatches, 17},
    {87, "replace_all_c", replaceMatches, 18},
    {88, "replace_all_cf", replaceMatches, 19},
    {89, "replace_all_r", replaceMatches, 20},
    {90, "replace_all_rf", replaceMatches, 21},
    {91, "replace_all_rc", replaceMatches, 22},
    {92, "replace_all_rcf", replaceMatches, 23},
    {93, "remove_at", removeAt},
    {94, "remove_range", removeRange},
    {95, "remove_first", removeMatches, 0},
    {96, "remove_first_r", removeMatches, 1},
    {97, "remove_first_f", removeMatches, 2},
    {98, "remove_first_rf", removeMatches, 3},
    {99, "remove_first_c", removeMatches, 4},
    {100, "remove_first_cr", removeMatches, 5},
    {101, "remove_first_cf", removeMatches, 6},
    {102, "remove_first_crf", removeMatches, 7},
    {103, "remove_last", removeMatches, 8},
    {104, "remove_last_r", removeMatches, 9},
    {105, "remove_last_f", removeMatches, 10},
    {106, "remove_last_rf", removeMatches, 11},
    {107, "remove_last_c", removeMatches, 12},
    {108, "remove_last_cr", removeMatches, 13},
    {109, "remove_last_cf", removeMatches, 14},
    {110, "remove_last_crf", removeMatches, 15},
    {111, "remove_all", removeMatches, 16},
    {112, "remove_all_r", removeMatches, 17},
    {113, "remove_all_f", removeMatches, 18},
    {114, "remove_all_rf", removeMatches, 19},
    {115, "remove_all_c", removeMatches, 20},
    {116, "remove_all_cr", removeMatches, 21},
    {117, "remove_all_cf", removeMatches, 22},
    {118, "remove_all_crf", removeMatches, 23},
    {119, "remove_front", removeEnds, 0},
    {120, "remove_front_n", removeEnds, kCounted},
    {121, "remove_back", removeEnds, kAtEnd},
    {122, "remove_back_n", removeEnds, kAtEnd | kCounted},
    {123, "clear", reshape, kClear},
    {124, "trim_front", reshape, kTrimFront},
    {125, "trim_back", reshape, kTrimBack},
    {126, "trim", reshape, kTrim},
    {127, "to_lower", reshape, kLowerCase},
    {128, "to_upper", reshape, kUpperCase},
    {129, "char_to_lower", character, kToLower},
    {130, "char_to_upper", character, kToUpper},
    {131, "is_letter", character, kIsLetter},
    {132, "is_digit", character, kIsDigit},
    {133, "is_space", character, kIsSpace},
    {134, "from_int", fromInt, false},
    {135, "from_int_radix", fromInt, true},
    {136, "to_int", toInt, false},
    {137, "to_int_radix", toInt, true},
    {138, "compare", compare},
    {139, "compare_part", comparePart},
    {140, "eq", relation, kEq},
    {141, "ne", relation, kNe},
    {142, "lt", relation, kLt},
    {143, "le", relation, kLe},
    {144, "gt", relation, kGt},
    {145, "ge", relation, kGe},
    {146, "eq_nocase", equalIgnoringCase, false},
    {147, "eq_f", equalIgnoringCase, true},
    {148, "region_equal", regionEqual, false},
    {149, "region_equal_f", regionEqual, true},
    {150, "substring", substring},
    {151, "nop", nothing},
    {152, "replace_or_insert", replaceOrInsert},
    {153, "substring2", substring},
    {154, "replace_or_insert_part", replaceOrInsertPart},
    {155, "find_first_before", findBefore, 0},
    {156, "find_first_before_f", findBefore, kWithFlag},
    {157, "find_last_before", findBefore, kFromEnd},
    {158, "find_last_before_f", findBefore, kFromEnd | kWithFlag},
    {159, "replace_all_before", replaceAllBefore, false},
    {160, "replace_all_before_f", replaceAllBefore, true},
};
}  // namespace

std::span<const natives::Function> stringFunctions() { return kString; }

}  // namespace mcb
