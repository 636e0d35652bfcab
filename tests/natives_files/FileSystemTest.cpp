// The FileSystem group: queries, file and directory operations and listings,
// each checked against what the host's root directory holds afterwards.
#include "FileProgram.h"

#include <algorithm>
#include <filesystem>

namespace {

const std::map<std::string, std::string> kNames = {
    {"f", "a/f.txt"}, {"g", "b/g.txt"}, {"a", "a"}, {"b", "b"}, {"deep", "x/y/z"}, {"empty", ""},
    {"missing", "nothing"}};

// `body` against a root that holds a/f.txt ("abc"), a/sub/inner/n.txt and a/.hidden.
std::unique_ptr<FileProgram> prepared(const std::string& body) {
    auto p = std::make_unique<FileProgram>(body, kNames);
    p->host.makeDirectory("a/sub/inner");
    p->host.put("a/f.txt", "abc");
    p->host.put("a/sub/inner/n.txt", "n");
    p->host.put("a/.hidden", "h");
    return p;
}

std::string run(const std::string& body) { return outcome(*prepared(body)); }

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(FileSystem, QueriesAnswerTrueOrFalse) {
    auto p = prepared(R"(
ldstr f
native FileSystem.file_exists
@store 2
ldstr a
native FileSystem.file_exists
@store 3
ldstr a
native FileSystem.dir_exists
@store 4
ldstr f
native FileSystem.dir_exists
@store 5
ldstr missing
native FileSystem.file_exists
@store 6
)");
    ASSERT_EQ(outcome(*p), "ok");
    EXPECT_EQ(p->global(2), -1);
    EXPECT_EQ(p->global(3), 0);
    EXPECT_EQ(p->global(4), -1);
    EXPECT_EQ(p->global(5), 0);
    EXPECT_EQ(p->global(6), 0);
}

TEST(FileSystem, EmptyPathQueriesAreFalseWithoutAskingTheHost) {
    auto p = prepared("push 7\n@store 2\npush 7\n@store 3\nldstr empty\nnative FileSystem.file_exists\n@store 2\n"
                      "ldstr empty\nnative FileSystem.dir_exists\n@store 3\n");
    ASSERT_EQ(outcome(*p), "ok");
    EXPECT_EQ(p->global(2), 0);
    EXPECT_EQ(p->global(3), 0);
    EXPECT_EQ(p->host.fileCalls, 0);
}

TEST(FileSystem, DeleteFileRemovesOnlyAnExistingFile) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr f\nnative FileSystem.delete_file\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_FALSE(p->host.exists("a/f.txt"));
    EXPECT_EQ(run("ldstr missing\nnative FileSystem.delete_file\n"), "7: IOException");
    p = prepared("ldstr a\nnative FileSystem.delete_file\n");
    EXPECT_EQ(outcome(*p), "7: IOException");
    EXPECT_TRUE(p->host.exists("a"));
}

TEST(FileSystem, RemoveDirectoryTakesEverythingInIt) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr a\nnative FileSystem.remove_dir\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_FALSE(p->host.exists("a"));
    EXPECT_EQ(run("ldstr missing\nnative FileSystem.remove_dir\n"), "7: IOException");
}

TEST(FileSystem, ListingsAreNewVectorsOfNewStrings) {
    auto p = prepared(R"(
ldstr a
native FileSystem.list_files
@store 2
ldstr a
native FileSystem.list_dirs
@store 3
)");
    ASSERT_EQ(outcome(*p), "ok");
    EXPECT_EQ(p->strings(2), std::vector<std::string>{"f.txt"});  // ".hidden" is left out
    EXPECT_EQ(p->strings(3), std::vector<std::string>{"sub"});
}

