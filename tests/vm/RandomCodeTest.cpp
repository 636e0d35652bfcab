// Seeded random images (raw bytes, or valid instructions with random operands,
// in random tables), byte mutations of real programs and reduced throw
// routines, each run under a budget of jumps and calls: every one must end by
// returning, by a VM error turned into a halt, or by an exit, never crash.
#include "AppExtension.h"
#include "RandomPrograms.h"

#include "foundation/VMError.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace mcb {

namespace {

namespace fs = std::filesystem;
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
    AppExtension applications(vm, host);
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

// The worked example and the test applications, whose extension 99 is served as
// in their own tests; the originals end as annotated.
TEST(RandomCode, MutatedRealProgramsEndInAReturnAHaltOrAnExit) {
    std::vector<fs::path> sources = {fs::path(MCB_SOURCE_DIR) / "tests/apps/asm/hello.s"};
    for (const auto& e : fs::directory_iterator(fs::path(MCB_SOURCE_DIR) / "tests/apps/vm"))
        if (e.path().extension() == ".s") sources.push_back(e.path());
    std::sort(sources.begin() + 1, sources.end());
    const std::map<std::string, Outcome> endings = {{"hostile_code.s", Outcome::Exited}, {"no_main.s", Outcome::Halted}};
    std::map<Outcome, int> tally;
    for (TUint32 which = 0; which < sources.size(); ++which) {
        const std::string name = sources[which].filename().string();
        SCOPED_TRACE(name);
        std::ifstream in(sources[which]);
        const Bytes original = mcbasm::assemble(std::string(std::istreambuf_iterator<char>(in), {}));
        ImageFile file;
        ImageError error;
        ASSERT_TRUE(parseImage(original.data(), original.size(), file, error));
        EXPECT_EQ(runImage(original), endings.count(name) ? endings.at(name) : Outcome::Returned);
        for (TUint32 seed = 90000 + which; seed < 91200; seed += TUint32(sources.size())) {
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
