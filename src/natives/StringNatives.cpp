// The String native group: its dispatch table by opcode, and the operations that
// read strings without changing them (queries, search, count, comparison,
// character classes, number conversion, new strings from old ones).
#include "natives/NativeGroupOps.h"
#include "natives/StringNatives.h"
#include "natives/StringOperands.h"

#include <algorithm>
#include <array>

namespace {
constexpr TInt32 kStringGroup = 8;
constexpr TInt32 kLastOpcode = 160;

TInt32 sign(TInt32 d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// --- queries --------------------------------------------------------------------------

void length(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 1);
    a.result(a.string(0).length());
}

void isEmpty(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 1);
    a.resultBool(a.string(0).isEmpty());
}

void charAt(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 2);
    a.result(a.string(0).charAt(a.word(1)));
}

void firstOrLast(VirtualMachine& vm, TInt32 opcode) {
    StringArgs a(vm, 1);
    const OString& s = a.string(0);
    a.result(s.charAt(opcode == 14 ? 0 : s.length() - 1));
}

// --- searching and counting ----------------------------------------------------------

void findAsRange(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 2);
    const OString& s = a.string(0);
    OString x = a.string(1);
    TInt32 p = s.find(x, 0, s.length() - 1, false);
    a.word(0) = p < 0 ? 0 : p;
    a.word(1) = p < 0 ? 0 : x.length();
    a.leave(2);
}

void findFirst(VirtualMachine& vm, TInt32 opcode) {
    PatternCall c(vm, PatternShape::ofVariant(opcode - 16));
    c.args.result(c.s.find(c.pattern, c.range.start, c.range.end, c.exact));
}

void findLast(VirtualMachine& vm, TInt32 opcode) {
    PatternCall c(vm, PatternShape::ofVariant(opcode - 24));
    c.args.result(c.s.findLast(c.pattern, c.range.start, c.range.end, c.exact));
}

void count(VirtualMachine& vm, TInt32 opcode) {
    PatternCall c(vm, PatternShape::ofVariant(opcode - 36));
    c.args.result(c.s.count(c.pattern, c.range.start, c.range.end, c.exact));
}

// (s), (s, range), (s, flag), (s, range, flag).
void mostFrequent(VirtualMachine& vm, TInt32 opcode) {
    PatternShape shape = PatternShape::ofVariant(opcode - 32);
    StringArgs a(vm, shape.words() - 1);
    const OString& s = a.string(0);
    if (s.isEmpty()) vmerr::raise(vmerr::DataFormat);
    StringRange r = shape.range ? a.range(1, s.length()) : StringArgs::all(s);
    bool exact = shape.flag && a.exact(shape.range ? 3 : 1);
    a.result(s.mostFrequent(r.start, r.end, exact));
}

// (s, range, x), (s, range, x, flag): the range comes before the pattern.
void findBefore(VirtualMachine& vm, TInt32 opcode) {
    bool flag = opcode == 156 || opcode == 158;
    StringArgs a(vm, flag ? 5 : 4);
    const OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    OString x = a.string(3);
    bool exact = flag && a.exact(4);
    a.result(opcode <= 156 ? s.find(x, r.start, r.end, exact) : s.findLast(x, r.start, r.end, exact));
}

void startsOrEndsWith(VirtualMachine& vm, TInt32 opcode) {
    bool flag = opcode == 45 || opcode == 47;
    StringArgs a(vm, flag ? 3 : 2);
    const OString& s = a.string(0);
    OString x = a.string(1);
    bool exact = flag && a.exact(2);
    TInt32 n = s.length(), m = x.length();
    if (n == 0 || m == 0 || m > n) {
        a.resultBool(false);
        return;
    }
    a.resultBool(s.compareRun(opcode <= 45 ? 0 : n - m, x, m, exact) == 0);
}

// --- comparison ----------------------------------------------------------------------

void compare(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 3);
    a.result(a.string(0).compareTo(a.string(1), a.exact(2)));
}

// The range of a against b over the shorter length, then by length.
void comparePart(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 5);
    const OString& s = a.string(0);
    const OString& b = a.string(1);
    StringRange r = a.range(2, s.length());
    bool exact = a.exact(4);
    TInt32 n = std::min(r.length(), b.length());
    TInt32 d = s.compareRun(r.empty() ? 0 : r.start, b, n, exact);
    a.result(sign(d != 0 ? d : r.length() - b.length()));
}

void relation(VirtualMachine& vm, TInt32 opcode) {
    StringArgs a(vm, 2);
    const OString& x = a.string(0);
    const OString& y = a.string(1);
    if (opcode <= 141) {
        a.resultBool(x.equals(y, true) == (opcode == 140));
        return;
    }
    TInt32 c = x.compareTo(y, true);
    bool r = opcode == 142 ? c < 0 : opcode == 143 ? c <= 0 : opcode == 144 ? c > 0 : c >= 0;
    a.resultBool(r);
}

