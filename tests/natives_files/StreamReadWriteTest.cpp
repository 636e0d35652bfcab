// Writing files through a writer and its output stream, and reading them back
// through a reader and its input stream, byte for byte.
#include "FileProgram.h"

namespace {

const std::map<std::string, std::string> kNames = {{"f", "data/f.bin"}};

// Global 2: a writer opened on data/f.bin (append flag `append`).
std::string openWriter(bool append) {
    return "@new\n@store 2\n@load 2\nldstr f\npush " + std::string(append ? "-1" : "0") +
           "\nnative FileWriter.open\n";
}
// Global 3: a reader opened on data/f.bin.
const std::string kOpenReader = "@new\n@store 3\n@load 3\nldstr f\nnative FileReader.open\n";
const std::string kCloseWriter = "@load 2\nnative OutputStream.close\n";

TEST(FileStreams, WriteThenReadBackByteForByte) {
    FileProgram p(openWriter(false) + R"(
@load 2
@bytes hello world
native OutputStream.write
@load 2
native FileWriter.position
@store 4
@load 2
native FileWriter.size
@store 5
)" + kCloseWriter + kOpenReader + R"(
@load 3
native FileReader.size
@store 6
@load 3
push 6
native FileReader.seek
@load 3
push 5
native InputStream.read
@store 7
@load 3
native FileReader.position
@store 8
@load 3
push 0
native FileReader.seek
@load 3
push 11
native InputStream.read
@store 9
)", kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.contents("data/f.bin"), "hello world");  // the directory was made on the way
    EXPECT_EQ(p.global(4), 11);
    EXPECT_EQ(p.global(5), 11);
    EXPECT_EQ(p.global(6), 11);
    EXPECT_EQ(p.bytes(7), "world");
    EXPECT_EQ(p.global(8), 11);
    EXPECT_EQ(p.bytes(9), "hello world");
}

TEST(FileStreams, EveryByteValueSurvivesTheRoundTrip) {
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(char(c));
    FileProgram p(kOpenReader + "@load 3\npush 256\nnative InputStream.read\n@store 4\n" + openWriter(false) +
                      "@load 2\n@load 4\nnative OutputStream.write\n" + kCloseWriter,
                  kNames);
    p.host.makeDirectory("data");
    p.host.put("data/f.bin", all);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.bytes(4), all);
    EXPECT_EQ(p.host.contents("data/f.bin"), all);
}

TEST(FileStreams, AppendKeepsTheOldContentsAndTruncateDropsThem) {
    FileProgram appending(openWriter(true) + "@load 2\n@bytes cd\nnative OutputStream.write\n" + kCloseWriter, kNames);
    appending.host.makeDirectory("data");
    appending.host.put("data/f.bin", "ab");
    ASSERT_EQ(outcome(appending), "ok");
    EXPECT_EQ(appending.host.contents("data/f.bin"), "abcd");

    FileProgram truncating(openWriter(false) + "@load 2\n@bytes cd\nnative OutputStream.write\n" + kCloseWriter, kNames);
    truncating.host.makeDirectory("data");
    truncating.host.put("data/f.bin", "ab");
    ASSERT_EQ(outcome(truncating), "ok");
    EXPECT_EQ(truncating.host.contents("data/f.bin"), "cd");
}

TEST(FileStreams, AppendingWriterStartsAtTheOldEnd) {
    FileProgram p(openWriter(true) + "@load 2\nnative FileWriter.position\n@store 4\n" + kCloseWriter, kNames);
    p.host.makeDirectory("data");
    p.host.put("data/f.bin", "abc");
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.global(4), 3);
}

TEST(FileStreams, WriterSeekOverwritesInPlace) {
    FileProgram p(openWriter(false) + R"(
@load 2
@bytes hello
native OutputStream.write
@load 2
push 1
native FileWriter.seek
@load 2
@bytes EL
native OutputStream.write
@load 2
push 5
native FileWriter.seek
@load 2
@bytes !
native OutputStream.write
)" + kCloseWriter, kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.contents("data/f.bin"), "hELlo!");
}

TEST(FileStreams, WritePartTakesOffsetAndCount) {
    FileProgram p(openWriter(false) + R"(
@load 2
push 2
push 3
@bytes abcdefg
native OutputStream.write_part
@load 2
push 5
push -1
@bytes abcdefg
native OutputStream.write_part
@load 2
push 99
push 0
@bytes abc
native OutputStream.write_part
@load 2
@bytes
native OutputStream.write
)" + kCloseWriter, kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.host.contents("data/f.bin"), "cdefg");  // a negative count runs to the end
}

