// OString: sharing and copy-on-write, the capacity and range rules, editing,
// searching, number formatting, strict UTF-8 and the Unicode character classes.
#include "foundation/OString.h"
#include "foundation/VMError.h"

#include <QString>
#include <gtest/gtest.h>

#include "ExpectRaises.h"

#include <initializer_list>
#include <string>

void PrintTo(const OString& s, std::ostream* os) { *os << '"' << s.toQString().toStdString() << '"'; }

namespace {
std::string text(const OString& s) { return s.toQString().toStdString(); }

OString u16(std::initializer_list<TUint16> units) {
    return OString(units.begin(), TInt32(units.size()));
}

Vec<TUint8> bytes(std::initializer_list<TUint8> list) {
    Vec<TUint8> v;
    for (TUint8 b : list) v.append(b);
    return v;
}

}  // namespace

// --- construction and the capacity rule ---------------------------------------

TEST(OStringConstruct, CapacityIsTwelveTenthsWithAFloorOfTen) {
    EXPECT_EQ(OString("a").capacity(), 10);
    EXPECT_EQ(OString(TUint16('x'), 8).capacity(), 10);
    EXPECT_EQ(OString(TUint16('x'), 9).capacity(), 10);
    EXPECT_EQ(OString(TUint16('x'), 50).capacity(), 60);
    EXPECT_EQ(OString(TUint16('x'), 100).capacity(), 120);
}

TEST(OStringConstruct, EmptyStringHasNoBuffer) {
    EXPECT_EQ(OString().data(), nullptr);
    EXPECT_EQ(OString("").data(), nullptr);
    EXPECT_EQ(OString(TUint16('x'), 0).data(), nullptr);
    EXPECT_EQ(OString().length(), 0);
    EXPECT_TRUE(OString().isEmpty());
}

TEST(OStringConstruct, Latin1BytesAreZeroExtendedFromTheOffset) {
    OString s("ab\xe9\xff", 1);
    ASSERT_EQ(s.length(), 3);
    EXPECT_EQ(s[0], 'b');
    EXPECT_EQ(s[1], 0xE9);
    EXPECT_EQ(s[2], 0xFF);
    EXPECT_EQ(s.data()[3], 0);  // always terminated
}

TEST(OStringConstruct, NegativeRepeatCountRaises) {
    expectRaises(vmerr::InvalidArgument, [] { OString(TUint16('x'), -1); });
    expectRaises(vmerr::InvalidArgument, [] { OString::repeated(OString("ab"), -1); });
}

