// CAppsFileReader and CAppsFileWriter: null-safe handles on a stream, reads
// into byte vectors and strings, ranged writes, and the open-read-rewrite
// sequence the host uses to keep a file's contents when appending.
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileInputStream.h"
#include "io/MemoryInputStream.h"
#include "io/MemoryOutputStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {
Vec<TUint8> bytesOf(const std::string& s) {
    Vec<TUint8> v;
    for (char c : s) v.append(TUint8(c));
    return v;
}

std::string text(const Vec<TUint8>& v) { return std::string(v.begin(), v.end()); }

CAppsFileReader memoryReader(const std::string& s) {
    return CAppsFileReader(reinterpret_cast<const TUint8*>(s.data()), TUint32(s.size()));
}
}  // namespace

// --- reader: construction and ownership ---------------------------------

TEST(CAppsFileReader, ExistsEvenWhenTheFileDoesNotOpen) {
    TempDir dir;
    CAppsFileReader r(dir.path("missing"));
    EXPECT_FALSE(r.isOk());
    EXPECT_TRUE(r.getPath() == dir.path("missing"));
    EXPECT_NE(r.getStream(), nullptr);
    TUint8 b;
    EXPECT_FALSE(r.read(b));
    EXPECT_TRUE(r.atEnd());
}

TEST(CAppsFileReader, ReadsAFile) {
    TempDir dir;
    dir.writeFile("f", "hello");
    CAppsFileReader r(dir.path("f"));
    ASSERT_TRUE(r.isOk());
    EXPECT_EQ(r.size(), 5u);
    Vec<TUint8> all;
    EXPECT_TRUE(r.readRest(all));
    EXPECT_EQ(text(all), "hello");
}

TEST(CAppsFileReader, WithoutAStreamEverythingFails) {
    CAppsFileReader r;
    TUint8 b;
    Vec<TUint8> v;
    CAppsString s("keep");
    EXPECT_FALSE(r.isOk());
    EXPECT_FALSE(r.read(b));
    EXPECT_FALSE(r.read(&b, 0));
    EXPECT_FALSE(r.read(v, 0));
    EXPECT_FALSE(r.readRest(v));
    EXPECT_FALSE(r.readString(s, 0));
    EXPECT_TRUE(s == std::string_view("keep"));
    EXPECT_FALSE(r.skip(0));
    EXPECT_FALSE(r.seek(0));
    EXPECT_EQ(r.size(), 0u);
    EXPECT_EQ(r.position(), 0u);
    EXPECT_TRUE(r.atEnd());
}

TEST(CAppsFileReader, OwnsAGivenStreamUntilClose) {
    const TUint8 data[] = {1, 2};
    CAppsFileReader r(new VELMAR::MemoryInputStream(data, 2));
    EXPECT_TRUE(r.isOk());
    r.close();
    EXPECT_EQ(r.getStream(), nullptr);
    EXPECT_FALSE(r.isOk());
    r.close();
}

// --- reader: bytes and vectors -------------------------------------------

TEST(CAppsFileReader, ReadsSingleBytesUntilTheEnd) {
    CAppsFileReader r = memoryReader("\x80z");
    TUint8 b = 0;
    EXPECT_TRUE(r.read(b));
    EXPECT_EQ(b, 0x80);
    EXPECT_TRUE(r.read(b));
    EXPECT_EQ(b, 'z');
    EXPECT_FALSE(r.read(b));
    EXPECT_EQ(b, 'z');
}

TEST(CAppsFileReader, ReadingZeroBytesSucceedsEvenAtTheEnd) {
    CAppsFileReader r = memoryReader("ab");
    Vec<TUint8> v;
    ASSERT_TRUE(r.read(v, 2));
    ASSERT_TRUE(r.atEnd());
    EXPECT_TRUE(r.read(v, 0));
    TUint8 b;
    EXPECT_TRUE(r.read(&b, 0));
    EXPECT_EQ(v.getSize(), 2);
}

TEST(CAppsFileReader, VectorReadsAppend) {
    CAppsFileReader r = memoryReader("abcd");
    Vec<TUint8> v = bytesOf(">");
    EXPECT_TRUE(r.read(v, 2));
    EXPECT_TRUE(r.read(v, 1));
    EXPECT_EQ(text(v), ">abc");
    Vec<TInt8> s;
    EXPECT_TRUE(r.read(s, 1));
    ASSERT_EQ(s.getSize(), 1);
    EXPECT_EQ(s[0], 'd');
}

