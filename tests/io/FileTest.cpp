// CAppsFileReader and CAppsFileWriter (null-safe handles on a stream) and FileUtility (separators
// and joining, queries, refusals, links, listings that leave out links and hidden names). Only
// what the player uses is tested here.
// Appending, ranges and the plain successes of FileUtility are exercised through the file natives
// (tests/natives_files).
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileInputStream.h"
#include "io/FileUtility.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <set>

using namespace FileUtility;

namespace {
std::set<std::string> nameSet(const Vec<CAppsString>& names) {
    std::set<std::string> out;
    for (const CAppsString& n : names) out.insert(n.toOsPath());
    return out;
}
}  // namespace

TEST(CAppsFileReader, ReadsAndFailsSafelyWithoutAnOpenStream) {
    TempDir dir;
    dir.writeFile("f", "\x80zef");
    CAppsFileReader file(dir.path("f"));
    TUint8 b = 0, buf[2];
    EXPECT_TRUE(file.read(b));
    EXPECT_EQ(b, 0x80);
    EXPECT_FALSE(file.read(buf, -1));
    EXPECT_TRUE(file.read(buf, 1));
    EXPECT_EQ(buf[0], 'z');
    Bytes rest;
    EXPECT_TRUE(file.readRest(rest));
    EXPECT_TRUE(file.readRest(rest));  // at the end: the same bytes again
    EXPECT_EQ(text(rest), "ef");
    EXPECT_FALSE(file.read(b));
    EXPECT_EQ(b, 0x80);
    EXPECT_TRUE(file.read(&b, 0));  // zero bytes succeed even at the end
    file.close();
    EXPECT_EQ(file.getStream(), nullptr);
    CAppsFileReader missing(dir.path("missing"));  // has a stream even when the file does not open
    EXPECT_FALSE(missing.isOk());
    EXPECT_NE(missing.getStream(), nullptr);
    CAppsFileReader notOk(new VELMAR::FileInputStream());
    for (CAppsFileReader* r : {&file, &missing, &notOk}) {
        EXPECT_FALSE(r->read(b) || r->read(&b, 1) || r->seek(0));
        EXPECT_TRUE(r->atEnd());
    }
    EXPECT_FALSE(file.readRest(rest));
    EXPECT_EQ(text(rest), "ef");
    EXPECT_EQ(file.size() + file.position(), 0u);
}

TEST(CAppsFileWriter, WritesUntilClosedAndFailsSafelyWithoutAStream) {
    TempDir dir;
    CAppsFileWriter w(dir.path("out"), true);
    EXPECT_TRUE(w.write(TUint8('a')));
    const TUint8 bc[] = {'b', 'c'};
    EXPECT_FALSE(w.writeByteBufferToFile(bc, -1));
    EXPECT_TRUE(w.writeByteBufferToFile(bc, 0));
    EXPECT_TRUE(w.writeByteBufferToFile(bc, 2));
    EXPECT_TRUE(w.write(bytesOf("de")));
    EXPECT_FALSE(w.seek(-1));
    EXPECT_TRUE(w.seek(1));
    EXPECT_TRUE(w.write(TUint8('B')));
    EXPECT_EQ(w.size(), 5u);
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(w.close());
    dir.makeDir("d");
    CAppsFileWriter failed(dir.path("d"), true), none;
    for (CAppsFileWriter* x : {&w, &failed, &none}) {
        EXPECT_FALSE(x->isOk());
        EXPECT_FALSE(x->write(TUint8('d')) || x->write(bytesOf("a")) || x->writeByteBufferToFile(bc, 1));
    }
    EXPECT_FALSE(none.seek(0));
    EXPECT_EQ(none.size() + none.position(), 0u);
    EXPECT_TRUE(none.close());
    EXPECT_EQ(dir.readFile("out"), "aBcde");
}

TEST(FileUtility, ConvertSeparatorsAndJoin) {
    EXPECT_EQ(convertSeparators(CAppsString("a\\b\\\\c/d")).toOsPath(), "a/b//c/d");
    const char* const cases[][3] = {{"/root//", "x", "/root/x"}, {"/", "x", "/x"}, {"", "x", "x"},
                                    {"/root", "/etc/passwd", "/root/etc/passwd"}};  // stays below the directory
    for (const auto& c : cases) EXPECT_EQ(join(CAppsString(c[0]), CAppsString(c[1])).toOsPath(), c[2]) << c[0];
}

