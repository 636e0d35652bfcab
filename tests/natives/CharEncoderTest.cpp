// Char, Debug, Encoder and Hash natives (Range: ValueNativesTest.cpp): characters, the log,
// UTF-8 both ways and bad bytes (the edges of UTF-8, surrogates included: ObjectsTest.cpp) and
// the hash object, which collects data and digests to nothing.
#include "../support/NativeProgram.h"

namespace mcb {

TEST(Char, ConversionsAndClasses) {
    const struct {
        const char* code;
        TInt32 want;
    } cases[] = {
        {"push 0x1F600\nnative Char.from_int", 0xF600},  // the low 16 bits
        {"push 0x10061\nnative Char.to_upper", 'A'},
        {"push 0x3A3\nnative Char.to_lower", 0x3C3},
        {"push 99\npush 0x5A\nnative Char.lower_into", 'z'},  // replaces the first word and drops one
        {"push 0xE9\nnative Char.is_letter", 1},
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

TEST(Debug, LogAndOpenLogHandTheTextToTheHostAndALongMessageIsOneLine) {
    NativeProgram p(
        "ldstr hello\nnative Debug.log\nldstr accent\nnative Debug.log\nnative Debug.nop\n"
        "ldstr path\nnative Debug.open_log\n",
        ".string hello \"hello\"\n.string accent \"caf\\u{E9}\"\n.string path \"logs/app.txt\"\n");
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.host.logLines, (std::vector<std::string>{"hello", "caf\xC3\xA9"}));
    EXPECT_EQ(p.host.openedLogs, (std::vector<std::string>{"logs/app.txt"}));
    NativeProgram null("push 0\nnative Debug.log\n");
    EXPECT_EQ(errorOf(null), "1: NullPointerException: NULL pointer");
    EXPECT_TRUE(null.host.logLines.empty());
    // The line goes out in pieces: the bytes are those of one line, a 0 byte ending it there.
    auto written = [](const OString& message) {
        std::FILE* f = std::tmpfile();
        FrameworkServices::writeLogLine(f, message);
        std::string out(size_t(std::ftell(f)), '\0');
        std::rewind(f);
        out.resize(std::fread(out.data(), 1, out.size(), f));
        std::fclose(f);
        return out;
    };
    OString longer(TUint16('x'), 10000);
    longer.append(TUint16(0x1E9));
    EXPECT_EQ(written(longer), "LOG: " + std::string(10000, 'x') + "\xE9\n");
    const TUint16 zero[] = {'a', 'b', 0x100, 'c'};
    EXPECT_EQ(written(OString(zero, 4)), "LOG: ab");
}

using Bytes = std::vector<TUint8>;

TEST(EncoderAndHash, Utf8BothWaysHashesDigestToEmptyAndWrongOperandsAreRefused) {
    NativeProgram p(storeTo(2, "ldstr s\nnative Encoder.to_utf8") +
                        storeTo(3, "ldglobals\nfielda 2\nderef\nnative Encoder.from_utf8") +
                        storeTo(4, "ldstr empty\nnative Encoder.to_utf8"),
                    ".string s \"A\\u{E9}\\u{20AC}\"\n.string empty \"\"\n");
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(bytesAt(p, 2), (Bytes{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(p.text(3), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(bytesAt(p, 4), Bytes{});
    NativeProgram bad(storeTo(2, "extcall 20, 99\nnative Encoder.from_utf8"), {}, handingBytes({0x41, 0xFF}));
    EXPECT_EQ(bad.errorCode(), 4);
    for (const char* null : {"push 0\nnative Encoder.to_utf8\n", "push 0\nnative Encoder.from_utf8\n",
                             "push 0\nbox\nnative Encoder.from_utf8\n"})
        EXPECT_EQ(NativeProgram(null).errorText(), "NullPointerException: NULL pointer") << null;
    NativeProgram cell("ldstr s\nnative Encoder.from_utf8\n", ".string s \"x\"\n");
    EXPECT_EQ(errorOf(cell), "10: VMException: Invalid TYPEID");
    // The hash collects data and digests to nothing.
    const std::string hashCell = "ldglobals\nfielda 3\n";
    NativeProgram h(hashCell + "push 2\nnative Hash.new\n" + hashCell + "extcall 20, 99\nnative Hash.update\n" +
                        storeTo(2, hashCell + "native Hash.digest") +
                        storeTo(4, "extcall 20, 99\npush 5\nnative Hash.digest_bytes"),
                    {}, handingBytes({9, 8, 7}));
    ASSERT_EQ(h.errorCode(), 0) << h.errorText();
    EXPECT_EQ((std::vector<Bytes>{bytesAt(h, 2), bytesAt(h, 4)}), (std::vector<Bytes>{{}, {}}));
    const VMAddr hash = h.word(3);
    EXPECT_EQ(h.vm.heap().headerOf(hash)->gcCode, TUint32(GC_CODE_HASH));
    EXPECT_GE(h.vm.heap().object(hash)->sizeOutsideHeap(), 3);
    for (const char* none : {"push 0\npush 1\nnative Hash.new\n", "push 0\nbox\nnative Hash.digest\n",
                             "push 0\npush 1\nnative Hash.digest_bytes\n"})
        EXPECT_EQ(NativeProgram(none).errorCode(), 1) << none;
    EXPECT_EQ(NativeProgram("extcall 20, 99\nnative Hash.digest\n", {}, handingBytes({1})).errorText(),
              "VMException: Invalid TYPEID");
}

}  // namespace mcb
