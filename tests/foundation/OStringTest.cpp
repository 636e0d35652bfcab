// OString: copy-on-write sharing, the capacity and range rules, editing,
// searching, number formatting, strict UTF-8 and the Unicode character classes.
#include "foundation/OString.h"
#include "foundation/VMError.h"

#include <QString>
#include <gtest/gtest.h>

#include "ExpectRaises.h"

#include <functional>
#include <initializer_list>
#include <string>

void PrintTo(const OString& s, std::ostream* os) { *os << '"' << s.toQString().toStdString() << '"'; }

namespace {
std::string text(const OString& s) { return s.toQString().toStdString(); }
OString u16(std::initializer_list<TUint16> units) { return OString(units.begin(), TInt32(units.size())); }
using Edit = std::function<void(OString&)>;
Vec<TUint8> bytes(std::initializer_list<TUint8> list) {
    Vec<TUint8> v;
    for (TUint8 b : list) v.append(b);
    return v;
}
}  // namespace

TEST(OString, ConstructionCapacityAndCharAt) {
    for (auto [n, cap] : std::initializer_list<std::pair<int, int>>{{1, 10}, {9, 10}, {50, 60}, {100, 120}})
        EXPECT_EQ(OString(TUint16('x'), n).capacity(), cap) << n;
    EXPECT_EQ(OString().data(), nullptr);
    EXPECT_EQ(OString("").data(), nullptr);
    EXPECT_EQ(OString(TUint16('x'), 0).data(), nullptr);
    OString s("ab\xe9\xff", 1);  // Latin-1, zero-extended from the offset
    EXPECT_EQ(s, u16({'b', 0xE9, 0xFF}));
    EXPECT_EQ(s.data()[3], 0);  // always terminated
    EXPECT_EQ(s.charAt(2), 0xFF);
    EXPECT_EQ(OString("a").sizeOutsideHeap(), sizeof(OStringBuffer) + 11 * 2);
    EXPECT_EQ(OString().sizeOutsideHeap(), 0u);
}

TEST(OString, CopiesShareOneBuffer) {
    OString a("abc");
    OString b(a), c;
    c = a;
    EXPECT_TRUE(a.sharesBufferWith(c));
    EXPECT_EQ(a.bufferRefCount(), 3);
    b.setCharAt(1, 'b');  // no change: stays shared
    EXPECT_TRUE(a.sharesBufferWith(b));
    b.setCharAt(1, 'X');
    EXPECT_FALSE(a.sharesBufferWith(b));
    EXPECT_EQ(text(b), "aXc");
    delete new OString(a);
    EXPECT_EQ(a.bufferRefCount(), 2);
    OString moved(std::move(c));
    EXPECT_TRUE(c.isEmpty());
    EXPECT_EQ(text(moved), "abc");
    // Whole results share their source; parts are copies.
    OString src("shared"), appended, part, replaced("x");
    appended.append(src);
    part.insertTo(0, src, 1, 3);
    replaced.replaceRange(0, 0, src);
    for (const OString& s : {appended, replaced, OString::repeated(src, 1), OString(src, 0, 5)})
        EXPECT_TRUE(s.sharesBufferWith(src)) << text(s);
    EXPECT_FALSE(part.sharesBufferWith(src));
    OString trimmed(src);
    trimmed.trim();
    EXPECT_TRUE(trimmed.sharesBufferWith(src)) << "nothing to trim";
}

