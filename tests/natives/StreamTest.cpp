// Files written through a writer and read back through a reader, byte for byte; the failures
// of the reader, writer and stream groups: their order, codes and messages; and holders: a
// StreamHolder lives while its object refers to it, and once unreachable the collector frees
// it, which closes (and so flushes) its file.
#include "FileProgram.h"

#include <sys/resource.h>

namespace mcb {

namespace {

const std::map<std::string, std::string> kNames = {{"f", "data/f.bin"}};

// Calls `native` on the object in global `g`, pushing `args` (lines) first.
std::string on(int g, const std::string& native, const std::string& args = "") {
    return "@load " + std::to_string(g) + "\n" + args + (args.empty() ? "" : "\n") + "native " + native + "\n";
}
// Global 2: a writer on data/f.bin (append flag `append`); global 3: a reader on it.
std::string openWriter(bool append) {
    return "@new\n@store 2\n" + on(2, "FileWriter.open", append ? "ldstr f\npush -1" : "ldstr f\npush 0");
}
const std::string kOpenReader = "@new\n@store 3\n" + on(3, "FileReader.open", "ldstr f");
const std::string kCloseWriter = on(2, "OutputStream.close");

// Runs `body` with data/f.bin holding `contents` (none when null); returns the outcome.
std::string run(const std::string& body, const char* contents = "abc", std::string* after = nullptr) {
    FileProgram p(body, kNames);
    if (contents) p.files.put("data/f.bin", contents);
    const std::string result = p.outcome();
    if (after) *after = p.files.contents("data/f.bin");
    return result;
}

// Global 2: a writer on data/f.bin holding "data" (still buffered); its holder is watched.
const std::string kWriter =
    "@new\n@store 2\n@load 2\nldstr f\npush 0\nnative FileWriter.open\n"
    "@load 2\n@bytes data\nnative OutputStream.write\n@load 2\nfielda 1\nderef\n"
    "extcall 20, 1\nextcall 20, 2\n";

}  // namespace

// Globals 10 to 14: is_open before and after each open and close.
TEST(FileStreams, WriteThenReadBackByteForByteAndWritesLandWhereTheyShould) {
    const std::string isOpen = on(2, "OutputStream.is_open"), readerOpen = on(3, "InputStream.is_open");
    FileProgram p("@new\n@store 2\n" + isOpen + "@store 10\n" + on(2, "FileWriter.open", "ldstr f\npush 0") + isOpen +
                      "@store 11\n" + on(2, "OutputStream.write", "@bytes hello world") + on(2, "FileWriter.position") +
                      "@store 4\n" + on(2, "FileWriter.size") + "@store 5\n" + kCloseWriter + isOpen + "@store 12\n" +
                      kOpenReader + readerOpen + "@store 13\n" + on(3, "FileReader.size") + "@store 6\n" +
                      on(3, "FileReader.seek", "push 6") + on(3, "InputStream.read", "push 5") + "@store 7\n" +
                      on(3, "FileReader.position") + "@store 8\n" + on(3, "InputStream.close") + readerOpen +
                      "@store 14\n" + on(3, "InputStream.close"),
                  kNames);
    ASSERT_EQ(p.outcome(), "ok");
    EXPECT_EQ(p.files.contents("data/f.bin"), "hello world");  // the directory was made on the way
    std::vector<TInt32> globals;
    for (int g : {4, 5, 6, 8, 10, 11, 12, 13, 14}) globals.push_back(p.integer(g));
    EXPECT_EQ(globals, std::vector<TInt32>({11, 11, 11, 11, 0, -1, 0, -1, 0}));
    EXPECT_EQ(p.bytes(7), "world");
    std::string all;  // every byte value, read and written back
    for (int c = 0; c < 256; ++c) all.push_back(char(c));
    FileProgram q(kOpenReader + on(3, "InputStream.read", "push 256") + "@store 4\n" + openWriter(false) +
                      on(2, "OutputStream.write", "@load 4") + kCloseWriter,
                  kNames);
    q.files.put("data/f.bin", all);
    ASSERT_EQ(q.outcome(), "ok");
    EXPECT_EQ(q.bytes(4), all);
    EXPECT_EQ(q.files.contents("data/f.bin"), all);
    // Writes land where they should.
    const std::string write = on(2, "OutputStream.write", "@bytes cd");
    const std::string part = "OutputStream.write_part";
    const std::pair<std::string, const char*> cases[] = {
        {openWriter(true) + write, "abccd"},  // append keeps the old contents
        {openWriter(false) + write, "cd"},    // truncate drops them
        {openWriter(true) + write + on(2, "FileWriter.seek", "push 1") + on(2, "OutputStream.write", "@bytes EL") +
             on(2, "FileWriter.seek", "push 5") + on(2, "OutputStream.write", "@bytes !"),
         "aELcd!"},  // appending starts at the old end; seek overwrites in place
        {openWriter(false) + on(2, part, "push 2\npush 3\n@bytes abcdefg") +
             on(2, part, "push 5\npush -1\n@bytes abcdefg") + on(2, part, "push 99\npush 0\n@bytes abc") +
             on(2, "OutputStream.write", "@bytes"),
         "cdefg"},  // a negative count runs to the end
    };
    for (const auto& [body, expected] : cases) {
        std::string after;
        EXPECT_EQ(run(body + kCloseWriter, "abc", &after), "ok") << body;
        EXPECT_EQ(after, expected) << body;
    }
}

TEST(FileStreamErrors, OpenStateTypeArgumentRangeAndOperandFailures) {
    const std::string openedReader = on(2, "FileReader.open", "ldstr f");
    const std::string openedWriter = on(2, "FileWriter.open", "ldstr f\npush -1");
    const std::string closedReader = openedReader + on(2, "InputStream.close");
    const std::string closedWriter = openedWriter + on(2, "OutputStream.close");
    const std::string notOpen = "7: IOException: File is not open", invalidType = "10: VMException: Invalid TYPEID";
    const std::string negative = "6: InvalidArgumentException: Position is less than zero: ";
    const std::string nonNegative = "6: InvalidArgumentException: The number of bytes should be non-negative";
    const std::string range = "5: RangeException: Invalid Range, ";
    const std::string seek3 = openedReader + on(2, "FileReader.seek", "push 3");
    const struct {
        std::string setup, native, args, expected;
    } cases[] = {
        // Never opened and closed objects are not open; closing again is fine.
        {"", "FileReader.position", "", notOpen},
        {"", "InputStream.read", "push 0", notOpen},
        {"", "InputStream.close", "", "ok"},
        {"", "OutputStream.close", "", "ok"},
        {closedReader, "FileReader.size", "", notOpen},
        {closedWriter, "OutputStream.write", "@bytes x", notOpen},
        {closedWriter, "OutputStream.write", "@bytes", "ok"},  // nothing to write
        // A read count is checked first, then the state, then the length of the file ("abc").
        {openedReader, "InputStream.read", "push -1", nonNegative},
        {closedReader, "InputStream.read", "push -1", nonNegative},
        {openedReader, "InputStream.read", "push 4", "7: IOException"},
        {openedReader, "InputStream.read", "push 2147483647", "7: IOException"},  // fails before any allocation
        {seek3, "InputStream.read", "push 1", "7: IOException"},
        {openedReader + on(2, "FileReader.seek", "push 4"), "InputStream.read", "push 0", "7: IOException"},
        // A negative position is rejected before the open test and the type test.
        {"", "FileReader.seek", "push -1", negative + "-1"},
        {openedReader, "FileWriter.seek", "push -2147483648", negative + "-2147483648"},
        // The range of a partial write must lie in the vector (of 7 bytes).
        {openedWriter, "OutputStream.write_part", "push 5\npush 3\n@bytes abcdefg",
         range + "range out of bounds: 8 > 7"},
        {openedWriter, "OutputStream.write_part", "push -1\npush 0\n@bytes abcdefg",
         range + "first should be non-negative (first=-1)"},
        {openedWriter, "OutputStream.write_part", "push 8\npush -1\n@bytes abcdefg",
         range + "first should not be more than 7, first = 8"},
        {openedWriter, "OutputStream.write_part", "push 2147483647\npush 2\n@bytes abcdefg",
         range + "range out of bounds: 2147483649 > 7"},
        // A holder of the other kind never reaches an opcode; the type is tested before the state.
        {openedWriter, "FileReader.position", "", invalidType},
        {closedWriter, "InputStream.read", "push 1", invalidType},
        {openedReader, "FileWriter.seek", "push 0", invalidType},
        {openedReader, "OutputStream.write_part", "push 0\npush 1\n@bytes x", invalidType},
        // The field holds a string cell, or a number that is no heap object at all.
        {"@load 2\nfielda 1\nldstr f\nstore\n", "FileReader.size", "", invalidType},
        {"@load 2\nfielda 1\npush 12345\nstore\n", "OutputStream.write", "@bytes x", invalidType},
        {openedWriter, "OutputStream.write", "push 0", "1: NullPointerException: NULL pointer"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run("@new\n@store 2\n" + c.setup + on(2, c.native, c.args)), c.expected) << c.setup << c.native;
    EXPECT_EQ(run("push 0\nnative FileReader.size\n"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(run(kOpenReader + on(3, "InputStream.read", "push 0") + "@store 4\n", ""), "ok");  // an empty file
    const std::string atTheEnd = kOpenReader + on(3, "FileReader.seek", "push 3");
    EXPECT_EQ(run(atTheEnd + on(3, "InputStream.read", "push 0") + "@store 4\n"), "ok");
    EXPECT_EQ(run(kOpenReader, nullptr), "7: IOException: Could not open file: data/f.bin");  // files that do not open
    FileProgram onDirectory(openWriter(false), kNames);
    onDirectory.files.makeDirectory("data/f.bin");
    EXPECT_EQ(onDirectory.outcome(), "7: IOException");
    // A stream operand must be an object with room for its holder: a one-word object would have the holder written
    // over the next heap entry, and an address that is no object anywhere.
    for (const char* object : {"alloc 1, 1\n", "push 0x12345\n", "@new\npush 4\nadd\n", "ldstr f\n"})
        for (const char* call :
             {"ldstr f\nnative FileReader.open", "ldstr f\npush 0\nnative FileWriter.open",
              "ldstr f\npush -1\nnative FileWriter.open", "native FileReader.size", "push 1\nnative InputStream.read",
              "@bytes x\nnative OutputStream.write", "native InputStream.close", "native OutputStream.is_open"})
            EXPECT_EQ(run(std::string(object) + call + "\nextcall 20, 3\n"), invalidType) << object << call;
}

TEST(HolderCollection, ReachableHoldersStayOpenAndCollectedOnesCloseTheirFiles) {
    FileProgram kept(kWriter + "extcall 20, 2\n@load 2\nnative OutputStream.is_open\n@store 3\n", kNames);
    ASSERT_EQ(kept.outcome(), "ok");
    EXPECT_EQ(kept.alive, (std::vector<std::vector<bool>>{{true}, {true}}));
    EXPECT_EQ(kept.integer(3), -1);
    FileProgram dropped(kWriter + "push 0\n@store 2\nextcall 20, 2\n", kNames);
    ASSERT_EQ(dropped.outcome(), "ok");
    EXPECT_EQ(dropped.alive, (std::vector<std::vector<bool>>{{true}, {false}}));
    EXPECT_EQ(dropped.files.contents("data/f.bin"), "data");  // flushed by the close
    // Reopening leaves the old holder to the collector.
    FileProgram p(
        "@new\n@store 2\n@load 2\nldstr f\nnative FileReader.open\n@load 2\nfielda 1\nderef\nextcall 20, 1\n"
        "@load 2\nldstr f\nnative FileReader.open\nextcall 20, 2\n"
        "@load 2\npush 4\nnative InputStream.read\n@store 3\n",
        kNames);
    p.files.put("data/f.bin", "abcd");
    ASSERT_EQ(p.outcome(), "ok");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{false}}));
    EXPECT_EQ(p.bytes(3), "abcd");
    // Collected readers give their files back.
    for (bool collect : {true, false}) {
        FileProgram r("push 1000\nloop:\ndup\njz done\n@new\nldstr f\nnative FileReader.open\n" +
                          std::string(collect ? "extcall 20, 3\n" : "") + "push 1\nsub\njmp loop\ndone:\nadjsp -1\n",
                      kNames);
        r.files.put("data/f.bin", "x");
        rlimit saved{};  // few descriptors, so that files the collector did not close run out
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = 128;
        setrlimit(RLIMIT_NOFILE, &low);
        const std::string result = r.outcome();
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(result, collect ? "ok" : "7: IOException: Could not open file: data/f.bin");
    }
}

// Fixed fault: without writing out the previous file first, "abc" would still be buffered when
// the appending open reads the file, and would land over "xy" whenever the collector closed it.
TEST(HolderCollection, ReopeningAWriterWritesOutItsPreviousFileFirst) {
    FileProgram p(
        "@new\n@store 2\n@load 2\nldstr f\npush 0\nnative FileWriter.open\n@load 2\n@bytes abc\n"
        "native OutputStream.write\n"
        "@new\n@store 5\n@load 5\nfielda 1\n@load 2\nfielda 1\nderef\nstore\n"  // global 5 shares the holder
        "@load 2\nldstr f\npush -1\nnative FileWriter.open\n@load 2\n@bytes xy\nnative OutputStream.write\n"
        "@load 2\nnative OutputStream.close\npush 0\n@store 2\nextcall 20, 3\n"
        "@load 5\nnative OutputStream.is_open\n@store 4\n",
        kNames);
    ASSERT_EQ(p.outcome(), "ok");
    EXPECT_EQ(p.files.contents("data/f.bin"), "abcxy");
    EXPECT_EQ(p.integer(4), 0);  // an object sharing the old holder sees it closed
}

}  // namespace mcb
