// The image parser: every section in 1-, 2- and 4-byte widths, the format rules
// it enforces, where it says an image went wrong, and the string decodings.
#include "SampleImages.h"

#include <gtest/gtest.h>

using namespace testimg;

namespace {

bool parse(const std::vector<TUint8>& bytes, ImageFile& out, ImageError& error) {
    return parseImage(bytes.data(), bytes.size(), out, error);
}

ImageError parseFailure(const std::vector<TUint8>& bytes) {
    ImageFile out;
    ImageError error;
    EXPECT_FALSE(parse(bytes, out, error));
    return error;
}

// Header is 1 + 20 + 2 + 9 bytes; the global method count follows.
constexpr size_t kHeaderEnd = 32;

std::vector<TUint16> units(const CAppsString& s) { return {s.begin(), s.end()}; }

}  // namespace

class ParserWidths : public ::testing::TestWithParam<int> {};

TEST_P(ParserWidths, EverySectionReadsBackAsWritten) {
    ImageFile image = sampleImage(TUint8(GetParam()));
    std::vector<TUint8> bytes = encode(image);
    ImageFile out;
    ImageError error;
    ASSERT_TRUE(parse(bytes, out, error)) << error.describe();
    EXPECT_EQ(out, [&] {
        ImageFile expected = image;
        expected.codeOffset = TUint32(bytes.size() - image.code.size());
        return expected;
    }());
}

INSTANTIATE_TEST_SUITE_P(HeaderWidths, ParserWidths, ::testing::Values(1, 2, 4));

TEST(ImageParser, MixedHeaderWidthsEachApplyToTheirOwnFields) {
    ImageFile image = sampleImage();
    image.widths = {1, 2, 4, 1, 2, 4, 1, 2, 4};
    std::vector<TUint8> bytes = encode(image);
    ImageFile out;
    ImageError error;
    ASSERT_TRUE(parse(bytes, out, error)) << error.describe();
    out.codeOffset = 0;
    EXPECT_EQ(out, image);
}

TEST(ImageParser, NarrowWidthsAreUnsignedAndFourBytesSigned) {
    ImageFile image = emptyImage();
    image.widths = {1, 2, 4, 4, 4, 4, 4, 4, 4};
    image.globalMethods = {{"a", 200, 65535}};
    image.selectors = {{"b", {{-1, 255, 40000}}}};
    std::vector<TUint8> bytes = encode(image);
    ImageFile out;
    ImageError error;
    ASSERT_TRUE(parse(bytes, out, error)) << error.describe();
    EXPECT_EQ(out.globalMethods[0].codeAddress, 200);
    EXPECT_EQ(out.globalMethods[0].descriptor, 65535);
    EXPECT_EQ(out.selectors[0].implementations[0].classIndex, -1);
}

TEST(ImageParser, AnEmptyImageHasNoCode) {
    std::vector<TUint8> bytes = encode(emptyImage());
    ImageFile out;
    ImageError error;
    ASSERT_TRUE(parse(bytes, out, error));
    EXPECT_TRUE(out.code.empty());
    EXPECT_EQ(out.codeOffset, bytes.size());
}

TEST(ImageParser, IdentifierLengthMustBeTwenty) {
    std::vector<TUint8> bytes = encode(emptyImage());
    bytes[0] = 19;
    ImageError e = parseFailure(bytes);
    EXPECT_EQ(e.offset, 0u);
    EXPECT_EQ(e.section, "header");
    EXPECT_EQ(e.expected, "identifier length 20, found 19");
    EXPECT_EQ(e.describe(), "offset 0 (header): expected identifier length 20, found 19");
}

TEST(ImageParser, MarkerMustBeTwoFFBytes) {
    for (size_t at : {21u, 22u}) {
        std::vector<TUint8> bytes = encode(emptyImage());
        bytes[at] = 0xFE;
        ImageError e = parseFailure(bytes);
        EXPECT_EQ(e.offset, at);
        EXPECT_EQ(e.expected, "marker byte 255, found 254");
    }
}

