// In-memory input and output streams: reads at and past the end, seeking
// limits, overwrite-versus-append writes, and whole-stream reads.
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

TEST(MemoryInputStream, IsUsableOnceABufferIsSet) {
    MemoryInputStream empty;
    EXPECT_FALSE(empty.isOk());
    EXPECT_TRUE(empty.atEnd());
    MemoryInputStream s(kAbc, 3);
    EXPECT_TRUE(s.isOk());
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(s.position(), 0u);
}

TEST(MemoryInputStream, ReadsBytesInOrder) {
    MemoryInputStream s(kAbc, 3);
    EXPECT_EQ(s.read(), 'a');
    TUint8 two[2] = {};
    EXPECT_TRUE(s.read(two, 2));
    EXPECT_EQ(two[0], 'b');
    EXPECT_EQ(two[1], 'c');
    EXPECT_TRUE(s.atEnd());
}

TEST(MemoryInputStream, ShortReadFailsAndMovesToTheEnd) {
    MemoryInputStream s(kAbc, 3);
    TUint8 buf[4] = {};
    EXPECT_FALSE(s.read(buf, 4));
    EXPECT_EQ(s.position(), 3u);
    EXPECT_TRUE(s.atEnd());
}

TEST(MemoryInputStream, ReadPastTheEndIsAFailureNotAZeroByte) {
    MemoryInputStream s(kAbc, 3);
    TUint8 buf[3];
    ASSERT_TRUE(s.read(buf, 3));
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_EQ(s.position(), 3u);
}

TEST(MemoryInputStream, ReadOfZeroBytesSucceedsAtTheEnd) {
    MemoryInputStream s(kAbc, 3);
    ASSERT_FALSE(s.seek(3));
    EXPECT_TRUE(s.read(nullptr, 0));
}

TEST(MemoryInputStream, ReadIntoNullBufferFails) {
    MemoryInputStream s(kAbc, 3);
    EXPECT_FALSE(s.read(nullptr, 1));
}

