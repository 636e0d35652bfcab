// Files on disk: streams, the null-safe reader and writer handles, and FileUtility. Plain reads,
// writes, seeks and appends are exercised through the file natives (tests/natives).
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "io/FileUtility.h"
#include "io/MemoryInputStream.h"
#include "io/StreamBytes.h"
#include "Bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>

namespace mcb {

using namespace VELMAR;
using namespace FileUtility;

TEST(FileInputStream, FailedOpensReopeningAndLimits) {
    Scratch dir;
    dir.makeDir("sub");
    dir.write("a", std::string("\xff" "y", 2));
    dir.write("b", "b");
    CAppsString zero = cpath(dir, "a"), narrowed = cpath(dir, "");
    zero.append(TUint16(0x100));      // narrows to 0 and would cut the path short at "a"
    narrowed.append(TUint16(0x162));  // path characters are narrowed to 8 bits: 'b'
    for (const CAppsString& path : {cpath(dir, "missing"), cpath(dir, "sub"), CAppsString(), zero}) {
        FileInputStream s;
        EXPECT_FALSE(s.open(path) || s.isOk());
        EXPECT_TRUE(s.atEnd());
        EXPECT_EQ(s.read(), InputStream::kReadFailed);
        TUint8 b;
        EXPECT_FALSE(s.read(&b, 1) || s.read(&b, 0) || s.seek(0));
        EXPECT_EQ(s.size() + s.position(), 0u);
    }
    FileInputStream s;
    ASSERT_TRUE(s.open(cpath(dir, "a")));
    EXPECT_TRUE(s.open(CAppsString()));  // an empty path changes nothing
    EXPECT_EQ(s.read(), 255);
    EXPECT_FALSE(s.read(nullptr, 1));
    TUint8 buf[2];
    EXPECT_FALSE(s.read(buf, 2));  // all or nothing
    EXPECT_TRUE(s.open(narrowed));
    EXPECT_EQ(s.read(), 'b');
    EXPECT_EQ(s.read(), InputStream::kReadFailed);
    EXPECT_FALSE(s.open(cpath(dir, "missing")));  // closes the open file first
    EXPECT_FALSE(s.isOk());
}

TEST(FileStreams, LargeFileRoundTripAcrossBufferBoundaries) {
    Scratch dir;
    std::vector<TUint8> content((1 << 20) + 37), got(content.size());
    for (size_t i = 0; i < content.size(); ++i) content[i] = TUint8(i * 7 + i / 251);
    FileOutputStream out;
    ASSERT_TRUE(out.open(cpath(dir, "big"), true));
    for (size_t done = 0, n; done < content.size(); done += n)
        ASSERT_TRUE(out.write(&content[done], TUint32(n = std::min<size_t>(8191, content.size() - done))));
    ASSERT_TRUE(out.close());
    FileInputStream s;
    ASSERT_TRUE(s.open(cpath(dir, "big")));
    size_t done = 0;
    for (; content.size() - done >= 4099; done += 4099) ASSERT_TRUE(s.read(&got[done], 4099));
    while (!s.atEnd()) got.at(done++) = TUint8(s.read());
    EXPECT_TRUE(got == content);
    ASSERT_TRUE(s.seek(TUint32(content.size() - 5000)));
    ASSERT_TRUE(s.read(got.data(), 4099));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 4099, content.end() - 5000));
}

TEST(FileOutputStream, StartsEmptyWithEitherFlagAndFailsWithoutTouchingWhatIsThere) {
    Scratch dir;
    for (bool flag : {true, false}) {
        dir.write("out", "old contents");
        FileOutputStream s;
        ASSERT_TRUE(s.open(cpath(dir, "out"), flag));
        EXPECT_EQ(s.size(), 0u);
        EXPECT_FALSE(s.write(nullptr, 1));
        EXPECT_TRUE(s.write('a'));
        EXPECT_TRUE(s.close());
        EXPECT_TRUE(s.close());
        EXPECT_FALSE(s.write('e'));
        EXPECT_EQ(dir.read("out"), "a");
    }
    dir.makeDir("ro");
    chmod(dir.path("ro").c_str(), 0555);
    std::vector<CAppsString> paths = {cpath(dir, "out/x"), CAppsString()};
    if (geteuid() != 0) paths.insert(paths.end(), {cpath(dir, "ro/out"), cpath(dir, "ro/sub/out")});  // root ignores modes
    for (const CAppsString& path : paths) {
        FileOutputStream s;
        EXPECT_FALSE(s.open(path, true) || s.isOk()) << path.toOsPath();
        EXPECT_FALSE(s.write('a') || s.seek(0));
        EXPECT_EQ(s.size() + s.position(), 0u);
        EXPECT_TRUE(s.close());
    }
    chmod(dir.path("ro").c_str(), 0755);
    EXPECT_EQ(dir.read("out"), "a");
}

