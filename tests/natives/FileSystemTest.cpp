// The FileSystem group, checked against what the host's root holds afterwards; paths that could
// leave the application's root ("..", ":", "|") are refused, empty ones never reach the host.
#include "FileProgram.h"
#include "NativeTestSupport.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace mcb {

namespace {

const std::map<std::string, std::string> kNames = {{"f", "a/f.txt"}, {"g", "b/g.txt"}, {"a", "a"}, {"b", "b"},
                                                   {"deep", "x/y/z"}, {"missing", "nothing"}};

// `body` against a root that holds a/f.txt ("abc"), a/sub/inner/n.txt and a/.hidden.
std::unique_ptr<FileProgram> prepared(const std::string& body,
                                      const std::map<std::string, std::string>& names = kNames) {
    auto p = std::make_unique<FileProgram>(body, names);
    p->files.put("a/f.txt", "abc");
    p->files.put("a/sub/inner/n.txt", "n");
    p->files.put("a/.hidden", "h");
    return p;
}

// Every entry below `root` with its contents, leaving out the subtree at `skip`.
std::set<std::string> snapshot(const std::string& root, const std::string& skip = "") {
    std::set<std::string> out;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::recursive_directory_iterator();
         ++it) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        const std::string bytes = it->is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : "";
        out.insert(it->path().string() + "=" + bytes);
    }
    return out;
}

}  // namespace

TEST(FileSystem, QueriesAndListings) {
    std::string body;
    const std::pair<std::string, std::string> calls[] = {{"f", "file_exists"}, {"a", "file_exists"},
        {"a", "dir_exists"}, {"f", "dir_exists"}, {"missing", "file_exists"}, {"a", "list_files"}, {"a", "list_dirs"},
        {"b", "list_files"}, {"b", "list_dirs"}};
    for (int global = 2; const auto& [name, function] : calls)  // into globals 2 to 10
        body += "ldstr " + name + "\nnative FileSystem." + function + "\n@store " + std::to_string(global++) + "\n";
    auto p = prepared(body);
    std::vector<std::string> files, dirs;
    for (int i = 0; i < 40; ++i) p->files.put("b/" + files.emplace_back("file" + std::to_string(i)), "");
    for (int i = 0; i < 5; ++i) p->files.makeDirectory("b/" + dirs.emplace_back("dir" + std::to_string(i)));
    ASSERT_EQ(p->outcome(), "ok");
    EXPECT_EQ(globals(*p, 2, 6), std::vector<TInt32>({-1, 0, -1, 0, 0}));
    EXPECT_EQ(p->strings(7), std::vector<std::string>{"f.txt"});  // ".hidden" is left out
    EXPECT_EQ(p->strings(8), std::vector<std::string>{"sub"});
    for (auto [global, expected] : {std::pair{9, files}, {10, dirs}}) {  // every name is kept
        auto listed = p->strings(global);
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected);
    }
}

// Failures (no check; the io layer's own refusals: tests/io): a file where a directory belongs and
// the reverse, a missing directory, a null path; they change nothing.
TEST(FileSystem, OperationsChangeTheRootAndFailuresLeaveIt) {
    using Check = bool (*)(const FileRoot&);
    const struct {
        const char *body, *expected;
        Check check;
    } cases[] = {
        {"ldstr f\nnative FileSystem.delete_file\n", "ok", [](const FileRoot& h) { return !h.exists("a/f.txt"); }},
        {"ldstr a\nnative FileSystem.remove_dir\n", "ok", [](const FileRoot& h) { return !h.exists("a"); }},
        {"ldstr f\nnative FileSystem.create_file\nldstr g\nnative FileSystem.create_file\n", "ok",  // made or emptied
         [](const FileRoot& h) { return h.contents("a/f.txt").empty() && h.contents("b/g.txt").empty(); }},
        {"ldstr deep\nnative FileSystem.create_dir\n", "ok",
         [](const FileRoot& h) { return std::filesystem::is_directory(h.path("x/y/z")); }},
        {"ldstr f\nldstr g\nnative FileSystem.rename_file\n", "ok",  // into a new directory
         [](const FileRoot& h) { return !h.exists("a/f.txt") && h.contents("b/g.txt") == "abc"; }},
        {"ldstr a\nldstr b\nnative FileSystem.rename_dir\n", "ok",
         [](const FileRoot& h) { return !h.exists("a") && h.contents("b/sub/inner/n.txt") == "n"; }},
        {"ldstr a\nnative FileSystem.delete_file\n", "7: IOException", nullptr},
        {"ldstr f\nnative FileSystem.create_dir\n", "7: IOException", nullptr},
        {"ldstr missing\nnative FileSystem.list_files\n", "7: IOException", nullptr},
        {"push 0\nnative FileSystem.file_exists\n", "1: NullPointerException: NULL pointer", nullptr},
    };
    for (const auto& c : cases) {
        auto p = prepared(c.body);
        const auto before = snapshot(p->files.root());
        EXPECT_EQ(p->outcome(), c.expected) << c.body;
        EXPECT_TRUE(c.check ? c.check(p->files) : snapshot(p->files.root()) == before) << c.body;
    }
}