// Each edit runs on a copy: the original must stay as it was.
TEST(OString, Edits) {
    struct Case {
        const char* in;
        Edit edit;
        const char* out;
    };
    const Case cases[] = {
        {"abef", [](OString& s) { s.insertTo(2, OString("xcdx"), 1, 2); }, "abcdef"},
        {"b", [](OString& s) { s.prepend(OString(">")); s.append(TUint16('<')); }, ">b<"},
        {"abc", [](OString& s) { s.insertTo(1, s); }, "aabcbc"},  // into itself
        {"aabcbc", [](OString& s) { s.insertTo(0, s, 4, 5); }, "bcaabcbc"},
        {"Hello", [](OString& s) { s.setCharAt(0, 'J'); }, "Jello"},
        {"  a \t b  ", [](OString& s) { s.trim(); }, "a b"},  // inner runs keep their first character
        {"  a\t  b  ", [](OString& s) { s.trim(); }, "a\tb"},
        {" \t\n ", [](OString& s) { s.trim(); }, ""},
        {"  a  b  ", [](OString& s) { s.trimStart(); }, "a  b  "},
        {"  a  b  ", [](OString& s) { s.trimEnd(); }, "  a  b"},
        {"   ", [](OString& s) { s.trimEnd(); }, ""},
        {"abc", [](OString& s) { s.removeRange(0, 2); }, ""},
        {"aaaaXaaa", [](OString& s) { EXPECT_EQ(s.removeAll(OString("aa"), 0, 6, true), 3); }, "Xa"},
        {"AbaBab", [](OString& s) { EXPECT_EQ(s.removeAll(OString("ab"), 1, 5, false), 2); }, "Ab"},
        {"abababa", [](OString& s) { EXPECT_EQ(s.replaceAll(OString("aba"), OString("X"), 0, 6, true), 2); }, "XbX"},
        {"Hello hello", [](OString& s) { s.replaceAll(OString("HELLO"), OString("bye"), 0, 10, false); }, "bye bye"},
        {"a-b", [](OString& s) { s.replaceAll(OString("-"), s, 0, 2, true); }, "aa-bb"},  // itself as replacement
        {"abcdef", [](OString& s) { s.replaceRange(1, 2, OString("XYZ")); }, "aXYZdef"},
        {"aXYZdef", [](OString& s) { s.replaceRange(1, 3, OString("-")); }, "a-def"},
        {"a-def", [](OString& s) { s.replaceRange(1, 1, OString()); }, "adef"},
        {"ab", [](OString& s) { s.repeat(3); }, "ababab"},
        {"ab", [](OString& s) { s.repeat(0); }, ""},
        {"xy", [](OString& s) { s.repeat(7); }, "xyxyxyxyxyxyxy"},
        {"Hello", [](OString& s) { s.clear(); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.in) + " -> " + c.out);
        OString original(c.in), copy(original);
        c.edit(copy);
        EXPECT_EQ(text(copy), c.out);
        EXPECT_EQ(text(original), c.in);
        if (!*c.out) {
            EXPECT_EQ(copy.data(), nullptr);
        }
    }
    OString w = u16({0x00A0, 'a', 0x3000, 0x2003, 'b', 0x2028});  // non-ASCII white space
    w.trim();
    EXPECT_EQ(w, u16({'a', 0x3000, 'b'}));
    OString s = u16({'a', 0xE9, 0x3B1, 0x436, '1'});
    s.toUpper();
    EXPECT_EQ(s, u16({'A', 0xC9, 0x391, 0x416, '1'}));
    s.toLower();
    EXPECT_EQ(s, u16({'a', 0xE9, 0x3B1, 0x436, '1'}));
    OString sub("abcdefg");
    EXPECT_EQ(text(OString(sub, 1, 3)), "bcd");
    EXPECT_TRUE(OString(sub, 0, -1).isEmpty());
    EXPECT_EQ(text(OString(sub, 0, 6, 2)), "aceg");
    EXPECT_EQ(text(OString(sub, 1, 5, 3)), "be");
}

TEST(OString, BufferGrowsAndShrinksInPlaceWhileItCan) {
    OString g("abcdefgh");  // capacity 10
    OString(g).append(OString("x"));
    const TUint16* before = g.data();
    g.append(OString("ij"));
    g.setCharAt(0, 'A');
    EXPECT_EQ(g.data(), before);
    g.append(TUint16('k'));
    EXPECT_NE(g.data(), before);
    EXPECT_EQ(g.capacity(), 13);  // floor(11 * 1.2)
    EXPECT_EQ(text(g), "Abcdefghijk");
    OString s(TUint16('x'), 20);  // capacity 24; shrinks in place only above half
    before = s.data();
    s.removeRange(0, 6);  // 13 > 12: in place
    EXPECT_EQ(s.data(), before);
    EXPECT_EQ(s.capacity(), 24);
    s.removeRange(0, 0);  // 12 is not above 12: right-sized
    EXPECT_EQ(s.length(), 12);
    EXPECT_EQ(s.capacity(), 14);
}

