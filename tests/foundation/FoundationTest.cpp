// Foundation: VM error texts, Vec, CAppsString and LinkedList.
#include "../support/Growth.h"
#include "../support/Outcome.h"
#include "foundation/CAppsString.h"
#include "foundation/LinkedList.h"
#include "foundation/VMError.h"
#include "foundation/Vec.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace mcb {

TEST(VMError, TextCompositionCatalogueAndThePendingErrorPerThread) {
    const std::tuple<TInt32, const char*, const char*> cases[] = {
        {3, "", "DivisionByZeroException"},
        {3, "Division by zero.", "DivisionByZeroException: Division by zero."},
        {1, "NULL pointer", "NullPointerException: NULL pointer"},
        {42, "x", "UnknownException (CODE:42): x"},
        {11, "", "UnknownException (CODE:11)"},
        {12, "", "UnknownException (CODE:12)"},
        {-1, "", "UnknownException (CODE:-1)"},
        {13, "", "UnsupportedFeatureException"},
        {4, "", "DataFormatException: "},
        {4, "bad", "DataFormatException: : bad"},
    };
    for (const auto& [code, msg, text] : cases) {
        const Outcome o = outcomeOf([&, code = code, msg = msg] { vmerr::raise(code, msg); });
        EXPECT_EQ(o.code, code);
        EXPECT_EQ(o.text, text);
    }
    vmerr::clearPendingError();
    EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    EXPECT_EQ(outcomeOf([] { vmerr::raise(7, "disk"); }).code, 7);
    TInt32 other = -1;
    std::thread([&] { other = vmerr::pendingErrorCode(); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(vmerr::pendingErrorTextUtf8(), "IOException: disk");
    // A catalogue message raises its own code and text; a detail follows the text.
    const std::tuple<std::function<void()>, TInt32, const char*> catalogue[] = {
        {[] { vmerr::raise(vmerr::msg::NullPointer); }, 1, "NullPointerException: NULL pointer"},
        {[] { vmerr::raise(vmerr::msg::CouldNotOpenFile, CAppsString("a.png")); }, 7,
         "IOException: Could not open file: a.png"},
        {[] { vmerr::raise(vmerr::msg::FloatInvalidOpcode, std::to_string(99)); }, 10,
         "VMException: Float: invalid opcode: 99"},
    };
    for (const auto& [raise, code, text] : catalogue) {
        const Outcome o = outcomeOf(raise);
        EXPECT_EQ(o.code, code) << text;
        EXPECT_EQ(o.text, text);
    }
    vmerr::clearPendingError();
}

TEST(Containers, VecCAppsStringAndLinkedList) {
    Vec<int> v;
    EXPECT_EQ(capacitiesWhileAppending(v, 60), (std::vector<TInt32>{8, 18, 30, 45, 64}));  // five quarters plus eight
    v.resize(5);
    expectAllRaise({{2, [&] { v[5]; }},
                    {2, [&] { v[-1]; }},
                    {6, [&] { v.reserve(4); }},
                    {6, [&] { v.resize(-1); }},
                    {2, [&] { v.insert(6, 1); }}});
    EXPECT_EQ((std::vector<int>(v.begin(), v.end())), (std::vector<int>{0, 1, 2, 3, 4}));
    Vec<CAppsString> s;
    for (int i = 0; i < 30; ++i) s.append(CAppsString(std::to_string(i)));
    s.insert(0, CAppsString("first"));
    s.remove(1);
    s.append(s[0]);  // appending an element of its own storage while it grows
    EXPECT_EQ(s[1], std::string_view("1"));
    EXPECT_EQ(s.last(), std::string_view("first"));
    Vec<CAppsString> copy = s;
    copy[0].appendLatin1("!");
    EXPECT_EQ(s[0], std::string_view("first"));
    EXPECT_EQ(copy[0], std::string_view("first!"));
    CAppsString path("ab");
    path.append(TUint16(0x0141));  // narrowed to 0x41 'A'
    EXPECT_EQ(path.toOsPath(), "abA");
    EXPECT_EQ(CAppsString::fromUtf8("caf\xC3\xA9").toUtf8(), "caf\xC3\xA9");
    EXPECT_EQ(CAppsString::fromUtf8("\xF0\x9F\x98\x80").getSize(), 2);  // surrogate pair
    // LinkedList iterators survive the removal of others.
    ListNodePool<VMAddr> pool;
    LinkedList<VMAddr> a(&pool), b(&pool);
    std::vector<LinkedListIterator> its;
    for (VMAddr i = 1; i <= 600; ++i) its.push_back(a.append(i));  // spans three node blocks
    LinkedListIterator inB = b.append(999);
    for (size_t i = 0; i < its.size(); i += 2) a.remove(its[i]);
    EXPECT_EQ(a.count(), 300);
    EXPECT_TRUE(a.contains(its[1]));
    for (LinkedListIterator it : {its[0], inB, LinkedListIterator(0), LinkedListIterator(100000)})
        EXPECT_FALSE(a.contains(it)) << it;  // removed, another list's, null, never allocated
    EXPECT_EQ(a.takeFirst(), 2u);
    VMAddr sum = 0;
    for (LinkedListIterator it = a.front(); it; it = a.next(it)) sum += a.value(it);
    EXPECT_EQ(sum, 300u * 301u - 2u);
}

// The heap relists an entry in its own class by moving its node: the list, the
// node numbers and the pool must come out as a removal and an append leave them.
TEST(Containers, MovingANodeToTheBackIsARemovalAndAnAppend) {
    auto listed = [](const LinkedList<VMAddr>& l) {
        std::vector<std::pair<LinkedListIterator, VMAddr>> out;
        for (LinkedListIterator it = l.front(); it; it = l.next(it)) out.push_back({it, l.value(it)});
        return out;
    };
    for (size_t moved : {0, 2, 4}) {  // the front, a middle node, the back
        SCOPED_TRACE(moved);
        ListNodePool<VMAddr> pa, pb;
        LinkedList<VMAddr> a(&pa), b(&pb);
        std::vector<LinkedListIterator> its;
        for (VMAddr v = 1; v <= 5; ++v) {
            its.push_back(a.append(v));
            b.append(v);
        }
        a.remove(its[moved]);
        EXPECT_EQ(a.append(50), its[moved]);
        b.moveToBack(its[moved]);
        b.setValue(its[moved], 50);
        EXPECT_EQ(listed(a), listed(b));
        EXPECT_EQ(a.append(60), b.append(60));  // the pools hand out the same next node
    }
}

}  // namespace mcb
