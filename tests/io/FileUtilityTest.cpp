// FileUtility: separator conversion and joining, file queries on present and
// missing paths, recursive creation and removal, renames that never replace,
// and directory listings that leave out links and hidden names.
#include "io/FileInputStream.h"
#include "io/FileUtility.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>

namespace {
std::set<std::string> nameSet(const Vec<CAppsString>& names) {
    std::set<std::string> out;
    for (const CAppsString& n : names) out.insert(n.toOsPath());
    return out;
}

std::string os(const CAppsString& s) { return s.toOsPath(); }
}  // namespace

// --- paths ------------------------------------------------------------------

TEST(FileUtilityPaths, ConvertSeparatorsTurnsBackslashesIntoSlashes) {
    EXPECT_EQ(os(FileUtility::convertSeparators(CAppsString("a\\b\\\\c/d"))), "a/b//c/d");
    EXPECT_TRUE(FileUtility::convertSeparators(CAppsString()).isEmpty());
}

TEST(FileUtilityPaths, JoinPutsOneSeparatorBetween) {
    using FileUtility::join;
    EXPECT_EQ(os(join(CAppsString("/root"), CAppsString("data/x.txt"))), "/root/data/x.txt");
    EXPECT_EQ(os(join(CAppsString("/root//"), CAppsString("x"))), "/root/x");
    EXPECT_EQ(os(join(CAppsString("/"), CAppsString("x"))), "/x");
    EXPECT_EQ(os(join(CAppsString(""), CAppsString("x"))), "x");
}

TEST(FileUtilityPaths, JoinKeepsAnAbsolutePathBelowTheDirectory) {
    EXPECT_EQ(os(FileUtility::join(CAppsString("/root"), CAppsString("/etc/passwd"))),
              "/root/etc/passwd");
}

// --- queries ------------------------------------------------------------------

TEST(FileUtilityQueries, FileAndDirectoryTests) {
    TempDir dir;
    dir.writeFile("f", "12345");
    dir.makeDir("d");
    EXPECT_TRUE(FileUtility::fileExists(dir.path("f")));
    EXPECT_FALSE(FileUtility::fileExists(dir.path("d")));
    EXPECT_TRUE(FileUtility::isDirectory(dir.path("d")));
    EXPECT_TRUE(FileUtility::directoryExists(dir.path("d")));
    EXPECT_FALSE(FileUtility::isDirectory(dir.path("f")));
    EXPECT_EQ(FileUtility::fileSize(dir.path("f")), 5);
}

TEST(FileUtilityQueries, MissingAndEmptyPathsAnswerNo) {
    TempDir dir;
    for (const CAppsString& p : {dir.path("missing"), CAppsString()}) {
        EXPECT_FALSE(FileUtility::fileExists(p));
        EXPECT_FALSE(FileUtility::isDirectory(p));
        EXPECT_FALSE(FileUtility::directoryExists(p));
        EXPECT_EQ(FileUtility::fileSize(p), 0);
        FileUtility::FileDateTime t;
        EXPECT_FALSE(FileUtility::getFileDateTime(p, t));
        EXPECT_EQ(t.year, 0);
    }
}

TEST(FileUtilityQueries, FileDateTimeIsTheModificationTimeInUtc) {
    TempDir dir;
    dir.writeFile("f", "x");
    const timeval times[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06 UTC
    ASSERT_EQ(utimes(dir.os("f").c_str(), times), 0);
    FileUtility::FileDateTime t;
    ASSERT_TRUE(FileUtility::getFileDateTime(dir.path("f"), t));
    EXPECT_EQ(t.year, 2001);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 3);
    EXPECT_EQ(t.hour, 4);
    EXPECT_EQ(t.minute, 5);
    EXPECT_EQ(t.second, 6);
}

TEST(FileUtilityQueries, SameFile) {
    TempDir dir;
    dir.writeFile("a", "x");
    dir.writeFile("b", "x");
    ASSERT_EQ(link(dir.os("a").c_str(), dir.os("hard").c_str()), 0);
    EXPECT_TRUE(FileUtility::sameFile(dir.path("a"), dir.path("a")));
    EXPECT_TRUE(FileUtility::sameFile(dir.path("a"), dir.path("hard")));
    EXPECT_TRUE(FileUtility::sameFile(dir.path("a"), dir.path("./a")));
    EXPECT_FALSE(FileUtility::sameFile(dir.path("a"), dir.path("b")));
    EXPECT_FALSE(FileUtility::sameFile(dir.path("missing"), dir.path("missing")));
    EXPECT_TRUE(FileUtility::sameFile(CAppsString(), CAppsString()));
    EXPECT_FALSE(FileUtility::sameFile(dir.path("a"), CAppsString()));
    EXPECT_FALSE(FileUtility::sameFile(CAppsString(), dir.path("a")));
}