TEST(CAppsFileReader, FailedVectorReadKeepsTheOldContents) {
    CAppsFileReader r = memoryReader("abc");
    Vec<TUint8> v = bytesOf("xy");
    EXPECT_FALSE(r.read(v, 4));
    EXPECT_EQ(text(v), "xy");
    EXPECT_FALSE(r.read(v, -1));
    EXPECT_EQ(text(v), "xy");
    EXPECT_TRUE(r.read(v, 3));
}

TEST(CAppsFileReader, WildCountFailsWithoutAllocating) {
    CAppsFileReader r = memoryReader("abc");
    Vec<TUint8> v;
    EXPECT_FALSE(r.read(v, INT32_MAX));
    EXPECT_EQ(v.capacity(), 0);
}

TEST(CAppsFileReader, NothingIsReadFromAStreamThatIsNotOk) {
    CAppsFileReader r(new VELMAR::FileInputStream());
    Vec<TUint8> v;
    EXPECT_FALSE(r.read(v, 1));
    EXPECT_TRUE(r.read(v, 0));
    TUint8 b;
    EXPECT_FALSE(r.read(&b, 1));
}

TEST(CAppsFileReader, BufferReadRefusesANegativeCount) {
    CAppsFileReader r = memoryReader("abc");
    TUint8 buf[3];
    EXPECT_FALSE(r.read(buf, -1));
    EXPECT_TRUE(r.read(buf, 3));
    EXPECT_EQ(std::string(buf, buf + 3), "abc");
}

TEST(CAppsFileReader, ReadRestTakesWhatIsLeft) {
    CAppsFileReader r = memoryReader("abcdef");
    r.skip(4);
    Vec<TUint8> v;
    EXPECT_TRUE(r.readRest(v));
    EXPECT_EQ(text(v), "ef");
    EXPECT_TRUE(r.readRest(v));
    EXPECT_EQ(text(v), "ef");
}

TEST(CAppsFileReader, ReadStringTakesOneCharacterPerByte) {
    CAppsFileReader r = memoryReader("h\xe9!");
    CAppsString s("old");
    ASSERT_TRUE(r.readString(s, 2));
    ASSERT_EQ(s.getSize(), 2);
    EXPECT_EQ(s[0], 'h');
    EXPECT_EQ(s[1], 0xE9);
    EXPECT_FALSE(r.readString(s, 2));
    EXPECT_EQ(s.getSize(), 2);
    EXPECT_FALSE(r.readString(s, -1));
    EXPECT_TRUE(r.readString(s, 0));
    EXPECT_TRUE(s.isEmpty());
}

// --- reader: positioning ------------------------------------------------

TEST(CAppsFileReader, SkipAndSeekMoveWithinTheStream) {
    TempDir dir;
    dir.writeFile("f", "0123456789");
    CAppsFileReader r(dir.path("f"));
    TUint8 b;
    EXPECT_TRUE(r.skip(3));
    EXPECT_TRUE(r.read(b));
    EXPECT_EQ(b, '3');
    EXPECT_TRUE(r.skip(-2));
    EXPECT_EQ(r.position(), 2u);
    EXPECT_FALSE(r.skip(-3));
    EXPECT_FALSE(r.skip(20));
    EXPECT_EQ(r.position(), 2u);
    EXPECT_FALSE(r.seek(-1));
    EXPECT_TRUE(r.seek(10));
    EXPECT_TRUE(r.atEnd());
    EXPECT_FALSE(r.seek(11));
}

// --- writer ---------------------------------------------------------------

TEST(CAppsFileWriter, WritesAFile) {
    TempDir dir;
    {
        CAppsFileWriter w(dir.path("out"), true);
        ASSERT_TRUE(w.isOk());
        EXPECT_TRUE(w.getPath() == dir.path("out"));
        EXPECT_TRUE(w.write(TUint8('a')));
        const TUint8 bc[] = {'b', 'c'};
        EXPECT_TRUE(w.writeByteBufferToFile(bc, 2));
        EXPECT_EQ(w.size(), 3u);
    }
    EXPECT_EQ(dir.readFile("out"), "abc");
}