TEST(MemoryInputStream, SeekToTheSizeSetsThePositionButReportsFalse) {
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

TEST(MemoryInputStream, HugeCountNeverWrapsAround) {
    MemoryInputStream s(kAbc, 3);
    s.seek(2);
    TUint8 b[1];
    EXPECT_FALSE(s.read(b, 0xFFFFFFFFu));
    EXPECT_EQ(s.position(), 3u);
}

TEST(MemoryInputStream, SetBufferCopiesAndRestarts) {
    std::vector<TUint8> bytes = {1, 2, 3};
    MemoryInputStream s(kAbc, 3);
    s.seek(2);
    ASSERT_TRUE(s.setBuffer(bytes.data(), 3));
    bytes[0] = 9;
    EXPECT_EQ(s.position(), 0u);
    EXPECT_EQ(s.read(), 1);
    Vec<TUint8> v;
    v.append(7);
    ASSERT_TRUE(s.setBuffer(v));
    EXPECT_EQ(s.size(), 1u);
    EXPECT_EQ(s.read(), 7);
}

TEST(MemoryInputStream, SetBufferRefusesANullPointer) {
    MemoryInputStream s(kAbc, 3);
    EXPECT_FALSE(s.setBuffer(nullptr, 5));
    EXPECT_FALSE(s.isOk());
    EXPECT_TRUE(s.setBuffer(nullptr, 0));
    EXPECT_TRUE(s.isOk());
    EXPECT_EQ(s.size(), 0u);
}

TEST(MemoryInputStream, ConstructsFromByteVectors) {
    Vec<TUint8> v;
    v.append(5);
    EXPECT_EQ(MemoryInputStream(v).read(), 5);
    EXPECT_EQ(MemoryInputStream(std::vector<TUint8>{6}).read(), 6);
}

TEST(MemoryOutputStream, AppendsIntoItsOwnVector) {
    MemoryOutputStream s;
    EXPECT_TRUE(s.isOk());
    EXPECT_TRUE(s.write('x'));
    EXPECT_TRUE(s.write(kAbc, 3));
    EXPECT_EQ(s.size(), 4u);
    EXPECT_EQ(s.position(), 4u);
    EXPECT_EQ(text(*s.bytes()), "xabc");
}

TEST(MemoryOutputStream, WritesIntoTheCallersVector) {
    Vec<TUint8> target;
    {
        MemoryOutputStream s(target);
        s.write(kAbc, 3);
    }
    EXPECT_EQ(text(target), "abc");
}

TEST(MemoryOutputStream, OverwritesInsideAndAppendsAtTheEnd) {
    MemoryOutputStream s;
    s.write(kAbc, 3);
    ASSERT_TRUE(s.seek(1));
    EXPECT_TRUE(s.write('B'));
    EXPECT_EQ(text(*s.bytes()), "aBc");
    EXPECT_TRUE(s.seek(3));
    EXPECT_TRUE(s.write('d'));
    EXPECT_EQ(text(*s.bytes()), "aBcd");
}

TEST(MemoryOutputStream, PositionPastTheEndWritesNothing) {
    MemoryOutputStream s;
    s.write(kAbc, 3);
    EXPECT_FALSE(s.seek(5));
    EXPECT_EQ(s.position(), 5u);
    EXPECT_FALSE(s.write('z'));
    EXPECT_FALSE(s.write(kAbc, 3));
    EXPECT_EQ(text(*s.bytes()), "abc");
}

TEST(MemoryOutputStream, PositionsBeyondTheSignedRangeAreRefusedSafely) {
    MemoryOutputStream s;
    EXPECT_FALSE(s.seek(0x80000000u));
    EXPECT_EQ(s.position(), 0x80000000u);
    EXPECT_FALSE(s.write('z'));
    EXPECT_EQ(s.size(), 0u);
}

TEST(MemoryOutputStream, BufferWriteReportsTheFirstFailure) {
    MemoryOutputStream s;
    EXPECT_FALSE(s.write(nullptr, 2));
    EXPECT_TRUE(s.write(nullptr, 0));
    s.seek(1);
    EXPECT_FALSE(s.write(kAbc, 3));
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

TEST(ReadToEnd, AppendsTheBytesFromThePositionOn) {
    MemoryInputStream s(kAbc, 3);
    s.read();
    std::vector<TUint8> out = {'>'};
    ASSERT_TRUE(readToEnd(s, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), ">bc");
    EXPECT_TRUE(s.atEnd());
    Vec<TUint8> more;
    EXPECT_TRUE(readToEnd(s, more));
    EXPECT_TRUE(more.isEmpty());
}

TEST(ReadToEnd, FailsOnAStreamThatIsNotOk) {
    MemoryInputStream s;
    Vec<TUint8> out;
    out.append(1);
    EXPECT_FALSE(readToEnd(s, out));
    EXPECT_EQ(out.getSize(), 1);
}

TEST(ReadToEnd, PositionPastTheEndReadsNothing) {
    MemoryInputStream s(kAbc, 3);
    s.seek(10);
    std::vector<TUint8> out;
    EXPECT_TRUE(readToEnd(s, out));
    EXPECT_TRUE(out.empty());
}

TEST(MemoryOutputStream, BufferWritesOverwriteThenAppend) {
    MemoryOutputStream s;
    s.write(kAbc, 3);
    s.seek(2);
    const TUint8 xyz[] = {'x', 'y', 'z'};
    EXPECT_TRUE(s.write(xyz, 3));
    EXPECT_EQ(text(*s.bytes()), "abxyz");
    EXPECT_EQ(s.position(), 5u);
}

TEST(MemoryOutputStream, CopiesItsOwnBytesSafely) {
    MemoryOutputStream s;
    s.write(kAbc, 3);
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(s.write(s.bytes()->data(), TUint32(s.size())));
    EXPECT_EQ(s.size(), 3u * 64);
    EXPECT_EQ(text(*s.bytes()).substr(0, 9), "abcabcabc");
}

TEST(MemoryOutputStream, ManySmallWritesGrowTheVectorGeometrically) {
    MemoryOutputStream s;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        const TUint8 two[] = {TUint8(i), TUint8(i >> 8)};
        ASSERT_TRUE(s.write(two, 2));
        expected.push_back(char(TUint8(i)));
        expected.push_back(char(TUint8(i >> 8)));
    }
    EXPECT_EQ(text(*s.bytes()), expected);
}
