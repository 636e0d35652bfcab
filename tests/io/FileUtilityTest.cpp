// FileUtility: separator conversion and joining, file queries on present and missing paths,
// recursive creation and removal, renames that never replace, and directory listings that
// leave out links and hidden names.
#include "io/FileInputStream.h"
#include "io/FileUtility.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/time.h>
#include <unistd.h>

#include <set>
#include <string>

using namespace FileUtility;

namespace {
std::set<std::string> nameSet(const Vec<CAppsString>& names) {
    std::set<std::string> out;
    for (const CAppsString& n : names) out.insert(n.toOsPath());
    return out;
}
}  // namespace

TEST(FileUtility, ConvertSeparatorsAndJoin) {
    EXPECT_EQ(convertSeparators(CAppsString("a\\b\\\\c/d")).toOsPath(), "a/b//c/d");
    EXPECT_TRUE(convertSeparators(CAppsString()).isEmpty());
    const char* const cases[][3] = {{"/root", "data/x.txt", "/root/data/x.txt"}, {"/root//", "x", "/root/x"},
                                    {"/", "x", "/x"}, {"", "x", "x"},
                                    {"/root", "/etc/passwd", "/root/etc/passwd"}};  // stays below the directory
    for (const auto& c : cases) EXPECT_EQ(join(CAppsString(c[0]), CAppsString(c[1])).toOsPath(), c[2]) << c[0];
}

TEST(FileUtility, QueriesOnPresentAndMissingPaths) {
    TempDir dir;
    dir.writeFile("f", "12345");
    dir.makeDir("d");
    EXPECT_TRUE(isDirectory(dir.path("d")));
    EXPECT_FALSE(isDirectory(dir.path("f")));
    EXPECT_EQ(fileSize(dir.path("f")), 5);
    for (const CAppsString& p : {dir.path("missing"), CAppsString()}) {
        EXPECT_FALSE(fileExists(p));
        EXPECT_FALSE(isDirectory(p));
        EXPECT_FALSE(directoryExists(p));
        EXPECT_EQ(fileSize(p), 0);
        FileDateTime t;
        EXPECT_FALSE(getFileDateTime(p, t));
        EXPECT_EQ(t.year, 0);
    }
}

TEST(FileUtility, FileDateTimeIsTheModificationTimeInUtc) {
    TempDir dir;
    dir.writeFile("f", "x");
    const timeval times[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06 UTC
    ASSERT_EQ(utimes(dir.os("f").c_str(), times), 0);
    FileDateTime t;
    ASSERT_TRUE(getFileDateTime(dir.path("f"), t));
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
              std::vector<int>({2001, 2, 3, 4, 5, 6}));
}

TEST(FileUtility, SameFile) {
    TempDir dir;
    dir.writeFile("a", "x");
    dir.writeFile("b", "x");
    ASSERT_EQ(link(dir.os("a").c_str(), dir.os("hard").c_str()), 0);
    EXPECT_TRUE(sameFile(dir.path("a"), dir.path("hard")));
    EXPECT_TRUE(sameFile(dir.path("a"), dir.path("./a")));
    EXPECT_FALSE(sameFile(dir.path("a"), dir.path("b")));
    EXPECT_FALSE(sameFile(dir.path("missing"), dir.path("missing")));
    EXPECT_TRUE(sameFile(CAppsString(), CAppsString()));
    EXPECT_FALSE(sameFile(dir.path("a"), CAppsString()));
    EXPECT_FALSE(sameFile(CAppsString(), dir.path("a")));
}

