// Char, Debug and Range natives.
#include "../support/NativeProgram.h"

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

// Globals 2-3 are the range variable; "rv" pushes its address.
namespace {
NativeProgram withRange(std::string_view body) {
    std::string s(body);
    for (size_t at; (at = s.find("rv\n")) != std::string::npos;) s.replace(at, 3, "ldglobals\nfielda 2\n");
    return NativeProgram(s);
}
}  // namespace

TEST(Range, SettersAndReaders) {
    const struct {
        const char* code;
        TInt32 start, length;
    } cases[] = {
        {"rv\npush 3\npush 3\nnative Range.set_first_last\n", 3, 1},
        {"rv\npush 2\nnative Range.set_to_end\n", 2, -1},
        {"rv\npush 4\npush 5\nnative Range.set_start_length\nrv\nnative Range.set_empty\n", 0, 0},
        {"rv\npush 5\npush 6\nnative Range.set_start_length\nrv\npush 7\nnative Range.set_start\n"
         "rv\npush 8\nnative Range.set_length\n", 7, 8},
    };
    for (const auto& c : cases) {
        NativeProgram p = withRange(c.code);
        EXPECT_EQ(p.errorCode(), 0) << c.code;
        EXPECT_EQ(p.integer(2), c.start) << c.code;
        EXPECT_EQ(p.integer(3), c.length) << c.code;
    }
    // The whole int range from zero reads as "to the end".
    EXPECT_LT(withRange("rv\npush 0\npush 0x7FFFFFFF\nnative Range.set_first_last\n").integer(3), 0);
    NativeProgram p = withRange("rv\npush 4\npush 5\nnative Range.set_start_length\nldglobals\nfielda 4\nrv\n"
                                "native Range.assign\n" + storeTo(6, "rv\nnative Range.start") +
                                storeTo(7, "rv\nnative Range.length") +
                                storeTo(8, "push 0\npush -1\npush 0\npush -1\nnative Range.eq") +
                                storeTo(9, "push 0\npush -1\npush 0\npush -1\nnative Range.ne") +
                                storeTo(10, "push 1\npush 2\npush 2\npush 1\nnative Range.eq"));
    EXPECT_EQ((std::vector<TInt32>{p.integer(4), p.integer(5), p.integer(6), p.integer(7), p.integer(8), p.integer(9),
                                   p.integer(10)}),
              (std::vector<TInt32>{4, 5, 4, 5, 1, 0, 0}));
}

TEST(Range, InvalidValuesChangeNothing) {
    NativeProgram p = withRange("rv\npush 1\npush 9\nnative Range.set_start_length\n"
                                "rv\npush 4\npush 3\nnative Range.set_first_last\n");
    EXPECT_EQ(p.errorCode(), 6);
    EXPECT_EQ(p.errorText(), "InvalidArgumentException");
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(3), 9);
    for (const char* bad : {"rv\npush -1\nnative Range.set_start\n", "rv\npush -1\nnative Range.set_length\n",
                            "rv\npush -1\npush 0\nnative Range.set_start_length\n",
                            "rv\npush 0\npush -2\nnative Range.set_start_length\n", "rv\npush -1\nnative Range.set_to_end2\n"})
        EXPECT_EQ(withRange(bad).errorCode(), 6) << bad;
    EXPECT_EQ(NativeProgram("push 0\nnative Range.set_empty\n").errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram("push 0x7FFFFFF0\nnative Range.start\n").errorCode(), 10);
}
