// File streams: paths that do not open, reads, seeks and writes at the limits, and files larger
// than any stdio buffer; and whole-stream reads. Plain file reads, writes and seeks are exercised
// through the file natives (tests/natives_files); the memory streams, which serve tests only,
// through every test that loads an image or writes a trace.
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "io/MemoryInputStream.h"
#include "io/StreamBytes.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

using namespace VELMAR;

namespace {
const TUint8 kAbc[] = {'a', 'b', 'c'};
}

TEST(FileInputStream, OpenReopenAndClose) {
    TempDir dir;
    dir.makeDir("sub");
    dir.writeFile("a", "ay");
    dir.writeFile("b", "b");
    CAppsString zero = dir.path("a"), narrowed = dir.path("");
    zero.append(TUint16(0x100));      // narrows to 0 and would cut the path short at "a"
    narrowed.append(TUint16(0x162));  // path characters are narrowed to 8 bits: 'b'
    for (const CAppsString& path : {dir.path("missing"), dir.path("sub"), CAppsString(), zero}) {
        FileInputStream s;
        EXPECT_FALSE(s.open(path));
        EXPECT_FALSE(s.isOk());
        EXPECT_TRUE(s.atEnd());
        EXPECT_EQ(s.read(), InputStream::kReadFailed);
        TUint8 b;
        EXPECT_FALSE(s.read(&b, 1) || s.read(&b, 0) || s.seek(0));
        EXPECT_EQ(s.size() + s.position(), 0u);
    }
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_TRUE(s.open(CAppsString()));  // an empty path changes nothing
    EXPECT_EQ(s.read(), 'a');
    EXPECT_TRUE(s.open(narrowed));
    EXPECT_EQ(s.read(), 'b');
    EXPECT_FALSE(s.open(dir.path("missing")));  // closes the open file first
    EXPECT_FALSE(s.isOk());
    s.close();
    s.close();
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
}

TEST(FileInputStream, ReadsAndSeeksWithinTheFile) {
    TempDir dir;
    dir.writeFile("a", std::string("\x00\xff" "cde", 5));
    dir.writeFile("empty", "");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_EQ(s.read(), 0);
    EXPECT_EQ(s.read(), 255);
    EXPECT_EQ(s.size(), 5u);  // keeps the position
    TUint8 buf[8] = {};
    EXPECT_FALSE(s.read(nullptr, 1));
    EXPECT_TRUE(s.read(buf, 2));
    EXPECT_FALSE(s.read(buf, 2));  // all or nothing, and at the end
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_TRUE(s.read(buf, 0));
    EXPECT_FALSE(s.seek(6));
    EXPECT_EQ(s.position(), 5u);
    ASSERT_TRUE(s.open(dir.path("empty")));
    EXPECT_EQ(s.size(), 0u);
    EXPECT_TRUE(s.atEnd());
    EXPECT_TRUE(s.seek(0));
    EXPECT_FALSE(s.read(buf, 1));
}

TEST(FileStreams, LargeFileRoundTripAcrossBufferBoundaries) {
    TempDir dir;
    std::string content((1 << 20) + 37, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char((i * 7 + i / 251) & 0xFF);
    FileOutputStream out;
    ASSERT_TRUE(out.open(dir.path("big"), true));
    const auto* bytes = reinterpret_cast<const TUint8*>(content.data());
    for (size_t done = 0, n; done < content.size(); done += n)
        ASSERT_TRUE(out.write(bytes + done, TUint32(n = std::min<size_t>(8191, content.size() - done))));
    EXPECT_EQ(out.size(), content.size());
    ASSERT_TRUE(out.close());
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("big")));
    std::string got;
    std::vector<TUint8> chunk(4099);
    while (content.size() - got.size() >= chunk.size()) {
        ASSERT_TRUE(s.read(chunk.data(), TUint32(chunk.size())));
        got.append(chunk.begin(), chunk.end());
    }
    while (!s.atEnd()) got.push_back(char(s.read()));
    EXPECT_EQ(got, content);
    ASSERT_TRUE(s.seek(TUint32(content.size() - 5000)));
    ASSERT_TRUE(s.read(chunk.data(), 4099));
    EXPECT_EQ(text(chunk), content.substr(content.size() - 5000, 4099));
}

