// In-memory input and output streams: reads at and past the end, seeking limits,
// overwrite-versus-append writes, and whole-stream reads.
#include "io/MemoryInputStream.h"
#include "io/MemoryOutputStream.h"
#include "io/StreamBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace VELMAR;

namespace {
const TUint8 kAbc[] = {'a', 'b', 'c'};

std::string text(const Vec<TUint8>& v) { return std::string(v.begin(), v.end()); }
}  // namespace

TEST(MemoryInputStream, ReadsUpToTheEndAndNoFurther) {
    MemoryInputStream empty;
    EXPECT_FALSE(empty.isOk());
    EXPECT_TRUE(empty.atEnd());
    MemoryInputStream s(kAbc, 3);
    EXPECT_TRUE(s.isOk());
    EXPECT_EQ(s.size(), 3u);
    EXPECT_FALSE(MemoryInputStream(kAbc, 3).read(nullptr, 1));
    EXPECT_EQ(s.read(), 'a');
    TUint8 two[2] = {};
    EXPECT_TRUE(s.read(two, 2));
    EXPECT_EQ(std::string(two, two + 2), "bc");
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);  // a failure, not a zero byte
    EXPECT_EQ(s.position(), 3u);
    EXPECT_TRUE(s.read(nullptr, 0));
}

TEST(MemoryInputStream, ShortOrHugeReadFailsAndMovesToTheEnd) {
    for (auto [start, count] : {std::pair<TUint32, TUint32>{0, 4}, {2, 0xFFFFFFFFu}}) {  // no wrap-around
        MemoryInputStream s(kAbc, 3);
        s.seek(start);
        TUint8 buf[4] = {};
        EXPECT_FALSE(s.read(buf, count)) << count;
        EXPECT_EQ(s.position(), 3u);
        EXPECT_TRUE(s.atEnd());
    }
}

TEST(MemoryInputStream, SeekToTheSizeOrBeyondSetsThePositionButReportsFalse) {
    MemoryInputStream s(kAbc, 3);
    EXPECT_TRUE(s.seek(2));
    EXPECT_EQ(s.read(), 'c');
    EXPECT_FALSE(s.seek(3));
    EXPECT_EQ(s.position(), 3u);
    EXPECT_FALSE(s.seek(100));
    EXPECT_EQ(s.position(), 100u);
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    TUint8 b;
    EXPECT_FALSE(s.read(&b, 1));
    EXPECT_EQ(s.position(), 3u);
}

TEST(MemoryInputStream, SetBufferCopiesAndRestartsOrRefusesANullPointer) {
    std::vector<TUint8> bytes = {1, 2, 3};
    MemoryInputStream s(kAbc, 3);
    s.seek(2);
    ASSERT_TRUE(s.setBuffer(bytes.data(), 3));
    bytes[0] = 9;
    EXPECT_EQ(s.position(), 0u);
    EXPECT_EQ(s.read(), 1);
    EXPECT_FALSE(s.setBuffer(nullptr, 5));
    EXPECT_FALSE(s.isOk());
    EXPECT_TRUE(s.setBuffer(nullptr, 0));
    EXPECT_TRUE(s.isOk());
    EXPECT_EQ(s.size(), 0u);
}

TEST(MemoryOutputStream, OverwritesInsideAndAppendsAtTheEnd) {
    Vec<TUint8> target;
    MemoryOutputStream s(target);
    EXPECT_TRUE(s.isOk());
    EXPECT_TRUE(s.write('x'));
    EXPECT_TRUE(s.write(kAbc, 3));
    EXPECT_EQ(s.position(), 4u);
    EXPECT_EQ(text(target), "xabc");
    ASSERT_TRUE(s.seek(1));
    EXPECT_TRUE(s.write('B'));
    EXPECT_TRUE(s.seek(3));
    const TUint8 xyz[] = {'x', 'y', 'z'};
    EXPECT_TRUE(s.write(xyz, 3));
    EXPECT_EQ(text(target), "xBbxyz");
    EXPECT_EQ(s.position(), 6u);
    EXPECT_EQ(s.size(), 6u);
}

TEST(MemoryOutputStream, PositionsPastTheEndWriteNothing) {
    MemoryOutputStream s;
    EXPECT_FALSE(s.write(nullptr, 2));
    EXPECT_TRUE(s.write(nullptr, 0));
    s.write(kAbc, 3);
    EXPECT_FALSE(s.seek(5));
    EXPECT_EQ(s.position(), 5u);
    EXPECT_FALSE(s.write('z'));
    EXPECT_FALSE(s.write(kAbc, 3));
    EXPECT_EQ(text(*s.bytes()), "abc");
    EXPECT_FALSE(s.seek(0x80000000u));  // beyond the signed range
    EXPECT_EQ(s.position(), 0x80000000u);
    EXPECT_FALSE(s.write('z'));
    EXPECT_EQ(s.size(), 3u);
}

TEST(MemoryOutputStream, CloseEndsTheStream) {
    MemoryOutputStream owned;
    owned.write('a');
    EXPECT_TRUE(owned.close());
    EXPECT_FALSE(owned.isOk());
    EXPECT_EQ(owned.bytes(), nullptr);
    EXPECT_FALSE(owned.write('b'));
    EXPECT_EQ(owned.size(), 0u);
    EXPECT_TRUE(owned.close());
    Vec<TUint8> target;
    MemoryOutputStream borrowed(target);
    borrowed.write('a');
    borrowed.close();
    EXPECT_FALSE(borrowed.write('b'));
    EXPECT_EQ(text(target), "a");
}

TEST(MemoryOutputStream, CopiesItsOwnBytesSafely) {
    MemoryOutputStream s;
    s.write(kAbc, 3);
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(s.write(s.bytes()->data(), TUint32(s.size())));
    EXPECT_EQ(s.size(), 3u * 64);
    EXPECT_EQ(text(*s.bytes()).substr(0, 9), "abcabcabc");
}

TEST(ReadToEnd, AppendsTheBytesFromThePositionOn) {
    MemoryInputStream s(kAbc, 3);
    s.read();
    std::vector<TUint8> out = {'>'};
    ASSERT_TRUE(readToEnd(s, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), ">bc");
    s.seek(10);
    Vec<TUint8> more;
    EXPECT_TRUE(readToEnd(s, more));
    EXPECT_TRUE(more.isEmpty());
    more.append(1);
    MemoryInputStream notOk;
    EXPECT_FALSE(readToEnd(notOk, more));
    EXPECT_EQ(more.getSize(), 1);
}