TEST(CAppsFileWriter, ExistsEvenWhenTheFileDoesNotOpen) {
    TempDir dir;
    dir.makeDir("d");
    CAppsFileWriter w(dir.path("d"), true);
    EXPECT_FALSE(w.isOk());
    EXPECT_FALSE(w.write(TUint8('a')));
    EXPECT_FALSE(w.write(bytesOf("a")));
}

TEST(CAppsFileWriter, WithoutAStreamEverythingFails) {
    CAppsFileWriter w;
    const TUint8 b = 1;
    EXPECT_FALSE(w.isOk());
    EXPECT_FALSE(w.write(b));
    EXPECT_FALSE(w.writeByteBufferToFile(&b, 1));
    EXPECT_FALSE(w.write(bytesOf("a")));
    EXPECT_FALSE(w.write(bytesOf("a"), 0, 0));
    EXPECT_FALSE(w.seek(0));
    EXPECT_EQ(w.size(), 0u);
    EXPECT_EQ(w.position(), 0u);
    EXPECT_TRUE(w.close());
}

TEST(CAppsFileWriter, NegativeByteCountFails) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    const TUint8 b = 1;
    EXPECT_FALSE(w.writeByteBufferToFile(&b, -1));
    EXPECT_TRUE(w.writeByteBufferToFile(&b, 0));
    EXPECT_EQ(w.size(), 0u);
}

TEST(CAppsFileWriter, WritesVectorRanges) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    const Vec<TUint8> v = bytesOf("abcdef");
    EXPECT_TRUE(w.write(v));
    EXPECT_TRUE(w.write(v, 1, 2));
    EXPECT_TRUE(w.write(v, 4, -1));
    EXPECT_TRUE(w.write(v, 6, -1));
    EXPECT_EQ(text(*memory->bytes()), "abcdefbcef");
}

TEST(CAppsFileWriter, RefusesRangesOutsideTheVector) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    const Vec<TUint8> v = bytesOf("abc");
    EXPECT_FALSE(w.write(v, -1, 1));
    EXPECT_FALSE(w.write(v, 2, 2));
    EXPECT_FALSE(w.write(v, 4, -1));
    EXPECT_FALSE(w.write(v, INT32_MAX, INT32_MAX));
    EXPECT_TRUE(w.write(v, -1, 0));
    EXPECT_TRUE(w.write(v, 99, 0));
    EXPECT_EQ(w.size(), 0u);
}

TEST(CAppsFileWriter, WritesSignedByteVectors) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    Vec<TInt8> v;
    v.append(-1);
    v.append(65);
    EXPECT_TRUE(w.write(v));
    EXPECT_TRUE(w.write(v, 1, 1));
    EXPECT_EQ(text(*memory->bytes()), "\xff" "AA");
}

TEST(CAppsFileWriter, SeekRefusesNegativePositions) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    w.write(bytesOf("abc"));
    EXPECT_FALSE(w.seek(-1));
    EXPECT_TRUE(w.seek(1));
    EXPECT_EQ(w.position(), 1u);
    w.write(TUint8('B'));
    EXPECT_EQ(text(*memory->bytes()), "aBc");
}

TEST(CAppsFileWriter, CloseEndsWriting) {
    TempDir dir;
    CAppsFileWriter w(dir.path("out"), true);
    w.write(TUint8('a'));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isOk());
    EXPECT_FALSE(w.write(TUint8('b')));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(dir.readFile("out"), "a");
}

// Opening a writer always truncates; keeping the contents is done by reading
// them first and writing them back, as the host's open-for-append does.
TEST(CAppsFileWriter, AppendingIsReadingBackTheOldContents) {
    TempDir dir;
    dir.writeFile("f", "a");
    Vec<TUint8> old;
    {
        CAppsFileReader r(dir.path("f"));
        ASSERT_TRUE(r.readRest(old));
    }
    CAppsFileWriter w(dir.path("f"), false);
    ASSERT_TRUE(w.write(old));
    ASSERT_TRUE(w.write(TUint8('b')));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(dir.readFile("f"), "ab");
}
