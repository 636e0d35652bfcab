// Heap objects: OVector in the VM heap (growth, bounds, storage lifetime), OString
// (sharing, capacity, ranges, edits, search, UTF-8), and how the heap tells strings and
// vectors apart: by kind, other types by dynamic_cast.
#include "foundation/Vec.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"
#include "objects/OString.h"
#include "objects/OVector.h"
#include "../support/Outcome.h"
#include "../support/Growth.h"

#include <QString>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mcb {

namespace {
std::string text(const OString& s) { return s.toQString().toStdString(); }
OString u16(const std::vector<TUint16>& units) { return OString(units.data(), TInt32(units.size())); }
Vec<TUint8> bytes(const std::vector<TUint8>& list) {
    Vec<TUint8> v;
    for (TUint8 b : list) v.append(b);
    return v;
}
std::vector<int> contents(const OVector<int>& v) { return {v.data(), v.data() + v.size()}; }
}  // namespace

TEST(OVector, GrowthAndStorageLifetimeWithTheCollector) {
    VMMemory mem;
    VMHeap heap{mem};
    auto isLivePlainBlock = [&](VMAddr ref) {
        HeapEntry* he = heap.liveEntry(ref);
        return he && he->gcCode == GC_CODE_PLAIN && he->type == 0;
    };
    const TInt32 entries = heap.numberOfEntries();
    {
        OVector<int> g(heap);
        EXPECT_EQ(capacitiesWhileAppending(g, 40), (std::vector<TInt32>{10, 13, 16, 20, 25, 31, 38, 46}));
        EXPECT_EQ(heap.numberOfEntries(), entries + 1);  // every outgrown block was freed
        EXPECT_TRUE(isLivePlainBlock(g.storage()));
        EXPECT_EQ(mem.readWord(g.elementAddress(39)), 39u);
    }
    EXPECT_EQ(heap.numberOfEntries(), entries);  // the storage dies with the vector
    // A storage block freed behind the vector's back and reused is not freed again.
    auto w = std::make_unique<OVector<int>>(heap);
    w->append(1);
    heap.free(w->storage());
    const VMAddr other = heap.allocate(40, 0, GC_CODE_STRING);
    ASSERT_EQ(other, w->storage());
    w.reset();
    EXPECT_NE(heap.liveEntry(other), nullptr);
    heap.verify();
    heap.free(other);
    // The collector reclaims an unreachable vector, whose destructor frees its storage.
    VMAddr ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    auto* v = heap.objectAs<OVector<int>>(ref);
    for (int i = 0; i < 20; ++i) v->append(i);
    VMAddr storage = v->storage();
    heap.collect();
    EXPECT_EQ(heap.liveEntry(ref), nullptr);
    EXPECT_EQ(heap.liveEntry(storage), nullptr);
    EXPECT_EQ(heap.numberOfEntries(), entries);
    // A cleared vector keeps its storage block across a collection.
    ref = heap.createObject<OVector<int>>(16, GC_CODE_VECTOR, heap);
    v = heap.objectAs<OVector<int>>(ref);
    v->append(1);
    v->clear();
    storage = v->storage();
    heap.addRoot(ref);
    heap.collect();
    ASSERT_TRUE(isLivePlainBlock(storage));
    v->append(2);  // reuses the block, which nothing else may own
    EXPECT_EQ(v->storage(), storage);
    heap.removeRoot(ref);
    VMMemory otherMemory;  // heap teardown with live vectors: their destructors must not touch the dying pools
    VMHeap otherHeap(otherMemory);
    otherHeap.objectAs<OVector<int>>(otherHeap.createObject<OVector<int>>(16, GC_CODE_VECTOR, otherHeap))->append(1);
}