TEST(OStringConstruct, CharAtOutsideTheStringRaises) {
    OString s("abc");
    EXPECT_EQ(s.charAt(2), 'c');
    expectRaises(vmerr::IndexOutOfBounds, [&] { s.charAt(3); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { s.charAt(-1); });
    expectRaises(vmerr::IndexOutOfBounds, [] { OString().charAt(0); });
}

// --- sharing and copy-on-write --------------------------------------------------

TEST(OStringSharing, CopiesShareOneBuffer) {
    OString a("hello");
    OString b(a);
    OString c;
    c = a;
    EXPECT_TRUE(a.sharesBufferWith(b));
    EXPECT_TRUE(a.sharesBufferWith(c));
    EXPECT_EQ(a.bufferRefCount(), 3);
}

TEST(OStringSharing, MutatingACopyNeverChangesTheOriginal) {
    OString original("Hello world");
    auto check = [&](auto edit) {
        OString copy(original);
        edit(copy);
        EXPECT_EQ(text(original), "Hello world");
    };
    check([](OString& s) { s.append(OString("!")); });
    check([](OString& s) { s.insertTo(0, TUint16('>')); });
    check([](OString& s) { s.setCharAt(0, 'J'); });
    check([](OString& s) { s.toUpper(); });
    check([](OString& s) { s.toLower(); });
    check([](OString& s) { s.removeRange(0, 4); });
    check([](OString& s) { s.replaceRange(0, 4, OString("Bye")); });
    check([](OString& s) { s.replaceAll(OString("o"), OString("0"), 0, 10, true); });
    check([](OString& s) { s.removeAll(OString("l"), 0, 10, true); });
    check([](OString& s) { s.repeat(3); });
    check([](OString& s) { s.trimStart(); });
    check([](OString& s) { s.clear(); });
}

TEST(OStringSharing, UnsharedStringsAreEditedInPlace) {
    OString s("abc");
    const TUint16* before = s.data();
    s.append(OString("def"));
    s.setCharAt(0, 'A');
    s.toUpper();
    EXPECT_EQ(s.data(), before);
    EXPECT_EQ(text(s), "ABCDEF");
}

TEST(OStringSharing, SetCharCopiesASharedBufferOnlyWhenTheCharacterChanges) {
    OString a("abc");
    OString b(a);
    b.setCharAt(1, 'b');
    EXPECT_TRUE(a.sharesBufferWith(b));
    b.setCharAt(1, 'X');
    EXPECT_FALSE(a.sharesBufferWith(b));
    EXPECT_EQ(text(b), "aXc");
}

TEST(OStringSharing, ABufferIsFreedWithItsLastOwner) {
    auto* a = new OString("abc");
    OString b(*a);
    EXPECT_EQ(b.bufferRefCount(), 2);
    delete a;
    EXPECT_EQ(b.bufferRefCount(), 1);
    EXPECT_EQ(text(b), "abc");
}

TEST(OStringSharing, MoveLeavesTheSourceEmpty) {
    OString a("abc");
    OString b(std::move(a));
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(b.bufferRefCount(), 1);
}

TEST(OStringSharing, SizeOutsideHeapIsTheBuffer) {
    EXPECT_EQ(OString().sizeOutsideHeap(), 0u);
    EXPECT_EQ(OString("a").sizeOutsideHeap(), sizeof(OStringBuffer) + 11 * 2);
}

// --- ranges ------------------------------------------------------------------------

TEST(OStringRange, ZeroMinusOneIsTheEmptyRange) {
    OString empty;
    empty.insertTo(0, OString("abc"), 0, -1);
    EXPECT_TRUE(empty.isEmpty());
    empty.replaceRange(0, -1, OString("abc"));
    EXPECT_TRUE(empty.isEmpty());
    OString s("abc");
    s.insertTo(1, OString(), 0, -1);
    s.replaceRange(0, -1, OString("xyz"));
    EXPECT_EQ(text(s), "abc");
    EXPECT_EQ(s.find(TUint16('a'), 0, -1, true), -1);
    EXPECT_EQ(s.count(OString("a"), 0, -1, true), 0);
}

TEST(OStringRange, RemoveRangeNeedsANonEmptyRange) {
    OString s("abc");
    expectRaises(vmerr::Range, [&] { s.removeRange(0, -1); });
    expectRaises(vmerr::Range, [] { OString().removeRange(0, -1); });
    EXPECT_EQ(text(s), "abc");
}

TEST(OStringRange, BadRangesRaiseAndLeaveTheStringUnchanged) {
    OString s("abcde");
    expectRaises(vmerr::Range, [&] { s.find(TUint16('a'), 3, 2, true); });
    expectRaises(vmerr::Range, [&] { s.find(TUint16('a'), 0, 5, true); });
    expectRaises(vmerr::Range, [&] { s.find(TUint16('a'), -1, 2, true); });
    expectRaises(vmerr::Range, [&] { s.removeRange(2, 5); });
    expectRaises(vmerr::Range, [&] { s.replaceRange(4, 3, OString("x")); });
    expectRaises(vmerr::Range, [&] { s.replaceAll(OString("a"), OString("x"), 0, 9, true); });
    expectRaises(vmerr::Range, [&] { s.insertTo(0, OString("xy"), 1, 2); });
    EXPECT_EQ(text(s), "abcde");
}

// --- insertion ----------------------------------------------------------------------

TEST(OStringInsert, WholeSourceIntoAnEmptyStringSharesItsBuffer) {
    OString source("shared");
    OString s;
    s.append(source);
    EXPECT_TRUE(s.sharesBufferWith(source));
    OString part;
    part.insertTo(0, source, 1, 3);
    EXPECT_FALSE(part.sharesBufferWith(source));
    EXPECT_EQ(text(part), "har");
}

TEST(OStringInsert, SliceGoesBeforeThePosition) {
    OString s("abef");
    s.insertTo(2, OString("xcdx"), 1, 2);
    EXPECT_EQ(text(s), "abcdef");
    s.prepend(OString(">"));
    s.append(TUint16('<'));
    EXPECT_EQ(text(s), ">abcdef<");
}

TEST(OStringInsert, PositionOutsideZeroToLengthRaises) {
    OString s("abc");
    expectRaises(vmerr::IndexOutOfBounds, [&] { s.insertTo(4, OString("x")); });
    expectRaises(vmerr::IndexOutOfBounds, [&] { s.insertTo(-1, TUint16('x')); });
    EXPECT_EQ(text(s), "abc");
}

TEST(OStringInsert, GrowsInPlaceUntilTheCapacityIsFull) {
    OString s("abcdefgh");  // capacity 10
    OString(s).append(OString("x"));
    const TUint16* before = s.data();
    s.append(OString("ij"));
    EXPECT_EQ(s.data(), before);
    s.append(TUint16('k'));
    EXPECT_NE(s.data(), before);
    EXPECT_EQ(s.capacity(), 13);  // floor(11 * 1.2)
    EXPECT_EQ(text(s), "abcdefghijk");
}

TEST(OStringInsert, AStringCanBeInsertedIntoItself) {
    OString s("abc");
    s.insertTo(1, s);
    EXPECT_EQ(text(s), "aabcbc");
    s.insertTo(0, s, 4, 5);
    EXPECT_EQ(text(s), "bcaabcbc");
}

// --- trimming ---------------------------------------------------------------------------

TEST(OStringTrim, InnerRunsKeepTheirFirstCharacter) {
    OString s("  a \t b  ");
    s.trim();
    EXPECT_EQ(text(s), "a b");
    OString t("  a\t  b  ");
    t.trim();
    EXPECT_EQ(text(t), "a\tb");
}

TEST(OStringTrim, SpacesOnlyBecomeEmpty) {
    OString s(" \t\n ");
    s.trim();
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.data(), nullptr);
}

