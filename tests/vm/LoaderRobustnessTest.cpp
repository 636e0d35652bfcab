// Hostile images: every truncation of a valid image and thousands of
// deterministic mutations must fail cleanly or load consistently, never crash.
#include "SampleImages.h"

#include "foundation/VMError.h"
#include "vm/ImageLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace testimg;

namespace {

// A fresh heap and set of tables.
struct World {
    VMMemory memory{TUint64(128) << 20};
    VMHeap heap{memory};
    ProgramTables tables;
    ImageLoader loader{tables, heap};

    bool load(const std::vector<TUint8>& bytes, const char* name = "index.mcb") {
        TInt32 index = -1;
        return loader.load(CAppsString(name), bytes.data(), bytes.size(), index);
    }
    bool untouched() const {
        return tables.images.isEmpty() && tables.exportedMethods.isEmpty() &&
               tables.superclasses.isEmpty() && tables.descriptors.isEmpty() &&
               tables.strings.isEmpty() && tables.code.isEmpty() && tables.globals == 0;
    }
};

// Tables after successful loads always agree with their images.
void expectConsistent(const ProgramTables& t) {
    TInt32 codeTotal = 0;
    for (const auto& image : t.images) {
        EXPECT_EQ(image.codeBase, codeTotal);
        codeTotal += image.codeLength;
    }
    EXPECT_EQ(t.code.getSize(), codeTotal);
    EXPECT_EQ(t.referenceFields.getSize(), t.superclasses.getSize());
    EXPECT_EQ(t.arrayFields.getSize(), t.superclasses.getSize());
    EXPECT_EQ(t.arrayFlags.getSize(), t.superclasses.getSize());
    for (TInt32 i = 0; i < t.arrayFields.getSize(); ++i)
        EXPECT_EQ(t.arrayFields[i].getSize(), t.arrayFlags[i].getSize());
    for (const auto& d : t.descriptors) {
        EXPECT_EQ(d.arraySlots.getSize(), d.arraySlotFlags.getSize());
        EXPECT_EQ(d.twoWordArraySlots.getSize(), d.twoWordArraySlotFlags.getSize());
    }
}

struct Random {
    explicit Random(TUint64 seed) : engine(seed) {}
    TUint32 next() { return TUint32(engine()); }
    size_t below(size_t n) { return n == 0 ? 0 : next() % n; }
    std::mt19937 engine;
};

std::vector<TUint8> mutate(std::vector<TUint8> b, Random& r) {
    static const TUint8 interesting[] = {0, 1, 2, 3, 4, 19, 20, 0x7F, 0x80, 0xFE, 0xFF};
    const int edits = 1 + int(r.below(4));
    for (int e = 0; e < edits && !b.empty(); ++e) {
        const size_t at = r.below(b.size());
        switch (r.below(6)) {
            case 0: b[at] ^= TUint8(1u << r.below(8)); break;
            case 1: b[at] = interesting[r.below(sizeof interesting)]; break;
            case 2: b[at] = TUint8(r.next()); break;
            case 3: b.resize(at); break;
            case 4: b.insert(b.begin() + long(at), TUint8(r.next())); break;
            default: {
                const size_t n = std::min(b.size() - at, r.below(8) + 1);
                b.erase(b.begin() + long(at), b.begin() + long(at + n));
            }
        }
    }
    return b;
}

}  // namespace

class Truncation : public ::testing::TestWithParam<int> {};

TEST_P(Truncation, EveryCutBeforeTheCodeFailsAndInsideItFailsUnlessOnABoundary) {
    const ImageFile image = sampleImage(TUint8(GetParam()));
    const std::vector<TUint8> bytes = encode(image);
    const size_t codeStart = bytes.size() - image.code.size();
    std::vector<size_t> boundaries = sampleCode().code.offsets;
    boundaries.push_back(image.code.size());
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        World w;
        std::vector<TUint8> part(bytes.begin(), bytes.begin() + long(cut));
        const bool expected = cut >= codeStart &&
            std::count(boundaries.begin(), boundaries.end(), cut - codeStart) > 0;
        EXPECT_EQ(w.load(part), expected) << "cut at " << cut << ": "
                                          << w.loader.lastError().describe();
        if (expected) {
            EXPECT_EQ(w.tables.code.getSize(), TInt32(cut - codeStart));
        } else {
            EXPECT_TRUE(w.untouched()) << "cut at " << cut;
            EXPECT_LE(w.loader.lastError().offset, cut) << "cut at " << cut;
        }
        EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(HeaderWidths, Truncation, ::testing::Values(1, 2, 4));

// Any image the parser accepts is written back byte for byte by the encoder,
// so nothing is lost between the file and the parsed form.
TEST(Mutation, AcceptedImagesRoundTripAndLoadConsistently) {
    Random r(0x5EED1234ABCDull);
    const std::vector<std::vector<TUint8>> seeds = {encode(sampleImage(1)), encode(sampleImage(2)),
                                                    encode(sampleImage(4)), encode(emptyImage())};
    std::unique_ptr<World> w;
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        if (i % 100 == 0) w = std::make_unique<World>();
        std::vector<TUint8> bytes = mutate(seeds[r.below(seeds.size())], r);
        ImageFile parsed;
        ImageError error;
        const bool parses = parseImage(bytes.data(), bytes.size(), parsed, error);
        if (parses) {
            ++accepted;
            EXPECT_EQ(encode(parsed), bytes) << "mutation " << i;
        }
        const std::string name = "image" + std::to_string(i);
        const bool loads = w->load(bytes, name.c_str());
        EXPECT_LE(loads, parses) << "mutation " << i;
        EXPECT_EQ(vmerr::pendingErrorCode(), 0);
        expectConsistent(w->tables);
    }
    EXPECT_GT(accepted, 100);  // the mutations reach the later sections too
}

TEST(Mutation, RandomBytesNeverCrashTheLoader) {
    Random r(42);
    World w;
    for (int i = 0; i < 3000; ++i) {
        std::vector<TUint8> bytes(r.below(200));
        for (auto& b : bytes) b = TUint8(r.next());
        if (!bytes.empty() && r.below(2)) bytes[0] = 20;
        w.load(bytes);
        EXPECT_EQ(vmerr::pendingErrorCode(), 0);
    }
    expectConsistent(w.tables);
}
