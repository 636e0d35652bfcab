// A malformed image is rejected with the byte offset, the section and what was expected;
// mcbdis prints that and exits with status 1.
#include "ToolTestSupport.h"

#include "common/ImageReader.h"
#include "mcbasm/Assembler.h"
#include "mcbdis/Disassembler.h"

#include <gtest/gtest.h>

using namespace tooltest;

namespace {

// A valid image with one entry in every section; offsets below are counted from it.
const char* kSample =
    ".method \"m\", 0, 0\n"
    ".selector \"s\"\n .impl 0, 0, 0\n"
    ".globals 1\n"
    ".class\n .reffields 1\n .arrayfields ref 2\n"
    ".descriptor\n .arrays val 1\n"
    ".string \"t\"\n"
    " nop\n";

constexpr size_t kWidthsAt = 23;
constexpr size_t kMethodsAt = 32;
constexpr size_t kGlobalsAt = kMethodsAt + 4 + (4 + 1 + 8) + 4 + (4 + 1 + 4 + 12);
constexpr size_t kClassArrayFlagAt = kGlobalsAt + 4 + 4 + 1 + (4 + 4) + 4;

mcbtools::ImageFormatError rejection(const std::vector<uint8_t>& bytes)
{
    try {
        mcbtools::readImage(bytes);
    } catch (const mcbtools::ImageFormatError& e) {
        return e;
    }
    ADD_FAILURE() << "image accepted";
    return {0, "", ""};
}

std::vector<uint8_t> sample() { return mcbasm::assemble(kSample); }

}  // namespace

TEST(MalformedImage, SampleOffsetsMatchTheLayout)
{
    const auto im = sample();
    EXPECT_EQ(im[kWidthsAt], 4);
    EXPECT_EQ(im[kMethodsAt], 1);
    EXPECT_EQ(im[kClassArrayFlagAt], 255);
}

// The located message: where, in which section, and what the format asked for.
void expectRejected(const std::vector<uint8_t>& image, size_t offset, const std::string& section,
                    const std::string& expectedPart)
{
    const auto e = rejection(image);
    EXPECT_EQ(e.offset(), offset) << e.what();
    EXPECT_EQ(e.section().rfind(section, 0), 0u) << e.what();
    EXPECT_NE(e.expected().find(expectedPart), std::string::npos) << e.what();
}

TEST(MalformedImage, IdentifierLengthOtherThanTwenty)
{
    auto im = sample();
    im[0] = 19;
    expectRejected(im, 0, "header", "identifier length 20, found 19");
}

TEST(MalformedImage, MarkerAndWidths)
{
    auto im = sample();
    im[22] = 0xFE;
    expectRejected(im, 22, "header", "found 254");
    im = sample();
    im[kWidthsAt + 4] = 3;
    expectRejected(im, kWidthsAt + 4, "header", "1, 2 or 4, found 3");
}

TEST(MalformedImage, ArrayFlagOtherThanZeroOr255)
{
    auto im = sample();
    im[kClassArrayFlagAt] = 1;
    expectRejected(im, kClassArrayFlagAt, "classes", "0 or 255, found 1");
}

TEST(MalformedImage, NegativeAndOversizedCounts)
{
    auto im = sample();
    im[kMethodsAt + 3] = 0x80;
    expectRejected(im, kMethodsAt, "global methods", "found -2147483647");
    im[kMethodsAt + 3] = 0x10;
    expectRejected(im, kMethodsAt, "global methods", "found 268435457");
}

TEST(MalformedImage, InstructionCutOffByTheEndOfTheCode)
{
    auto im = sample();
    im.back() = 20;  // push, whose four operand bytes are missing
    expectRejected(im, im.size(), "code", "operands");
}

TEST(MalformedImage, TruncationAnywhereBeforeTheCodeIsLocated)
{
    const auto full = sample();
    const size_t codeStart = full.size() - 1;
    for (size_t n = 0; n < codeStart; ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const auto e = rejection(cut);
        EXPECT_LE(e.offset(), n);
        EXPECT_FALSE(e.section().empty());
    }
    EXPECT_NO_THROW(mcbtools::readImage(std::vector<uint8_t>(full.begin(), full.end() - 1)));
}

TEST(MalformedImage, SectionsAreNamed)
{
    const auto full = sample();
    const auto sectionAt = [&](size_t n) {
        const std::string s =
            rejection(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))).section();
        return s.substr(0, s.find(','));
    };
    EXPECT_EQ(sectionAt(10), "header");
    EXPECT_EQ(sectionAt(kMethodsAt + 6), "global methods");
    EXPECT_EQ(sectionAt(kMethodsAt + 4 + 13 + 2), "selectors");
    EXPECT_EQ(sectionAt(kGlobalsAt + 2), "globals");
    EXPECT_EQ(sectionAt(kClassArrayFlagAt), "classes");
    EXPECT_EQ(sectionAt(full.size() - 3), "string constants");
}

TEST(MalformedImage, DisassemblerCommandReportsAndFails)
{
    auto im = sample();
    im[kClassArrayFlagAt] = 7;
    const auto path = scratchDir() / "flag7.mcb";
    writeBytes(path, im);
    const CommandResult r = run(toolPath("mcbdis").string() + " " + path.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    const std::string prefix = "mcbdis: " + path.string() + ": malformed image at byte offset "
        + std::to_string(kClassArrayFlagAt) + " (classes";
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    EXPECT_NE(r.err.find("0 or 255, found 7\n"), std::string::npos) << r.err;
}

TEST(MalformedImage, UnreadableFileFails)
{
    const CommandResult r = run(toolPath("mcbdis").string() + " /nonexistent/image.mcb");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos);
}