TEST(OStringTrim, NothingToTrimKeepsTheSharedBuffer) {
    OString a("a b");
    OString b(a);
    b.trim();
    EXPECT_TRUE(a.sharesBufferWith(b));
}

TEST(OStringTrim, StartAndEndKeepInnerRuns) {
    OString s("  a  b  ");
    OString t(s);
    s.trimStart();
    t.trimEnd();
    EXPECT_EQ(text(s), "a  b  ");
    EXPECT_EQ(text(t), "  a  b");
    OString blank("   ");
    blank.trimEnd();
    EXPECT_TRUE(blank.isEmpty());
}

TEST(OStringTrim, NonAsciiWhiteSpaceCounts) {
    OString s = u16({0x00A0, 'a', 0x3000, 0x2003, 'b', 0x2028});
    s.trim();
    EXPECT_EQ(s, u16({'a', 0x3000, 'b'}));
}

// --- case ---------------------------------------------------------------------------------

TEST(OStringCase, MapsNonAsciiLetters) {
    OString s = u16({'a', 0xE9, 0x3B1, 0x436, '1'});
    s.toUpper();
    EXPECT_EQ(s, u16({'A', 0xC9, 0x391, 0x416, '1'}));
    s.toLower();
    EXPECT_EQ(s, u16({'a', 0xE9, 0x3B1, 0x436, '1'}));
}

// --- removal and replacement ------------------------------------------------------

TEST(OStringRemove, RemovingEverythingLeavesTheEmptyString) {
    OString s("abc");
    s.removeRange(0, 2);
    EXPECT_EQ(s.data(), nullptr);
}

TEST(OStringRemove, ShrinksInPlaceOnlyAboveHalfTheCapacity) {
    OString s(TUint16('x'), 20);  // capacity 24
    const TUint16* before = s.data();
    s.removeRange(0, 6);  // 13 > 12: in place
    EXPECT_EQ(s.data(), before);
    EXPECT_EQ(s.capacity(), 24);
    s.removeRange(0, 0);  // 12 is not above 12: right-sized
    EXPECT_EQ(s.length(), 12);
    EXPECT_EQ(s.capacity(), 14);
}