TEST(MemoryInputStream, NoWrapAroundAndReadToEndAppends) {
    const TUint8 abc[] = {'a', 'b', 'c'};
    MemoryInputStream s(abc, 3);
    TUint8 two[2] = {};
    s.seek(2);
    EXPECT_FALSE(s.read(two, 0xFFFFFFFFu));
    EXPECT_EQ(s.position(), 3u);
    s.seek(1);
    std::vector<TUint8> out = {'>'};
    ASSERT_TRUE(readToEnd(s, out));
    EXPECT_EQ(text(out), ">bc");
    Bytes more = bytesOf("x");
    MemoryInputStream notOk;
    EXPECT_FALSE(readToEnd(notOk, more));
    EXPECT_EQ(text(more), "x");
}

TEST(FileHandles, ReadAndWriteThenFailSafelyWithoutAnOpenStream) {
    Scratch dir;
    dir.write("f", "zef");
    CAppsFileReader file(cpath(dir, "f"));
    TUint8 b = 0, buf[2];
    EXPECT_FALSE(file.read(buf, -1));
    EXPECT_TRUE(file.read(b));
    Bytes rest;
    EXPECT_TRUE(file.readRest(rest));
    EXPECT_TRUE(file.readRest(rest));  // at the end: the same bytes again
    EXPECT_EQ(text(rest), "ef");
    EXPECT_FALSE(file.read(b));
    EXPECT_EQ(b, 'z');
    EXPECT_TRUE(file.read(&b, 0));  // zero bytes succeed even at the end
    file.close();
    EXPECT_EQ(file.getStream(), nullptr);
    CAppsFileReader missing(cpath(dir, "missing"));  // has a stream even when the file does not open
    EXPECT_NE(missing.getStream(), nullptr);
    CAppsFileReader notOk(new FileInputStream());
    for (CAppsFileReader* r : {&file, &missing, &notOk}) {
        EXPECT_FALSE(r->isOk() || r->read(b) || r->read(&b, 1) || r->seek(0));
        EXPECT_TRUE(r->atEnd());
    }
    EXPECT_FALSE(file.readRest(rest));
    EXPECT_EQ(text(rest), "ef");
    EXPECT_EQ(file.size() + file.position(), 0u);

    CAppsFileWriter w(cpath(dir, "out"), true);
    EXPECT_FALSE(w.writeByteBufferToFile(buf, -1));
    EXPECT_TRUE(w.write(bytesOf("abc")));
    EXPECT_FALSE(w.seek(-1));
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(w.close());
    CAppsFileWriter failed(cpath(dir, "f/x"), true), none;
    for (CAppsFileWriter* x : {&w, &failed, &none})
        EXPECT_FALSE(x->isOk() || x->write(TUint8('d')) || x->write(bytesOf("a")) || x->writeByteBufferToFile(buf, 1));
    EXPECT_FALSE(none.seek(0));
    EXPECT_EQ(none.size() + none.position(), 0u);
    EXPECT_TRUE(none.close());
    EXPECT_EQ(dir.read("out"), "abc");
}

TEST(FileUtility, ConvertSeparatorsJoinAndQueries) {
    EXPECT_EQ(convertSeparators(CAppsString("a\\b\\\\c/d")).toOsPath(), "a/b//c/d");
    const char* const cases[][3] = {{"/root//", "x", "/root/x"}, {"/", "x", "/x"}, {"", "x", "x"},
                                    {"/root", "/etc/passwd", "/root/etc/passwd"}};  // stays below the directory
    for (const auto& c : cases) EXPECT_EQ(join(CAppsString(c[0]), CAppsString(c[1])).toOsPath(), c[2]) << c[0];
    Scratch dir;
    dir.write("f", "x");
    EXPECT_FALSE(isDirectory(cpath(dir, "f")));
    for (const CAppsString& p : {cpath(dir, "missing"), CAppsString()})
        EXPECT_FALSE(fileExists(p) || isDirectory(p) || directoryExists(p));
}

