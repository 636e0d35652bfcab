// The failures of the reader, writer and stream groups: their order, codes and
// messages, including a holder of the wrong kind reaching any of them.
#include "FileProgram.h"

namespace {

const std::map<std::string, std::string> kNames = {{"f", "f.txt"}, {"empty", ""}};

// Global 2: a fresh Stream object; `setup` runs next, then `call` with
// global 2 pushed first.
std::string run(const std::string& setup, const std::string& args, const std::string& native) {
    FileProgram p("@new\n@store 2\n" + setup + "@load 2\n" + args + "native " + native + "\n", kNames);
    p.host.put("f.txt", "abc");
    return outcome(p);
}

const std::string kOpenedReader = "@load 2\nldstr f\nnative FileReader.open\n";
const std::string kOpenedWriter = "@load 2\nldstr f\npush -1\nnative FileWriter.open\n";
const std::string kClosedReader = kOpenedReader + "@load 2\nnative InputStream.close\n";
const std::string kClosedWriter = kOpenedWriter + "@load 2\nnative OutputStream.close\n";

const char* const kNotOpen = "7: IOException: File is not open";
const char* const kInvalidType = "10: VMException: Invalid TYPEID";

TEST(FileStreamErrors, NeverOpenedObjectsAreNotOpen) {
    for (const char* g : {"FileReader", "FileWriter"}) {
        SCOPED_TRACE(g);
        EXPECT_EQ(run("", "push 0\n", std::string(g) + ".seek"), kNotOpen);
        EXPECT_EQ(run("", "", std::string(g) + ".position"), kNotOpen);
        EXPECT_EQ(run("", "", std::string(g) + ".size"), kNotOpen);
    }
    EXPECT_EQ(run("", "push 0\n", "InputStream.read"), kNotOpen);
    EXPECT_EQ(run("", "@bytes x\n", "OutputStream.write"), kNotOpen);
    EXPECT_EQ(run("", "@bytes\n", "OutputStream.write"), kNotOpen);
    EXPECT_EQ(run("", "push 0\npush 1\n@bytes x\n", "OutputStream.write_part"), kNotOpen);
    EXPECT_EQ(run("", "", "InputStream.close"), "ok");
    EXPECT_EQ(run("", "", "OutputStream.close"), "ok");
}

TEST(FileStreamErrors, ClosedStreamsAreNotOpen) {
    EXPECT_EQ(run(kClosedReader, "push 0\n", "FileReader.seek"), kNotOpen);
    EXPECT_EQ(run(kClosedReader, "", "FileReader.position"), kNotOpen);
    EXPECT_EQ(run(kClosedReader, "", "FileReader.size"), kNotOpen);
    EXPECT_EQ(run(kClosedReader, "push 1\n", "InputStream.read"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "push 0\n", "FileWriter.seek"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "", "FileWriter.position"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "", "FileWriter.size"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "@bytes x\n", "OutputStream.write"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "@bytes\n", "OutputStream.write"), "ok");  // nothing to write
    EXPECT_EQ(run(kClosedWriter, "push 0\npush 1\n@bytes x\n", "OutputStream.write_part"), kNotOpen);
    EXPECT_EQ(run(kClosedWriter, "push 0\npush 0\n@bytes x\n", "OutputStream.write_part"), kNotOpen);
}

TEST(FileStreamErrors, NegativeSeekIsRejectedBeforeTheOpenTest) {
    for (const char* g : {"FileReader", "FileWriter"}) {
        SCOPED_TRACE(g);
        EXPECT_EQ(run("", "push -1\n", std::string(g) + ".seek"),
                  "6: InvalidArgumentException: Position is less than zero: -1");
        EXPECT_EQ(run(kOpenedReader, "push -2147483648\n", std::string(g) + ".seek"),
                  "6: InvalidArgumentException: Position is less than zero: -2147483648");
    }
}

TEST(FileStreamErrors, AWriterHolderNeverReachesAReaderOpcode) {
    EXPECT_EQ(run(kOpenedWriter, "push 0\n", "FileReader.seek"), kInvalidType);
    EXPECT_EQ(run(kOpenedWriter, "", "FileReader.position"), kInvalidType);
    EXPECT_EQ(run(kOpenedWriter, "", "FileReader.size"), kInvalidType);
    EXPECT_EQ(run(kOpenedWriter, "", "InputStream.close"), kInvalidType);
    EXPECT_EQ(run(kOpenedWriter, "", "InputStream.is_open"), kInvalidType);
    EXPECT_EQ(run(kOpenedWriter, "push 1\n", "InputStream.read"), kInvalidType);
    EXPECT_EQ(run(kClosedWriter, "", "FileReader.size"), kInvalidType);  // the type is tested before the state
}

TEST(FileStreamErrors, AReaderHolderNeverReachesAWriterOpcode) {
    EXPECT_EQ(run(kOpenedReader, "push 0\n", "FileWriter.seek"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "", "FileWriter.position"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "", "FileWriter.size"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "", "OutputStream.close"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "", "OutputStream.is_open"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "@bytes x\n", "OutputStream.write"), kInvalidType);
    EXPECT_EQ(run(kOpenedReader, "push 0\npush 1\n@bytes x\n", "OutputStream.write_part"), kInvalidType);
}

TEST(FileStreamErrors, AFieldHoldingSomethingElseIsAnInvalidType) {
    // The field gets a string cell, then a number that is no heap object at all.
    for (const char* value : {"ldstr f", "push 12345"}) {
        SCOPED_TRACE(value);
        const std::string forge = "@load 2\nfielda 1\n" + std::string(value) + "\nstore\n";
        EXPECT_EQ(run(forge, "", "FileReader.size"), kInvalidType);
        EXPECT_EQ(run(forge, "", "InputStream.is_open"), kInvalidType);
        EXPECT_EQ(run(forge, "push 1\n", "InputStream.read"), kInvalidType);
        EXPECT_EQ(run(forge, "@bytes x\n", "OutputStream.write"), kInvalidType);
    }
}

TEST(FileStreamErrors, EmptyFileNamesAreRejected) {
    EXPECT_EQ(run("", "ldstr empty\n", "FileReader.open"), "6: InvalidArgumentException: Filename is empty");
    EXPECT_EQ(run("", "ldstr empty\npush 0\n", "FileWriter.open"), "6: InvalidArgumentException: Filename is empty");
}

TEST(FileStreamErrors, NullObjectsAndVectorsArePointerErrors) {
    FileProgram p("push 0\nnative FileReader.size\n");
    EXPECT_EQ(outcome(p), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(run(kOpenedWriter, "push 0\n", "OutputStream.write"), "1: NullPointerException: NULL pointer");
}

TEST(FileStreamErrors, UnknownFunctionsNameTheirGroup) {
    const std::pair<int, const char*> cases[] = {{21, "OutputStream:"}, {22, "FileWriter:"}, {23, "InputStream:"},
                                                 {24, "FileReader:"}, {25, "FileSystem:"}};
    for (auto [group, prefix] : cases) {
        for (int function : {0, 11, 255}) {  // 255 is function -1
            FileProgram p("native " + std::to_string(group) + ", " + std::to_string(function) + "\n");
            const std::string result = outcome(p);
            EXPECT_EQ(result.rfind(std::string("10: VMException: ") + prefix, 0), 0u) << result;
        }
    }
}

}  // namespace