TEST(OVector, InsertRemoveResizeElementsOfItselfAndFailures) {
    VMMemory mem;
    VMHeap heap{mem};
    OVector<int> v(heap);
    for (int i = 0; i < 10; ++i) v.append(i < 5 ? i : i + 1);
    v.insert(5, 5);  // while growing: head and tail both kept
    v.insert(0, -1);
    v.insert(12, 11);
    EXPECT_EQ(contents(v), (std::vector<int>{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    v.remove(0);
    v.removeRange(1, 9);
    EXPECT_EQ(contents(v), (std::vector<int>{0, 10, 11}));
    EXPECT_EQ(v.takeLast(), 11);
    v.clear();
    for (int i = 0; i < 13; ++i) v.append(i);
    v.append(v[3]);  // the reference points into the block that growing frees
    v.insert(0, v.data(), v.size());
    EXPECT_EQ((std::vector<int>{v.size(), v[14], v[27]}), (std::vector<int>{28, 0, 3}));
    OVector<int> r(heap);
    r.resize(3);
    EXPECT_EQ(r.capacity(), 3);
    r[0] = 5;
    r.resize(1);
    r.resize(3);
    EXPECT_EQ(contents(r), (std::vector<int>{5, 0, 0})) << "reused capacity is cleared";
    OVector<int> copy(r);
    copy[0] = 9;
    EXPECT_EQ(contents(r), (std::vector<int>{5, 0, 0})) << "a copy owns its storage";
    OVector<int> f(heap);  // failures raise and leave the vector
    f.append(1);
    constexpr TInt32 kIndex = vmerr::IndexOutOfBounds, kArgument = vmerr::InvalidArgument;
    expectAllRaise({{kIndex, [&] { f.insert(2, 9); }}, {kIndex, [&] { f.insert(-1, 9); }}, {kIndex, [&] { f[1]; }},
                    {kIndex, [&] { f.remove(1); }}, {kIndex, [&] { f.removeRange(0, 2); }},
                    {kIndex, [&] { f.elementAddress(-1); }}, {kArgument, [&] { f.resize(-1); }},
                    {kArgument, [&] { f.reserve(0); }}, {kArgument, [&] { f.reserve(0x7FFFFFFF); }}});
    EXPECT_EQ(contents(f), std::vector<int>{1});
}

TEST(OString, CopiesShareOneBufferWhichGrowsAndShrinksInPlaceWhileItCan) {
    EXPECT_EQ(OString(TUint16('x'), 0).data(), nullptr);
    OString s("ab\xe9\xff", 1);  // Latin-1, zero-extended from the offset
    EXPECT_EQ(s, u16({'b', 0xE9, 0xFF}));
    EXPECT_EQ(s.data()[3], 0);  // always terminated
    OString a("abc");
    OString b(a), c;
    c = a;
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
    OString src("shared"), appended, part, replaced("x"), trimmed(src);  // whole results share, parts copy
    appended.append(src);
    part.insertTo(0, src, 1, 3);
    replaced.replaceRange(0, 0, src);
    trimmed.trim();
    for (const OString& r : {appended, replaced, trimmed, OString::repeated(src, 1), OString(src, 0, 5)})
        EXPECT_TRUE(r.sharesBufferWith(src)) << text(r);
    EXPECT_FALSE(part.sharesBufferWith(src));
    OString g("abcdefgh");
    EXPECT_EQ(g.capacity(), 10);  // at least 10, else 1.2 times the length
    OString(g).append(OString("x"));
    const TUint16* before = g.data();
    g.append(OString("ij"));
    g.setCharAt(0, 'A');
    EXPECT_EQ(g.data(), before);
    g.append(TUint16('k'));
    EXPECT_NE(g.data(), before);
    EXPECT_EQ(g.capacity(), 13);  // floor(11 * 1.2)
    EXPECT_EQ(text(g), "Abcdefghijk");
    OString x(TUint16('x'), 20);  // capacity 24; shrinks in place only above half
    before = x.data();
    x.removeRange(0, 6);  // 13 > 12: in place
    EXPECT_EQ(x.data(), before);
    EXPECT_EQ(x.capacity(), 24);
    x.removeRange(0, 0);  // 12 is not above 12: right-sized
    EXPECT_EQ(x.capacity(), 14);
}

// Each edit runs on a copy: the original must stay as it was.
TEST(OString, Edits) {
    const std::tuple<const char*, std::function<void(OString&)>, const char*> cases[] = {
        {"abef", [](auto& s) { s.insertTo(2, OString("xcdx"), 1, 2); }, "abcdef"},
        {"b", [](auto& s) { s.prepend(OString(">")); s.append(TUint16('<')); }, ">b<"},
        {"abc", [](auto& s) { s.insertTo(1, s); }, "aabcbc"},  // into itself
        {"aabcbc", [](auto& s) { s.insertTo(0, s, 4, 5); }, "bcaabcbc"},
        {"  a \t b  ", [](auto& s) { s.trim(); }, "a b"},  // inner runs keep their first character
        {" \t\n ", [](auto& s) { s.trim(); }, ""},
        {"  a  b  ", [](auto& s) { s.trimStart(); }, "a  b  "},
        {"  a  b  ", [](auto& s) { s.trimEnd(); }, "  a  b"},
        {"abc", [](auto& s) { s.removeRange(0, 2); }, ""},
        {"aaaaXaaa", [](auto& s) { EXPECT_EQ(s.removeAll(OString("aa"), 0, 6, true), 3); }, "Xa"},
        {"AbaBab", [](auto& s) { EXPECT_EQ(s.removeAll(OString("ab"), 1, 5, false), 2); }, "Ab"},
        {"abababa", [](auto& s) { EXPECT_EQ(s.replaceAll(OString("aba"), OString("X"), 0, 6, true), 2); }, "XbX"},
        {"Hello hello", [](auto& s) { s.replaceAll(OString("HELLO"), OString("bye"), 0, 10, false); }, "bye bye"},
        {"a-b", [](auto& s) { s.replaceAll(OString("-"), s, 0, 2, true); }, "aa-bb"},  // itself as replacement
        {"abcdef", [](auto& s) { s.replaceRange(1, 2, OString("XYZ")); }, "aXYZdef"},
        {"aXYZdef", [](auto& s) { s.replaceRange(1, 3, OString("-")); }, "a-def"},
        {"ab", [](auto& s) { s.repeat(0); }, ""},
        {"xy", [](auto& s) { s.repeat(7); }, "xyxyxyxyxyxyxy"},
        {"Hello", [](auto& s) { s.clear(); }, ""},
        {"\xC2\xA0" "a\xE3\x80\x80\xE2\x80\x83" "b\xE2\x80\xA8", [](auto& s) { s.trim(); }, "a\xE3\x80\x80" "b"},
        {"a\xC3\xA9\xCE\xB1\xD0\xB6" "1", [](auto& s) { s.toUpper(); }, "A\xC3\x89\xCE\x91\xD0\x96" "1"},
        {"A\xC3\x89\xCE\x91\xD0\x96" "1", [](auto& s) { s.toLower(); }, "a\xC3\xA9\xCE\xB1\xD0\xB6" "1"},
        {"abcdefg", [](auto& s) { s = OString(s, 1, 3); }, "bcd"},  // substrings, with a step
        {"abcdefg", [](auto& s) { s = OString(s, 0, 6, 2); }, "aceg"},
        {"abcdefg", [](auto& s) { s = OString(s, 1, 5, 3); }, "be"},
    };
    for (const auto& [in, edit, out] : cases) {
        OString original = OString::fromQString(QString::fromUtf8(in)), copy(original);
        edit(copy);
        EXPECT_EQ(text(copy), out) << in;
        EXPECT_EQ(text(original), in);
        if (!*out) { EXPECT_EQ(copy.data(), nullptr) << in; }
    }
}

// 0..-1 is the empty range; any other bad range or position raises and leaves the string.
TEST(OString, RangeAndArgumentErrors) {
    OString s("abcde");
    s.insertTo(1, OString("xyz"), 0, -1);
    s.replaceRange(0, -1, OString("xyz"));
    EXPECT_EQ(s.find(TUint16('a'), 0, -1, true), -1);
    EXPECT_EQ(s.count(OString("a"), 0, -1, true), 0);
    EXPECT_TRUE(OString(s, 0, -1).isEmpty());
    constexpr TInt32 kRange = vmerr::Range, kIndex = vmerr::IndexOutOfBounds, kArgument = vmerr::InvalidArgument;
    constexpr TInt32 kFormat = vmerr::DataFormat;
    expectAllRaise({
        {kRange, [&] { s.removeRange(0, -1); }}, {kRange, [&] { s.removeRange(2, 5); }},
        {kRange, [&] { s.find(TUint16('a'), 3, 2, true); }}, {kRange, [&] { s.find(TUint16('a'), 0, 5, true); }},
        {kRange, [&] { s.find(TUint16('a'), -1, 2, true); }}, {kRange, [&] { s.mostFrequent(0, 5, true); }},
        {kRange, [&] { s.replaceRange(4, 3, OString("x")); }}, {kRange, [&] { OString(s, 0, 5, 1); }},
        {kRange, [&] { s.replaceAll(OString("a"), OString("x"), 0, 9, true); }},
        {kRange, [&] { s.insertTo(0, OString("xy"), 1, 2); }}, {kRange, [] { OString().removeRange(0, -1); }},
        {kFormat, [&] { s.mostFrequent(0, -1, true); }}, {kFormat, [] { OString().mostFrequent(0, -1, true); }},
        {kIndex, [&] { s.insertTo(6, OString("x")); }}, {kIndex, [&] { s.insertTo(-1, TUint16('x')); }},
        {kIndex, [&] { s.charAt(5); }}, {kIndex, [&] { s.charAt(-1); }}, {kIndex, [] { OString().charAt(0); }},
        {kIndex, [&] { s.compareRun(OString("ab"), 3, true); }}, {kArgument, [&] { OString(s, 0, 4, 0); }},
        {kArgument, [&] { s.repeat(-2); }}, {kArgument, [&] { s.repeat(0x7FFFFFFF); }},
        {kArgument, [&] { OString::repeated(s, -1); }}, {kArgument, [] { OString(TUint16('x'), -1); }},
    });
    EXPECT_EQ(text(s), "abcde");
}

TEST(OString, FindCountCompareAndNumbers) {
    OString s("abcabc"), h("Hello"), a4("aaaa"), abc("abc");
    const TInt32 results[][2] = {
        {s.find(TUint16('a'), 2, 5, true), 3}, {s.findLast(TUint16('a'), 0, 2, true), 0},
        {s.find(OString("bc"), 0, 5, true), 1}, {s.findLast(OString("bc"), 0, 5, true), 4},
        {s.find(OString("ca"), 3, 5, true), -1}, {h.find(OString("LL"), false), 2}, {h.find(OString("LL"), true), -1},
        {h.find(OString()), -1}, {h.find(OString("Hello!")), -1}, {OString().find(OString("a")), -1},
        {a4.count(OString("aa"), 0, 3, true), 2}, {a4.count(OString("AA"), 0, 3, false), 2},  // non-overlapping
        {a4.count(OString(), 0, 3, true), 0}, {OString("abab").mostFrequent(0, 3, true), 'a'},  // first higher wins
        {OString("AbB").mostFrequent(0, 2, false), 'b'}, {OString("xAAb").mostFrequent(2, 3, false), 'a'},
        {abc.compareRun(OString("abd"), 3, true), 'c' - 'd'},
        {abc.compareRun(OString("ABX"), 2, false), 0}, {abc.compareRun(OString("ABX"), 2, true), 'a' - 'A'},
        {abc.compareRun(1, OString("bc"), 2, true), 0}, {abc.compareTo(OString("ABD"), false), -1},
        {abc.compareTo(OString("ABD"), true), 1}, {abc.compareTo(OString("ab"), true), 1},
        {abc.equals(OString("ABC"), false), 1}, {abc == OString("ABC"), 0},
    };
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i][0], results[i][1]) << "case " << i;
    const std::tuple<TUint32, TInt32, std::string> numbers[] = {
        {255, 16, "ff"}, {0, 2, "0"}, {35, 36, "z"}, {0xFFFFFFFFu, 2, std::string(32, '1')}, {10, 1, ""}, {10, 37, ""}};
    for (const auto& [value, radix, out] : numbers) EXPECT_EQ(text(OString::fromUnsigned(value, radix)), out) << radix;
    for (auto [value, out] : {std::pair<TInt64, const char*>{0, "0"}, {INT64_MIN, "-9223372036854775808"},
                              {INT64_MAX, "9223372036854775807"}})
        EXPECT_EQ(text(OString::fromInt64(value)), out);
}

// The edges of the well-formed sequences round trip; one step outside raises a data format error.
TEST(OString, Utf8RoundTripsAtTheEdgesQtStringsAndCharacterClasses) {
    const std::pair<std::vector<TUint16>, std::vector<TUint8>> good[] = {
        {{0}, {0x00}}, {{0x7F}, {0x7F}}, {{0x80}, {0xC2, 0x80}}, {{0x7FF}, {0xDF, 0xBF}},
        {{0x800}, {0xE0, 0xA0, 0x80}}, {{0xD7FF}, {0xED, 0x9F, 0xBF}}, {{0xE000}, {0xEE, 0x80, 0x80}},
        {{0xFFFF}, {0xEF, 0xBF, 0xBF}}, {{'A', 0xE9}, {0x41, 0xC3, 0xA9}},
        {{0xD800, 0xDC00}, {0xF0, 0x90, 0x80, 0x80}}, {{0xD8C0, 0xDC00}, {0xF1, 0x80, 0x80, 0x80}},  // pairs: 4 bytes
        {{0xDBFF, 0xDFFF}, {0xF4, 0x8F, 0xBF, 0xBF}},
    };
    for (const auto& [units, utf8] : good) {
        EXPECT_EQ(u16(units).toUtf8(), bytes(utf8)) << text(u16(units));
        EXPECT_EQ(OString::fromUtf8(bytes(utf8)), u16(units));
    }
    EXPECT_TRUE(OString::fromUtf8(bytes({})).isEmpty());
    EXPECT_EQ(u16({0xDC00, 0xD83D}).toUtf8(), bytes({0xED, 0xB0, 0x80, 0xED, 0xA0, 0xBD}));  // lone halves: 3 bytes
    EXPECT_EQ(u16({'a', 0xE9, 0xD800, 0xDC00, 0xFFFF}).utf8Length(), 1 + 2 + 4 + 3);
    const std::vector<TUint8> bad[] = {
        {0x80}, {0xBF}, {0xC0, 0x80}, {0xC1, 0xBF}, {0xC2, 0x7F}, {0xC2, 0xC0},          // lone, overlong, 2nd byte
        {0xE0, 0x9F, 0x80}, {0xE0, 0xC0, 0x80}, {0xED, 0xA0, 0x80}, {0xED, 0x7F, 0x80},  // overlong, surrogates
        {0xE1, 0x80, 0x7F}, {0xE1, 0x80, 0xC0}, {0xF0, 0x8F, 0x80, 0x80}, {0xF0, 0xC0, 0x80, 0x80},
        {0xF4, 0x90, 0x80, 0x80}, {0xF4, 0x7F, 0x80, 0x80}, {0xF1, 0x80, 0x80, 0xC0},  // above U+10FFFF, 4th byte
        {0xF5, 0x80, 0x80, 0x80}, {0xFF}, {'a', 0xC3}, {0xE2, 0x82}, {0xF0, 0x9F, 0x98},  // never-lead, cut off
    };
    for (const auto& in : bad) EXPECT_EQ(outcomeOf([&] { OString::fromUtf8(bytes(in)); }).code, vmerr::DataFormat);
    Vec<TUint8> v = bytes({'a', 0xE2, 0x82, 0xAC});  // cut off by the length: the bytes past it are not read
    EXPECT_EQ(outcomeOf([&] { OString::fromUtf8(v.data(), 3); }).code, vmerr::DataFormat);
    OString s = u16({'a', 0xD800, 0xFFFF, 0});
    const QString q = s.toQString();
    EXPECT_EQ((std::vector<TUint16>(q.utf16(), q.utf16() + q.size())), (std::vector<TUint16>{'a', 0xD800, 0xFFFF, 0}));
    EXPECT_EQ(OString::fromQString(q), s);
    EXPECT_TRUE(OString::fromQString(QString()).isEmpty());
    EXPECT_TRUE(OString::isDigit(0x0663) && !OString::isDigit('x'));  // ARABIC-INDIC DIGIT THREE
    EXPECT_TRUE(OString::isLetter(0x4E2D) && !OString::isLetter('1'));  // CJK ideograph
    EXPECT_TRUE(OString::isSpace(0x3000) && !OString::isSpace('_'));
    EXPECT_TRUE(OString::isUpper(0x0411) && OString::isLower(0x03C9));
    EXPECT_EQ(OString::toUpperChar(0xDF), 0xDF);  // no single-character upper form
}

TEST(ObjectKinds, StringsAndVectorsAreToldApartAndOtherTypesByTheirClass) {
    VMMemory mem;
    VMHeap heap(mem);
    const VMAddr s = heap.createObject<OString>(8, GC_CODE_STRING, "abc");
    const VMAddr v = heap.createObject<OVector<TInt32>>(16, GC_CODE_VECTOR, heap);
    EXPECT_EQ(heap.objectAs<OString>(s)->length(), 3);
    EXPECT_EQ(heap.objectAs<OVectorBase>(v)->elementBytes(), 4u);
    EXPECT_NE(heap.objectAs<OVector<TInt32>>(v), nullptr);
    for (auto wrong : {std::function<void()>([&] { heap.objectAs<OString>(v); }),
                       std::function<void()>([&] { heap.objectAs<OVectorBase>(s); }),
                       std::function<void()>([&] { heap.objectAs<OVector<TInt8>>(v); })})
        EXPECT_EQ(outcomeOf(wrong).text, "VMException: Invalid TYPEID");
}

// Freeing a vector whose storage block bytecode has spoiled must not end the
// process from the vector's destructor (a fuzzed image did so).
TEST(ObjectKinds, AVectorWithASpoiledStorageBlockIsFreedInOrder) {
    VMMemory mem;
    VMHeap heap(mem);
    const VMAddr v = heap.createObject<OVector<TInt32>>(16, GC_CODE_VECTOR, heap);
    auto* vector = heap.objectAs<OVector<TInt32>>(v);
    vector->append(7);
    const VMAddr storage = vector->storage();
    *mem.uncheckedWord(storage + heap.headerOf(storage)->size) ^= 0x55;  // its boundary tag
    const Outcome freed = outcomeOf([&] { heap.free(v); });
    EXPECT_TRUE(freed.code == 0 || freed.text == "VMException: Heap corrupted") << freed.text;
    EXPECT_EQ(outcomeOf([&] { heap.verify(); }).text, "VMException: Heap corrupted");
}

// Bytecode can free a vector's storage block: collections go on, and growing
// moves the elements even where the fresh block overlaps the freed one.
TEST(ObjectKinds, AVectorWhoseStorageWasFreedStillCollectsAndGrows) {
    VMMemory mem;
    VMHeap heap(mem);
    const VMAddr v = heap.createObject<OVector<TInt32>>(16, GC_CODE_VECTOR, heap);
    const VMAddr before = heap.allocate(400, 0, GC_CODE_PLAIN);
    auto* vector = heap.objectAs<OVector<TInt32>>(v);
    vector->reserve(100);
    for (TInt32 i = 0; i < 100; ++i) vector->append(i);
    const VMAddr freed = vector->storage();
    heap.free(before);
    heap.free(freed);
    heap.addRoot(v);
    EXPECT_EQ(outcomeOf([&] { heap.collect(); }).text, "");
    vector->append(100);
    EXPECT_EQ(vector->size(), 101);
    EXPECT_LT(vector->storage(), freed) << "the fresh block starts in the freed one before it";
    EXPECT_EQ(outcomeOf([&] { heap.verify(); }).text, "");
}

}  // namespace mcb
