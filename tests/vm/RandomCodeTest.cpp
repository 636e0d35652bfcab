// Seeded random images (raw bytes, or valid instructions with random operands,
// in random tables), byte mutations of real programs and reduced throw
// routines, each run under a budget of jumps and calls: every one must end by
// returning, by a VM error turned into a halt, or by an exit, never crash.
#include "RandomPrograms.h"

#include "foundation/VMError.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace mcb {

namespace {

using namespace randomprog;

// Flips, overwrites, inserts and deletes a few bytes, mostly in the code.
Bytes mutate(Random& rng, Bytes image, size_t codeOffset) {
    TInt32 edits = uniform(rng, 1, 4);
    for (TInt32 e = 0; e < edits && !image.empty(); ++e) {
        bool inCode = codeOffset < image.size() && chance(rng, 85);
        size_t at = size_t(uniform(rng, inCode ? TInt32(codeOffset) : 0, TInt32(image.size()) - 1));
        switch (uniform(rng, 0, 4)) {
        case 0: image[at] ^= TUint8(1u << uniform(rng, 0, 7)); break;
        case 1: image[at] = TUint8(uniform(rng, 0, 255)); break;
        case 2: image.insert(image.begin() + TInt32(at), TUint8(uniform(rng, 0, 255))); break;
        case 3: image.erase(image.begin() + TInt32(at)); break;
        default: {
            TInt32 v = pick(rng, {0, -1, 1, 0x7FFFFFFF, TInt32(0x80000000), 0x40000001, 4096});
            for (size_t b = 0; b < 4 && at + b < image.size(); ++b) image[at + b] = TUint8(TUint32(v) >> (8 * b));
        }
        }
    }
    return image;
}

// Refused: the image does not parse. Halted: a run halted, or the load did (a
// "main" that cannot be run). Raised: a VM error left the load (a collection
// after a run that could not trace what it met).
enum class Outcome { Returned, Halted, Exited, Raised, Refused };
TInt64 gCollections = 0;  // that random code asked for (`extcall 1, 1`) and that finished

// Loads the image and runs its initialiser and "main"; any other way out than
// these outcomes fails the test. Whatever the run left must survive a
// collection, a report and a consistency walk (which may find headers that
// bytecode overwrote).
Outcome runImage(const Bytes& image, TInt64 budget = 500) {
    ImageFile parsed;
    ImageError error;
    bool parses = parseImage(image.data(), image.size(), parsed, error);
    VirtualMachine vm;
    TestHost host;
    host.quiet = true;
    collectOnRequest(host, vm, &gCollections);
    vm.setControlBudget(budget);
    VELMAR::MemoryInputStream in(image);
    Outcome outcome = Outcome::Returned;
    try {
        vm.load(CAppsString("index.mcb"), in, &host);
    } catch (const ExitRequest&) {
        outcome = Outcome::Exited;
    } catch (const HaltRequest&) {
        outcome = Outcome::Halted;
    } catch (const ErrorHandlingException&) {
        // A "main" that cannot be looked up halts the load itself.
        const bool halted = vmerr::pendingErrorCode() == vmerr::Halt;
        outcome = !parses ? Outcome::Refused : halted ? Outcome::Halted : Outcome::Raised;
    }
    vmerr::clearPendingError();
    try {
        vm.gc();
        vm.heap().getMemUsage(nullptr);
        vm.heap().verify();
    } catch (const ErrorHandlingException&) {
        vmerr::clearPendingError();
    }
    return outcome;
}

template <typename MakeCode>
std::map<Outcome, int> runMany(TUint32 firstSeed, int programs, MakeCode makeCode) {
    std::map<Outcome, int> tally;
    for (TUint32 seed = firstSeed; seed < firstSeed + TUint32(programs) && !testing::Test::HasFatalFailure(); ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Random rng(seed);
        std::vector<TInt32> starts;
        Bytes code = makeCode(rng, starts);
        tameAllocations(code);
        ++tally[runImage(randomImage(rng, std::move(code), starts))];
    }
    return tally;
}

TEST(RandomCode, RandomBytesAndRandomValidInstructionsEndInAReturnAHaltOrAnExit) {
    EXPECT_GT(runMany(1000, 3000, randomBytes)[Outcome::Halted], 0);
    TInt64 before = gCollections;
    auto tally = runMany(50000, 2500, randomInstructions);
    EXPECT_GT(gCollections - before, 500);  // the stack scan met many odd frames
    EXPECT_EQ(tally[Outcome::Refused], 0);
    EXPECT_GT(tally[Outcome::Returned], 20);  // one "main" in ten has no descriptor and halts the load
    EXPECT_GT(tally[Outcome::Halted], 100);
}

// The worked example and small programs that allocate, call, throw, collect
// and build vectors; the originals run cleanly.
TEST(RandomCode, MutatedRealProgramsEndInAReturnAHaltOrAnExit) {
    std::ifstream hello(MCB_SOURCE_DIR "/tests/apps/asm/hello.s");
    const std::string sources[] = {std::string(std::istreambuf_iterator<char>(hello), {}), R"(
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
    setclass Node          ; a new node in global 0
    dup
    fielda 1
    ldglobals
    deref
    store
    store    ; links the one before
    extcall 1, 1
    push 1
    sub
    jmp loop
done:
    ldglobals
    storez
    extcall 1, 1
    ret 1, 2
)", R"(
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
caught:
    extcall 1, 1
    try -1, done
    push 3
    push 0
    div    ; the throw routine throws
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
)", R"(
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
)"};
    std::map<Outcome, int> tally;
    for (TUint32 which = 0; which < std::size(sources); ++which) {
        SCOPED_TRACE(testing::Message() << "program " << which);
        Bytes original = mcbasm::assemble(sources[which]);
        ImageFile file;
        ImageError error;
        ASSERT_TRUE(parseImage(original.data(), original.size(), file, error));
        EXPECT_EQ(runImage(original), Outcome::Returned);
        for (TUint32 seed = 90000 + which; seed < 91200; seed += std::size(sources)) {
            SCOPED_TRACE(testing::Message() << "seed " << seed);
            Random rng(seed);
            Bytes image = mutate(rng, original, file.codeOffset);
            tameAllocations(image, file.codeOffset);
            ++tally[runImage(image)];
        }
    }
    EXPECT_GT(tally[Outcome::Returned], 50);
}

// Each VM error calls the image's throw routine; one that fails again at once,
// leaving the stack as it found it, or that is main itself, must still end the
// call. (Other reduced programs live in tests/apps/vm: hostile_code.s, halting.s.)
TEST(ReducedPrograms, ThrowRoutinesThatFailAgainEndTheCall) {
    const std::pair<const char*, const char*> cases[] = {{"on_error", "deref\non_error:\n adjsp -3\n deref"},
                                                         {"main", "push 1\n push 0\n div"}};
    for (const auto& [routine, code] : cases) {
        SCOPED_TRACE(routine);
        std::string source = std::string(".method \"main\", main, frame\n.method \"vminternalthrow<int>,<string>\", ") +
                             routine + ", frame\n.descriptor frame\n.code\nmain:\n " + code + "\n";
        EXPECT_EQ(runImage(mcbasm::assemble(source), 1000), Outcome::Halted);
    }
}

}  // namespace

}  // namespace mcb