// 0..-1 is the empty range; any other bad range or position raises and leaves the string.
TEST(OString, RangeAndArgumentErrors) {
    OString s("abcde");
    s.insertTo(1, OString("xyz"), 0, -1);
    s.replaceRange(0, -1, OString("xyz"));
    EXPECT_EQ(s.find(TUint16('a'), 0, -1, true), -1);
    EXPECT_EQ(s.count(OString("a"), 0, -1, true), 0);
    EXPECT_TRUE(OString(s, 0, -1).isEmpty());
    struct Case {
        TInt32 code;
        Edit edit;
    };
    const Case cases[] = {
        {vmerr::Range, [](OString& x) { x.removeRange(0, -1); }},
        {vmerr::Range, [](OString& x) { x.removeRange(2, 5); }},
        {vmerr::Range, [](OString& x) { x.find(TUint16('a'), 3, 2, true); }},
        {vmerr::Range, [](OString& x) { x.find(TUint16('a'), 0, 5, true); }},
        {vmerr::Range, [](OString& x) { x.find(TUint16('a'), -1, 2, true); }},
        {vmerr::Range, [](OString& x) { x.replaceRange(4, 3, OString("x")); }},
        {vmerr::Range, [](OString& x) { x.replaceAll(OString("a"), OString("x"), 0, 9, true); }},
        {vmerr::Range, [](OString& x) { x.insertTo(0, OString("xy"), 1, 2); }},
        {vmerr::Range, [](OString& x) { OString(x, 0, 5, 1); }},
        {vmerr::InvalidArgument, [](OString& x) { OString(x, 0, 4, 0); }},
        {vmerr::IndexOutOfBounds, [](OString& x) { x.insertTo(6, OString("x")); }},
        {vmerr::IndexOutOfBounds, [](OString& x) { x.insertTo(-1, TUint16('x')); }},
        {vmerr::IndexOutOfBounds, [](OString& x) { x.charAt(5); }},
        {vmerr::IndexOutOfBounds, [](OString& x) { x.charAt(-1); }},
        {vmerr::InvalidArgument, [](OString& x) { x.repeat(-2); }},
        {vmerr::InvalidArgument, [](OString& x) { x.repeat(0x7FFFFFFF); }},
        {vmerr::InvalidArgument, [](OString& x) { OString::repeated(x, -1); }},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expectRaises(cases[i].code, [&] { cases[i].edit(s); });
        EXPECT_EQ(text(s), "abcde");
    }
    expectRaises(vmerr::Range, [] { OString().removeRange(0, -1); });
    expectRaises(vmerr::IndexOutOfBounds, [] { OString().charAt(0); });
    expectRaises(vmerr::InvalidArgument, [] { OString(TUint16('x'), -1); });
}

