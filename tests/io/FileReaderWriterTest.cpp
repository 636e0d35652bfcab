// CAppsFileReader and CAppsFileWriter: null-safe handles on a stream, reads into byte vectors
// and strings, ranged writes, and the open-read-rewrite sequence the host uses to keep a
// file's contents when appending.
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

TEST(CAppsFileReader, WithoutAnOpenStreamEverythingFailsSafely) {
    TempDir dir;
    dir.writeFile("f", "hello");
    CAppsFileReader file(dir.path("f"));
    Vec<TUint8> all;
    EXPECT_TRUE(file.readRest(all));
    EXPECT_EQ(text(all), "hello");
    file.close();
    EXPECT_EQ(file.getStream(), nullptr);
    CAppsFileReader missing(dir.path("missing"));  // exists even when the file does not open
    EXPECT_FALSE(missing.isOk());
    EXPECT_NE(missing.getStream(), nullptr);
    CAppsFileReader notOk(new VELMAR::FileInputStream());
    TUint8 b;
    for (CAppsFileReader* r : {&file, &missing, &notOk}) {
        EXPECT_FALSE(r->read(b));
        EXPECT_FALSE(r->read(all, 1));
        EXPECT_FALSE(r->read(&b, 1));
        EXPECT_TRUE(r->atEnd());
    }
    CAppsString s("keep");
    EXPECT_FALSE(file.read(all, 0));
    EXPECT_FALSE(file.readRest(all));
    EXPECT_FALSE(file.readString(s, 0));
    EXPECT_TRUE(s == std::string_view("keep"));
    EXPECT_FALSE(file.skip(0));
    EXPECT_FALSE(file.seek(0));
    EXPECT_EQ(file.size(), 0u);
    EXPECT_EQ(file.position(), 0u);
    EXPECT_TRUE(notOk.read(all, 0));
    EXPECT_EQ(text(all), "hello");
}

TEST(CAppsFileReader, ByteAndBufferReads) {
    CAppsFileReader r = memoryReader("\x80z");
    TUint8 b = 0;
    EXPECT_TRUE(r.read(b));
    EXPECT_EQ(b, 0x80);
    TUint8 buf[2];
    EXPECT_FALSE(r.read(buf, -1));
    EXPECT_TRUE(r.read(buf, 1));
    EXPECT_EQ(buf[0], 'z');
    EXPECT_FALSE(r.read(b));
    EXPECT_EQ(b, 0x80);
    EXPECT_TRUE(r.read(&b, 0));  // zero bytes succeed even at the end
    Vec<TUint8> v;
    EXPECT_TRUE(r.read(v, 0));
    EXPECT_TRUE(v.isEmpty());
}

TEST(CAppsFileReader, VectorReadsAppendOrKeepTheOldContents) {
    CAppsFileReader r = memoryReader("abcd");
    Vec<TUint8> v = bytesOf(">");
    EXPECT_FALSE(r.read(v, 5));
    EXPECT_FALSE(r.read(v, -1));
    EXPECT_FALSE(r.read(v, INT32_MAX));  // without allocating
    EXPECT_EQ(text(v), ">");
    Vec<TUint8> untouched;
    EXPECT_FALSE(r.read(untouched, INT32_MAX));
    EXPECT_EQ(untouched.capacity(), 0);
    EXPECT_TRUE(r.read(v, 2));
    EXPECT_TRUE(r.read(v, 1));
    EXPECT_EQ(text(v), ">abc");
    Vec<TInt8> s;
    EXPECT_TRUE(r.read(s, 1));
    ASSERT_EQ(s.getSize(), 1);
    EXPECT_EQ(s[0], 'd');
}

