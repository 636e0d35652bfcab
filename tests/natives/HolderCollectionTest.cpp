// A StreamHolder lives while its object refers to it; once unreachable the collector frees it,
// and freeing it closes (and so flushes) its file.
#include "FileProgram.h"

#include <sys/resource.h>

namespace mcb {

namespace {

const std::map<std::string, std::string> kNames = {{"f", "f.txt"}};

// Global 2: a writer on f.txt holding "data" (still buffered); its holder is watched.
const std::string kWriter = "@new\n@store 2\n@load 2\nldstr f\npush 0\nnative FileWriter.open\n"
                            "@load 2\n@bytes data\nnative OutputStream.write\n@load 2\nfielda 1\nderef\n"
                            "extcall 20, 1\nextcall 20, 2\n";

}  // namespace

TEST(HolderCollection, AReachableHolderStaysOpenAndAnUnreachableOneIsClosed) {
    FileProgram kept(kWriter + "extcall 20, 2\n@load 2\nnative OutputStream.is_open\n@store 3\n", kNames);
    ASSERT_EQ(kept.outcome(), "ok");
    EXPECT_EQ(kept.alive, (std::vector<std::vector<bool>>{{true}, {true}}));
    EXPECT_EQ(kept.integer(3), -1);
    FileProgram dropped(kWriter + "push 0\n@store 2\nextcall 20, 2\n", kNames);
    ASSERT_EQ(dropped.outcome(), "ok");
    EXPECT_EQ(dropped.alive, (std::vector<std::vector<bool>>{{true}, {false}}));
    EXPECT_EQ(dropped.files.contents("f.txt"), "data");  // flushed by the close
}

TEST(HolderCollection, ReopeningLeavesTheOldHolderToTheCollector) {
    FileProgram p("@new\n@store 2\n@load 2\nldstr f\nnative FileReader.open\n@load 2\nfielda 1\nderef\nextcall 20, 1\n"
                  "@load 2\nldstr f\nnative FileReader.open\nextcall 20, 2\n"
                  "@load 2\npush 4\nnative InputStream.read\n@store 3\n",
                  kNames);
    p.files.put("f.txt", "abcd");
    ASSERT_EQ(p.outcome(), "ok");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{false}}));
    EXPECT_EQ(p.bytes(3), "abcd");
}

// Fixed fault: without writing out the previous file first, "abc" would still be buffered when
// the appending open reads the file, and would land over "xy" whenever the collector closed it.
TEST(HolderCollection, ReopeningAWriterWritesOutItsPreviousFileFirst) {
    FileProgram p("@new\n@store 2\n@load 2\nldstr f\npush 0\nnative FileWriter.open\n@load 2\n@bytes abc\n"
                  "native OutputStream.write\n"
                  "@new\n@store 5\n@load 5\nfielda 1\n@load 2\nfielda 1\nderef\nstore\n"  // global 5 shares the holder
                  "@load 2\nldstr f\npush -1\nnative FileWriter.open\n@load 2\n@bytes xy\nnative OutputStream.write\n"
                  "@load 2\nnative OutputStream.close\npush 0\n@store 2\nextcall 20, 3\n"
                  "@load 5\nnative OutputStream.is_open\n@store 4\n",
                  kNames);
    ASSERT_EQ(p.outcome(), "ok");
    EXPECT_EQ(p.files.contents("f.txt"), "abcxy");
    EXPECT_EQ(p.integer(4), 0);  // an object sharing the old holder sees it closed
}

TEST(HolderCollection, CollectedReadersGiveTheirFilesBack) {
    for (bool collect : {true, false}) {
        FileProgram p("push 1000\nloop:\ndup\njz done\n@new\nldstr f\nnative FileReader.open\n" +
                          std::string(collect ? "extcall 20, 3\n" : "") + "push 1\nsub\njmp loop\ndone:\nadjsp -1\n",
                      kNames);
        p.files.put("f.txt", "x");
        rlimit saved{};  // few descriptors, so that files the collector did not close run out
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = 128;
        setrlimit(RLIMIT_NOFILE, &low);
        const std::string result = p.outcome();
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(result, collect ? "ok" : "7: IOException: Could not open file: f.txt");
    }
}

}  // namespace mcb