TEST(OString, FindCountAndCompare) {
    OString s("abcabc");
    EXPECT_EQ(s.find(TUint16('a'), 2, 5, true), 3);
    EXPECT_EQ(s.findLast(TUint16('a'), 0, 2, true), 0);
    EXPECT_EQ(s.find(OString("bc"), 0, 5, true), 1);
    EXPECT_EQ(s.findLast(OString("bc"), 0, 5, true), 4);
    EXPECT_EQ(s.findLast(OString("bc"), 0, 4, true), 1);
    EXPECT_EQ(s.find(OString("ca"), 3, 5, true), -1);
    OString h("Hello");
    EXPECT_EQ(h.find(OString("LL"), false), 2);
    EXPECT_EQ(h.find(OString("LL"), true), -1);
    EXPECT_EQ(h.find(OString()), -1);
    EXPECT_EQ(h.find(OString("Hello!")), -1);
    EXPECT_EQ(OString().find(OString("a")), -1);
    OString a4("aaaa");
    EXPECT_EQ(a4.count(OString("aa"), 0, 3, true), 2);  // non-overlapping
    EXPECT_EQ(a4.count(OString("AA"), 0, 3, false), 2);
    EXPECT_EQ(a4.count(OString("AA"), 0, 3, true), 0);
    EXPECT_EQ(a4.count(OString(), 0, 3, true), 0);

    EXPECT_EQ(OString("abab").mostFrequent(0, 3, true), 'a');  // first strictly higher count wins
    EXPECT_EQ(OString("AbB").mostFrequent(0, 2, false), 'b');
    EXPECT_EQ(OString("AbB").mostFrequent(0, 2, true), 'A');
    EXPECT_EQ(OString("xAAb").mostFrequent(2, 3, false), 'a');
    expectRaises(vmerr::DataFormat, [] { OString().mostFrequent(0, -1, true); });
    expectRaises(vmerr::Range, [] { OString("ab").mostFrequent(0, 2, true); });
    expectRaises(vmerr::DataFormat, [] { OString("ab").mostFrequent(0, -1, true); });

    OString abc("abc");
    EXPECT_EQ(abc.compareRun(OString("abd"), 3, true), 'c' - 'd');
    EXPECT_EQ(abc.compareRun(OString("ABX"), 2, false), 0);
    EXPECT_EQ(abc.compareRun(OString("ABX"), 2, true), 'a' - 'A');
    EXPECT_EQ(abc.compareRun(1, OString("bc"), 2, true), 0);
    expectRaises(vmerr::IndexOutOfBounds, [&] { abc.compareRun(OString("ab"), 3, true); });
    EXPECT_EQ(abc.compareTo(OString("ABD"), false), -1);
    EXPECT_EQ(abc.compareTo(OString("ABD"), true), 1);
    EXPECT_EQ(abc.compareTo(OString("ab"), true), 1);
    EXPECT_TRUE(abc.equals(OString("ABC"), false));
    EXPECT_FALSE(abc == OString("ABC"));
}

