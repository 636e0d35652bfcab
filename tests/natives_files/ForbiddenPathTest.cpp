// Paths that could leave the application's root ("..", ":", "|") and the empty
// path, against every file native: each is refused and nothing on disk changes.
#include "FileProgram.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

// Every form names a/f.txt or a place next to it; ".." forms reach the real
// file through the root's own name.
const std::vector<std::string> kForbidden = {"../$ROOT/a/f.txt", "a/../a/f.txt", "/../$ROOT/a/f.txt",
                                             "a/..", "a:f.txt", "a|f.txt", "..", ""};

std::set<std::string> snapshot(const std::string& root) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        std::string entry = e.path().string();
        if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            entry += "=" + std::string(std::istreambuf_iterator<char>(in), {});
        }
        out.insert(entry);
    }
    return out;
}

struct Outcome {
    std::string result;
    bool unchanged;
    int fileCalls;
    TInt32 global2;
};

// `call` with the forbidden path as string "p" and a valid path as "v".
Outcome attempt(const std::string& form, const std::string& call) {
    FileProgram p(call, {{"p", form}, {"v", "a/f.txt"}});
    p.host.makeDirectory("a/sub");
    p.host.put("a/f.txt", "abc");
    const auto before = snapshot(p.host.root());
    Outcome o{outcome(p), false, 0, 0};
    o.unchanged = snapshot(p.host.root()) == before;
    o.fileCalls = p.host.fileCalls;
    o.global2 = p.global(2);
    return o;
}

TEST(ForbiddenPaths, QueriesAnswerFalse) {
    for (const std::string& form : kForbidden) {
        SCOPED_TRACE(form);
        for (const char* q : {"file_exists", "dir_exists"}) {
            Outcome o = attempt(form, "push 7\n@store 2\nldstr p\nnative FileSystem." + std::string(q) + "\n@store 2\n");
            EXPECT_EQ(o.result, "ok") << q;
            EXPECT_EQ(o.global2, 0) << q;
        }
    }
}

TEST(ForbiddenPaths, OperationsFailAndTouchNothing) {
    for (const std::string& form : kForbidden) {
        SCOPED_TRACE(form);
        const std::string expected = form.empty() ? "6: InvalidArgumentException: Path is empty" : "7: IOException";
        for (const char* op : {"delete_file", "remove_dir", "create_file", "create_dir"}) {
            Outcome o = attempt(form, "ldstr p\nnative FileSystem." + std::string(op) + "\n");
            EXPECT_EQ(o.result, expected) << op;
            EXPECT_TRUE(o.unchanged) << op;
        }
        for (const char* op : {"list_files", "list_dirs"}) {
            Outcome o = attempt(form, "ldstr p\nnative FileSystem." + std::string(op) + "\n");
            EXPECT_EQ(o.result, "7: IOException") << op;
        }
    }
}

TEST(ForbiddenPaths, RenamesFailEitherWay) {
    for (const std::string& form : kForbidden) {
        SCOPED_TRACE(form);
        for (const char* op : {"rename_file", "rename_dir"}) {
            const bool file = std::string(op) == "rename_file";
            Outcome from = attempt(form, "ldstr p\nldstr v\nnative FileSystem." + std::string(op) + "\n");
            Outcome to = attempt(form, "ldstr v\nldstr p\nnative FileSystem." + std::string(op) + "\n");
            if (form.empty()) {
                EXPECT_EQ(from.result, file ? "6: InvalidArgumentException: Source filename is empty"
                                            : "6: InvalidArgumentException: Source path is empty");
                EXPECT_EQ(to.result, file ? "6: InvalidArgumentException: Target filename is empty"
                                          : "6: InvalidArgumentException: Target path is empty");
            } else {
                EXPECT_EQ(from.result, "7: IOException") << op;
                EXPECT_EQ(to.result, "7: IOException") << op;
            }
            EXPECT_TRUE(from.unchanged && to.unchanged) << op;
        }
    }
}

TEST(ForbiddenPaths, ReadersAndWritersDoNotOpen) {
    for (const std::string& form : kForbidden) {
        SCOPED_TRACE(form);
        Outcome reader = attempt(form, "@new\nldstr p\nnative FileReader.open\n");
        Outcome writer = attempt(form, "@new\nldstr p\npush 0\nnative FileWriter.open\n");
        Outcome appender = attempt(form, "@new\nldstr p\npush -1\nnative FileWriter.open\n");
        if (form.empty()) {
            EXPECT_EQ(reader.result, "6: InvalidArgumentException: Filename is empty");
            EXPECT_EQ(writer.result, "6: InvalidArgumentException: Filename is empty");
            EXPECT_EQ(reader.fileCalls + writer.fileCalls, 0);
        } else {
            EXPECT_EQ(reader.result.rfind("7: IOException: Could not open file: ", 0), 0u) << reader.result;
            EXPECT_EQ(writer.result, "7: IOException");
            EXPECT_EQ(appender.result, "7: IOException");
        }
        EXPECT_TRUE(writer.unchanged && appender.unchanged);
    }
}

}  // namespace
