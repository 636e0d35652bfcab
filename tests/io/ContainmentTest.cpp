// The application's files stay below its root: the path rule on the bytes that
// reach the system, links planted in and out of the root under both resolvers
// (openat2 and the walk), the root never removed or renamed, listed names that
// open again, pipes that never block, and a file continued that cannot be read.
#include "io/AppFiles.h"
#include "io/AppPath.h"
#include "io/Beneath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

#include "Bytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>

namespace mcb {

namespace fs = std::filesystem;

namespace {
OString u8(const std::string& s) { return OString::fromUtf8(reinterpret_cast<const TUint8*>(s.data()), TInt32(s.size())); }

// base/outside/secret.txt beside base/root, which holds index.mcb, data/f.txt
// and links in and out.
class Sandbox {
public:
    Sandbox() {
        scratch_.write("outside/secret.txt", "secret");
        scratch_.write("root/index.mcb", "image");
        scratch_.write("root/data/f.txt", "f");
        const std::pair<const char*, std::string> links[] = {
            {"out_abs", (base_ / "outside/secret.txt").string()}, {"out_rel", "../outside/secret.txt"},
            {"out_dir", "../outside"}, {"slash", "/"}, {"dangling_out", "../outside/none.txt"},
            {"in_file", "data/f.txt"}, {"in_dir", "data"}, {"dangling_in", "data/new.txt"},
            {"data/up", ".."}, {"data/upup", "../.."}, {"loop", "loop"}, {"here", "."}};
        for (const auto& [name, target] : links) fs::create_symlink(target, root() / name);
    }
    fs::path root() const { return base_ / "root"; }
    // `path` with "$BASE" standing for the sandbox's own absolute path, less its leading "/".
    std::string expand(std::string path) const {
        if (const size_t at = path.find("$BASE"); at != std::string::npos) path.replace(at, 5, base_.string().substr(1));
        return path;
    }
    // Every entry below base that is not below the root, with its contents.
    std::map<std::string, std::string> outside() const { return snapshot(base_, root()); }
    std::map<std::string, std::string> inside() const { return snapshot(root()); }

private:
    Scratch scratch_;
    fs::path base_ = scratch_.root();
};

// One application operation by name: "read", "write", "append", "exists", "isdir",
// "delete", "rename", "list", "mkdir", "rmdir", "renamedir"; true when it succeeded.
bool perform(AppFiles& files, const std::string& op, const char* a, const char* b = "x") {
    const OString p = u8(a), q = u8(b);
    Vec<OString> names, directories;
    const std::map<std::string, std::function<bool()>> ops = {
        {"read", [&] { return files.openForReading(p) != nullptr; }},
        {"write", [&] { return files.openForWriting(p, true) != nullptr; }},
        {"append", [&] { return files.openForWriting(p, false) != nullptr; }},
        {"exists", [&] { return files.fileExists(p); }},
        {"isdir", [&] { return files.directoryExists(p); }},
        {"delete", [&] { return files.deleteFile(p); }},
        {"rename", [&] { return files.renameFile(p, q); }},
        {"list", [&] { return files.listDirectory(p, names, directories); }},
        {"mkdir", [&] { return files.createDirectory(p); }},
        {"rmdir", [&] { return files.removeDirectory(p); }},
        {"renamedir", [&] { return files.renameDirectory(p, q); }},
    };
    return ops.at(op)();
}

class BothResolvers : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { beneath::useWalk(GetParam()); }
    void TearDown() override { beneath::useWalk(false); }
};
INSTANTIATE_TEST_SUITE_P(, BothResolvers, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Walk" : "Openat2"; });
}  // namespace

TEST(AppPathRule, BytesOfAcceptedPathsAndRefusals) {
    const std::pair<const char*, const char*> accepted[] = {
        {"data/x.txt", "data/x.txt"}, {"data//x.txt", "data/x.txt"}, {"data\\\\x.txt", "data/x.txt"},
        {"/abs", "abs"}, {"./a/./b/.", "a/b"}, {".hidden", ".hidden"}, {".", ""}, {"/", ""}, {".\\", ""},
        // Characters whose low byte would be ".", "/", ":" or "|" are names of their own, in UTF-8.
        {"\u012e\u012e/x", "\xC4\xAE\xC4\xAE/x"}, {"\uff2e\uff2e", "\xEF\xBC\xAE\xEF\xBC\xAE"},
        {"a\u013ab\u017cc\u012fd", "a\xC4\xBA" "b\xC5\xBC" "c\xC4\xAF" "d"}, {"\u00e9\u20ac\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
    };
    for (auto [in, bytes] : accepted) {
        std::string out = "unset";
        EXPECT_TRUE(host::appPathBytes(u8(in), out)) << in;
        EXPECT_EQ(out, bytes) << in;
    }
    for (const char* refused : {"", "..", "a/..", "../x", "a..b", "...", "a:b", "a|b", "x\\..\\y"})
        EXPECT_FALSE(host::isValidAppPath(u8(refused))) << refused;
    // Units that UTF-8 cannot carry are refused, not replaced: unpaired surrogates and NUL.
    const std::vector<std::vector<TUint16>> unrepresentable = {{'a', 0xD800}, {0xDC00, 'b'}, {0xDE00, 0xD800}, {'a', 0, 'b'}};
    for (const auto& units : unrepresentable)
        EXPECT_FALSE(host::isValidAppPath(OString(units.data(), TInt32(units.size())))) << units[0];
    // Lengths: up to what the system could take, and never a huge path converted first.
    EXPECT_TRUE(host::isValidAppPath(u8(std::string(host::kMaxAppPathUnits, 'a'))));
    EXPECT_FALSE(host::isValidAppPath(u8(std::string(host::kMaxAppPathUnits + 1, 'a'))));
}

// Each row runs on a fresh sandbox; nothing outside the root may change, and what the
// inside rows do is checked where it matters.
TEST_P(BothResolvers, LinksInAndOutOfTheRoot) {
    const struct {
        const char *op, *a, *b;
        bool succeeds;
    } rows[] = {
        {"read", "out_abs", "", false}, {"read", "out_rel", "", false}, {"read", "out_dir/secret.txt", "", false},
        {"read", "slash/$BASE/outside/secret.txt", "", false}, {"read", "data/upup/outside/secret.txt", "", false},
        {"read", "loop", "", false}, {"read", "dangling_in", "", false}, {"read", "here/here/in_dir/up/out_rel", "", false},
        {"read", "in_file", "", true}, {"read", "in_dir/f.txt", "", true}, {"read", "data/up/in_dir/up/data/f.txt", "", true},
        {"write", "out_abs", "", false}, {"write", "out_rel", "", false}, {"write", "out_dir/new.txt", "", false},
        {"write", "slash/$BASE/outside/new.txt", "", false}, {"write", "dangling_out", "", false},
        {"append", "out_rel", "", false}, {"append", "data/upup/outside/secret.txt", "", false},
        {"write", "in_dir/g.txt", "", true}, {"write", "dangling_in", "", true}, {"append", "in_file", "", true},
        {"write", "data/up/data/h.txt", "", true}, {"write", "here", "", false}, {"write", "in_dir", "", false},
        {"exists", "out_abs", "", false}, {"exists", "out_dir/secret.txt", "", false}, {"exists", "in_file", "", true},
        {"exists", "dangling_in", "", false}, {"isdir", "out_dir", "", false}, {"isdir", "slash", "", false},
        {"isdir", "data/upup", "", false}, {"isdir", "in_dir", "", true}, {"isdir", "data/up/data", "", true},
        {"delete", "out_abs", "", false}, {"delete", "out_rel", "", false}, {"delete", "out_dir/secret.txt", "", false},
        {"delete", "dangling_out", "", false}, {"delete", "in_file", "", true}, {"delete", "in_dir/f.txt", "", true},
        {"rename", "out_abs", "x", false}, {"rename", "dangling_out", "x", false}, {"rename", "out_dir/secret.txt", "x", false},
        {"rename", "data/f.txt", "out_dir/f.txt", false}, {"rename", "data/f.txt", "slash/$BASE/outside/f.txt", false},
        {"rename", "data/f.txt", "data/upup/outside/f.txt", false}, {"rename", "data/f.txt", "dangling_in", false},
        {"rename", "in_file", "moved", true}, {"rename", "data/f.txt", "in_dir/up/data/g.txt", true},
        {"list", "out_dir", "", false}, {"list", "slash", "", false}, {"list", "data/upup", "", false},
        {"list", "in_dir", "", true}, {"list", "here", "", true},
        {"mkdir", "out_dir/new", "", false}, {"mkdir", "slash/$BASE/outside/new", "", false},
        {"mkdir", "dangling_out/x", "", false}, {"mkdir", "in_dir/new/deeper", "", true},
        {"rmdir", "out_dir", "", false}, {"rmdir", "data/upup", "", false}, {"rmdir", "out_dir/..", "", false},
        {"rmdir", "in_dir", "", false}, {"rmdir", "data/upup/outside", "", false}, {"rmdir", "here/data", "", true},
        {"renamedir", "out_dir", "x", false}, {"renamedir", "data/upup/outside", "x", false},
        {"renamedir", "data", "out_dir/data", false}, {"renamedir", "data", "slash/$BASE/outside/data", false},
        {"renamedir", "in_dir", "x", false}, {"renamedir", "data", "here/moved", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.op) + " " + r.a + " " + r.b);
        Sandbox box;
        const auto outside = box.outside();
        AppFiles files(box.root().string());
        EXPECT_EQ(perform(files, r.op, box.expand(r.a).c_str(), box.expand(r.b).c_str()), r.succeeds);
        EXPECT_EQ(box.outside(), outside);
    }
    Sandbox box;
    AppFiles files(box.root().string());
    auto reader = files.openForReading(u8("data/up/in_file"));
    Vec<TUint8> bytes;
    ASSERT_TRUE(reader && reader->readRest(bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "f");
    ASSERT_TRUE(files.openForWriting(u8("dangling_in"), true));  // creates the target, inside
    EXPECT_TRUE(fs::is_regular_file(box.root() / "data/new.txt"));
    ASSERT_TRUE(files.renameFile(u8("in_file"), u8("in_dir/moved")));  // the link itself moves
    EXPECT_TRUE(fs::is_symlink(box.root() / "data/moved"));
    EXPECT_TRUE(files.deleteFile(u8("out_rel")) == false && fs::is_symlink(box.root() / "out_rel"));
}

TEST_P(BothResolvers, TheRootIsNeverRemovedOrRenamed) {
    for (const char* spelling : {".", "./.", "./", "/", "//", "\\", ".\\.", "/./", "a/..", "", "here", "data/up"}) {
        for (const char* op : {"rmdir", "renamedir", "delete", "rename"}) {
            SCOPED_TRACE(std::string(op) + " '" + spelling + "'");
            Sandbox box;
            const auto inside = box.inside();
            AppFiles files(box.root().string());
            const bool link = std::strcmp(spelling, "here") == 0 || std::strcmp(spelling, "data/up") == 0;
            // A link to the root is an entry like any other: renaming it moves the link alone.
            EXPECT_EQ(perform(files, op, spelling, "moved"), link && std::strcmp(op, "rename") == 0);
            if (!link) {
                EXPECT_EQ(box.inside(), inside);
            }
            EXPECT_TRUE(fs::is_regular_file(box.root() / "index.mcb"));
        }
    }
}

// Deeper than the walk keeps directories open: links that climb back up through all of it
// reach the root's files, and one step more leaves the root.
TEST_P(BothResolvers, DeepPathsAndLinksClimbingOutOfThem) {
    Sandbox box;
    AppFiles files(box.root().string());
    std::string deep, up;
    for (int i = 0; i < 100; ++i) deep += "d/", up += "../";
    ASSERT_TRUE(files.createDirectory(u8(deep)));
    fs::create_symlink(up + "data", box.root() / deep / "top");
    fs::create_symlink(up + "../outside", box.root() / deep / "over");
    EXPECT_TRUE(files.openForReading(u8(deep + "top/f.txt")));
    EXPECT_TRUE(files.openForWriting(u8(deep + "top/new/g.txt"), true));
    EXPECT_TRUE(fs::is_regular_file(box.root() / "data/new/g.txt"));
    const auto outside = box.outside();
    for (const char* op : {"read", "write", "mkdir", "list"}) EXPECT_FALSE(perform(files, op, (deep + "over/secret.txt").c_str())) << op;
    EXPECT_EQ(box.outside(), outside);
}

TEST(AppFiles, ListedNamesOpenAgainAndNamesOnDiskAreUtf8) {
    Sandbox box;
    AppFiles files(box.root().string());
    const char* names[] = {"plain.txt", "\u00e9t\u00e9", "\u20ac", "\U0001F600", "\u012e\u012e", "a\u013ab"};
    for (const char* name : names) {
        auto w = files.openForWriting(u8(std::string("dir/") + name), true);
        ASSERT_TRUE(w && w->writeByteBufferToFile(reinterpret_cast<const TUint8*>(name), int(std::strlen(name))) &&
                    w->close())
            << name;
        EXPECT_EQ(slurp(box.root() / "dir" / name), name);  // the UTF-8 bytes, ASCII unchanged
    }
    std::ofstream(box.root() / "dir/latin\xE9") << "not UTF-8";
    Vec<OString> listed, directories;
    ASSERT_TRUE(files.listDirectory(u8("dir"), listed, directories));
    EXPECT_EQ(listed.getSize(), TInt32(std::size(names)));  // the Latin-1 name is left out
    for (const OString& name : listed) {
        OString path = u8("dir/");
        path.insertTo(path.length(), name);
        auto r = files.openForReading(path);
        Vec<TUint8> bytes;
        ASSERT_TRUE(r && r->readRest(bytes));
        EXPECT_TRUE(u8(std::string(bytes.begin(), bytes.end())) == name);
    }
}

TEST(AppFiles, PipesAndOtherSpecialFilesNeverOpenOrBlock) {
    Sandbox box;
    ASSERT_EQ(mkfifo((box.root() / "pipe").c_str(), 0600), 0);
    AppFiles files(box.root().string());
    for (const char* op : {"read", "write", "append"}) EXPECT_FALSE(perform(files, op, "pipe")) << op;
    EXPECT_TRUE(files.fileExists(u8("pipe")));
}

TEST(AppFiles, AMissingRootFailsEverything) {
    AppFiles files("/nonexistent/mcb-root");
    for (const char* op : {"read", "write", "exists", "isdir", "list", "mkdir"}) EXPECT_FALSE(perform(files, op, "a")) << op;
}

// A writer that continues a file writes after it in place: the old contents
// are never taken away, even while the writer is open.
TEST(AppFiles, ContinuingAFileWritesAfterItsContentsInPlace) {
    Scratch dir;
    dir.write("log", "kept");
    auto writer = AppFiles(dir.path("")).openForWriting(OString("log"), false);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(dir.read("log"), "kept");
    EXPECT_EQ(writer->position(), 4u);
    EXPECT_TRUE(writer->writeByteBufferToFile(reinterpret_cast<const TUint8*>("+more"), 5));
    EXPECT_TRUE(writer->close());
    EXPECT_EQ(dir.read("log"), "kept+more");

    // Not one past 4 GiB, whose end no position names (sparse here).
    dir.write("large", "x");
    const off_t large = (off_t(1) << 32) + 1;
    ASSERT_EQ(truncate(dir.path("large").c_str(), large), 0);
    EXPECT_EQ(AppFiles(dir.path("")).openForWriting(OString("large"), false), nullptr);
    struct stat st {};
    ASSERT_EQ(stat(dir.path("large").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, large);
}

}  // namespace mcb