// --- creation and removal -----------------------------------------------------

TEST(FileUtilityChanges, CreateDirectoryMakesMissingParents) {
    TempDir dir;
    EXPECT_TRUE(FileUtility::createDirectory(dir.path("a/b/c")));
    EXPECT_TRUE(FileUtility::isDirectory(dir.path("a/b/c")));
    EXPECT_TRUE(FileUtility::createDirectory(dir.path("a/b")));
    dir.writeFile("f", "x");
    EXPECT_FALSE(FileUtility::createDirectory(dir.path("f")));
    EXPECT_FALSE(FileUtility::createDirectory(dir.path("f/sub")));
    EXPECT_FALSE(FileUtility::createDirectory(CAppsString()));
}

TEST(FileUtilityChanges, RemoveDirectoryTakesEverythingInside) {
    TempDir dir;
    dir.makeDir("t/sub/deeper");
    dir.makeDir("t/.hiddendir");
    dir.writeFile("t/f", "x");
    dir.writeFile("t/.hidden", "x");
    dir.writeFile("t/sub/g", "x");
    dir.writeFile("t/sub/deeper/h", "x");
    EXPECT_TRUE(FileUtility::removeDirectory(dir.path("t")));
    EXPECT_FALSE(dir.exists("t"));
}

TEST(FileUtilityChanges, RemoveDirectoryNeverFollowsLinks) {
    TempDir dir;
    dir.makeDir("outside");
    dir.writeFile("outside/keep", "k");
    dir.makeDir("t");
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("t/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("dirlink").c_str()), 0);
    EXPECT_FALSE(FileUtility::removeDirectory(dir.path("dirlink")));
    EXPECT_TRUE(FileUtility::removeDirectory(dir.path("t")));
    EXPECT_FALSE(dir.exists("t"));
    EXPECT_EQ(dir.readFile("outside/keep"), "k");
}

TEST(FileUtilityChanges, RemoveDirectoryNeedsADirectory) {
    TempDir dir;
    dir.writeFile("f", "x");
    EXPECT_FALSE(FileUtility::removeDirectory(dir.path("f")));
    EXPECT_TRUE(dir.exists("f"));
    EXPECT_FALSE(FileUtility::removeDirectory(dir.path("missing")));
    EXPECT_FALSE(FileUtility::removeDirectory(CAppsString()));
}

TEST(FileUtilityChanges, RemoveFile) {
    TempDir dir;
    dir.writeFile("f", "x");
    dir.makeDir("d");
    EXPECT_TRUE(FileUtility::removeFile(dir.path("f")));
    EXPECT_FALSE(dir.exists("f"));
    EXPECT_FALSE(FileUtility::removeFile(dir.path("f")));
    EXPECT_FALSE(FileUtility::removeFile(dir.path("d")));
    EXPECT_TRUE(dir.exists("d"));
    EXPECT_FALSE(FileUtility::removeFile(CAppsString()));
}

// --- renames ------------------------------------------------------------------

TEST(FileUtilityRenames, RenameFileCreatesTheTargetDirectory) {
    TempDir dir;
    dir.writeFile("f", "content");
    EXPECT_TRUE(FileUtility::renameFile(dir.path("f"), dir.path("new/dir/g")));
    EXPECT_FALSE(dir.exists("f"));
    EXPECT_EQ(dir.readFile("new/dir/g"), "content");
}

TEST(FileUtilityRenames, RenameFileNeverReplaces) {
    TempDir dir;
    dir.writeFile("a", "A");
    dir.writeFile("b", "B");
    EXPECT_FALSE(FileUtility::renameFile(dir.path("a"), dir.path("b")));
    EXPECT_EQ(dir.readFile("a"), "A");
    EXPECT_EQ(dir.readFile("b"), "B");
}

TEST(FileUtilityRenames, RenameFileNeedsAFile) {
    TempDir dir;
    dir.makeDir("d");
    EXPECT_FALSE(FileUtility::renameFile(dir.path("missing"), dir.path("x")));
    EXPECT_FALSE(FileUtility::renameFile(dir.path("d"), dir.path("x")));
    EXPECT_FALSE(FileUtility::renameFile(CAppsString(), dir.path("x")));
    EXPECT_FALSE(dir.exists("x"));
}

TEST(FileUtilityRenames, RenameDirectory) {
    TempDir dir;
    dir.makeDir("d");
    dir.writeFile("d/f", "x");
    dir.makeDir("taken");
    dir.writeFile("file", "x");
    EXPECT_FALSE(FileUtility::renameDirectory(dir.path("d"), dir.path("taken")));
    EXPECT_FALSE(FileUtility::renameDirectory(dir.path("file"), dir.path("e")));
    EXPECT_FALSE(FileUtility::renameDirectory(dir.path("d"), CAppsString()));
    EXPECT_TRUE(FileUtility::renameDirectory(dir.path("d"), dir.path("e")));
    EXPECT_EQ(dir.readFile("e/f"), "x");
    EXPECT_FALSE(dir.exists("d"));
}

// --- listings -------------------------------------------------------------------

class FileUtilityListing : public ::testing::Test {
protected:
    void SetUp() override {
        dir.makeDir("d");
        dir.writeFile("d/a", "x");
        dir.makeDir("d/sub");
        dir.writeFile("d/b", "x");
        dir.writeFile("d/.hidden", "x");
        dir.makeDir("d/.hiddendir");
        ASSERT_EQ(symlink(dir.os("d/a").c_str(), dir.os("d/filelink").c_str()), 0);
        ASSERT_EQ(symlink(dir.os("d/sub").c_str(), dir.os("d/dirlink").c_str()), 0);
    }
    TempDir dir;
};

TEST_F(FileUtilityListing, ListsPlainFilesOnly) {
    Vec<CAppsString> names;
    ASSERT_TRUE(FileUtility::listFiles(dir.path("d"), names));
    EXPECT_EQ(nameSet(names), (std::set<std::string>{"a", "b"}));
}

TEST_F(FileUtilityListing, ListsSubDirectoriesOnly) {
    Vec<CAppsString> names;
    ASSERT_TRUE(FileUtility::listDirectories(dir.path("d"), names));
    EXPECT_EQ(nameSet(names), (std::set<std::string>{"sub"}));
}

TEST_F(FileUtilityListing, AppendsToWhatIsThere) {
    Vec<CAppsString> names;
    names.append(CAppsString("first"));
    ASSERT_TRUE(FileUtility::listDirectories(dir.path("d"), names));
    ASSERT_EQ(names.getSize(), 2);
    EXPECT_EQ(os(names[0]), "first");
}

TEST_F(FileUtilityListing, BackslashesAreConvertedFirst) {
    CAppsString path = dir.path("");
    path.append(TUint16('d'));
    path.append(TUint16('\\'));
    path.append(TUint16('s'));
    path.append(TUint16('u'));
    path.append(TUint16('b'));
    dir.writeFile("d/sub/inner", "x");
    Vec<CAppsString> names;
    ASSERT_TRUE(FileUtility::listFiles(path, names));
    EXPECT_EQ(nameSet(names), (std::set<std::string>{"inner"}));
}

TEST_F(FileUtilityListing, FailsUnlessThePathIsADirectory) {
    Vec<CAppsString> names;
    names.append(CAppsString("keep"));
    EXPECT_FALSE(FileUtility::listFiles(dir.path("d/a"), names));
    EXPECT_FALSE(FileUtility::listFiles(dir.path("missing"), names));
    EXPECT_FALSE(FileUtility::listDirectories(dir.path("missing"), names));
    EXPECT_FALSE(FileUtility::listFiles(CAppsString(), names));
    ASSERT_EQ(names.getSize(), 1);
}

TEST_F(FileUtilityListing, EmptyDirectoryListsNothing) {
    dir.makeDir("empty");
    Vec<CAppsString> names;
    EXPECT_TRUE(FileUtility::listFiles(dir.path("empty"), names));
    EXPECT_TRUE(FileUtility::listDirectories(dir.path("empty"), names));
    EXPECT_TRUE(names.isEmpty());
}

TEST_F(FileUtilityListing, EightBitNamesOpenAgainAsListed) {
    dir.makeDir("latin");
    dir.writeFile("latin/caf\xe9", "x");
    Vec<CAppsString> names;
    ASSERT_TRUE(FileUtility::listFiles(dir.path("latin"), names));
    ASSERT_EQ(names.getSize(), 1);
    EXPECT_EQ(names[0][3], 0xE9);
    CAppsString path = dir.path("latin/");
    path.append(names[0]);
    VELMAR::FileInputStream s;
    EXPECT_TRUE(s.open(path));
}
