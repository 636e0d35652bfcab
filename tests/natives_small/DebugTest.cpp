#include "../natives_numeric/NativeProgram.h"

TEST(Debug, LogHandsTheTextToTheHost) {
    NativeProgram p(R"(
    ldstr hello
    native Debug.log
    ldstr accent
    native Debug.log
)", ".string hello \"hello\"\n.string accent \"caf\\u{E9}\"\n");
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.host.logLines, (std::vector<std::string>{"hello", "caf\xC3\xA9"}));
}

TEST(Debug, OpenLogAndNoOperation) {
    NativeProgram p(R"(
    native Debug.nop
    ldstr path
    native Debug.open_log
)", ".string path \"logs/app.txt\"\n");
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.host.openedLogs, (std::vector<std::string>{"logs/app.txt"}));
}

TEST(Debug, NullStringIsCatchable) {
    NativeProgram p("push 0\nnative Debug.log\n");
    EXPECT_EQ(p.errorCode(), 1);
    EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer");
    EXPECT_TRUE(p.host.logLines.empty());
}

TEST(Debug, UnknownFunctionNamesThePosition) {
    // try is 9 bytes; the native's last operand byte is at 11.
    NativeProgram p("native Debug, 4\n");
    EXPECT_EQ(p.errorCode(), 10);
    EXPECT_EQ(p.errorText(), "VMException: Debug:11");
}