TEST(FileUtility, QueriesOnPresentAndMissingPaths) {
    TempDir dir;
    dir.writeFile("f", "x");
    dir.makeDir("d");
    EXPECT_TRUE(isDirectory(dir.path("d")) && directoryExists(dir.path("d")) && fileExists(dir.path("f")));
    EXPECT_FALSE(isDirectory(dir.path("f")));
    for (const CAppsString& p : {dir.path("missing"), CAppsString()})
        EXPECT_FALSE(fileExists(p) || isDirectory(p) || directoryExists(p));
}

TEST(FileUtility, RefusesWhatItMustNotAndNeverFollowsLinks) {
    TempDir dir;
    dir.writeFile("f", "F");
    dir.writeFile("g", "G");
    dir.makeDir("d/sub");
    dir.makeDir("taken");
    dir.makeDir("outside");
    dir.writeFile("outside/keep", "k");
    EXPECT_TRUE(createDirectory(dir.path("d/sub")));  // already there
    for (const CAppsString& p : {dir.path("f/sub"), CAppsString()}) EXPECT_FALSE(createDirectory(p));
    EXPECT_FALSE(removeDirectory(dir.path("f")) || removeDirectory(CAppsString()) || removeFile(CAppsString()));
    for (const CAppsString& p : {dir.path("d"), CAppsString()}) EXPECT_FALSE(renameFile(p, dir.path("x")));
    EXPECT_FALSE(renameFile(dir.path("f"), dir.path("g")));  // never replaces
    EXPECT_FALSE(renameDirectory(dir.path("d"), dir.path("taken")));
    EXPECT_FALSE(renameDirectory(dir.path("f"), dir.path("e")));
    EXPECT_FALSE(renameDirectory(dir.path("d"), CAppsString()));
    EXPECT_EQ(dir.readFile("f") + dir.readFile("g"), "FG");
    EXPECT_FALSE(dir.exists("x") || dir.exists("e"));
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("d/sub/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.os("outside").c_str(), dir.os("dirlink").c_str()), 0);
    EXPECT_FALSE(removeDirectory(dir.path("dirlink")));
    EXPECT_TRUE(removeDirectory(dir.path("d")));
    EXPECT_FALSE(dir.exists("d"));
    EXPECT_EQ(dir.readFile("outside/keep"), "k");
}

TEST(FileUtility, ListingsLeaveOutLinksAndHiddenNamesConvertBackslashesAndAppend) {
    TempDir dir;
    for (const char* d : {"d/sub", "d/.hiddendir", "empty"}) dir.makeDir(d);
    for (const char* f : {"d/a", "d/.hidden", "d/sub/inner\xe9"}) dir.writeFile(f, "x");
    ASSERT_EQ(symlink(dir.os("d/a").c_str(), dir.os("d/filelink").c_str()), 0);
    ASSERT_EQ(symlink(dir.os("d/sub").c_str(), dir.os("d/dirlink").c_str()), 0);
    Vec<CAppsString> files, dirs;
    dirs.append(CAppsString("first"));
    ASSERT_TRUE(listFiles(dir.path("d"), files));
    ASSERT_TRUE(listDirectories(dir.path("d"), dirs));
    EXPECT_EQ(nameSet(files), (std::set<std::string>{"a"}));
    EXPECT_EQ(nameSet(dirs), (std::set<std::string>{"first", "sub"}));
    EXPECT_EQ(dirs[0].toOsPath(), "first");
    CAppsString backslashed = dir.path("d");
    backslashed.append(TUint16('\\'));
    backslashed.append(CAppsString("sub"));
    files.clear();
    ASSERT_TRUE(listFiles(backslashed, files));
    ASSERT_EQ(files.getSize(), 1);
    EXPECT_EQ(files[0][5], 0xE9);  // eight-bit names open again as listed
    CAppsString path = dir.path("d/sub/");
    path.append(files[0]);
    EXPECT_TRUE(VELMAR::FileInputStream().open(path));
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
