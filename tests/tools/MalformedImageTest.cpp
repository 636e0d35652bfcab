// A malformed image is rejected with the byte offset, the section and what was expected (mcbdis
// prints that and exits with status 1); damaged images never crash the disassembler.
#include "ToolTestSupport.h"

#include "mcbdis/Disassembler.h"

#include <random>

namespace mcb {

using namespace tooltest;

namespace {

// A valid image with one entry in every section; offsets below are counted from it.
std::vector<uint8_t> sample() {
    return mcbasm::assemble(".method \"m\", 0, 0\n.selector \"s\"\n .impl 0, 0, 0\n.globals 1\n"
                            ".class\n .reffields 1\n .arrayfields ref 2\n.descriptor\n .arrays val 1\n"
                            ".string \"t\"\n nop\n");
}

constexpr size_t kWidthsAt = 23;
constexpr size_t kMethodsAt = 32;
constexpr size_t kGlobalsAt = kMethodsAt + 4 + (4 + 1 + 8) + 4 + (4 + 1 + 4 + 12);
constexpr size_t kFlagAt = kGlobalsAt + 4 + 4 + 1 + (4 + 4) + 4;  // the class's array field flag

mcbtools::ImageFormatError rejection(const std::vector<uint8_t>& bytes) {
    try {
        mcbtools::readImage(bytes);
    } catch (const mcbtools::ImageFormatError& e) {
        return e;
    }
    ADD_FAILURE() << "image accepted";
    return {0, "", ""};
}

std::vector<uint8_t> prefix(const std::vector<uint8_t>& bytes, size_t n) {
    return {bytes.begin(), bytes.begin() + long(n)};
}

// Accepted images must round-trip; rejected ones must say where.
void checkImage(const std::vector<uint8_t>& image, int& accepted, int& rejected) {
    std::string text;
    try {
        text = mcbdis::disassembleBytes(image);
    } catch (const mcbtools::ImageFormatError& e) {
        ++rejected;
        ASSERT_LE(e.offset(), image.size());
        return;
    }
    ++accepted;
    ASSERT_EQ(mcbasm::assemble(text), image) << text;
}

}  // namespace

TEST(MalformedImage, EachFaultIsLocatedAndWorded) {
    const size_t end = sample().size();
    const struct {
        size_t at;
        uint8_t value;
        size_t offset;
        const char *section, *expected;
    } cases[] = {
        {0, 19, 0, "header", "identifier length 20, found 19"},
        {22, 0xFE, 22, "header", "found 254"},
        {kWidthsAt + 4, 3, kWidthsAt + 4, "header", "1, 2 or 4, found 3"},
        {kFlagAt, 1, kFlagAt, "classes", "0 or 255, found 1"},
        {kMethodsAt + 3, 0x80, kMethodsAt, "global methods", "found -2147483647"},
        {kMethodsAt + 3, 0x10, kMethodsAt, "global methods", "found 268435457"},
        {end - 1, 20, end, "code", "operands"},  // push, whose four operand bytes are missing
    };
    ASSERT_EQ(sample()[kFlagAt], 255);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        auto im = sample();
        im[c.at] = c.value;
        const auto e = rejection(im);
        EXPECT_EQ(e.offset(), c.offset) << e.what();
        EXPECT_EQ(e.section().rfind(c.section, 0), 0u) << e.what();
        EXPECT_NE(e.expected().find(c.expected), std::string::npos) << e.what();
    }
}

TEST(MalformedImage, TruncationIsLocatedInItsSection) {
    const auto full = sample();
    EXPECT_NO_THROW(mcbtools::readImage(prefix(full, full.size() - 1)));
    const std::pair<size_t, const char*> sections[] = {{10, "header"}, {kMethodsAt + 6, "global methods"},
        {kMethodsAt + 4 + 13 + 2, "selectors"}, {kGlobalsAt + 2, "globals"}, {kFlagAt, "classes"},
        {full.size() - 3, "string constants"}};
    for (const auto& [n, name] : sections) {
        const auto e = rejection(prefix(full, n));
        EXPECT_LE(e.offset(), n);
        EXPECT_EQ(e.section().substr(0, e.section().find(',')), name);
    }
}

TEST(MalformedImage, DisassemblerCommandReportsAndFails) {
    auto im = sample();
    im[kFlagAt] = 7;
    const auto path = scratchDir() / "flag7.mcb";
    std::ofstream(path, std::ios::binary) << std::string(im.begin(), im.end());
    CommandResult r = run(tool("mcbdis") + " " + path.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    const std::string head =
        "mcbdis: " + path.string() + ": malformed image at byte offset " + std::to_string(kFlagAt) + " (classes";
    EXPECT_EQ(r.err.rfind(head, 0), 0u) << r.err;
    EXPECT_NE(r.err.find("0 or 255, found 7\n"), std::string::npos) << r.err;
    // Input that is missing or a directory: a message and status 1 from both tools.
    const std::string directory = scratchDir().string();
    for (const std::string& command : {tool("mcbdis") + " /nonexistent/image.mcb", tool("mcbdis") + " " + directory,
                                       tool("mcbasm") + " " + directory + " -o " + directory + "/out.mcb"}) {
        r = run(command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("cannot read '"), std::string::npos) << command << r.err;
    }
}

// Every prefix and randomly edited copies of the corpus images, and random bytes (half of them
// behind a valid header, which makes the later sections reachable).
TEST(Mutation, DamagedImagesNeverCrashAndAcceptedOnesRoundTrip) {
    std::mt19937 rng(20261206);
    int accepted = 0, rejected = 0;
    for (const auto& file : corpusFiles()) {
        const auto image = assembleFile(file);
        for (size_t n = 0; n <= image.size(); ++n) checkImage(prefix(image, n), accepted, rejected);
        for (int i = 0; i < 1500; ++i) {
            auto edited = image;
            for (int k = 1 + int(rng() % 4); k > 0 && !edited.empty(); --k) {
                const auto at = edited.begin() + long(rng() % edited.size());
                switch (rng() % 4) {
                case 0: *at = static_cast<uint8_t>(rng()); break;
                case 1: *at ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
                case 2: edited.erase(at); break;
                default: edited.insert(at, static_cast<uint8_t>(rng())); break;
                }
            }
            checkImage(edited, accepted, rejected);
        }
    }
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 100);
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> image(rng() % 200);
        for (auto& b : image) b = uint8_t(rng());
        if (i % 2 == 0 && image.size() > 32) {
            image[0] = 20;
            image[21] = image[22] = 0xFF;
            for (int w = 23; w < 32; ++w) image[w] = uint8_t(1u << (rng() % 3));
        }
        checkImage(image, accepted, rejected);
    }
}

}  // namespace mcb
