// A StreamHolder lives while its object refers to it; once unreachable the
// collector frees it, and freeing it closes (and so flushes) its file.
#include "FileProgram.h"

#include <sys/resource.h>

namespace {

const std::map<std::string, std::string> kNames = {{"f", "f.txt"}};

// Global 2: a writer on f.txt holding "data" (still buffered); its holder is watched.
const std::string kWriter = R"(
@new
@store 2
@load 2
ldstr f
push 0
native FileWriter.open
@load 2
@bytes data
native OutputStream.write
@load 2
fielda 1
deref
extcall 20, 1
extcall 20, 2
)";

TEST(HolderCollection, AReachableHolderStaysOpen) {
    FileProgram p(kWriter + "extcall 20, 2\n@load 2\nnative OutputStream.is_open\n@store 3\n", kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.alive, (std::vector<std::vector<bool>>{{true}, {true}}));
    EXPECT_EQ(p.global(3), -1);
}

TEST(HolderCollection, TheCollectorClosesAnUnreachableHoldersFile) {
    FileProgram p(kWriter + "push 0\n@store 2\nextcall 20, 2\n", kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.alive, (std::vector<std::vector<bool>>{{true}, {false}}));
    EXPECT_EQ(p.host.contents("f.txt"), "data");  // flushed by the close
}

TEST(HolderCollection, ReopeningLeavesTheOldHolderToTheCollector) {
    FileProgram p(R"(
@new
@store 2
@load 2
ldstr f
native FileReader.open
@load 2
fielda 1
deref
extcall 20, 1
@load 2
ldstr f
native FileReader.open
extcall 20, 2
@load 2
push 4
native InputStream.read
@store 3
)", kNames);
    p.host.put("f.txt", "abcd");
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.alive, (std::vector<std::vector<bool>>{{false}}));
    EXPECT_EQ(p.bytes(3), "abcd");
}

TEST(HolderCollection, ReopeningAWriterWritesOutItsPreviousFileFirst) {
    // Without that, "abc" would still be buffered when the appending open reads
    // the file, and would land over "xy" whenever the collector closed it.
    FileProgram p(R"(
@new
@store 2
@load 2
ldstr f
push 0
native FileWriter.open
@load 2
@bytes abc
native OutputStream.write
@new
@store 5
@load 5
fielda 1
@load 2
fielda 1
deref
store
@load 2
ldstr f
push -1
native FileWriter.open
@load 2
@bytes xy
native OutputStream.write
@load 2
native OutputStream.close
push 0
@store 2
extcall 20, 3
@load 5
native OutputStream.is_open
@store 4
)", kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.contents("f.txt"), "abcxy");
    EXPECT_EQ(p.global(4), 0);  // an object sharing the old holder sees it closed
}

// Opens and drops `n` readers, collecting after each when `collect` is set.
std::string openAndDrop(int n, bool collect) {
    FileProgram p("push " + std::to_string(n) + R"(
loop:
dup
jz done
@new
ldstr f
native FileReader.open
)" + (collect ? "extcall 20, 3\n" : "") + R"(
push 1
sub
jmp loop
done:
adjsp -1
)", kNames);
    p.host.put("f.txt", "x");
    // Few descriptors, so that files the collector did not close run out.
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 128;
    setrlimit(RLIMIT_NOFILE, &low);
    std::string result = outcome(p);
    setrlimit(RLIMIT_NOFILE, &saved);
    return result;
}

TEST(HolderCollection, CollectedReadersGiveTheirFilesBack) {
    EXPECT_EQ(openAndDrop(1000, true), "ok");
    EXPECT_EQ(openAndDrop(1000, false), "7: IOException: Could not open file: f.txt");
}

}  // namespace