TEST(ImageParser, EachHeaderWidthMustBeOneTwoOrFour) {
    for (size_t i = 0; i < kImageWidthCount; ++i) {
        for (TUint8 bad : {0, 3, 8}) {
            std::vector<TUint8> bytes = encode(emptyImage());
            bytes[23 + i] = bad;
            ImageError e = parseFailure(bytes);
            EXPECT_EQ(e.offset, 23 + i);
            EXPECT_NE(e.expected.find("W" + std::to_string(i + 1) + " "), std::string::npos)
                << e.expected;
        }
    }
}

TEST(ImageParser, AShortReadSaysWhatWasCutOff) {
    std::vector<TUint8> bytes = encode(sampleImage());
    bytes.resize(kHeaderEnd + 2);
    ImageError e = parseFailure(bytes);
    EXPECT_EQ(e.offset, kHeaderEnd);
    EXPECT_EQ(e.section, "global methods");
    EXPECT_EQ(e.expected, "4 byte(s) for global method count, found 2 before the end");
}

TEST(ImageParser, ErrorsNameTheRecordTheyAreIn) {
    ImageFile image = sampleImage();
    image.classes[1].arrayFields[0].flag = 1;
    ImageError e = parseFailure(encode(image));
    EXPECT_EQ(e.section, "classes, class 1");
    EXPECT_EQ(e.expected, "array flag of 0 or 255, found 1");
}

TEST(ImageParser, ArrayFlagsOtherThanZeroOr255Fail) {
    for (TUint8 flag : {1, 2, 128, 254}) {
        ImageFile c = sampleImage();
        c.classes[0].arrayFields[0].flag = flag;
        parseFailure(encode(c));
        ImageFile d = sampleImage();
        d.descriptors[0].arraySlots[0].flag = flag;
        EXPECT_EQ(parseFailure(encode(d)).section, "method descriptors, descriptor 0");
        ImageFile t = sampleImage();
        t.descriptors[0].twoWordArraySlots[0].flag = flag;
        parseFailure(encode(t));
    }
}

TEST(ImageParser, RecordWidthsOtherThanOneTwoOrFourFail) {
    ImageFile c = sampleImage();
    c.classes[2].fieldWidth = 3;
    EXPECT_EQ(parseFailure(encode(c)).expected, "field width of 1, 2 or 4, found 3");
    ImageFile d = sampleImage();
    d.descriptors[1].slotWidth = 0;
    EXPECT_EQ(parseFailure(encode(d)).expected, "slot width of 1, 2 or 4, found 0");
}

TEST(ImageParser, ACountLargerThanTheRestOfTheFileFailsAtOnce) {
    Bytes b;
    b.raw(encode(emptyImage()));
    b.out.resize(kHeaderEnd);
    b.i32(0x7FFFFFFF);
    ImageError e = parseFailure(b.out);
    EXPECT_EQ(e.offset, kHeaderEnd);
    EXPECT_NE(e.expected.find("fit in the"), std::string::npos) << e.expected;
}

TEST(ImageParser, NegativeCountsFail) {
    Bytes b;
    b.raw(encode(emptyImage()));
    b.out.resize(kHeaderEnd);
    b.i32(0).i32(-1);  // no global methods, -1 selectors
    EXPECT_EQ(parseFailure(b.out).expected, "selector count of 0 or more, found -1");
}

TEST(ImageParser, NameAndTextLengthsAreBoundedByTheFile) {
    Bytes b;
    b.raw(encode(emptyImage()));
    b.out.resize(kHeaderEnd);
    b.i32(1).i32(1000).raw("main").raw(std::string(20, '\0'));
    EXPECT_EQ(parseFailure(b.out).section, "global methods, method 0");
}

TEST(ImageParser, TheGlobalsCountIsBounded) {
    ImageFile image = emptyImage();
    image.globalCount = kMaxGlobalWords + 1;
    EXPECT_EQ(parseFailure(encode(image)).section, "globals");
    image.globalCount = -5;  // no globals: accepted
    ImageFile out;
    ImageError error;
    std::vector<TUint8> bytes = encode(image);
    EXPECT_TRUE(parse(bytes, out, error));
}