TEST(OString, NumberFormatting) {
    struct Case {
        TUint32 value;
        TInt32 radix;
        std::string out;
    };
    for (const Case& c : {Case{255, 16, "ff"}, Case{0, 2, "0"}, Case{35, 36, "z"}, Case{0xFFFFFFFFu, 16, "ffffffff"},
                          Case{0xFFFFFFFFu, 2, std::string(32, '1')}, Case{10, 1, ""}, Case{10, 37, ""}})
        EXPECT_EQ(text(OString::fromUnsigned(c.value, c.radix)), c.out) << c.value << " radix " << c.radix;
    EXPECT_EQ(text(OString::fromInt64(-5)), "-5");
    EXPECT_EQ(text(OString::fromInt64(0)), "0");
    EXPECT_EQ(text(OString::fromInt64(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(text(OString::fromInt64(INT64_MAX)), "9223372036854775807");
}

// Every edge of the table of well-formed sequences round trips; one step outside raises error 4.
TEST(OStringUtf8, RoundTripsAtEveryEdge) {
    struct Case {
        std::initializer_list<TUint16> units;
        std::initializer_list<TUint8> utf8;
    };
    const Case good[] = {
        {{0}, {0x00}}, {{0x7F}, {0x7F}}, {{0x80}, {0xC2, 0x80}}, {{0x7FF}, {0xDF, 0xBF}},
        {{0x800}, {0xE0, 0xA0, 0x80}}, {{0xFFF}, {0xE0, 0xBF, 0xBF}}, {{0x1000}, {0xE1, 0x80, 0x80}},
        {{0xCFFF}, {0xEC, 0xBF, 0xBF}}, {{0xD000}, {0xED, 0x80, 0x80}}, {{0xD7FF}, {0xED, 0x9F, 0xBF}},
        {{0xE000}, {0xEE, 0x80, 0x80}}, {{0xFFFF}, {0xEF, 0xBF, 0xBF}}, {{'A', 0xE9}, {0x41, 0xC3, 0xA9}},
        {{0xD83D, 0xDE00}, {0xF0, 0x9F, 0x98, 0x80}},  // a surrogate pair is one four-byte sequence
        {{0xD800, 0xDC00}, {0xF0, 0x90, 0x80, 0x80}}, {{0xD8BF, 0xDFFF}, {0xF0, 0xBF, 0xBF, 0xBF}},
        {{0xD8C0, 0xDC00}, {0xF1, 0x80, 0x80, 0x80}}, {{0xDBBF, 0xDFFF}, {0xF3, 0xBF, 0xBF, 0xBF}},
        {{0xDBC0, 0xDC00}, {0xF4, 0x80, 0x80, 0x80}}, {{0xDBFF, 0xDFFF}, {0xF4, 0x8F, 0xBF, 0xBF}},
    };
    for (const Case& c : good) {
        SCOPED_TRACE(testing::PrintToString(u16(c.units)));
        EXPECT_EQ(u16(c.units).toUtf8(), bytes(c.utf8));
        EXPECT_EQ(OString::fromUtf8(bytes(c.utf8)), u16(c.units));
    }
    EXPECT_TRUE(OString::fromUtf8(bytes({})).isEmpty());
    // Lone surrogate halves encode to three bytes each.
    EXPECT_EQ(u16({0xDC00, 0xD83D}).toUtf8(), bytes({0xED, 0xB0, 0x80, 0xED, 0xA0, 0xBD}));
    Vec<TUint8> out = bytes({1});
    OString("a").appendUtf8To(out);
    EXPECT_EQ(out, bytes({1, 'a'}));

    const std::initializer_list<TUint8> bad[] = {
        {0x80}, {0xBF}, {0xC0, 0x80}, {0xC1, 0xBF}, {0xC2, 0x7F}, {0xC2, 0xC0},          // lone, overlong, 2nd byte
        {0xE0, 0x9F, 0x80}, {0xE0, 0xC0, 0x80}, {0xED, 0xA0, 0x80}, {0xED, 0x7F, 0x80},  // overlong, surrogates
        {0xE1, 0x80, 0x7F}, {0xE1, 0x80, 0xC0}, {0xF0, 0x8F, 0x80, 0x80}, {0xF0, 0xC0, 0x80, 0x80},
        {0xF4, 0x90, 0x80, 0x80}, {0xF4, 0x7F, 0x80, 0x80}, {0xF1, 0x80, 0x80, 0xC0},  // above U+10FFFF, 4th byte
        {0xF5, 0x80, 0x80, 0x80}, {0xFF}, {'a', 0xC3}, {0xE2, 0x82}, {0xF0, 0x9F, 0x98},  // never-lead, cut off
    };
    for (const auto& in : bad) expectRaises(vmerr::DataFormat, [&] { OString::fromUtf8(bytes(in)); });
    // A sequence cut off by the length must not read the bytes past it.
    Vec<TUint8> v = bytes({'a', 0xE2, 0x82, 0xAC});
    expectRaises(vmerr::DataFormat, [&] { OString::fromUtf8(v.data(), 3); });
}

TEST(OString, QtStringAndCharacterClasses) {
    OString s = u16({'a', 0xD800, 0xFFFF, 0});
    QString q = s.toQString();
    ASSERT_EQ(q.size(), 4);
    EXPECT_EQ(q.at(1).unicode(), 0xD800);
    EXPECT_EQ(OString::fromQString(q), s);
    EXPECT_TRUE(OString::fromQString(QString()).isEmpty());

    EXPECT_TRUE(OString::isDigit(0x0663) && !OString::isDigit('x'));  // ARABIC-INDIC DIGIT THREE
    EXPECT_TRUE(OString::isLetter(0x4E2D) && !OString::isLetter('1'));  // CJK ideograph
    EXPECT_TRUE(OString::isSpace(0x3000) && !OString::isSpace('_'));
    EXPECT_TRUE(OString::isUpper(0x0411) && OString::isLower(0x03C9));
    EXPECT_EQ(OString::toUpperChar(0xDF), 0xDF);  // no single-character upper form
    EXPECT_EQ(OString::toLowerChar(0xD800), 0xD800);
}