// Every operation on the path "p" (beside "v", a/f.txt) with what it answers for a forbidden
// form, for the empty path and for a lookalike form (null: not tried), and what it makes for
// a lookalike ('f' a file, 'd' a directory at the stored name). Global 2 holds what a query
// answered. Answers ending in ": " are prefixes.
const std::string kIO = "7: IOException", kNotOpened = "7: IOException: Could not open file: ";
const std::string kEmpty = "6: InvalidArgumentException: ", kNoFilename = kEmpty + "Filename is empty";
const struct {
    const char* body;
    std::string forbidden, empty;
    const char* lookalike;
    char makes;
} kPathOperations[] = {
    {"push 7\n@store 2\nldstr p\nnative FileSystem.file_exists\n@store 2\n", "ok", "ok", "ok", 0},
    {"push 7\n@store 2\nldstr p\nnative FileSystem.dir_exists\n@store 2\n", "ok", "ok", "ok", 0},
    {"ldstr p\nnative FileSystem.delete_file\n", kIO, kEmpty + "Path is empty", "7: IOException", 0},
    {"ldstr p\nnative FileSystem.remove_dir\n", kIO, kEmpty + "Path is empty", "7: IOException", 0},
    {"ldstr p\nnative FileSystem.create_file\n", kIO, kEmpty + "Path is empty", "ok", 'f'},
    {"ldstr p\nnative FileSystem.create_dir\n", kIO, kEmpty + "Path is empty", "ok", 'd'},
    {"ldstr p\nnative FileSystem.list_files\n", kIO, kIO, "7: IOException", 0},
    {"ldstr p\nnative FileSystem.list_dirs\n", kIO, kIO, "7: IOException", 0},
    {"ldstr p\nldstr v\nnative FileSystem.rename_file\n", kIO, kEmpty + "Source filename is empty", "7: IOException", 0},
    {"ldstr v\nldstr p\nnative FileSystem.rename_file\n", kIO, kEmpty + "Target filename is empty", "ok", 'f'},
    {"ldstr p\nldstr v\nnative FileSystem.rename_dir\n", kIO, kEmpty + "Source path is empty", "7: IOException", 0},
    {"ldstr v\nldstr p\nnative FileSystem.rename_dir\n", kIO, kEmpty + "Target path is empty", nullptr, 0},
    {"@new\nldstr p\nnative FileReader.open\n", kNotOpened, kNoFilename, "7: IOException: Could not open file: ", 0},
    {"@new\nldstr p\npush 0\nnative FileWriter.open\n", kIO, kNoFilename, "ok", 'f'},
    {"@new\nldstr p\npush -1\nnative FileWriter.open\n", kIO, kNoFilename, "ok", 'f'},
};

// Forbidden forms name a/f.txt or a place next to it (".." forms reach the real file through
// the root's own name): they are refused and the root stays as it was; an empty path never
// reaches the host.
TEST(ForbiddenPaths, AreRefusedAndTouchNothing) {
    for (const std::string form :
         {"../$ROOT/a/f.txt", "a/../a/f.txt", "/../$ROOT/a/f.txt", "a/..", "a:f.txt", "a|f.txt", "..", "",
          "a\\\\..\\\\a/f.txt", "a/f\\u{d800}.txt"}) {  // the last: a unit UTF-8 cannot carry
        for (const auto& op : kPathOperations) {
            SCOPED_TRACE(form + ": " + op.body);
            const std::string& expected = form.empty() ? op.empty : op.forbidden;
            auto p = prepared(op.body, {{"p", form}, {"v", "a/f.txt"}});
            const auto before = snapshot(p->files.root());
            const std::string result = p->outcome();
            EXPECT_EQ(expected.ends_with(": ") ? result.substr(0, expected.size()) : result, expected);
            EXPECT_TRUE(snapshot(p->files.root()) == before);
            if (result == "ok") {
                EXPECT_EQ(p->integer(2), 0);
            }
            if (form.empty() && expected != kIO) {
                EXPECT_EQ(p->host.fileCalls, 0);  // the host is never asked
            }
        }
    }
}

// Characters whose low byte is "." or "/" once climbed out of the root when paths were
// narrowed to 8 bits; each is a name of its own now, in UTF-8, below the root. Nothing
// outside the root changes, and what an operation makes lies below it under that name.
TEST(LookalikePaths, NameThemselvesBelowTheRoot) {
    const std::pair<std::string, std::string> forms[] = {  // as assembled, as stored
        {"\\u{12e}\\u{12e}/outside.txt", "\xC4\xAE\xC4\xAE/outside.txt"},
        {"\\u{ff2e}\\u{ff2e}/outside.txt", "\xEF\xBC\xAE\xEF\xBC\xAE/outside.txt"},
        {"\\u{12e}\\u{12e}\\u{12f}outside.txt", "\xC4\xAE\xC4\xAE\xC4\xAFoutside.txt"},
        {"\\u{12e}\\u{12e}", "\xC4\xAE\xC4\xAE"},
    };
    for (const auto& [form, stored] : forms) {
        for (const auto& op : kPathOperations) {
            if (!op.lookalike) continue;
            SCOPED_TRACE(form + ": " + op.body);
            auto p = prepared(op.body, {{"p", form}, {"v", "a/f.txt"}});
            const auto outside = snapshot(p->files.base(), p->files.root());
            const std::string result = p->outcome();
            EXPECT_EQ(result.substr(0, std::strlen(op.lookalike)), op.lookalike);
            EXPECT_EQ(snapshot(p->files.base(), p->files.root()), outside);
            const std::filesystem::path made(p->files.path(stored));
            if (op.makes) {
                EXPECT_TRUE(op.makes == 'f' ? std::filesystem::is_regular_file(made) : std::filesystem::is_directory(made));
            }
            if (result == "ok" && !op.makes) {
                EXPECT_EQ(p->integer(2), 0);
            }
        }
    }
}

}  // namespace mcb
