// Seeded random images (raw bytes, or valid instructions with random operands,
// in random tables), byte mutations of real programs and reduced throw
// routines, each run under a budget of jumps and calls: every one must end by
// returning, by a VM error turned into a halt, or by an exit, never crash.
#include "../support/TestHost.h"
#include "ImageBuilder.h"

#include "foundation/VMError.h"
#include "heap/GcCode.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/ImageFile.h"
#include "vm/Instructions.h"
#include "vm/VirtualMachine.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <random>

namespace mcb {

namespace {

using Random = std::mt19937;
using Bytes = std::vector<TUint8>;

// Table sizes of every random image, so that random operands can name entries.
constexpr TInt32 kClasses = 4, kDescriptors = 5, kSelectors = 2, kStrings = 3;

TInt32 uniform(Random& rng, TInt32 lo, TInt32 hi) { return std::uniform_int_distribution<TInt32>(lo, hi)(rng); }
bool chance(Random& rng, int percent) { return uniform(rng, 0, 99) < percent; }
TInt32 pick(Random& rng, std::initializer_list<TInt32> values) {
    return *(values.begin() + uniform(rng, 0, TInt32(values.size()) - 1));
}
TInt32 anyStart(Random& rng, const std::vector<TInt32>& starts) {
    return starts.empty() ? 0 : starts[size_t(uniform(rng, 0, TInt32(starts.size()) - 1))];
}
std::vector<TInt32> someOffsets(Random& rng, TInt32 lo, TInt32 hi) {
    std::vector<TInt32> v(size_t(uniform(rng, 0, 3)));
    for (TInt32& o : v) o = chance(rng, 95) ? uniform(rng, lo, hi) : pick(rng, {-100000, 100000, 0x7FFFFFFF});
    return v;
}
std::vector<ImageArraySlot> someFlagged(Random& rng, TInt32 lo, TInt32 hi) {
    std::vector<ImageArraySlot> v;
    for (TInt32 o : someOffsets(rng, lo, hi)) v.push_back({TUint8(chance(rng, 50) ? 255 : 0), o});
    return v;
}
TInt32 length(Random& rng) { return chance(rng, 97) ? uniform(rng, 0, 4) : pick(rng, {-3, 200, 20000, -20000}); }
bool isAlloc(TInt32 opcode) {
    return opcode == TInt8(Op::Alloc) || opcode == TInt8(Op::AllocTo) || opcode == TInt8(Op::AllocToKeep);
}

// Classes, descriptors, strings, selectors and exported methods ("main" at 0,
// sometimes the initialiser and the throw routines, at instruction starts)
// around the code. The throw routine is appended to the code and resumes after
// the failing instruction or throws an instance.
Bytes randomImage(Random& rng, Bytes code, const std::vector<TInt32>& starts) {
    ImageFile image = testimg::emptyImage();
    image.code = std::move(code);
    image.globalCount = uniform(rng, 0, 8);
    for (TInt32 i = 0; i < kClasses; ++i) {
        ImageClass& c = image.classes.emplace_back();
        c.referenceFields = someOffsets(rng, 0, 5);
        c.arrayFields = someFlagged(rng, 0, 5);
        if (i > 0 && chance(rng, 60)) c.superclassPresent = 1, c.superclass = uniform(rng, 0, i - 1);
    }
    for (TInt32 i = 0; i < kDescriptors; ++i) {
        ImageDescriptor& d = image.descriptors.emplace_back();
        d.firstLength = length(rng);
        d.secondLength = chance(rng, 70) ? 0 : length(rng);
        d.thirdLength = length(rng);
        d.possibleReferenceSlots = someOffsets(rng, -2, 8);
        d.arraySlots = someFlagged(rng, -2, 8);
        d.referenceSlots = someOffsets(rng, -2, 8);
        d.twoWordArraySlots = someFlagged(rng, -2, 8);
    }
    image.strings = {"", "text", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"};
    auto descriptor = [&] { return chance(rng, 90) ? uniform(rng, 0, kDescriptors - 1) : -1; };
    auto& methods = image.globalMethods;
    methods.push_back({"main", 0, descriptor()});
    if (chance(rng, 85)) {
        TInt32 at = TInt32(image.code.size());
        std::vector<TInt32> routine = chance(rng, 50)  // ret 0, 3, or alloc 1, 1; dup; setclass; throw
            ? std::vector<TInt32>{TInt8(Op::Return), 0, 0, 0, 0, 3, 0, 0, 0}
            : std::vector<TInt32>{TInt8(Op::Alloc), 1, 1, 0, 0, 0, TInt8(Op::Dup), TInt8(Op::SetClass),
                                  uniform(rng, 0, kClasses - 1), 0, 0, 0, TInt8(Op::Throw)};
        for (TInt32 b : routine) image.code.push_back(TUint8(b));
        methods.push_back({"vminternalthrow<int>,<string>", at, descriptor()});
    }
    if (chance(rng, 40)) methods.push_back({"vmprintthrowableandexit<throwable>", anyStart(rng, starts), descriptor()});
    if (chance(rng, 20)) methods.push_back({"::global::init", anyStart(rng, starts), descriptor()});
    for (TInt32 s = 0; s < kSelectors; ++s) {
        ImageSelector selector{s == 0 ? "<*application>.exit event" : "<thing>.poke", {}};
        for (TInt32 c = 0; c < kClasses; ++c)
            if (chance(rng, 70)) selector.implementations.push_back({c, anyStart(rng, starts), descriptor()});
        image.selectors.push_back(selector);
    }
    return testimg::encode(image);
}

Bytes randomBytes(Random& rng, std::vector<TInt32>& starts) {
    Bytes code(size_t(uniform(rng, 1, 160)));
    for (TUint8& b : code) b = TUint8(uniform(rng, 0, 255));
    starts.resize(code.size());
    for (size_t i = 0; i < code.size(); ++i) starts[i] = TInt32(i);
    return code;
}

TInt32 smallInt(Random& rng, const OperandInfo& o) {
    if (o.width == 1) return chance(rng, 80) ? uniform(rng, -6, 6) : uniform(rng, o.isSigned ? -128 : 0, o.isSigned ? 127 : 255);
    if (chance(rng, 75)) return uniform(rng, -8, 32);
    if (chance(rng, 70)) return pick(rng, {0x7FFFFFFF, TInt32(0x80000000), 0x40000001, -1, 65536, 15255, 15256, -15256});
    return TInt32(rng());
}

// Mostly meaningful: jumps and calls to instruction starts (`target`, an
// instruction index), indices of the image's tables, small counts.
TInt32 operand(Random& rng, const InstructionInfo& row, TInt32 i, TInt32& target, TInt32 count) {
    const OperandInfo& o = row.operands[size_t(i)];
    switch (o.kind) {
    case OperandKind::JumpOffset:
    case OperandKind::HandlerOffset:
    case OperandKind::CodeAddress:
        if (!chance(rng, 90)) return smallInt(rng, o);
        target = uniform(rng, 0, count);
        return 0;
    case OperandKind::Descriptor: return chance(rng, 95) ? uniform(rng, -1, kDescriptors - 1) : kDescriptors + 3;
    case OperandKind::Selector: return uniform(rng, 0, kSelectors - 1);
    case OperandKind::StringIndex: return chance(rng, 95) ? uniform(rng, 0, kStrings - 1) : pick(rng, {kStrings, -1});
    case OperandKind::ClassIndex: return chance(rng, 95) ? uniform(rng, 0, kClasses - 1) : pick(rng, {-1, 50});
    case OperandKind::HandlerClass: return uniform(rng, -1, kClasses - 1);
    case OperandKind::GcCode: return chance(rng, 95) ? uniform(rng, 1, 17) : pick(rng, {0, 8, 18, -1});
    case OperandKind::Level: return chance(rng, 95) ? uniform(rng, -3, 3) : pick(rng, {4, -4, 100});
    case OperandKind::ElementSize: return chance(rng, 90) ? pick(rng, {1, 4, 8, 12, 16}) : pick(rng, {0, 2, 3, -1});
    case OperandKind::NativeGroup: return chance(rng, 95) ? uniform(rng, 1, 36) : pick(rng, {0, 37, -1});
    case OperandKind::NativeFunction: return chance(rng, 90) ? uniform(rng, 0, 40) : uniform(rng, 0, 255);
    case OperandKind::Extension: return chance(rng, 40) ? 1 : pick(rng, {20, 27, 28, 30, 36, 37, 99});
    case OperandKind::ExtensionFunction: return chance(rng, 70) ? 1 : uniform(rng, 0, 10);
    case OperandKind::Int: break;
    }
    return isAlloc(row.opcode) && i == 1 ? uniform(rng, 0, 12) : smallInt(rng, o);
}

// Valid instructions with random operands. A prologue usually leaves words, an
// instance, a string and an object array on the stack, so that most programs
// get past their first instructions; rows that give later instructions
// something to work on are picked more often.
Bytes randomInstructions(Random& rng, std::vector<TInt32>& starts) {
    struct Instruction {
        const InstructionInfo* row;
        std::array<TInt32, 3> operands{};
        std::array<TInt32, 3> target{-1, -1, -1};
    };
    TInt32 count = uniform(rng, 1, 90);
    std::vector<Instruction> list;
    auto add = [&](Op op, TInt32 a = 0, TInt32 b = 0) { list.push_back({findInstruction(op), {a, b, 0}}); };
    if (chance(rng, 80)) {
        add(Op::AdjustStack, uniform(rng, 0, 4));
        add(Op::PushGlobals);
        add(Op::Alloc, GC_CODE_INSTANCE, 4), add(Op::Dup), add(Op::SetClass, uniform(rng, 0, kClasses - 1));
        add(Op::LoadString, uniform(rng, 0, kStrings - 1));
        add(Op::Alloc, GC_CODE_OBJECT_ARRAY, 2), add(Op::Dup), add(Op::NewVector, 4);
    }
    count += TInt32(list.size());
    for (TInt32 n = TInt32(list.size()); n < count; ++n) {
        Instruction in{chance(rng, 35) ? findInstruction(TInt8(pick(
                                             rng, {TInt32(Op::Push), TInt32(Op::PushGlobals), TInt32(Op::LoadLocal),
                                                   TInt32(Op::LocalAddr), TInt32(Op::Alloc), TInt32(Op::Dup),
                                                   TInt32(Op::FieldAddr), TInt32(Op::Extension), TInt32(Op::LoadString),
                                                   TInt32(Op::Box), TInt32(Op::Store), TInt32(Op::Call)})))
                                       : &kInstructions[uniform(rng, 0, kInstructionCount - 1)]};
        for (TInt32 i = 0; i < in.row->operandCount; ++i)
            in.operands[size_t(i)] = operand(rng, *in.row, i, in.target[size_t(i)], count);
        list.push_back(in);
    }
    starts.clear();
    TInt32 at = 0;
    for (const Instruction& in : list) {
        starts.push_back(at);
        at += 1 + operandLength(*in.row);
    }
    starts.push_back(at);  // the end of the code
    Bytes code;
    for (size_t k = 0; k < list.size(); ++k) {
        const Instruction& in = list[k];
        TInt32 last = starts[k] + operandLength(*in.row);
        code.push_back(TUint8(in.row->opcode));
        for (TInt32 i = 0; i < in.row->operandCount; ++i) {
            const OperandInfo& o = in.row->operands[size_t(i)];
            TInt32 v = in.operands[size_t(i)];
            if (TInt32 t = in.target[size_t(i)]; t >= 0) {
                TInt32 a = starts[size_t(t)];
                v = o.kind == OperandKind::CodeAddress ? a : o.kind == OperandKind::HandlerOffset ? a - last - 1 : a - last;
                if (o.width == 2 && (v < -32768 || v > 32767)) v = 0;
            }
            for (TInt32 b = 0; b < o.width; ++b) code.push_back(TUint8(TUint32(v) >> (8 * b)));
        }
    }
    starts.pop_back();
    return code;
}

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

// Lowers the word counts of allocations met on a linear walk of the code from
// `from`, so that a run does not commit gigabytes of VM memory (allowed, only slow).
void tameAllocations(Bytes& code, size_t from = 0) {
    for (size_t at = from; at < code.size();) {
        const InstructionInfo* row = findInstruction(TInt8(code[at]));
        size_t length = row ? 1 + size_t(operandLength(*row)) : 1;
        if (at + length > code.size()) break;
        if (row && isAlloc(row->opcode) && (code[at + 4] | code[at + 5]) != 0) {  // 2^16 words or more
            code[at + 4] = code[at + 5] = 0;
            code[at + 3] &= 0x0F;
        }
        at += length;
    }
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
    host.vm = &vm;
    host.quiet = true;
    host.extensions[1] = [&](TInt32 f, TInt32 sp, TInt32* stack) {
        if (f != 1) return host.unknown(1, f, sp, stack);
        vm.gc();
        ++gCollections;
        return sp;
    };
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