TEST(OStringRemove, RemoveAllFindsNonOverlappingMatchesInTheRange) {
    OString s("aaaaXaaa");
    EXPECT_EQ(s.removeAll(OString("aa"), 0, 6, true), 3);
    EXPECT_EQ(text(s), "Xa");
    OString t("AbaBab");
    EXPECT_EQ(t.removeAll(OString("ab"), 1, 5, false), 2);
    EXPECT_EQ(text(t), "Ab");
}

TEST(OStringReplace, ReplaceAllResumesAfterEachMatch) {
    OString s("abababa");
    EXPECT_EQ(s.replaceAll(OString("aba"), OString("X"), 0, 6, true), 2);
    EXPECT_EQ(text(s), "XbX");
    OString t("Hello hello");
    EXPECT_EQ(t.replaceAll(OString("HELLO"), OString("bye"), 0, 10, false), 2);
    EXPECT_EQ(text(t), "bye bye");
}

TEST(OStringReplace, ReplaceAllWithItselfAsTheReplacement) {
    OString s("a-b");
    s.replaceAll(OString("-"), s, 0, 2, true);
    EXPECT_EQ(text(s), "aa-bb");
}

TEST(OStringReplace, ReplaceRangeGrowsShrinksAndRemoves) {
    OString s("abcdef");
    s.replaceRange(1, 2, OString("XYZ"));
    EXPECT_EQ(text(s), "aXYZdef");
    s.replaceRange(1, 3, OString("-"));
    EXPECT_EQ(text(s), "a-def");
    s.replaceRange(1, 1, OString());
    EXPECT_EQ(text(s), "adef");
}

TEST(OStringReplace, ReplacingTheWholeStringSharesTheReplacement) {
    OString s("abc");
    OString r("xyz12");
    s.replaceRange(0, 2, r);
    EXPECT_TRUE(s.sharesBufferWith(r));
}

// --- repeat -------------------------------------------------------------------------

TEST(OStringRepeat, RepeatsInPlaceOrIntoANewBuffer) {
    OString s("ab");
    s.repeat(3);
    EXPECT_EQ(text(s), "ababab");
    s.repeat(0);
    EXPECT_TRUE(s.isEmpty());
    OString t("xy");
    expectRaises(vmerr::InvalidArgument, [&] { t.repeat(-2); });
    EXPECT_EQ(text(t), "xy");
    t.repeat(7);
    EXPECT_EQ(text(t), "xyxyxyxyxyxyxy");
}

TEST(OStringRepeat, OneCopyShares) {
    OString s("ab");
    EXPECT_TRUE(OString::repeated(s, 1).sharesBufferWith(s));
    EXPECT_TRUE(OString::repeated(s, 0).isEmpty());
    EXPECT_EQ(text(OString::repeated(s, 2)), "abab");
}

TEST(OStringRepeat, AnOverlongResultRaisesAndLeavesTheString) {
    OString s(TUint16('x'), 1000);
    expectRaises(vmerr::InvalidArgument, [&] { s.repeat(0x7FFFFFFF); });
    EXPECT_EQ(s.length(), 1000);
}

// --- substrings -------------------------------------------------------------------

TEST(OStringSubstring, StepOneSharesTheWholeAndCopiesAPart) {
    OString s("abcdef");
    EXPECT_TRUE(OString(s, 0, 5).sharesBufferWith(s));
    EXPECT_EQ(text(OString(s, 1, 3)), "bcd");
    EXPECT_TRUE(OString(s, 0, -1).isEmpty());
}

TEST(OStringSubstring, StepTakesEveryStepthCharacter) {
    OString s("abcdefg");
    EXPECT_EQ(text(OString(s, 0, 6, 2)), "aceg");
    EXPECT_EQ(text(OString(s, 1, 6, 2)), "bdf");
    EXPECT_EQ(text(OString(s, 1, 5, 3)), "be");
    expectRaises(vmerr::InvalidArgument, [&] { OString(s, 0, 6, 0); });
    expectRaises(vmerr::Range, [&] { OString(s, 0, 7, 1); });
}