// The plain successes of creating, removing, renaming and listing are exercised through the
// FileSystem natives (tests/natives_files); here: what must be refused, links and edges.
TEST(FileUtility, RefusesWhatItMustNot) {
    TempDir dir;
    dir.writeFile("f", "F");
    dir.writeFile("g", "G");
    dir.makeDir("d/sub");
    dir.makeDir("taken");
    EXPECT_TRUE(createDirectory(dir.path("d/sub")));  // already there
    for (const CAppsString& p : {dir.path("f"), dir.path("f/sub"), CAppsString()}) EXPECT_FALSE(createDirectory(p));
    for (const CAppsString& p : {dir.path("f"), dir.path("missing"), CAppsString()}) EXPECT_FALSE(removeDirectory(p));
    for (const CAppsString& p : {dir.path("d"), dir.path("missing"), CAppsString()}) EXPECT_FALSE(removeFile(p));
    for (const CAppsString& p : {dir.path("missing"), dir.path("d"), CAppsString()})
        EXPECT_FALSE(renameFile(p, dir.path("x")));
    EXPECT_FALSE(renameFile(dir.path("f"), dir.path("g")));  // never replaces
    EXPECT_FALSE(renameDirectory(dir.path("d"), dir.path("taken")));
    EXPECT_FALSE(renameDirectory(dir.path("f"), dir.path("e")));
    EXPECT_FALSE(renameDirectory(dir.path("d"), CAppsString()));
    EXPECT_EQ(dir.readFile("f") + dir.readFile("g"), "FG");
    EXPECT_TRUE(isDirectory(dir.path("d/sub")));
    EXPECT_FALSE(dir.exists("x") || dir.exists("e"));
}

TEST(FileUtility, RemoveDirectoryNeverFollowsLinks) {
    TempDir dir;
    dir.makeDir("t");
    dir.makeDir("outside");
    dir.writeFile("outside/keep", "k");
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("t/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("dirlink").c_str()), 0);
    EXPECT_FALSE(removeDirectory(dir.path("dirlink")));
    EXPECT_TRUE(removeDirectory(dir.path("t")));
    EXPECT_FALSE(dir.exists("t"));
    EXPECT_EQ(dir.readFile("outside/keep"), "k");
}

TEST(FileUtility, ListingsLeaveOutLinksAndHiddenNamesConvertBackslashesAndAppend) {
    TempDir dir;
    for (const char* d : {"d/sub", "d/.hiddendir", "empty"}) dir.makeDir(d);
    for (const char* f : {"d/a", "d/.hidden", "d/sub/inner"}) dir.writeFile(f, "x");
    ASSERT_EQ(symlink(dir.os("d/a").c_str(), dir.os("d/filelink").c_str()), 0);
    ASSERT_EQ(symlink(dir.os("d/sub").c_str(), dir.os("d/dirlink").c_str()), 0);
    Vec<CAppsString> files, dirs;
    dirs.append(CAppsString("first"));
    ASSERT_TRUE(listFiles(dir.path("d"), files));
    ASSERT_TRUE(listDirectories(dir.path("d"), dirs));
    EXPECT_EQ(nameSet(files), (std::set<std::string>{"a"}));
    ASSERT_EQ(dirs.getSize(), 2);
    EXPECT_EQ(dirs[0].toOsPath(), "first");
    EXPECT_EQ(dirs[1].toOsPath(), "sub");
    CAppsString backslashed = dir.path("d");
    backslashed.append(TUint16('\\'));
    backslashed.append(CAppsString("sub"));
    files.clear();
    ASSERT_TRUE(listFiles(backslashed, files));
    EXPECT_EQ(nameSet(files), (std::set<std::string>{"inner"}));
    files.clear();
    EXPECT_TRUE(listFiles(dir.path("empty"), files));
    EXPECT_TRUE(listDirectories(dir.path("empty"), files));
    EXPECT_TRUE(files.isEmpty());
    files.append(CAppsString("keep"));
    for (const CAppsString& bad : {dir.path("d/a"), dir.path("missing"), CAppsString()})
        EXPECT_FALSE(listFiles(bad, files));
    EXPECT_FALSE(listDirectories(dir.path("missing"), files));
    EXPECT_EQ(files.getSize(), 1);
}

TEST(FileUtility, EightBitNamesOpenAgainAsListed) {
    TempDir dir;
    dir.makeDir("latin");
    dir.writeFile("latin/caf\xe9", "x");
    Vec<CAppsString> names;
    ASSERT_TRUE(listFiles(dir.path("latin"), names));
    ASSERT_EQ(names.getSize(), 1);
    EXPECT_EQ(names[0][3], 0xE9);
    CAppsString path = dir.path("latin/");
    path.append(names[0]);
    VELMAR::FileInputStream s;
    EXPECT_TRUE(s.open(path));
}