std::string writePart(const std::string& offset, const std::string& count) {
    FileProgram p(openWriter(false) + "@load 2\npush " + offset + "\npush " + count +
                      "\n@bytes abcdefg\nnative OutputStream.write_part\n",
                  kNames);
    return outcome(p);
}

TEST(FileStreams, WritePartRangeMustLieInTheVector) {
    EXPECT_EQ(writePart("5", "3"), "5: RangeException: Invalid Range, range out of bounds: 8 > 7");
    EXPECT_EQ(writePart("-1", "0"), "5: RangeException: Invalid Range, first should be non-negative (first=-1)");
    EXPECT_EQ(writePart("8", "-1"), "5: RangeException: Invalid Range, first should not be more than 7, first = 8");
    EXPECT_EQ(writePart("2147483647", "2"), "5: RangeException: Invalid Range, range out of bounds: 2147483649 > 7");
}

TEST(FileStreams, OpenTestFollowsOpenAndClose) {
    FileProgram p(R"(
@new
@store 2
@load 2
native OutputStream.is_open
@store 4
@load 2
native OutputStream.close
)" + openWriter(false) + R"(
@load 2
native OutputStream.is_open
@store 5
@load 2
native OutputStream.close
@load 2
native OutputStream.is_open
@store 6
)" + kOpenReader + R"(
@load 3
native InputStream.is_open
@store 7
@load 3
native InputStream.close
@load 3
native InputStream.is_open
@store 8
@load 3
native InputStream.close
)", kNames);
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.global(4), 0);
    EXPECT_EQ(p.global(5), -1);
    EXPECT_EQ(p.global(6), 0);
    EXPECT_EQ(p.global(7), -1);
    EXPECT_EQ(p.global(8), 0);
}

TEST(FileStreams, ReadingNothingGivesAnEmptyVector) {
    FileProgram p(kOpenReader + "@load 3\npush 0\nnative InputStream.read\n@store 4\n", kNames);
    p.host.makeDirectory("data");
    p.host.put("data/f.bin", "");
    ASSERT_EQ(outcome(p), "ok");
    EXPECT_EQ(p.bytes(4), "");
}

std::string readFrom(const std::string& contents, const std::string& prefix, const std::string& count) {
    FileProgram p(kOpenReader + prefix + "@load 3\npush " + count + "\nnative InputStream.read\n@store 4\n", kNames);
    p.host.makeDirectory("data");
    p.host.put("data/f.bin", contents);
    return outcome(p);
}

TEST(FileStreams, ReadChecksCountThenOpenThenLength) {
    EXPECT_EQ(readFrom("abc", "", "-1"), "6: InvalidArgumentException: The number of bytes should be non-negative");
    EXPECT_EQ(readFrom("abc", "", "4"), "7: IOException");
    EXPECT_EQ(readFrom("abc", "", "2147483647"), "7: IOException");  // fails before any allocation
    EXPECT_EQ(readFrom("abc", "@load 3\npush 3\nnative FileReader.seek\n", "1"), "7: IOException");
    EXPECT_EQ(readFrom("abc", "@load 3\nnative InputStream.close\n", "0"), "7: IOException: File is not open");
    EXPECT_EQ(readFrom("abc", "@load 3\nnative InputStream.close\n", "-1"),
              "6: InvalidArgumentException: The number of bytes should be non-negative");
}

TEST(FileStreams, ReaderSeekStaysWithinTheFile) {
    EXPECT_EQ(readFrom("abc", "@load 3\npush 4\nnative FileReader.seek\n", "0"), "7: IOException");
    EXPECT_EQ(readFrom("abc", "@load 3\npush 3\nnative FileReader.seek\n", "0"), "ok");
}

TEST(FileStreams, OpeningAMissingFileNamesIt) {
    FileProgram p(kOpenReader, kNames);
    EXPECT_EQ(outcome(p), "7: IOException: Could not open file: data/f.bin");
}

TEST(FileStreams, OpeningAWriterOnADirectoryFails) {
    FileProgram p(openWriter(false), kNames);
    p.host.makeDirectory("data/f.bin");
    EXPECT_EQ(outcome(p), "7: IOException");
}

}  // namespace
