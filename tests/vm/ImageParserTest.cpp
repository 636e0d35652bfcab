// The image parser: round trips in every width, the format rules with where
// and what it reports, and the string decodings.
#include "SampleImages.h"

#include <functional>
#include <gtest/gtest.h>

using namespace testimg;

namespace {

bool parse(const std::vector<TUint8>& bytes, ImageFile& out, ImageError& error) {
    return parseImage(bytes.data(), bytes.size(), out, error);
}

ImageFile parseOk(const std::vector<TUint8>& bytes) {
    ImageFile out;
    ImageError error;
    EXPECT_TRUE(parse(bytes, out, error)) << error.describe();
    return out;
}

ImageError parseFailure(const std::vector<TUint8>& bytes) {
    ImageFile out;
    ImageError error;
    EXPECT_FALSE(parse(bytes, out, error));
    return error;
}

constexpr size_t kHeaderEnd = 32;  // 1 + 20 + 2 + 9 bytes; the global method count follows

// The header of an empty image followed by `tail` words.
std::vector<TUint8> headerThen(std::initializer_list<TInt32> tail) {
    Bytes b;
    b.raw(encode(emptyImage()));
    b.out.resize(kHeaderEnd);
    for (TInt32 v : tail) b.i32(v);
    return b.out;
}

std::vector<TUint16> units(const CAppsString& s) { return {s.begin(), s.end()}; }

}  // namespace

class ParserWidths : public ::testing::TestWithParam<int> {};

