// Char and Debug natives (Range: ValueNativesTest.cpp).
#include "../support/NativeProgram.h"

namespace mcb {

TEST(Char, ConversionsAndClasses) {
    const struct {
        const char* code;
        TInt32 want;
    } cases[] = {
        {"push 0x1F600\nnative Char.from_int", 0xF600},  // the low 16 bits
        {"push 0xE9\nnative Char.to_upper", 0xC9},
        {"push 0x10061\nnative Char.to_upper", 'A'},
        {"push 0x3A3\nnative Char.to_lower", 0x3C3},
        {"push 99\npush 0x5A\nnative Char.lower_into", 'z'},  // replaces the first word and drops one
        {"push 0xE9\nnative Char.is_letter", 1},
        {"push 0x2D\nnative Char.is_letter", 0},
        {"push 0x660\nnative Char.is_digit", 1},  // Arabic-Indic zero
        {"push 0x20\nnative Char.is_space", 1},
    };
    for (const auto& c : cases) {
        NativeProgram p(storeTo(2, c.code));
        EXPECT_EQ(p.errorCode(), 0) << c.code;
        EXPECT_EQ(p.integer(2), c.want) << c.code;
    }
    EXPECT_EQ(NativeProgram(storeTo(2, "push 0xE9\nnative Char.to_string")).text(2), "\xC3\xA9");
}

TEST(Debug, LogAndOpenLogHandTheTextToTheHost) {
    NativeProgram p("ldstr hello\nnative Debug.log\nldstr accent\nnative Debug.log\nnative Debug.nop\n"
                    "ldstr path\nnative Debug.open_log\n",
                    ".string hello \"hello\"\n.string accent \"caf\\u{E9}\"\n.string path \"logs/app.txt\"\n");
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.host.logLines, (std::vector<std::string>{"hello", "caf\xC3\xA9"}));
    EXPECT_EQ(p.host.openedLogs, (std::vector<std::string>{"logs/app.txt"}));
    NativeProgram null("push 0\nnative Debug.log\n");
    EXPECT_EQ(null.errorCode(), 1);
    EXPECT_EQ(null.errorText(), "NullPointerException: NULL pointer");
    EXPECT_TRUE(null.host.logLines.empty());
}

}  // namespace mcb
