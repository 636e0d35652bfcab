// Assembly errors name the line and column of the offending token, and mcbasm prints them
// as FILE:LINE:COLUMN: MESSAGE with exit status 1.
#include "ToolTestSupport.h"

#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

using namespace tooltest;

namespace {

struct ErrorCase {
    const char* source;
    int line;
    int column;
    const char* message;
};

const ErrorCase kCases[] = {
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
};

}  // namespace

TEST(AsmError, EachErrorIsLocatedAndWorded)
{
    for (const ErrorCase& c : kCases) {
        SCOPED_TRACE(c.source);
        try {
            mcbasm::assemble(c.source);
            ADD_FAILURE() << "no error";
        } catch (const mcbasm::AsmError& e) {
            EXPECT_EQ(e.pos().line, c.line);
            EXPECT_EQ(e.pos().column, c.column);
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(AsmError, CommandLinePrintsFileLineColumnAndFails)
{
    const auto source = scratchDir() / "bad.s";
    writeText(source, "; comment\nstart:\n    jmp start\n    pop 3\n");
    const auto image = scratchDir() / "bad.mcb";
    const CommandResult r = run(toolPath("mcbasm").string() + " " + source.string() + " -o " + image.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, source.string() + ":4:5: unknown mnemonic 'pop'\n");
    EXPECT_FALSE(std::filesystem::exists(image));
}

TEST(AsmError, StandardInputIsNamedInMessages)
{
    const CommandResult r = run("printf 'nop\\n  jz\\n' | " + toolPath("mcbasm").string() + " - -o "
                                + (scratchDir() / "stdin.mcb").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "<stdin>:2:5: expected an operand, found end of line\n");
}

TEST(AsmError, ImagesTheLoaderWouldRefuseAreErrorsAtTheirStatement)
{
    const struct {
        const char* source;
        int line;
        int column;
    } cases[] = {
        {".selector \"x\"\n nop\n callv 1\n", 3, 2},  // no selector 1
        {" nop\n  .byte 20, 1\n", 2, 3},              // push cut off by the end
        {"\n .globals 99999999\n", 2, 2},             // more globals than the loader takes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        try {
            mcbasm::assemble(c.source);
            ADD_FAILURE() << "no error";
        } catch (const mcbasm::AsmError& e) {
            EXPECT_EQ(e.pos().line, c.line);
            EXPECT_EQ(e.pos().column, c.column);
            EXPECT_EQ(std::string(e.what()).rfind("the image would not load: expected ", 0), 0u) << e.what();
        }
    }
}