TEST(FileSystem, ListingKeepsEveryName) {
    FileProgram p("ldstr b\nnative FileSystem.list_files\n@store 2\nldstr b\nnative FileSystem.list_dirs\n@store 3\n",
                  kNames);
    std::vector<std::string> files, dirs;
    for (int i = 0; i < 40; ++i) {
        files.push_back("file" + std::to_string(i));
        p.host.makeDirectory("b");
        p.host.put("b/" + files.back(), "");
    }
    for (int i = 0; i < 5; ++i) {
        dirs.push_back("dir" + std::to_string(i));
        p.host.makeDirectory("b/" + dirs.back());
    }
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(sorted(p.strings(2)), sorted(files));
    EXPECT_EQ(sorted(p.strings(3)), sorted(dirs));
}

TEST(FileSystem, ListingFailsForEmptyMissingOrFilePaths) {
    for (const char* name : {"empty", "missing", "f"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(run("ldstr " + std::string(name) + "\nnative FileSystem.list_files\n"), "7: IOException");
        EXPECT_EQ(run("ldstr " + std::string(name) + "\nnative FileSystem.list_dirs\n"), "7: IOException");
    }
}

TEST(FileSystem, CreateFileMakesOrEmptiesIt) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr f\nnative FileSystem.create_file\nldstr g\nnative FileSystem.create_file\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_EQ(p->host.contents("a/f.txt"), "");
    EXPECT_EQ(p->host.contents("b/g.txt"), "");
    EXPECT_EQ(run("ldstr a\nnative FileSystem.create_file\n"), "7: IOException");
}

TEST(FileSystem, CreateDirectoryMakesItsParents) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr deep\nnative FileSystem.create_dir\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_TRUE(std::filesystem::is_directory(p->host.path("x/y/z")));
    EXPECT_EQ(run("ldstr f\nnative FileSystem.create_dir\n"), "7: IOException");
}

TEST(FileSystem, RenameFileMovesItIntoANewDirectory) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr f\nldstr g\nnative FileSystem.rename_file\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_FALSE(p->host.exists("a/f.txt"));
    EXPECT_EQ(p->host.contents("b/g.txt"), "abc");
    EXPECT_EQ(run("ldstr missing\nldstr g\nnative FileSystem.rename_file\n"), "7: IOException");
}

TEST(FileSystem, RenameDirectoryMovesItsContents) {
    std::unique_ptr<FileProgram> p;
    p = prepared("ldstr a\nldstr b\nnative FileSystem.rename_dir\n");
    EXPECT_EQ(outcome(*p), "ok");
    EXPECT_FALSE(p->host.exists("a"));
    EXPECT_EQ(p->host.contents("b/sub/inner/n.txt"), "n");
    EXPECT_EQ(run("ldstr missing\nldstr b\nnative FileSystem.rename_dir\n"), "7: IOException");
}

TEST(FileSystem, EmptyPathsNameTheirArgument) {
    const std::string path = "6: InvalidArgumentException: Path is empty";
    for (const char* op : {"delete_file", "remove_dir", "create_file", "create_dir"})
        EXPECT_EQ(run("ldstr empty\nnative FileSystem." + std::string(op) + "\n"), path) << op;
    EXPECT_EQ(run("ldstr empty\nldstr g\nnative FileSystem.rename_file\n"),
              "6: InvalidArgumentException: Source filename is empty");
    EXPECT_EQ(run("ldstr f\nldstr empty\nnative FileSystem.rename_file\n"),
              "6: InvalidArgumentException: Target filename is empty");
    EXPECT_EQ(run("ldstr empty\nldstr b\nnative FileSystem.rename_dir\n"),
              "6: InvalidArgumentException: Source path is empty");
    EXPECT_EQ(run("ldstr a\nldstr empty\nnative FileSystem.rename_dir\n"),
              "6: InvalidArgumentException: Target path is empty");
}

TEST(FileSystem, NullPathIsAPointerError) {
    EXPECT_EQ(run("push 0\nnative FileSystem.file_exists\n"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(run("push 0\nnative FileSystem.list_dirs\n"), "1: NullPointerException: NULL pointer");
}

}  // namespace
