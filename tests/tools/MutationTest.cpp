// Thousands of mutated and truncated corpus images through the disassembler: none may crash,
// each is either rejected with a location or printed as source that rebuilds it exactly.
#include "ToolTestSupport.h"

#include "common/ImageReader.h"
#include "mcbasm/Assembler.h"
#include "mcbdis/Disassembler.h"

#include <gtest/gtest.h>

#include <random>

using namespace tooltest;

namespace {

// Accepted images must round-trip; rejected ones must say where.
void checkImage(const std::vector<uint8_t>& image, int& accepted, int& rejected)
{
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

std::vector<uint8_t> mutate(std::vector<uint8_t> image, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < edits && !image.empty(); ++i) {
        const size_t at = rng() % image.size();
        switch (rng() % 4) {
        case 0: image[at] = static_cast<uint8_t>(rng()); break;
        case 1: image[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
        case 2: image.erase(image.begin() + static_cast<std::ptrdiff_t>(at)); break;
        default: image.insert(image.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(rng())); break;
        }
    }
    return image;
}

}  // namespace

TEST(Mutation, TruncationAtEveryLength)
{
    int accepted = 0, rejected = 0;
    for (const auto& file : corpusFiles()) {
        const auto image = assembleFile(file);
        for (size_t n = 0; n <= image.size(); ++n)
            checkImage(std::vector<uint8_t>(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n)),
                       accepted, rejected);
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(rejected, 0);
}

TEST(Mutation, RandomEditsNeverCrashAndAcceptedImagesRoundTrip)
{
    std::mt19937 rng(20261206);
    int accepted = 0, rejected = 0;
    const auto files = corpusFiles();
    for (const auto& file : files) {
        const auto image = assembleFile(file);
        for (int i = 0; i < 1500; ++i)
            checkImage(mutate(image, rng), accepted, rejected);
    }
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 100);
}

TEST(Mutation, RandomBytesNeverCrash)
{
    std::mt19937 rng(7);
    int accepted = 0, rejected = 0;
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> image(rng() % 200);
        for (auto& b : image)
            b = static_cast<uint8_t>(rng());
        if (i % 2 == 0 && image.size() > 32) {  // a valid header makes the later sections reachable
            image[0] = 20;
            image[21] = image[22] = 0xFF;
            for (int w = 23; w < 32; ++w)
                image[w] = static_cast<uint8_t>(1u << (rng() % 3));
        }
        checkImage(image, accepted, rejected);
    }
    EXPECT_GT(rejected, 0);
}