TEST(CAppsFileReader, ReadRestAndReadString) {
    CAppsFileReader r = memoryReader("h\xe9!def");
    CAppsString s("old");
    ASSERT_TRUE(r.readString(s, 2));  // one character per byte
    ASSERT_EQ(s.getSize(), 2);
    EXPECT_EQ(s[0], 'h');
    EXPECT_EQ(s[1], 0xE9);
    EXPECT_FALSE(r.readString(s, 5));
    EXPECT_EQ(s.getSize(), 2);
    EXPECT_FALSE(r.readString(s, -1));
    EXPECT_TRUE(r.readString(s, 0));
    EXPECT_TRUE(s.isEmpty());
    r.skip(2);
    Vec<TUint8> v;
    EXPECT_TRUE(r.readRest(v));
    EXPECT_EQ(text(v), "ef");
    EXPECT_TRUE(r.readRest(v));
    EXPECT_EQ(text(v), "ef");
}

TEST(CAppsFileReader, SkipAndSeekMoveWithinTheFile) {
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

TEST(CAppsFileWriter, WritesAFileUntilClosedAndFailsSafelyWithoutAStream) {
    TempDir dir;
    CAppsFileWriter w(dir.path("out"), true);
    EXPECT_TRUE(w.write(TUint8('a')));
    const TUint8 bc[] = {'b', 'c'};
    EXPECT_TRUE(w.writeByteBufferToFile(bc, 2));
    EXPECT_EQ(w.size(), 3u);
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(w.close());
    EXPECT_EQ(dir.readFile("out"), "abc");
    dir.makeDir("d");
    CAppsFileWriter failed(dir.path("d"), true);  // exists even when the file does not open
    CAppsFileWriter none;
    for (CAppsFileWriter* x : {&w, &failed, &none}) {
        EXPECT_FALSE(x->isOk());
        EXPECT_FALSE(x->write(TUint8('d')));
        EXPECT_FALSE(x->write(bytesOf("a")));
    }
    EXPECT_FALSE(none.writeByteBufferToFile(bc, 1));
    EXPECT_FALSE(none.write(bytesOf("a"), 0, 0));
    EXPECT_FALSE(none.seek(0));
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.position(), 0u);
    EXPECT_TRUE(none.close());
    EXPECT_EQ(dir.readFile("out"), "abc");
}

TEST(CAppsFileWriter, RangesCountsAndPositions) {
    auto* memory = new VELMAR::MemoryOutputStream();
    CAppsFileWriter w(memory);
    const TUint8 b = 1;
    EXPECT_FALSE(w.writeByteBufferToFile(&b, -1));
    EXPECT_TRUE(w.writeByteBufferToFile(&b, 0));
    const Vec<TUint8> v = bytesOf("abc");
    const TInt32 refused[][2] = {{-1, 1}, {2, 2}, {4, -1}, {INT32_MAX, INT32_MAX}};
    for (const auto& r : refused) EXPECT_FALSE(w.write(v, r[0], r[1])) << r[0] << " " << r[1];
    EXPECT_TRUE(w.write(v, -1, 0));
    EXPECT_TRUE(w.write(v, 99, 0));
    EXPECT_EQ(w.size(), 0u);
    EXPECT_TRUE(w.write(v));
    EXPECT_TRUE(w.write(v, 1, 1));
    EXPECT_TRUE(w.write(v, 2, -1));  // a negative count runs to the end
    EXPECT_TRUE(w.write(v, 3, -1));
    Vec<TInt8> s;
    s.append(-1);
    s.append(65);
    EXPECT_TRUE(w.write(s));
    EXPECT_TRUE(w.write(s, 1, 1));
    EXPECT_EQ(text(*memory->bytes()), "abcbc\xff" "AA");
    EXPECT_FALSE(w.seek(-1));
    EXPECT_TRUE(w.seek(1));
    EXPECT_EQ(w.position(), 1u);
    w.write(TUint8('B'));
    EXPECT_EQ(text(*memory->bytes()), "aBcbc\xff" "AA");
}

// Opening a writer always truncates; keeping the contents is done by reading them first
// and writing them back, as the host's open-for-append does.
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