// --- searching and counting ----------------------------------------------------------

TEST(OStringFind, ForwardAndBackwardWithinTheRange) {
    OString s("abcabc");
    EXPECT_EQ(s.find(TUint16('a'), 2, 5, true), 3);
    EXPECT_EQ(s.findLast(TUint16('a'), 0, 2, true), 0);
    EXPECT_EQ(s.find(OString("bc"), 0, 5, true), 1);
    EXPECT_EQ(s.findLast(OString("bc"), 0, 5, true), 4);
    EXPECT_EQ(s.findLast(OString("bc"), 0, 4, true), 1);
    EXPECT_EQ(s.find(OString("ca"), 3, 5, true), -1);
}

TEST(OStringFind, CaseFlagAndDegeneratePatterns) {
    OString s("Hello");
    EXPECT_EQ(s.find(OString("LL"), false), 2);
    EXPECT_EQ(s.find(OString("LL"), true), -1);
    EXPECT_EQ(s.find(TUint16('h'), 0, 4, false), 0);
    EXPECT_EQ(s.find(OString()), -1);
    EXPECT_EQ(s.find(OString("Hello!")), -1);
    EXPECT_EQ(OString().find(OString("a")), -1);
}

TEST(OStringCount, NonOverlappingOccurrences) {
    OString s("aaaa");
    EXPECT_EQ(s.count(OString("aa"), 0, 3, true), 2);
    EXPECT_EQ(s.count(OString("AA"), 0, 3, false), 2);
    EXPECT_EQ(s.count(OString("AA"), 0, 3, true), 0);
    EXPECT_EQ(s.count(OString(), 0, 3, true), 0);
}

TEST(OStringMostFrequent, FirstStrictlyHigherCountWins) {
    EXPECT_EQ(OString("abab").mostFrequent(0, 3, true), 'a');
    EXPECT_EQ(OString("AbB").mostFrequent(0, 2, false), 'b');
    EXPECT_EQ(OString("AbB").mostFrequent(0, 2, true), 'A');
    EXPECT_EQ(OString("xAAb").mostFrequent(2, 3, false), 'a');
}

TEST(OStringMostFrequent, EmptyStringOrBadRangeRaises) {
    expectRaises(vmerr::DataFormat, [] { OString().mostFrequent(0, -1, true); });
    expectRaises(vmerr::Range, [] { OString("ab").mostFrequent(0, 2, true); });
    expectRaises(vmerr::DataFormat, [] { OString("ab").mostFrequent(0, -1, true); });
}

// --- comparison ----------------------------------------------------------------------

TEST(OStringCompare, RunReturnsTheFirstDifference) {
    OString a("abc");
    EXPECT_EQ(a.compareRun(OString("abd"), 3, true), 'c' - 'd');
    EXPECT_EQ(a.compareRun(OString("ABX"), 2, false), 0);
    EXPECT_EQ(a.compareRun(OString("ABX"), 2, true), 'a' - 'A');
    EXPECT_EQ(a.compareRun(1, OString("bc"), 2, true), 0);
    expectRaises(vmerr::IndexOutOfBounds, [&] { a.compareRun(OString("ab"), 3, true); });
}

TEST(OStringCompare, OrderThenLength) {
    OString a("abc");
    EXPECT_EQ(a.compareTo(OString("ABD"), false), -1);
    EXPECT_EQ(a.compareTo(OString("ABD"), true), 1);
    EXPECT_EQ(a.compareTo(OString("ab"), true), 1);
    EXPECT_EQ(OString().compareTo(OString(), true), 0);
    EXPECT_TRUE(a.equals(OString("ABC"), false));
    EXPECT_FALSE(a == OString("ABC"));
}

// --- number formatting -----------------------------------------------------------------