TEST(ImageParser, TheTrailingClassListIsReadAndKept) {
    ImageFile image = sampleImage(2);
    image.classes[2].trailing = {0, 1, 2};
    ImageFile out;
    ImageError error;
    std::vector<TUint8> bytes = encode(image);
    ASSERT_TRUE(parse(bytes, out, error));
    EXPECT_EQ(out.classes[2].trailing, (std::vector<TInt32>{0, 1, 2}));
}

TEST(ImageParser, AnInstructionCutOffByTheEndFails) {
    ImageFile image = emptyImage();
    image.code = {0, 14, 1, 0, 0};  // nop, then a call missing five operand bytes
    ImageError e = parseFailure(encode(image));
    EXPECT_EQ(e.section, "code, 'call' at code offset 1");
    EXPECT_EQ(e.expected, "8 byte(s) for its operands, found 3 before the end");
}

TEST(ImageParser, OpcodesOutsideTheSetTakeNoOperands) {
    ImageFile image = emptyImage();
    image.code = {56, 66, 127, 0x80 + 10, 0};  // 56, 66, 127 and -118 are not instructions
    ImageFile out;
    ImageError error;
    std::vector<TUint8> bytes = encode(image);
    EXPECT_TRUE(parse(bytes, out, error)) << error.describe();
}

TEST(ImageParser, AVirtualCallMustNameADeclaredSelector) {
    ImageFile image = sampleImage();
    Code code;
    code.op(mcb::Op::CallVirtual, {2});
    image.code = code.bytes;
    ImageError e = parseFailure(encode(image));
    EXPECT_EQ(e.expected, "a selector index below 2, found 2");
    code = Code();
    code.op(mcb::Op::CallVirtual, {-1});
    image.code = code.bytes;
    parseFailure(encode(image));
}

TEST(ImageParser, NullBufferIsAShortRead) {
    ImageFile out;
    ImageError error;
    EXPECT_FALSE(parseImage(nullptr, 100, out, error));
    EXPECT_EQ(error.offset, 0u);
}

TEST(ImageText, NamesTakeOneCharacterPerByte) {
    EXPECT_EQ(units(decodeImageName(std::string("a\xE9\0z", 4))),
              (std::vector<TUint16>{'a', 0xE9, 0, 'z'}));
}

TEST(ImageText, UtfEightSequencesOfEachLength) {
    EXPECT_EQ(units(decodeImageText("A\xC3\xA9\xE2\x82\xAC")),
              (std::vector<TUint16>{'A', 0xE9, 0x20AC}));
    // Four-byte sequences keep the continuation bits, cut to 16 bits.
    EXPECT_EQ(units(decodeImageText("\xF0\x9F\x98\x80")), (std::vector<TUint16>{0xF600}));
}

TEST(ImageText, LeadBytesDecideTheLengthWithoutCheckingContinuations) {
    EXPECT_EQ(units(decodeImageText("\x80\x41")), (std::vector<TUint16>{0x01}));
    EXPECT_EQ(units(decodeImageText("\xDF\xFF")), (std::vector<TUint16>{0x7FF}));
}

TEST(ImageText, ACutOffSequenceEndsTheStringWithAReplacement) {
    EXPECT_EQ(units(decodeImageText("ab\xC3")), (std::vector<TUint16>{'a', 'b', 0xFFFD}));
    EXPECT_EQ(units(decodeImageText("\xE2\x82")), (std::vector<TUint16>{0xFFFD}));
    EXPECT_EQ(units(decodeImageText("\xF0\x9F\x98")), (std::vector<TUint16>{0xFFFD}));
}

TEST(ImageText, ACutOffSequenceNeverReachesTheNextString) {
    ImageFile image = emptyImage();
    image.strings = {"x\xE2", "next"};
    ImageFile out;
    ImageError error;
    std::vector<TUint8> bytes = encode(image);
    ASSERT_TRUE(parse(bytes, out, error));
    EXPECT_EQ(units(decodeImageText(out.strings[0])), (std::vector<TUint16>{'x', 0xFFFD}));
    EXPECT_TRUE(decodeImageText(out.strings[1]) == std::string_view("next"));
}
