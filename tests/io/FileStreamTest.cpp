// File input and output streams: opening missing, empty and directory paths, reads and seeks
// at the limits, directory creation on open, and files larger than any stdio buffer.
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace VELMAR;

namespace {
std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 7 + i / 251) & 0xFF);
    return s;
}
}  // namespace

TEST(FileInputStream, PathsThatDoNotOpenLeaveTheStreamClosed) {
    TempDir dir;
    dir.makeDir("sub");
    dir.writeFile("A", "x");
    CAppsString zero = dir.path("A");
    zero.append(TUint16(0x100));  // narrows to 0 and would cut the path short at "A"
    for (const CAppsString& path : {dir.path("missing"), dir.path("sub"), CAppsString(), zero}) {
        FileInputStream s;
        EXPECT_FALSE(s.open(path));
        EXPECT_FALSE(s.isOk());
        EXPECT_TRUE(s.atEnd());
        EXPECT_EQ(s.read(), InputStream::kReadFailed);
        TUint8 b;
        EXPECT_FALSE(s.read(&b, 1));
        EXPECT_FALSE(s.read(&b, 0));
        EXPECT_EQ(s.size(), 0u);
        EXPECT_EQ(s.position(), 0u);
        EXPECT_FALSE(s.seek(0));
    }
}

TEST(FileInputStream, ReopeningSwitchesFilesAndAnEmptyPathChangesNothing) {
    TempDir dir;
    dir.writeFile("a", "ay");
    dir.writeFile("b", "b");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_TRUE(s.open(CAppsString()));
    EXPECT_EQ(s.read(), 'a');
    ASSERT_TRUE(s.open(dir.path("b")));
    EXPECT_EQ(s.read(), 'b');
    EXPECT_FALSE(s.open(dir.path("missing")));
    EXPECT_FALSE(s.isOk());
    CAppsString narrowed = dir.path("");
    narrowed.append(TUint16(0x162));  // path characters are narrowed to 8 bits: 'b'
    EXPECT_TRUE(s.open(narrowed));
    EXPECT_EQ(s.read(), 'b');
    s.close();
    s.close();
    EXPECT_FALSE(s.isOk());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_TRUE(s.atEnd());
}

TEST(FileInputStream, ReadsAndSeeksWithinTheFile) {
    TempDir dir;
    dir.writeFile("a", std::string("\x00\xff" "cde", 5));
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_FALSE(s.atEnd());
    EXPECT_EQ(s.read(), 0);
    EXPECT_EQ(s.read(), 255);
    EXPECT_EQ(s.size(), 5u);  // keeps the position
    EXPECT_EQ(s.position(), 2u);
    TUint8 buf[8] = {};
    EXPECT_TRUE(s.read(buf, 0));
    EXPECT_FALSE(s.read(nullptr, 1));
    EXPECT_TRUE(s.read(buf, 2));
    EXPECT_EQ(std::string(buf, buf + 2), "cd");
    EXPECT_FALSE(s.read(buf, 2));  // all or nothing
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_TRUE(s.read(buf, 0));
    EXPECT_TRUE(s.isOk());
    EXPECT_TRUE(s.seek(3));
    EXPECT_EQ(s.read(), 'd');
    EXPECT_TRUE(s.seek(5));
    EXPECT_TRUE(s.atEnd());
    EXPECT_FALSE(s.seek(6));
    EXPECT_EQ(s.position(), 5u);
    EXPECT_TRUE(s.seek(0));
    EXPECT_EQ(s.read(), 0);
}

TEST(FileInputStream, EmptyFile) {
    TempDir dir;
    dir.writeFile("empty", "");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("empty")));
    EXPECT_EQ(s.size(), 0u);
    EXPECT_TRUE(s.atEnd());
    EXPECT_TRUE(s.seek(0));
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    TUint8 b;
    EXPECT_TRUE(s.read(&b, 0));
    EXPECT_FALSE(s.read(&b, 1));
}

TEST(FileStreams, LargeFileRoundTripAcrossBufferBoundaries) {
    TempDir dir;
    const std::string content = pattern((1 << 20) + 37);
    FileOutputStream out;
    ASSERT_TRUE(out.open(dir.path("big"), true));
    const auto* bytes = reinterpret_cast<const TUint8*>(content.data());
    for (size_t done = 0, n; done < content.size(); done += n) {
        n = std::min<size_t>(8191, content.size() - done);
        ASSERT_TRUE(out.write(bytes + done, TUint32(n)));
    }
    EXPECT_EQ(out.size(), content.size());
    ASSERT_TRUE(out.close());
    EXPECT_EQ(dir.readFile("big"), content);
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("big")));
    EXPECT_EQ(s.size(), content.size());
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
    EXPECT_EQ(std::string(chunk.begin(), chunk.end()), content.substr(content.size() - 5000, 4099));
}

TEST(FileOutputStream, WritesSeeksAndAlwaysStartsWithAnEmptyFile) {
    TempDir dir;
    for (bool flag : {true, false}) {
        dir.writeFile("new/deeper/out", "old contents");  // missing directories are created
        FileOutputStream s;
        ASSERT_TRUE(s.open(dir.path("new/deeper/out"), flag));
        EXPECT_TRUE(s.isOk());
        EXPECT_EQ(s.size(), 0u);
        EXPECT_TRUE(s.write('a'));
        const TUint8 bc[] = {'b', 0, 'c'};
        EXPECT_TRUE(s.write(bc, 3));
        EXPECT_TRUE(s.write(bc, 0));
        EXPECT_FALSE(s.write(nullptr, 1));
        EXPECT_EQ(s.size(), 4u);
        EXPECT_EQ(s.position(), 4u);
        EXPECT_TRUE(s.seek(1));
        EXPECT_TRUE(s.write('B'));
        EXPECT_TRUE(s.seek(4));
        EXPECT_TRUE(s.write('d'));
        EXPECT_FALSE(s.seek(6));
        EXPECT_EQ(s.position(), 5u);
        EXPECT_TRUE(s.close());
        EXPECT_TRUE(s.close());
        EXPECT_FALSE(s.isOk());
        EXPECT_FALSE(s.write('e'));
        EXPECT_EQ(dir.readFile("new/deeper/out"), std::string("aB\0cd", 5));
    }
}

TEST(FileOutputStream, FailsWithoutTouchingWhatIsThere) {
    TempDir dir;
    dir.makeDir("d");
    dir.writeFile("d/keep", "k");
    dir.writeFile("plain", "p");
    for (const CAppsString& path : {dir.path("d"), dir.path("plain/out"), CAppsString()}) {
        FileOutputStream s;
        EXPECT_FALSE(s.open(path, true));
        EXPECT_FALSE(s.isOk());
    }
    EXPECT_EQ(dir.readFile("d/keep"), "k");
    EXPECT_EQ(dir.readFile("plain"), "p");
    FileOutputStream never;
    EXPECT_FALSE(never.write('a'));
    const TUint8 b = 'b';
    EXPECT_FALSE(never.write(&b, 1));
    EXPECT_EQ(never.size(), 0u);
    EXPECT_EQ(never.position(), 0u);
    EXPECT_FALSE(never.seek(0));
    EXPECT_TRUE(never.close());
}

TEST(FileOutputStream, FailsInAReadOnlyDirectory) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    dir.makeDir("ro");
    chmod(dir.os("ro").c_str(), 0555);
    FileOutputStream s;
    EXPECT_FALSE(s.open(dir.path("ro/out"), true));
    EXPECT_FALSE(s.open(dir.path("ro/sub/out"), true));
    chmod(dir.os("ro").c_str(), 0755);
}