TEST(OStringNumber, RadixFormats) {
    EXPECT_EQ(text(OString::fromUnsigned(255, 16)), "ff");
    EXPECT_EQ(text(OString::fromUnsigned(0, 2)), "0");
    EXPECT_EQ(text(OString::fromUnsigned(5, 2)), "101");
    EXPECT_EQ(text(OString::fromUnsigned(35, 36)), "z");
    EXPECT_EQ(text(OString::fromUnsigned(0xFFFFFFFFu, 16)), "ffffffff");
    EXPECT_EQ(text(OString::fromUnsigned(0xFFFFFFFFu, 2)), std::string(32, '1'));
    EXPECT_TRUE(OString::fromUnsigned(10, 1).isEmpty());
    EXPECT_TRUE(OString::fromUnsigned(10, 37).isEmpty());
}

TEST(OStringNumber, SignedDecimal) {
    EXPECT_EQ(text(OString::fromInt64(-5)), "-5");
    EXPECT_EQ(text(OString::fromInt64(0)), "0");
    EXPECT_EQ(text(OString::fromInt64(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(text(OString::fromInt64(INT64_MAX)), "9223372036854775807");
}

// --- UTF-8 -----------------------------------------------------------------------------

TEST(OStringUtf8, EncodesEachUnitByItsSize) {
    EXPECT_EQ(u16({'A', 0xE9, 0x20AC}).toUtf8(),
              bytes({0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(u16({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}).toUtf8(),
              bytes({0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
}

TEST(OStringUtf8, LoneSurrogateHalvesEncodeToThreeBytesEach) {
    EXPECT_EQ(u16({0xD800}).toUtf8(), bytes({0xED, 0xA0, 0x80}));
    EXPECT_EQ(u16({0xDC00, 0xD83D}).toUtf8(), bytes({0xED, 0xB0, 0x80, 0xED, 0xA0, 0xBD}));
}

TEST(OStringUtf8, SurrogatePairRoundTripsThroughOneFourByteSequence) {
    OString s = u16({0xD83D, 0xDE00});  // U+1F600
    EXPECT_EQ(s.toUtf8(), bytes({0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(OString::fromUtf8(s.toUtf8()), s);
}

TEST(OStringUtf8, AppendsToTheByteVector) {
    Vec<TUint8> out = bytes({1});
    OString("a").appendUtf8To(out);
    EXPECT_EQ(out, bytes({1, 'a'}));
}

TEST(OStringUtf8, DecodesWellFormedSequences) {
    EXPECT_EQ(OString::fromUtf8(bytes({0x41, 0xC3, 0xA9})), u16({'A', 0xE9}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xE2, 0x82, 0xAC})), u16({0x20AC}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF4, 0x8F, 0xBF, 0xBF})), u16({0xDBFF, 0xDFFF}));
    EXPECT_EQ(OString::fromUtf8(bytes({0x00})), u16({0}));
    EXPECT_TRUE(OString::fromUtf8(bytes({})).isEmpty());
}

// Every boundary of the table of well-formed byte sequences: the edge values decode,
// one step outside raises error 4.
TEST(OStringUtf8, StrictTableBoundaries) {
    struct Case {
        std::initializer_list<TUint8> in;
        TUint16 out;
    };
    const Case good[] = {
        {{0x7F}, 0x7F},
        {{0xC2, 0x80}, 0x80},
        {{0xDF, 0xBF}, 0x7FF},
        {{0xE0, 0xA0, 0x80}, 0x800},
        {{0xE0, 0xBF, 0xBF}, 0xFFF},
        {{0xE1, 0x80, 0x80}, 0x1000},
        {{0xEC, 0xBF, 0xBF}, 0xCFFF},
        {{0xED, 0x80, 0x80}, 0xD000},
        {{0xED, 0x9F, 0xBF}, 0xD7FF},
        {{0xEE, 0x80, 0x80}, 0xE000},
        {{0xEF, 0xBF, 0xBF}, 0xFFFF},
    };
    for (const Case& c : good) EXPECT_EQ(OString::fromUtf8(bytes(c.in)), u16({c.out}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF0, 0x90, 0x80, 0x80})), u16({0xD800, 0xDC00}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF0, 0xBF, 0xBF, 0xBF})), u16({0xD8BF, 0xDFFF}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF1, 0x80, 0x80, 0x80})), u16({0xD8C0, 0xDC00}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF3, 0xBF, 0xBF, 0xBF})), u16({0xDBBF, 0xDFFF}));
    EXPECT_EQ(OString::fromUtf8(bytes({0xF4, 0x80, 0x80, 0x80})), u16({0xDBC0, 0xDC00}));

    const std::initializer_list<TUint8> bad[] = {
        {0x80},                    // continuation byte alone
        {0xBF},
        {0xC0, 0x80},              // overlong lead bytes
        {0xC1, 0xBF},
        {0xC2, 0x7F},              // second byte below / above 80..BF
        {0xC2, 0xC0},
        {0xE0, 0x9F, 0x80},        // overlong three-byte form
        {0xE0, 0xC0, 0x80},
        {0xED, 0xA0, 0x80},        // surrogates
        {0xED, 0x7F, 0x80},
        {0xE1, 0x80, 0x7F},        // third byte outside 80..BF
        {0xE1, 0x80, 0xC0},
        {0xF0, 0x8F, 0x80, 0x80},  // overlong four-byte form
        {0xF0, 0xC0, 0x80, 0x80},
        {0xF4, 0x90, 0x80, 0x80},  // above U+10FFFF
        {0xF4, 0x7F, 0x80, 0x80},
        {0xF1, 0x80, 0x80, 0xC0},  // fourth byte outside 80..BF
        {0xF5, 0x80, 0x80, 0x80},  // lead bytes that never occur
        {0xFF},
    };
    for (const auto& in : bad)
        expectRaises(vmerr::DataFormat, [&] { OString::fromUtf8(bytes(in)); });
}

