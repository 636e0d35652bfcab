// What the assembler writes (the default header, operands of each kind, above all the bases of
// jump and handler offsets taken from labels) and how it reports errors: line, column, wording,
// and as FILE:LINE:COLUMN: MESSAGE with exit status 1 from mcbasm.
#include "ToolTestSupport.h"

namespace mcb {

using namespace tooltest;

namespace {

// Expects `source` to fail at line:column with `message`, or with a message starting with it.
void expectError(const std::string& source, int line, int column, const std::string& message, bool prefix = false) {
    SCOPED_TRACE(source);
    try {
        mcbasm::assemble(source);
        ADD_FAILURE() << "no error";
    } catch (const mcbasm::AsmError& e) {
        EXPECT_EQ(e.pos().line, line);
        EXPECT_EQ(e.pos().column, column);
        EXPECT_EQ(prefix ? std::string(e.what()).substr(0, message.size()) : std::string(e.what()), message);
    }
}

}  // namespace

TEST(Assembler, EmptySourceGivesTheSmallestImage) {
    std::vector<uint8_t> expected = {20};
    expected.insert(expected.end(), 20, 0);         // identifier
    expected.insert(expected.end(), {0xFF, 0xFF});  // marker
    expected.insert(expected.end(), 9, 4);          // widths
    expected.insert(expected.end(), 6 * 4, 0);      // methods .. strings: count 0
    EXPECT_EQ(mcbasm::assemble(""), expected);
}

TEST(Assembler, CodeBytesOfEachOperandKind) {
    const struct {
        const char* source;
        std::vector<uint8_t> code;
    } cases[] = {
        // Jumps are relative to their last operand byte: jz at 0, target 4 => 4 - 2.
        {"jz next\n nop\nnext: nop\n", {10, 2, 0, 0, 0}},
        {"top: nop\n jmp_w top\n", {0, 13, 0xFB, 0xFF, 0xFF, 0xFF}},
        // The catch continues at handler address + 1: try at 0 ending at 8, handler at 9 => 0.
        {".class C\n try C, h\nh: nop\n", {117, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {" try -1, h\n nop\nh: nop\n", {117, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0}},
        {" jmp -3\n try 0, 7\n", {12, 0xFD, 0xFF, 117, 0, 0, 0, 0, 7, 0, 0, 0}},  // numbers as written
        {".descriptor a\n.descriptor b\n nop\nf: call f, b\n", {0, 14, 1, 0, 0, 0, 1, 0, 0, 0}},
        {" native String, 160\n", {78, 8, 160}},
        {" native Float, to_string\n", {78, 36, 10}},
        {" extcall 21, -1\n", {97, 21, 0xFF}},
        {".string a \"x\"\n.string b \"y\"\n.class P\n.class Q\n.selector s0 \"m\"\n.selector s1 \"n\"\n"
         " ldstr b\n setclass Q\n callv s1\n",
         {21, 1, 0, 0, 0, 22, 1, 0, 0, 0, 15, 1, 0, 0, 0}},
        {" push 0xFFFFFFFF\n push -1\n", {20, 255, 255, 255, 255, 20, 255, 255, 255, 255}},
        {" push64 1, -2\n", {65, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
        {" .byte 0, 255, -103\n", {0, 255, 0x99}},
        // Constants stand for numbers, before or after their definition.
        {" push WHITE\n.equ WHITE, 0xFFFFFFFF\n.equ X, -2\n fielda X\n", {20, 255, 255, 255, 255, 5, 0xFE}},
    };
    for (const auto& c : cases) EXPECT_EQ(codeOf(c.source), c.code) << c.source;
}

TEST(Assembler, StringEscapesRecordsAndWidthShapedFields) {
    auto im = mcbtools::readImage(mcbasm::assemble(".string \"a\\n\\t\\\\\\\"\\x00\\xFF\\u{e9}\\u{20AC}ü\"\n"));
    ASSERT_EQ(im.strings.size(), 1u);
    EXPECT_EQ(im.strings[0], std::string("a\n\t\\\"\0\xFF\xC3\xA9\xE2\x82\xAC\xC3\xBC", 14));
    im = mcbtools::readImage(mcbasm::assemble(".widths 1, 2, 1, 1, 1, 1, 1, 1, 1\n.descriptor d\n"
                                              ".method \"m\", e, d\n.selector \"s\"\n .impl 3, e, 2\ne: nop\n"));
    ASSERT_EQ(im.methods.size(), 1u);
    EXPECT_EQ(im.methods[0].codeAddress, 0);
    ASSERT_EQ(im.selectors[0].impls.size(), 1u);
    EXPECT_EQ(im.selectors[0].impls[0].classIndex, 3);
    EXPECT_EQ(im.selectors[0].impls[0].descriptor, 2);
    im = mcbtools::readImage(mcbasm::assemble(".class A\n.class B\n .fieldwidth 2\n .reffields 1, 2\n"
                                              " .arrayfields ref 3, val 4\n .super A\n .trailing A, B\n"));
    ASSERT_EQ(im.classes.size(), 2u);
    const auto& b = im.classes[1];
    EXPECT_EQ(b.width, 2);
    EXPECT_EQ(b.refFields, (std::vector<mcbtools::Value>{1, 2}));
    ASSERT_EQ(b.arrayFields.size(), 2u);
    EXPECT_EQ(std::vector<mcbtools::Value>({b.arrayFields[0].flag, b.arrayFields[1].flag, b.superPresent,
                                            b.superIndex}),
              std::vector<mcbtools::Value>({255, 0, 1, 0}));
    EXPECT_EQ(b.trailing, (std::vector<mcbtools::Value>{0, 1}));
    EXPECT_EQ(im.classes[0].superPresent, 0);
    im = mcbtools::readImage(mcbasm::assemble(".globals COUNT\n.equ COUNT, 12\n.equ ARGS, 3\n.descriptor d\n"
                                              " .lengths ARGS, 0, 1\n"));
    EXPECT_EQ(im.globals, 12);
    EXPECT_EQ(im.descriptors[0].first, 3);
}

TEST(AsmError, EachErrorIsLocatedAndWorded) {
    const struct {
        const char* source;
        int line, column;
        const char* message;
        bool prefix = false;
    } cases[] = {
        {"nop\n  frob 1\n", 2, 3, "unknown mnemonic 'frob'"},
        {"  push\n", 1, 7, "expected an operand, found end of line"},
        {"  push 1 2\n", 1, 10, "expected end of line, found a number"},
        {"  jmp nowhere\n", 1, 7, "undefined label 'nowhere'"},
        {"a: nop\na: nop\n", 2, 1, "'a' is already defined at line 1"},
        {".class K\n  jmp K\n", 2, 7, "'K' is a class, expected a label"},
        {"  ldloc 200\n", 1, 9, "operand 200 does not fit in 1 byte (signed)"},
        {"  native Strung.length\n", 1, 10, "unknown native group 'Strung'"},
        {"  native String.lenght\n", 1, 17, "unknown function 'lenght' in String"},
        {"  extcall Torch, flash\n", 1, 18, "unknown function 'flash' in Torch"},
        {"  extcall -4294967276, 1\n", 1, 11, "operand -4294967276 does not fit in 1 byte (signed)"},  // no wrap onto 20
        {".identifier \"short\"\n", 1, 13, "the identifier must be exactly 20 bytes, found 5"},
        {".widths 4, 4, 3, 4, 4, 4, 4, 4, 4\n", 1, 15, "width W3 must be 1, 2 or 4"},
        {".method \"m\", 0, 0\n.widths 1, 1, 1, 1, 1, 1, 1, 1, 1\n", 2, 1,
         "'.widths' must come before the methods, selectors, classes and descriptors"},
        {".widths 1, 1, 1, 1, 1, 1, 1, 1, 1\n.method \"m\", 256, 0\n", 2, 14,
         "code address 256 does not fit in 1 byte"},
        {".impl 0, 0, 0\n", 1, 1, "'.impl' outside a '.selector'"},
        {".reffields 1\n", 1, 1, "'.reffields' outside a '.class'"},
        {".class\n .reffields 1\n .fieldwidth 1\n", 3, 2, "'.fieldwidth' must come before the record's slots"},
        {".class\n .fieldwidth 1\n .reffields 1, 256\n", 3, 16, "field index 256 does not fit in 1 byte"},
        {".class\n .arrayfields maybe 1\n", 2, 15, "expected 'ref' or 'val', found 'maybe'"},
        {".descriptor\n .lengths 1, 2\n", 2, 15, "expected ',', found end of line"},
        {".string \"abc\n", 1, 9, "unterminated string"},
        {".string \"\\q\"\n", 1, 10, "unknown escape '\\q'"},
        {"  .byte 256\n", 1, 9, "byte value 256 out of range"},
        {"  push 0x1G\n", 1, 11, "invalid digit in number"},
        {"  push 99999999999\n", 1, 8, "number out of range"},
        {".bogus\n", 1, 1, "unknown directive '.bogus'"},
        {"  nop ?\n", 1, 7, "unexpected character '?'"},
        {".reffields: nop\n", 1, 1, "a label cannot start with '.'"},
        {"  push N\n", 1, 8, "undefined constant 'N'"},
        {"L: push L\n", 1, 9, "'L' is a label, expected a number"},
        {".equ N, 1\n.equ N, 2\n", 2, 6, "'N' is already defined at line 1"},
        {".equ N, M\n", 1, 9, "expected a number, found a name"},
        {".equ N, 300\n  ldloc N\n", 2, 9, "operand 300 does not fit in 1 byte (signed)"},
        // Images the loader would refuse are errors at their statement, in the loader's words.
        {".selector \"x\"\n nop\n callv 1\n", 3, 2, "the image would not load: expected ", true},  // no selector 1
        {" nop\n  .byte 20, 1\n", 2, 3, "the image would not load: expected ", true},  // push cut off by the end
        {"\n .globals 99999999\n", 2, 2, "the image would not load: expected ", true},  // more than the loader takes
    };
    for (const auto& c : cases) expectError(c.source, c.line, c.column, c.message, c.prefix);
}

TEST(AsmError, CommandLineNamesTheFileOrStandardInputAndFails) {
    const auto source = scratchDir() / "bad.s";
    std::ofstream(source) << "; comment\nstart:\n    jmp start\n    pop 3\n";
    const auto image = scratchDir() / "bad.mcb";
    CommandResult r = run(tool("mcbasm") + " " + source.string() + " -o " + image.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, source.string() + ":4:5: unknown mnemonic 'pop'\n");
    EXPECT_FALSE(fs::exists(image));
    r = run("printf 'nop\\n  jz\\n' | " + tool("mcbasm") + " - -o " + (scratchDir() / "stdin.mcb").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "<stdin>:2:5: expected an operand, found end of line\n");
}

}  // namespace mcb