void equalIgnoringCase(VirtualMachine& vm, TInt32 opcode) {
    bool flag = opcode == 147;
    StringArgs a(vm, flag ? 3 : 2);
    a.resultBool(a.string(0).equals(a.string(1), flag && a.exact(2)));
}

// The range of a must have b's length and equal characters.
void regionEqual(VirtualMachine& vm, TInt32 opcode) {
    bool flag = opcode == 149;
    StringArgs a(vm, flag ? 5 : 4);
    const OString& s = a.string(0);
    const OString& b = a.string(1);
    StringRange r = a.range(2, s.length());
    bool exact = flag && a.exact(4);
    if (b.isEmpty()) vmerr::raise(vmerr::InvalidArgument);
    a.resultBool(r.length() == b.length() && s.compareRun(r.start, b, b.length(), exact) == 0);
}

// --- characters ------------------------------------------------------------------------

void character(VirtualMachine& vm, TInt32 opcode) {
    StringArgs a(vm, 1);
    TUint16 c = a.character(0);
    switch (opcode) {
    case 129: a.result(OString::toLowerChar(c)); break;
    case 130: a.result(OString::toUpperChar(c)); break;
    case 131: a.resultBool(OString::isLetter(c)); break;
    case 132: a.resultBool(OString::isDigit(c)); break;
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

void fromInt(VirtualMachine& vm, TInt32 opcode) {
    bool radix = opcode == 135;
    StringArgs a(vm, radix ? 2 : 1);
    TInt32 v = a.word(0);
    a.resultString(radix ? OString::fromUnsigned(TUint32(v), a.word(1)) : OString::fromInt64(v));
}

void toInt(VirtualMachine& vm, TInt32 opcode) {
    bool radix = opcode == 137;
    StringArgs a(vm, radix ? 2 : 1);
    const OString& s = a.string(0);
    a.result(radix ? parseInRadix(s, a.word(1)) : parseDecimal(s));
}

// --- new strings from old ones ---------------------------------------------------------

void concat(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 2);
    OString joined(a.string(0));
    joined.append(a.string(1));
    a.resultString(joined);
}

void repeat(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 2);
    a.resultString(OString::repeated(a.string(0), a.word(1)));
}

void substring(VirtualMachine& vm, TInt32) {
    StringArgs a(vm, 3);
    const OString& s = a.string(0);
    StringRange r = a.range(1, s.length());
    a.resultString(OString(s, r.start, r.end));
}

void nothing(VirtualMachine&, TInt32) {}

// --- the table -------------------------------------------------------------------------------

using stringops::Operation;

constexpr void fill(std::array<Operation, kLastOpcode + 1>& t, TInt32 first, TInt32 last, Operation op) {
    for (TInt32 i = first; i <= last; ++i) t[size_t(i)] = op;
}

// Opcodes 3, 6, 13, 55 and 56 are reserved and 0 and 54 invalid: they stay empty.
constexpr std::array<Operation, kLastOpcode + 1> makeTable() {
    using namespace stringops;
    std::array<Operation, kLastOpcode + 1> t{};
    for (TInt32 op : {1, 2, 4, 5, 7, 8, 9}) t[size_t(op)] = setString;
    t[10] = length;
    t[11] = isEmpty;
    t[12] = charAt;
    fill(t, 14, 15, firstOrLast);
    t[16] = findAsRange;
    fill(t, 17, 23, findFirst);
    fill(t, 24, 31, findLast);
    fill(t, 32, 35, mostFrequent);
    fill(t, 36, 43, count);
    fill(t, 44, 47, startsOrEndsWith);
    t[48] = concat;
    t[49] = repeat;
    fill(t, 50, 53, split);
    fill(t, 57, 59, insert);
    fill(t, 60, 65, prependAppend);
    t[66] = repeatInPlace;
    fill(t, 67, 68, replaceRange);
    fill(t, 69, 92, replaceMatches);
    t[93] = removeAt;
    t[94] = removeRange;
    fill(t, 95, 118, removeMatches);
    fill(t, 119, 122, removeEnds);
    fill(t, 123, 128, reshape);
    fill(t, 129, 133, character);
    fill(t, 134, 135, fromInt);
    fill(t, 136, 137, toInt);
    t[138] = compare;
    t[139] = comparePart;
    fill(t, 140, 145, relation);
    fill(t, 146, 147, equalIgnoringCase);
    fill(t, 148, 149, regionEqual);
    t[150] = substring;
    t[151] = nothing;
    t[152] = replaceOrInsert;
    t[153] = substring;
    t[154] = replaceOrInsertPart;
    fill(t, 155, 158, findBefore);
    fill(t, 159, 160, replaceAllBefore);
    return t;
}

constexpr std::array<Operation, kLastOpcode + 1> kOperations = makeTable();
}  // namespace

void stringNative(VirtualMachine& vm, TInt32 opcode) {
    Operation op = opcode >= 0 && opcode <= kLastOpcode ? kOperations[size_t(opcode)] : nullptr;
    if (!op) vm.invalidNativeFunction(kStringGroup);
    op(vm, opcode);
}