TEST(OStringUtf8, CutOffSequencesRaise) {
    expectRaises(vmerr::DataFormat, [] { OString::fromUtf8(bytes({'a', 0xC3})); });
    expectRaises(vmerr::DataFormat, [] { OString::fromUtf8(bytes({0xE2, 0x82})); });
    expectRaises(vmerr::DataFormat, [] { OString::fromUtf8(bytes({0xF0, 0x9F, 0x98})); });
}

TEST(OStringUtf8, CutOffSequenceInsideALongerBufferRaises) {
    // The bytes after the vector's end must never be read as part of a sequence.
    Vec<TUint8> v = bytes({'a', 0xE2, 0x82, 0xAC});
    expectRaises(vmerr::DataFormat, [&] { OString::fromUtf8(v.data(), 3); });
}

// --- host string and character classes -------------------------------------------------

TEST(OStringQt, CodeUnitsPassUnchanged) {
    OString s = u16({'a', 0xD800, 0xFFFF, 0});
    QString q = s.toQString();
    ASSERT_EQ(q.size(), 4);
    EXPECT_EQ(q.at(1).unicode(), 0xD800);
    EXPECT_EQ(OString::fromQString(q), s);
    EXPECT_TRUE(OString::fromQString(QString()).isEmpty());
}

TEST(OStringCharClass, UnicodeTables) {
    EXPECT_TRUE(OString::isDigit('7'));
    EXPECT_TRUE(OString::isDigit(0x0663));   // ARABIC-INDIC DIGIT THREE
    EXPECT_FALSE(OString::isDigit('x'));
    EXPECT_TRUE(OString::isLetter(0xE9));
    EXPECT_TRUE(OString::isLetter(0x4E2D));  // CJK ideograph
    EXPECT_FALSE(OString::isLetter('1'));
    EXPECT_TRUE(OString::isSpace(0x00A0));
    EXPECT_TRUE(OString::isSpace(0x3000));
    EXPECT_FALSE(OString::isSpace('_'));
    EXPECT_TRUE(OString::isUpper(0x0411));
    EXPECT_TRUE(OString::isLower(0x03C9));
    EXPECT_EQ(OString::toUpperChar(0xE9), 0xC9);
    EXPECT_EQ(OString::toLowerChar(0x0410), 0x0430);  // Cyrillic A
    EXPECT_EQ(OString::toUpperChar(0xDF), 0xDF);   // no single-character upper form
    EXPECT_EQ(OString::toLowerChar(0xD800), 0xD800);
}
