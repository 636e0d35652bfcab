// What the assembler writes: the default header, the section layout, and operands of each
// kind — above all the bases of jump and handler offsets taken from labels.
#include "common/ImageReader.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// The code section of an image assembled from a source with default sections.
std::vector<uint8_t> codeOf(const std::string& source)
{
    return mcbtools::readImage(mcbasm::assemble(source)).code;
}

std::vector<uint8_t> bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

}  // namespace

TEST(Assembler, EmptySourceGivesTheSmallestImage)
{
    std::vector<uint8_t> expected = {20};
    expected.insert(expected.end(), 20, 0);                  // identifier
    expected.insert(expected.end(), {0xFF, 0xFF});           // marker
    expected.insert(expected.end(), 9, 4);                   // widths
    for (int section = 0; section < 6; ++section)            // methods .. strings: count 0
        expected.insert(expected.end(), {0, 0, 0, 0});
    EXPECT_EQ(mcbasm::assemble(""), expected);
}

TEST(Assembler, ForwardJumpIsRelativeToItsLastOperandByte)
{
    // jz at 0, operand bytes 1-2; target 4 => offset 4 - 2 = 2.
    EXPECT_EQ(codeOf("jz next\n nop\nnext: nop\n"), bytes({10, 2, 0, 0, 0}));
}

TEST(Assembler, BackwardJumpHasANegativeOffset)
{
    // jmp_w at 1, operand bytes 2-5; target 0 => offset -5.
    EXPECT_EQ(codeOf("top: nop\n jmp_w top\n"), bytes({0, 13, 0xFB, 0xFF, 0xFF, 0xFF}));
}

TEST(Assembler, HandlerLabelIsWhereTheCatchContinues)
{
    // try at 0, last operand byte 8; the catch continues at handler address + 1,
    // so a handler at 9 is stored as offset 0.
    EXPECT_EQ(codeOf(".class C\n try C, h\nh: nop\n"), bytes({117, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(codeOf(" try -1, h\n nop\nh: nop\n"),
              bytes({117, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0}));
}

TEST(Assembler, NumbersInOffsetOperandsAreStoredAsWritten)
{
    EXPECT_EQ(codeOf(" jmp -3\n try 0, 7\n"),
              bytes({12, 0xFD, 0xFF, 117, 0, 0, 0, 0, 7, 0, 0, 0}));
}

TEST(Assembler, CallTakesAnAbsoluteAddressAndANamedDescriptor)
{
    const std::string src = ".descriptor a\n.descriptor b\n nop\nf: call f, b\n";
    EXPECT_EQ(codeOf(src), bytes({0, 14, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(Assembler, NativeCallsByNameOrNumber)
{
    EXPECT_EQ(codeOf(" native String.length\n"), bytes({78, 8, 10}));
    EXPECT_EQ(codeOf(" native String, 160\n"), bytes({78, 8, 160}));
    EXPECT_EQ(codeOf(" native 36, 0\n"), bytes({78, 36, 0}));
    EXPECT_EQ(codeOf(" native Float, to_string\n"), bytes({78, 36, 10}));
    EXPECT_EQ(codeOf(" extcall Accelerometer.z\n"), bytes({97, 20, 13}));
    EXPECT_EQ(codeOf(" extcall 21, -1\n"), bytes({97, 21, 0xFF}));
}

TEST(Assembler, NamedStringsClassesAndSelectors)
{
    const std::string src = ".string a \"x\"\n.string b \"y\"\n.class P\n.class Q\n"
                            ".selector s0 \"m\"\n.selector s1 \"n\"\n"
                            " ldstr b\n setclass Q\n callv s1\n";
    EXPECT_EQ(codeOf(src), bytes({21, 1, 0, 0, 0, 22, 1, 0, 0, 0, 15, 1, 0, 0, 0}));
}

TEST(Assembler, UnsignedAndSignedSpellingsOfOperands)
{
    EXPECT_EQ(codeOf(" push 0xFFFFFFFF\n push -1\n"), bytes({20, 255, 255, 255, 255, 20, 255, 255, 255, 255}));
    EXPECT_EQ(codeOf(" alloc 14, 4294967295\n"), bytes({17, 14, 255, 255, 255, 255}));
    EXPECT_EQ(codeOf(" push64 1, -2\n"), bytes({65, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(codeOf(" .byte 0, 255, -103\n"), bytes({0, 255, 0x99}));
}

TEST(Assembler, StringEscapesGiveTheirBytes)
{
    const auto im = mcbtools::readImage(mcbasm::assemble(".string \"a\\n\\t\\\\\\\"\\x00\\xFF\\u{e9}\\u{20AC}ü\"\n"));
    ASSERT_EQ(im.strings.size(), 1u);
    EXPECT_EQ(im.strings[0], std::string("a\n\t\\\"\0\xFF\xC3\xA9\xE2\x82\xAC\xC3\xBC", 14));
}

TEST(Assembler, WidthsShapeEverySizedField)
{
    const std::string src = ".widths 1, 2, 1, 1, 1, 1, 1, 1, 1\n.descriptor d\n"
                            ".method \"m\", e, d\n.selector \"s\"\n .impl 3, e, 2\ne: nop\n";
    const auto im = mcbtools::readImage(mcbasm::assemble(src));
    ASSERT_EQ(im.methods.size(), 1u);
    EXPECT_EQ(im.methods[0].codeAddress, 0);
    ASSERT_EQ(im.selectors[0].impls.size(), 1u);
    EXPECT_EQ(im.selectors[0].impls[0].classIndex, 3);
    EXPECT_EQ(im.selectors[0].impls[0].descriptor, 2);
}

TEST(Assembler, ClassRecordFieldsInFileOrder)
{
    const std::string src = ".class A\n.class B\n .fieldwidth 2\n .reffields 1, 2\n"
                            " .arrayfields ref 3, val 4\n .super A\n .trailing A, B\n";
    const auto im = mcbtools::readImage(mcbasm::assemble(src));
    ASSERT_EQ(im.classes.size(), 2u);
    const auto& b = im.classes[1];
    EXPECT_EQ(b.width, 2);
    EXPECT_EQ(b.refFields, (std::vector<mcbtools::Value>{1, 2}));
    ASSERT_EQ(b.arrayFields.size(), 2u);
    EXPECT_EQ(b.arrayFields[0].flag, 255);
    EXPECT_EQ(b.arrayFields[1].flag, 0);
    EXPECT_EQ(b.superPresent, 1);
    EXPECT_EQ(b.superIndex, 0);
    EXPECT_EQ(b.trailing, (std::vector<mcbtools::Value>{0, 1}));
    EXPECT_EQ(im.classes[0].superPresent, 0);
}

TEST(Assembler, WorkedExampleOfTheDocumentation)
{
    const auto im = mcbtools::readImage(mcbasm::assemble(
        [] {
            std::ifstream in(std::string(MCB_SOURCE_DIR) + "/tests/apps/asm/hello.s");
            return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }()));
    ASSERT_GE(im.code.size(), 53u);
    EXPECT_EQ(im.code[6], 10);   // jz
    EXPECT_EQ(im.code[7], 18);   // done (26) - last operand byte (8)
    EXPECT_EQ(im.code[28], 117); // try
    EXPECT_EQ(im.code[33], 15);  // caught (52) - last operand byte (36) - 1
    EXPECT_EQ(im.code[14], 78);  // native Debug.log
    EXPECT_EQ(im.code[15], 30);
    EXPECT_EQ(im.code[16], 1);
}