TEST(FileUtility, RefusesWhatItMustNotAndNeverFollowsLinks) {
    Scratch dir;
    for (const char* d : {"d/sub", "taken", "outside"}) dir.makeDir(d);
    for (const char* f : {"f", "g", "outside/keep"}) dir.write(f, f);
    EXPECT_TRUE(createDirectory(cpath(dir, "d/sub")));  // already there
    for (const CAppsString& p : {cpath(dir, "f/sub"), CAppsString()}) EXPECT_FALSE(createDirectory(p));
    EXPECT_FALSE(removeDirectory(cpath(dir, "f")) || removeDirectory(CAppsString()) || removeFile(CAppsString()));
    for (const CAppsString& p : {cpath(dir, "d"), CAppsString()}) EXPECT_FALSE(renameFile(p, cpath(dir, "x")));
    EXPECT_FALSE(renameFile(cpath(dir, "f"), cpath(dir, "g")));  // never replaces
    EXPECT_FALSE(renameDirectory(cpath(dir, "d"), cpath(dir, "taken")));
    EXPECT_FALSE(renameDirectory(cpath(dir, "f"), cpath(dir, "e")));
    EXPECT_FALSE(renameDirectory(cpath(dir, "d"), CAppsString()));
    EXPECT_EQ(dir.read("f") + dir.read("g"), "fg");
    EXPECT_FALSE(std::filesystem::exists(dir.path("x")) || std::filesystem::exists(dir.path("e")));
    ASSERT_EQ(symlink(dir.path("outside").c_str(), dir.path("d/sub/link").c_str()), 0);
    ASSERT_EQ(symlink(dir.path("outside").c_str(), dir.path("dirlink").c_str()), 0);
    EXPECT_FALSE(removeDirectory(cpath(dir, "dirlink")));
    EXPECT_TRUE(removeDirectory(cpath(dir, "d")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("d")));
    EXPECT_EQ(dir.read("outside/keep"), "outside/keep");
}

TEST(FileUtility, ListingsLeaveOutLinksConvertBackslashesAndAppend) {
    Scratch dir;
    for (const char* d : {"d/sub", "d/.hiddendir", "empty"}) dir.makeDir(d);
    for (const char* f : {"d/a", "d/.hidden", "d/sub/inner\xe9"}) dir.write(f, "x");
    ASSERT_EQ(symlink(dir.path("d/a").c_str(), dir.path("d/filelink").c_str()), 0);
    ASSERT_EQ(symlink(dir.path("d/sub").c_str(), dir.path("d/dirlink").c_str()), 0);
    Vec<CAppsString> files, dirs;
    dirs.append(CAppsString("first"));
    ASSERT_TRUE(listFiles(cpath(dir, "d"), files) && listDirectories(cpath(dir, "d"), dirs));
    ASSERT_EQ(files.getSize(), 1);
    EXPECT_EQ(files[0].toOsPath(), "a");
    std::set<std::string> names;
    for (const CAppsString& n : dirs) names.insert(n.toOsPath());
    EXPECT_EQ(names, (std::set<std::string>{"first", "sub"}));
    EXPECT_EQ(dirs[0].toOsPath(), "first");
    CAppsString backslashed = cpath(dir, "d");
    backslashed.append(TUint16('\\'));
    backslashed.append(CAppsString("sub"));
    files.clear();
    ASSERT_TRUE(listFiles(backslashed, files));
    ASSERT_EQ(files.getSize(), 1);
    EXPECT_EQ(files[0][5], 0xE9);  // eight-bit names open again as listed
    CAppsString path = cpath(dir, "d/sub/");
    path.append(files[0]);
    EXPECT_TRUE(FileInputStream().open(path));
    files.clear();
    EXPECT_TRUE(listFiles(cpath(dir, "empty"), files) && listDirectories(cpath(dir, "empty"), files));
    EXPECT_TRUE(files.isEmpty());
    files.append(CAppsString("keep"));
    for (const CAppsString& bad : {cpath(dir, "d/a"), cpath(dir, "missing"), CAppsString()})
        EXPECT_FALSE(listFiles(bad, files));
    EXPECT_FALSE(listDirectories(cpath(dir, "missing"), files));
    EXPECT_EQ(files.getSize(), 1);
}

}  // namespace mcb