TEST_P(ParserWidths, EverySectionReadsBackAsWritten) {
    ImageFile expected = sampleImage(TUint8(GetParam()));
    std::vector<TUint8> bytes = encode(expected);
    expected.codeOffset = TUint32(bytes.size() - expected.code.size());
    EXPECT_EQ(parseOk(bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(HeaderWidths, ParserWidths, ::testing::Values(1, 2, 4));

TEST(ImageParser, MixedHeaderWidthsNarrowOnesUnsigned) {
    ImageFile image = sampleImage();
    image.widths = {1, 2, 4, 1, 2, 4, 1, 2, 4};
    ImageFile out = parseOk(encode(image));
    out.codeOffset = 0;
    EXPECT_EQ(out, image);

    image = emptyImage();
    image.widths = {1, 2, 4, 4, 4, 4, 4, 4, 4};
    image.globalMethods = {{"a", 200, 65535}};
    image.selectors = {{"b", {{-1, 255, 40000}}}};
    out = parseOk(encode(image));
    EXPECT_EQ(out.globalMethods[0].codeAddress, 200);
    EXPECT_EQ(out.globalMethods[0].descriptor, 65535);
    EXPECT_EQ(out.selectors[0].implementations[0].classIndex, -1);

    std::vector<TUint8> bytes = encode(emptyImage());
    out = parseOk(bytes);
    EXPECT_TRUE(out.code.empty());
    EXPECT_EQ(out.codeOffset, bytes.size());
}

TEST(ImageParser, AcceptedOddities) {
    ImageFile image = emptyImage();
    image.globalCount = -5;  // no globals
    image.code = {56, 66, 127, 0x80 + 10, 0};  // not instructions: opcode byte only
    parseOk(encode(image));
    image = sampleImage(2);
    image.classes[2].trailing = {0, 1, 2};
    EXPECT_EQ(parseOk(encode(image)).classes[2].trailing, (std::vector<TInt32>{0, 1, 2}));
}

TEST(ImageParser, FormatViolationsSayWhereAndWhat) {
    auto bytesWith = [](size_t at, TUint8 value) {
        std::vector<TUint8> b = encode(emptyImage());
        b[at] = value;
        return b;
    };
    auto sampleWith = [](const std::function<void(ImageFile&)>& edit) {
        ImageFile f = sampleImage();
        edit(f);
        return encode(f);
    };
    auto withCode = [](const Code& c) {
        ImageFile f = sampleImage();
        f.code = c.bytes;
        return encode(f);
    };
    std::vector<TUint8> shortRead = encode(sampleImage());
    shortRead.resize(kHeaderEnd + 2);
    ImageFile cutCall = emptyImage();
    cutCall.code = {0, 14, 1, 0, 0};  // nop, then a call missing five operand bytes
    Bytes longName;
    longName.out = headerThen({1, 1000});
    longName.raw("main").raw(std::string(20, '\0'));
    ImageFile manyGlobals = emptyImage();
    manyGlobals.globalCount = kMaxGlobalWords + 1;
    struct Case {
        const char* name;
        std::vector<TUint8> bytes;
        TUint32 offset;  // ~0u: not checked
        const char* section;
        const char* expected;
    } cases[] = {
        {"identifier length", bytesWith(0, 19), 0, "header", "identifier length 20, found 19"},
        {"first marker", bytesWith(21, 0xFE), 21, "header", "marker byte 255, found 254"},
        {"second marker", bytesWith(22, 0xFE), 22, "header", "marker byte 255, found 254"},
        {"short read", shortRead, kHeaderEnd, "global methods",
         "4 byte(s) for global method count, found 2 before the end"},
        {"class array flag", sampleWith([](ImageFile& f) { f.classes[1].arrayFields[0].flag = 1; }), ~0u,
         "classes, class 1", "array flag of 0 or 255, found 1"},
        {"descriptor array flag", sampleWith([](ImageFile& f) { f.descriptors[0].arraySlots[0].flag = 254; }),
         ~0u, "method descriptors, descriptor 0", "array flag of 0 or 255, found 254"},
        {"pair array flag", sampleWith([](ImageFile& f) { f.descriptors[0].twoWordArraySlots[0].flag = 128; }),
         ~0u, "method descriptors, descriptor 0", "array flag of 0 or 255, found 128"},
        {"field width", sampleWith([](ImageFile& f) { f.classes[2].fieldWidth = 3; }), ~0u, "classes, class 2",
         "field width of 1, 2 or 4, found 3"},
        {"slot width", sampleWith([](ImageFile& f) { f.descriptors[1].slotWidth = 0; }), ~0u,
         "method descriptors, descriptor 1", "slot width of 1, 2 or 4, found 0"},
        {"negative count", headerThen({0, -1}), ~0u, nullptr, "selector count of 0 or more, found -1"},
        {"name longer than the file", longName.out, ~0u, "global methods, method 0", nullptr},
        {"globals", encode(manyGlobals), ~0u, "globals", nullptr},
        {"cut instruction", encode(cutCall), ~0u, "code, 'call' at code offset 1",
         "8 byte(s) for its operands, found 3 before the end"},
        {"selector index", withCode(Code().op(mcb::Op::CallVirtual, {2})), ~0u, nullptr,
         "a selector index below 2, found 2"},
        {"negative selector", withCode(Code().op(mcb::Op::CallVirtual, {-1})), ~0u, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageError e = parseFailure(c.bytes);
        if (c.offset != ~0u) { EXPECT_EQ(e.offset, c.offset); }
        if (c.section) { EXPECT_EQ(e.section, c.section); }
        if (c.expected) { EXPECT_EQ(e.expected, c.expected); }
    }
    EXPECT_EQ(parseFailure(bytesWith(0, 19)).describe(),
              "offset 0 (header): expected identifier length 20, found 19");
    ImageError huge = parseFailure(headerThen({0x7FFFFFFF}));  // fails at once, reads nothing
    EXPECT_EQ(huge.offset, kHeaderEnd);
    EXPECT_NE(huge.expected.find("fit in the"), std::string::npos) << huge.expected;
    ImageFile out;
    ImageError error;
    EXPECT_FALSE(parseImage(nullptr, 100, out, error));
    EXPECT_EQ(error.offset, 0u);
}

TEST(ImageParser, EachHeaderWidthMustBeOneTwoOrFour) {
    for (size_t i = 0; i < kImageWidthCount; ++i) {
        for (TUint8 bad : {0, 3, 8}) {
            std::vector<TUint8> bytes = encode(emptyImage());
            bytes[23 + i] = bad;
            ImageError e = parseFailure(bytes);
            EXPECT_EQ(e.offset, 23 + i);
            const std::string name = 'W' + std::to_string(i + 1) + ' ';
            EXPECT_NE(e.expected.find(name), std::string::npos) << e.expected;
        }
    }
}

TEST(ImageText, NamesByteWiseTextAsLenientUtf8) {
    EXPECT_EQ(units(decodeImageName(std::string("a\xE9\0z", 4))), (std::vector<TUint16>{'a', 0xE9, 0, 'z'}));
    const struct {
        const char* in;
        std::vector<TUint16> out;
    } cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC", {'A', 0xE9, 0x20AC}},
        {"\xF0\x9F\x98\x80", {0xF600}},  // four bytes: continuation bits cut to 16
        {"\x80\x41", {0x01}},            // lead bytes decide, continuations unchecked
        {"\xDF\xFF", {0x7FF}},
        {"ab\xC3", {'a', 'b', 0xFFFD}},  // cut off: a replacement ends the string
        {"\xE2\x82", {0xFFFD}},
        {"\xF0\x9F\x98", {0xFFFD}},
    };
    for (const auto& c : cases) EXPECT_EQ(units(decodeImageText(c.in)), c.out) << c.in;
    ImageFile image = emptyImage();
    image.strings = {"x\xE2", "next"};  // a cut-off sequence never reaches the next string
    ImageFile out = parseOk(encode(image));
    EXPECT_EQ(units(decodeImageText(out.strings[0])), (std::vector<TUint16>{'x', 0xFFFD}));
    EXPECT_TRUE(decodeImageText(out.strings[1]) == std::string_view("next"));
}
