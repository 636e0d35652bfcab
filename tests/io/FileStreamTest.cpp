// File input and output streams: opening missing, empty and directory paths,
// reads and seeks at the limits, directory creation on open, and files larger
// than any stdio buffer.
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

// --- FileInputStream ---------------------------------------------------

TEST(FileInputStream, MissingFileLeavesTheStreamClosed) {
    TempDir dir;
    FileInputStream s;
    EXPECT_FALSE(s.open(dir.path("missing.bin")));
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

TEST(FileInputStream, EmptyPathChangesNothing) {
    TempDir dir;
    dir.writeFile("a", "xy");
    FileInputStream s;
    EXPECT_FALSE(s.open(CAppsString()));
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_TRUE(s.open(CAppsString()));
    EXPECT_EQ(s.read(), 'x');
}

TEST(FileInputStream, DirectoryDoesNotOpen) {
    TempDir dir;
    dir.makeDir("sub");
    FileInputStream s;
    EXPECT_FALSE(s.open(dir.path("sub")));
    EXPECT_TRUE(s.atEnd());
}

TEST(FileInputStream, ReadsEveryByteThenReportsTheEnd) {
    TempDir dir;
    dir.writeFile("a", std::string("\x00\xff" "b", 3));
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_FALSE(s.atEnd());
    EXPECT_EQ(s.read(), 0);
    EXPECT_EQ(s.read(), 255);
    EXPECT_EQ(s.read(), 'b');
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_TRUE(s.isOk());
}

TEST(FileInputStream, BlockReadIsAllOrNothing) {
    TempDir dir;
    dir.writeFile("a", "abcde");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    TUint8 buf[8] = {};
    EXPECT_TRUE(s.read(buf, 0));
    EXPECT_TRUE(s.read(buf, 2));
    EXPECT_EQ(std::string(buf, buf + 2), "ab");
    EXPECT_FALSE(s.read(buf, 4));
    EXPECT_TRUE(s.atEnd());
    EXPECT_TRUE(s.read(buf, 0));
    EXPECT_FALSE(s.read(nullptr, 1));
}

TEST(FileInputStream, SizeKeepsThePosition) {
    TempDir dir;
    dir.writeFile("a", "abcde");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    s.read();
    EXPECT_EQ(s.size(), 5u);
    EXPECT_EQ(s.position(), 1u);
    EXPECT_EQ(s.read(), 'b');
}

TEST(FileInputStream, SeeksOnlyWithinTheFile) {
    TempDir dir;
    dir.writeFile("a", "abcde");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    EXPECT_TRUE(s.seek(3));
    EXPECT_EQ(s.read(), 'd');
    EXPECT_TRUE(s.seek(5));
    EXPECT_TRUE(s.atEnd());
    EXPECT_FALSE(s.seek(6));
    EXPECT_EQ(s.position(), 5u);
    EXPECT_TRUE(s.seek(0));
    EXPECT_EQ(s.read(), 'a');
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

TEST(FileInputStream, LargeFileReadsAcrossBufferBoundaries) {
    TempDir dir;
    const std::string content = pattern((1 << 20) + 37);
    dir.writeFile("big", content);
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

TEST(FileInputStream, CloseIsRepeatableAndEndsReading) {
    TempDir dir;
    dir.writeFile("a", "abc");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    s.close();
    s.close();
    EXPECT_FALSE(s.isOk());
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_TRUE(s.atEnd());
}

TEST(FileInputStream, ReopeningSwitchesToTheNewFile) {
    TempDir dir;
    dir.writeFile("a", "a");
    dir.writeFile("b", "b");
    FileInputStream s;
    ASSERT_TRUE(s.open(dir.path("a")));
    ASSERT_TRUE(s.open(dir.path("b")));
    EXPECT_EQ(s.read(), 'b');
    EXPECT_FALSE(s.open(dir.path("missing")));
    EXPECT_FALSE(s.isOk());
}

TEST(FileInputStream, PathCharactersAreNarrowedTo8Bits) {
    TempDir dir;
    dir.writeFile("A", "narrow");
    CAppsString path = dir.path("");
    path.append(TUint16(0x141));  // narrows to 'A'
    FileInputStream s;
    EXPECT_TRUE(s.open(path));
    EXPECT_EQ(s.read(), 'n');
}

TEST(FileInputStream, PathCharacterThatNarrowsToZeroIsRefused) {
    TempDir dir;
    dir.writeFile("A", "x");
    CAppsString path = dir.path("A");
    path.append(TUint16(0x100));  // would cut the path short at "A"
    FileInputStream s;
    EXPECT_FALSE(s.open(path));
}

// --- FileOutputStream --------------------------------------------------

TEST(FileOutputStream, CreatesTheFileAndWritesBytes) {
    TempDir dir;
    FileOutputStream s;
    ASSERT_TRUE(s.open(dir.path("out"), true));
    EXPECT_TRUE(s.isOk());
    EXPECT_TRUE(s.write('a'));
    const TUint8 bc[] = {'b', 0, 'c'};
    EXPECT_TRUE(s.write(bc, 3));
    EXPECT_TRUE(s.write(bc, 0));
    EXPECT_FALSE(s.write(nullptr, 1));
    EXPECT_EQ(s.size(), 4u);
    EXPECT_EQ(s.position(), 4u);
    EXPECT_TRUE(s.close());
    EXPECT_EQ(dir.readFile("out"), std::string("ab\0c", 4));
}

TEST(FileOutputStream, AlwaysStartsWithAnEmptyFile) {
    TempDir dir;
    for (bool flag : {true, false}) {
        dir.writeFile("out", "old contents");
        FileOutputStream s;
        ASSERT_TRUE(s.open(dir.path("out"), flag));
        EXPECT_EQ(s.size(), 0u);
        s.write('n');
        s.close();
        EXPECT_EQ(dir.readFile("out"), "n");
    }
}

TEST(FileOutputStream, DirectoryPathFailsWithoutTouchingIt) {
    TempDir dir;
    dir.makeDir("d");
    dir.writeFile("d/keep", "k");
    FileOutputStream s;
    EXPECT_FALSE(s.open(dir.path("d"), true));
    EXPECT_FALSE(s.isOk());
    EXPECT_EQ(dir.readFile("d/keep"), "k");
}

TEST(FileOutputStream, MissingDirectoriesAreCreatedFirst) {
    TempDir dir;
    FileOutputStream s;
    ASSERT_TRUE(s.open(dir.path("new/deeper/out"), true));
    s.write('x');
    s.close();
    EXPECT_EQ(dir.readFile("new/deeper/out"), "x");
}

TEST(FileOutputStream, FailsWhereADirectoryCannotBeCreated) {
    TempDir dir;
    dir.writeFile("plain", "p");
    FileOutputStream s;
    EXPECT_FALSE(s.open(dir.path("plain/out"), true));
    EXPECT_FALSE(s.isOk());
    EXPECT_EQ(dir.readFile("plain"), "p");
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

TEST(FileOutputStream, EmptyPathFails) {
    FileOutputStream s;
    EXPECT_FALSE(s.open(CAppsString(), true));
}

TEST(FileOutputStream, NothingWorksBeforeOpen) {
    FileOutputStream s;
    EXPECT_FALSE(s.isOk());
    EXPECT_FALSE(s.write('a'));
    const TUint8 b = 'b';
    EXPECT_FALSE(s.write(&b, 1));
    EXPECT_EQ(s.size(), 0u);
    EXPECT_EQ(s.position(), 0u);
    EXPECT_FALSE(s.seek(0));
    EXPECT_TRUE(s.close());
}

TEST(FileOutputStream, SeeksWithinTheFileOrToItsEnd) {
    TempDir dir;
    FileOutputStream s;
    ASSERT_TRUE(s.open(dir.path("out"), true));
    const TUint8 abc[] = {'a', 'b', 'c'};
    s.write(abc, 3);
    EXPECT_TRUE(s.seek(1));
    EXPECT_TRUE(s.write('B'));
    EXPECT_TRUE(s.seek(3));
    EXPECT_TRUE(s.write('d'));
    EXPECT_FALSE(s.seek(5));
    EXPECT_EQ(s.position(), 4u);
    s.close();
    EXPECT_EQ(dir.readFile("out"), "aBcd");
}

TEST(FileOutputStream, WritesAfterCloseFail) {
    TempDir dir;
    FileOutputStream s;
    ASSERT_TRUE(s.open(dir.path("out"), true));
    EXPECT_TRUE(s.close());
    EXPECT_TRUE(s.close());
    EXPECT_FALSE(s.isOk());
    EXPECT_FALSE(s.write('a'));
}

TEST(FileOutputStream, LargeFileRoundTrip) {
    TempDir dir;
    const std::string content = pattern((1 << 20) + 13);
    FileOutputStream out;
    ASSERT_TRUE(out.open(dir.path("big"), true));
    const auto* bytes = reinterpret_cast<const TUint8*>(content.data());
    size_t done = 0;
    while (done < content.size()) {
        const size_t n = std::min<size_t>(8191, content.size() - done);
        ASSERT_TRUE(out.write(bytes + done, TUint32(n)));
        done += n;
    }
    EXPECT_EQ(out.size(), content.size());
    ASSERT_TRUE(out.close());
    EXPECT_EQ(dir.readFile("big"), content);
}
