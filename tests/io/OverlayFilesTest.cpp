// The data directory over an application's own folder: an application whose
// folder is read-only writes, reads back, lists, renames and deletes through
// the data directory; its folder never changes; the path rule and the
// containment hold in both folders; what it deleted stays deleted next run.
#include "Bytes.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/OverlayFiles.h"

#include <QString>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mcb {

namespace {
namespace fs = std::filesystem;

std::string readAll(OverlayFiles& f, const char* path) {
    auto r = f.openForReading(OString(path));
    Bytes bytes;
    if (!r || !r->readRest(bytes)) return "<none>";
    return text(bytes);
}

bool writeAll(OverlayFiles& f, const char* path, const std::string& bytes, bool truncate = true) {
    auto w = f.openForWriting(OString(path), truncate);
    return w && w->writeByteBufferToFile(reinterpret_cast<const TUint8*>(bytes.data()), int(bytes.size())) && w->close();
}

std::vector<std::string> names(const Vec<OString>& v) {
    std::vector<std::string> out;
    for (TInt32 i = 0; i < v.getSize(); ++i) out.push_back(v[i].toQString().toStdString());
    std::sort(out.begin(), out.end());
    return out;
}

struct Folders {
    Scratch scratch;
    std::string app = scratch.path("app"), data = scratch.path("data");
    Folders() {
        fs::create_directories(app + "/levels");
        fs::create_directories(app + "/sub");
        scratch.write("app/readme.txt", "R");
        scratch.write("app/levels/one.txt", "1");
        scratch.write("app/sub/a.txt", "a");
        scratch.write("outside.txt", "o");
        for (const char* d : {"app/levels", "app/sub", "app"}) chmod(scratch.path(d).c_str(), 0555);
    }
    ~Folders() {
        for (const char* d : {"app", "app/levels", "app/sub"}) chmod(scratch.path(d).c_str(), 0755);
    }
    std::unique_ptr<OverlayFiles> open() {
        auto f = std::make_unique<OverlayFiles>(app);
        std::string error;
        EXPECT_TRUE(f->setDataDirectory(data, error)) << error;
        return f;
    }
};
}  // namespace

TEST(OverlayFiles, AReadOnlyApplicationSavesThroughItsDataDirectory) {
    Folders dirs;
    const auto before = snapshot(dirs.app);
    {
        auto opened = dirs.open();
        OverlayFiles& f = *opened;
        EXPECT_EQ(readAll(f, "readme.txt"), "R");  // from the application's folder
        EXPECT_TRUE(writeAll(f, "save.dat", "S"));
        EXPECT_EQ(readAll(f, "save.dat"), "S");
        EXPECT_TRUE(writeAll(f, "readme.txt", "x", false));  // continued: the old contents come along
        EXPECT_EQ(readAll(f, "readme.txt"), "Rx");
        EXPECT_TRUE(f.fileExists(OString("levels/one.txt")));

        Vec<OString> files, dirsListed;
        ASSERT_TRUE(f.listDirectory(OString("."), files, dirsListed));
        EXPECT_EQ(names(files), (std::vector<std::string>{"readme.txt", "save.dat"}));  // once each, the list hidden
        EXPECT_EQ(names(dirsListed), (std::vector<std::string>{"levels", "sub"}));

        EXPECT_TRUE(f.renameFile(OString("save.dat"), OString("slots/1.dat")));
        EXPECT_EQ(readAll(f, "slots/1.dat"), "S");
        EXPECT_FALSE(f.fileExists(OString("save.dat")));
        EXPECT_TRUE(f.renameFile(OString("levels/one.txt"), OString("mine.txt")));  // a file of the folder: copied
        EXPECT_EQ(readAll(f, "mine.txt"), "1");
        EXPECT_FALSE(f.fileExists(OString("levels/one.txt")));
        EXPECT_FALSE(f.renameFile(OString("mine.txt"), OString("readme.txt")));  // never replaces
        EXPECT_FALSE(f.renameDirectory(OString("levels"), OString("old")));       // a folder of the application's

        EXPECT_TRUE(f.deleteFile(OString("readme.txt")));  // both copies gone from view
        EXPECT_FALSE(f.fileExists(OString("readme.txt")));
        EXPECT_EQ(readAll(f, "readme.txt"), "<none>");
        EXPECT_FALSE(f.deleteFile(OString("readme.txt")));
        EXPECT_TRUE(f.removeDirectory(OString("sub")));
        EXPECT_FALSE(f.directoryExists(OString("sub")));
        EXPECT_FALSE(f.fileExists(OString("sub/a.txt")));
        EXPECT_TRUE(f.createDirectory(OString("sub")));  // made again, empty, in the data directory
        files.clear(), dirsListed.clear();
        ASSERT_TRUE(f.listDirectory(OString("sub"), files, dirsListed));
        EXPECT_EQ(files.getSize() + dirsListed.getSize(), 0);
        EXPECT_TRUE(f.createDirectory(OString("d/e")));
        EXPECT_TRUE(f.renameDirectory(OString("d"), OString("d2")));
        EXPECT_TRUE(f.directoryExists(OString("d2/e")));
    }
    EXPECT_EQ(snapshot(dirs.app), before);
    auto opened = dirs.open();  // a new run: what was deleted stays deleted
    OverlayFiles& again = *opened;
    EXPECT_FALSE(again.fileExists(OString("readme.txt")));
    EXPECT_FALSE(again.directoryExists(OString("sub/x")));
    EXPECT_EQ(readAll(again, "mine.txt"), "1");
}

TEST(OverlayFiles, ForbiddenPathsFailInBothFoldersAndTouchNothing) {
    Folders dirs;
    auto opened = dirs.open();
    OverlayFiles& f = *opened;
    fs::create_symlink(dirs.scratch.path("outside.txt"), dirs.data + "/link.txt");
    fs::create_symlink(dirs.scratch.path(""), dirs.data + "/out");
    const auto before = snapshot(dirs.scratch.path(""));
    for (const char* path : {"../outside.txt", "levels/../../outside.txt", "a:b", "x|y", "", "link.txt", "out/outside.txt",
                             ".mcbplayer-hidden", ".mcbplayer-hidden/x"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(f.openForReading(OString(path)), nullptr);
        EXPECT_EQ(f.openForWriting(OString(path), false), nullptr);
        EXPECT_FALSE(f.deleteFile(OString(path)));
        EXPECT_FALSE(f.renameFile(OString(path), OString("x.txt")));
        EXPECT_FALSE(f.renameFile(OString("levels/one.txt"), OString(path)));
        EXPECT_FALSE(f.createDirectory(OString(path)));
    }
    EXPECT_EQ(snapshot(dirs.scratch.path("")), before);
}

// "--data-dir" naming the application's folder itself: one folder, written directly.
TEST(OverlayFiles, ADataDirectoryThatIsTheFolderItselfWritesThere) {
    Scratch dir;
    OverlayFiles f(dir.path(""));
    std::string error;
    ASSERT_TRUE(f.setDataDirectory(dir.path("") + "/.", error)) << error;
    EXPECT_EQ(f.dataDirectory(), "");
    EXPECT_TRUE(writeAll(f, "x.txt", "x"));
    EXPECT_EQ(dir.read("x.txt"), "x");
    EXPECT_FALSE(f.setDataDirectory(dir.path("x.txt/sub"), error));  // a file in the way
}

}  // namespace mcb