TEST(FileOutputStream, WritesSeeksAndAlwaysStartsWithAnEmptyFile) {
    TempDir dir;
    for (bool flag : {true, false}) {
        dir.writeFile("out", "old contents");
        FileOutputStream s;
        ASSERT_TRUE(s.open(dir.path("out"), flag));
        EXPECT_EQ(s.size(), 0u);
        const TUint8 ab[] = {'a', 0};
        EXPECT_TRUE(s.write(ab, 2));
        EXPECT_TRUE(s.write(ab, 0));
        EXPECT_FALSE(s.write(nullptr, 1));
        EXPECT_TRUE(s.seek(2));
        EXPECT_FALSE(s.seek(3));
        EXPECT_EQ(s.position(), 2u);
        EXPECT_TRUE(s.close());
        EXPECT_TRUE(s.close());
        EXPECT_FALSE(s.write('e'));
        EXPECT_EQ(dir.readFile("out"), std::string("a\0", 2));
    }
}

TEST(FileOutputStream, FailsWithoutTouchingWhatIsThere) {
    TempDir dir;
    dir.writeFile("plain", "p");
    dir.makeDir("d");
    dir.makeDir("ro");
    chmod(dir.os("ro").c_str(), 0555);
    std::vector<CAppsString> paths = {dir.path("d"), dir.path("plain/out"), CAppsString()};
    if (geteuid() != 0) paths.insert(paths.end(), {dir.path("ro/out"), dir.path("ro/sub/out")});  // root ignores modes
    for (const CAppsString& path : paths) {
        FileOutputStream s;
        EXPECT_FALSE(s.open(path, true)) << path.toOsPath();
        EXPECT_FALSE(s.isOk());
    }
    chmod(dir.os("ro").c_str(), 0755);
    EXPECT_EQ(dir.readFile("plain"), "p");
    FileOutputStream never;
    const TUint8 b = 'b';
    EXPECT_FALSE(never.write('a') || never.write(&b, 1) || never.seek(0));
    EXPECT_EQ(never.size() + never.position(), 0u);
    EXPECT_TRUE(never.close());
}

// The memory input stream only serves tests and benchmarks: its limits, then whole-stream reads
// (as the VM loads an image).
TEST(MemoryInputStream, ReadsUpToTheEndNoFurtherAndReadToEndAppends) {
    MemoryInputStream s(kAbc, 3);
    TUint8 two[2] = {};
    for (auto [start, count] : {std::pair<TUint32, TUint32>{0, 4}, {2, 0xFFFFFFFFu}}) {  // no wrap-around
        s.seek(start);
        EXPECT_FALSE(s.read(two, count)) << count;
        EXPECT_EQ(s.position(), 3u) << "a failed read moves to the end";
    }
    EXPECT_EQ(s.read(), InputStream::kReadFailed);  // a failure, not a zero byte
    EXPECT_FALSE(s.seek(100));  // beyond the size: sets the position but reports false
    EXPECT_EQ(s.position(), 100u);
    EXPECT_FALSE(s.read(two, 1));
    EXPECT_EQ(s.position(), 3u);
    s.seek(1);
    std::vector<TUint8> out = {'>'};
    ASSERT_TRUE(readToEnd(s, out));
    EXPECT_EQ(text(out), ">bc");
    s.seek(10);
    Bytes more;
    EXPECT_TRUE(readToEnd(s, more));
    EXPECT_TRUE(more.isEmpty());
    more.append(1);
    MemoryInputStream notOk;
    EXPECT_FALSE(readToEnd(notOk, more));
    EXPECT_EQ(more.getSize(), 1);
}
