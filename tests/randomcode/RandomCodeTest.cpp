// Thousands of seeded random programs, each loaded as an image with a "main"
// and run under a budget of jumps and calls: every one must end by returning,
// by a VM error turned into a halt, or by an exit, and never crash.
#include "RandomImage.h"

#include "mcbasm/Assembler.h"
#include "vm/ImageFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

using namespace randomcode;

struct Tally {
    std::map<Outcome, int> counts;
    void add(Outcome o) { ++counts[o]; }
    int operator[](Outcome o) const { return counts.count(o) ? counts.at(o) : 0; }
    std::string text() const {
        std::ostringstream s;
        for (auto [o, n] : counts) s << describe(o) << " " << n << "  ";
        return s.str();
    }
};

template <typename MakeCode>
Tally runMany(TUint32 firstSeed, int programs, MakeCode makeCode) {
    Tally tally;
    for (int i = 0; i < programs; ++i) {
        TUint32 seed = firstSeed + TUint32(i);
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Random rng(seed);
        std::vector<TInt32> starts;
        std::vector<TUint8> code = makeCode(rng, starts);
        tameAllocations(code);
        tally.add(runImage(randomImage(rng, std::move(code), starts)));
        if (testing::Test::HasFatalFailure()) break;
    }
    return tally;
}

TEST(RandomCode, RandomBytesEndInAReturnAHaltOrAnExit) {
    Tally t = runMany(1000, 3000, randomBytes);
    std::cout << "random bytes: " << t.text() << "\n";
    EXPECT_GT(t[Outcome::Halted], 0);
}

TEST(RandomCode, RandomValidInstructionsEndInAReturnAHaltOrAnExit) {
    TInt64 before = collectionsFinished();
    Tally t = runMany(50000, 2500, randomInstructions);
    std::cout << "random instructions: " << t.text() << " collections " << collectionsFinished() - before << "\n";
    EXPECT_GT(collectionsFinished() - before, 500);  // the stack scan met many odd frames
    EXPECT_EQ(t[Outcome::Refused], 0);
    EXPECT_GT(t[Outcome::Returned], 100);
    EXPECT_GT(t[Outcome::Halted], 100);
}

// Real programs: the worked example and small programs that allocate, call,
// throw, collect and build vectors.
std::vector<std::string> realPrograms() {
    std::vector<std::string> sources;
    std::ifstream hello(MCB_SOURCE_DIR "/tests/apps/asm/hello.s");
    sources.emplace_back(std::istreambuf_iterator<char>(hello), std::istreambuf_iterator<char>());
    sources.push_back(R"(
.globals 2
.method "main", main, frame
.class Node
    .fieldwidth 1
    .reffields 1
.descriptor frame
    .lengths 0, 0, 1
    .maybe 1
.code
main:
    push 40
loop:
    dup
    jz done
    ldglobals
    alloc 1, 2
    dup
    setclass Node
    dup
    fielda 1
    ldglobals
    deref
    store
    store
    extcall 1, 1
    push 1
    sub
    jmp loop
done:
    ldglobals
    storez
    extcall 1, 1
    ret 1, 2
)");
    sources.push_back(R"(
.globals 1
.method "main", main, frame
.method "vminternalthrow<int>,<string>", on_error, two
.class Error
    .fieldwidth 1
    .reffields 1
.descriptor frame
    .lengths 0, 0, 2
    .refs 1
    .maybe 2
.descriptor two
    .lengths 2, 0, 0
    .maybe 0
    .refs 1
.descriptor leaf
    .lengths 1, 0, 1
    .refs 0, 2
.code
main:
    alloc 2, 3
    try -1, caught
    push 6
    call f, leaf
    droph -1
caught:                 ; the thrown object is on top
    extcall 1, 1
    try -1, done
    push 3
    push 0
    div                 ; the throw routine turns the error into a throw
done:
    ret 3, 4
f:
    alloc 2, 1
    ldloc -3
    push 2
    div
    storez
    ldstr msg
    itos
    alloc 1, 2
    dup
    setclass Error
    throw
on_error:
    alloc 1, 2
    dup
    setclass Error
    throw
.string msg "seven"
)");
    sources.push_back(R"(
.globals 4
.method "main", main, frame
.class Holder
    .fieldwidth 1
    .arrayfields ref 1, val 3
.descriptor frame
    .lengths 0, 0, 4
    .arrays ref 1
    .pairs val 2
.code
main:
    ldglobals
    alloc 1, 5
    dup
    setclass Holder
    store
    ldglobals
    deref
    fielda 1
    newvec 4
    ldglobals
    deref
    fielda 3
    newvec 1
    ldglobals
    fielda 2
    newvec 16
    ldglobals
    fielda 2
    adjsp 2
    ldloca -2
    newvec 8
    push 5
    boxp
    alloc 2, 1
    box
    pack 2
    extcall 1, 1
    adjsp -1
    alloc 2, 1
    box
    freecell
    extcall 1, 1
    ret 3, 4
)");
    return sources;
}

TEST(RandomCode, MutatedRealProgramsEndInAReturnAHaltOrAnExit) {
    std::vector<std::vector<TUint8>> images;
    std::vector<size_t> codeOffsets;
    for (const std::string& source : realPrograms()) {
        SCOPED_TRACE(testing::Message() << "program " << images.size());
        images.push_back(mcbasm::assemble(source));
        ImageFile file;
        ImageError error;
        ASSERT_TRUE(parseImage(images.back().data(), images.back().size(), file, error));
        codeOffsets.push_back(file.codeOffset);
        EXPECT_EQ(runImage(images.back()), Outcome::Returned);  // the originals run cleanly
    }
    Tally tally;
    for (TUint32 seed = 90000; seed < 91200; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Random rng(seed);
        size_t which = size_t(seed) % images.size();
        std::vector<TUint8> image = mutate(rng, images[which], codeOffsets[which]);
        if (image.size() > codeOffsets[which]) {
            std::vector<TUint8> code(image.begin() + TInt32(codeOffsets[which]), image.end());
            tameAllocations(code);
            std::copy(code.begin(), code.end(), image.begin() + TInt32(codeOffsets[which]));
        }
        tally.add(runImage(image));
    }
    std::cout << "mutated programs: " << tally.text() << "\n";
    EXPECT_GT(tally[Outcome::Returned], 50);
}

}  // namespace
