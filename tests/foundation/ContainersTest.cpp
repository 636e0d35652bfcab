// Vec growth and failures, CAppsString conversions, LinkedList iterators.
#include "foundation/CAppsString.h"
#include "foundation/LinkedList.h"
#include "foundation/Vec.h"

#include <gtest/gtest.h>

#include "ExpectRaises.h"

TEST(Vec, GrowsByFiveQuartersPlusEight) {
    Vec<int> v;
    std::vector<TInt32> seen;
    for (int i = 0; i < 60; ++i) {
        if (v.capacity() == v.getSize()) seen.push_back(-1);
        v.append(i);
        if (seen.back() == -1) seen.back() = v.capacity();
    }
    EXPECT_EQ(seen, (std::vector<TInt32>{8, 18, 30, 45, 64}));
    EXPECT_EQ(v[59], 59);
}

TEST(Vec, FailuresRaiseAndLeaveTheVectorUnchanged) {
    Vec<int> v;
    for (int i = 0; i < 5; ++i) v.append(i * 10);
    expectRaises(2, [&] { v[5]; });
    expectRaises(2, [&] { v[-1]; });
    expectRaises(6, [&] { v.reserve(4); });
    expectRaises(6, [&] { v.resize(-1); });
    expectRaises(2, [&] { v.insert(6, 1); });
    ASSERT_EQ(v.getSize(), 5);
    EXPECT_EQ(v[4], 40);
    EXPECT_EQ(v.capacity(), 8);
}

TEST(Vec, InsertRemoveAndNonTrivialElements) {
    Vec<CAppsString> v;
    for (int i = 0; i < 30; ++i) v.append(CAppsString(std::to_string(i)));
    v.insert(0, CAppsString("first"));
    v.remove(1);
    v.append(v[0]);  // appending an element of its own storage while it grows
    EXPECT_EQ(v[0], std::string_view("first"));
    EXPECT_EQ(v[1], std::string_view("1"));
    EXPECT_EQ(v.last(), std::string_view("first"));
    Vec<CAppsString> copy = v;
    copy[0].appendLatin1("!");
    EXPECT_EQ(v[0], std::string_view("first"));
    EXPECT_EQ(copy[0], std::string_view("first!"));
}

TEST(CAppsString, OsPathNarrowsToLowByte) {
    CAppsString s("ab");
    s.append(TUint16(0x0141));  // narrowed to 0x41 'A'
    EXPECT_EQ(s.toOsPath(), "abA");
    EXPECT_EQ(CAppsString::fromUtf8("caf\xC3\xA9").toUtf8(), "caf\xC3\xA9");
    EXPECT_EQ(CAppsString::fromUtf8("\xF0\x9F\x98\x80").getSize(), 2);  // surrogate pair
}

TEST(LinkedList, IteratorsSurviveRemovalOfOthers) {
    ListNodePool<VMAddr> pool;
    LinkedList<VMAddr> a(&pool), b(&pool);
    std::vector<LinkedListIterator> its;
    for (VMAddr i = 1; i <= 600; ++i) its.push_back(a.append(i));  // spans three node blocks
    LinkedListIterator inB = b.append(999);
    for (size_t i = 0; i < its.size(); i += 2) a.remove(its[i]);
    EXPECT_EQ(a.count(), 300);
    EXPECT_TRUE(a.contains(its[1]));
    EXPECT_FALSE(a.contains(its[0]));   // removed
    EXPECT_FALSE(a.contains(inB));      // another list's node
    EXPECT_FALSE(a.contains(0));
    EXPECT_FALSE(a.contains(100000));   // never allocated
    EXPECT_EQ(a.value(a.front()), 2u);
    EXPECT_EQ(a.takeFirst(), 2u);
    VMAddr sum = 0;
    for (LinkedListIterator it = a.front(); it; it = a.next(it)) sum += a.value(it);
    EXPECT_EQ(sum, 300u * 301u - 2u);
}
