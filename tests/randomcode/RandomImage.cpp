// Generating and mutating random images, and running one under a host that
// ends nothing, logs nothing and collects when bytecode asks.
#include "RandomImage.h"

#include "../vm/ImageBuilder.h"

#include "foundation/VMError.h"
#include "heap/GcCode.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/ImageFile.h"
#include "vm/Instructions.h"
#include "vm/VirtualMachine.h"

#include <gtest/gtest.h>

namespace randomcode {

// --- random tables ----------------------------------------------------------------

namespace {
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

ImageDescriptor randomDescriptor(Random& rng) {
    ImageDescriptor d;
    d.firstLength = length(rng);
    d.secondLength = chance(rng, 70) ? 0 : length(rng);
    d.thirdLength = length(rng);
    d.possibleReferenceSlots = someOffsets(rng, -2, 8);
    d.arraySlots = someFlagged(rng, -2, 8);
    d.referenceSlots = someOffsets(rng, -2, 8);
    d.twoWordArraySlots = someFlagged(rng, -2, 8);
    return d;
}

ImageClass randomClass(Random& rng, TInt32 index) {
    ImageClass c;
    c.referenceFields = someOffsets(rng, 0, 5);
    c.arrayFields = someFlagged(rng, 0, 5);
    if (index > 0 && chance(rng, 60)) {
        c.superclassPresent = 1;
        c.superclass = uniform(rng, 0, index - 1);
    }
    return c;
}
// The throw routine is appended to the code and well behaved: it resumes after
// the failing instruction or throws an instance (see ReducedPrograms for one
// that fails again at once).
TInt32 errorRoutine(Random& rng, std::vector<TUint8>& code) {
    TInt32 at = TInt32(code.size());
    auto put = [&](std::initializer_list<TInt32> bytes) {
        for (TInt32 b : bytes) code.push_back(TUint8(b));
    };
    if (chance(rng, 50)) {
        put({TInt8(mcb::Op::Return), 0, 0, 0, 0, 3, 0, 0, 0});  // ret 0, 3
    } else {
        put({TInt8(mcb::Op::Alloc), 1, 1, 0, 0, 0, TInt8(mcb::Op::Dup)});  // alloc 1, 1; dup
        put({TInt8(mcb::Op::SetClass), uniform(rng, 0, kClasses - 1), 0, 0, 0, TInt8(mcb::Op::Throw)});
    }
    return at;
}
}  // namespace

std::vector<TUint8> randomImage(Random& rng, std::vector<TUint8> code, const std::vector<TInt32>& starts) {
    ImageFile image = testimg::emptyImage();
    image.code = std::move(code);
    image.globalCount = uniform(rng, 0, 8);
    for (TInt32 i = 0; i < kClasses; ++i) image.classes.push_back(randomClass(rng, i));
    for (TInt32 i = 0; i < kDescriptors; ++i) image.descriptors.push_back(randomDescriptor(rng));
    image.strings = {"", "text", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"};
    auto descriptor = [&] { return chance(rng, 90) ? uniform(rng, 0, kDescriptors - 1) : -1; };
    auto& methods = image.globalMethods;
    methods.push_back({"main", 0, descriptor()});
    if (chance(rng, 85)) methods.push_back({"vminternalthrow<int>,<string>", errorRoutine(rng, image.code), descriptor()});
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

// --- random code ------------------------------------------------------------------

std::vector<TUint8> randomBytes(Random& rng, std::vector<TInt32>& starts) {
    std::vector<TUint8> code(size_t(uniform(rng, 1, 160)));
    for (TUint8& b : code) b = TUint8(uniform(rng, 0, 255));
    starts.clear();
    for (TInt32 i = 0; i < TInt32(code.size()); ++i) starts.push_back(i);
    return code;
}

namespace {
using mcb::InstructionInfo;
using mcb::OperandKind;
using mcb::Op;

struct Instruction {
    const InstructionInfo* row;
    std::array<TInt32, 3> operands{};
    std::array<TInt32, 3> target{-1, -1, -1};  // instruction index for jumps, calls, handlers
};

TInt32 smallInt(Random& rng, const mcb::OperandInfo& o) {
    if (o.width == 1) return chance(rng, 80) ? uniform(rng, -6, 6) : uniform(rng, o.isSigned ? -128 : 0, o.isSigned ? 127 : 255);
    if (chance(rng, 75)) return uniform(rng, -8, 32);
    if (chance(rng, 70)) return pick(rng, {0x7FFFFFFF, TInt32(0x80000000), 0x40000001, -1, 65536, 15255, 15256, -15256});
    return TInt32(rng());
}

TInt32 operand(Random& rng, const InstructionInfo& row, TInt32 i, TInt32& target, TInt32 count) {
    const mcb::OperandInfo& o = row.operands[size_t(i)];
    switch (o.kind) {
    case OperandKind::JumpOffset:
    case OperandKind::HandlerOffset:
    case OperandKind::CodeAddress:
        if (chance(rng, 90)) {
            target = uniform(rng, 0, count);
            return 0;
        }
        return smallInt(rng, o);
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
    bool isCount = (row.opcode == TInt8(Op::Alloc) || row.opcode == TInt8(Op::AllocTo) ||
                  row.opcode == TInt8(Op::AllocToKeep)) && i == 1;
    return isCount ? uniform(rng, 0, 12) : smallInt(rng, o);
}

// Rows that give later instructions something to work on, picked more often.
const InstructionInfo* usefulRow(Random& rng) {
    return mcb::findInstruction(TInt8(pick(rng, {TInt32(Op::Push), TInt32(Op::PushGlobals), TInt32(Op::LoadLocal),
                                                 TInt32(Op::LocalAddr), TInt32(Op::Alloc), TInt32(Op::Dup),
                                                 TInt32(Op::FieldAddr), TInt32(Op::Extension), TInt32(Op::LoadString),
                                                 TInt32(Op::Box), TInt32(Op::Store), TInt32(Op::Call)})));
}

void encode(std::vector<TUint8>& code, TInt32 value, TInt32 width) {
    for (TInt32 b = 0; b < width; ++b) code.push_back(TUint8(TUint32(value) >> (8 * b)));
}
}  // namespace

std::vector<TUint8> randomInstructions(Random& rng, std::vector<TInt32>& starts) {
    TInt32 count = uniform(rng, 1, 90);
    std::vector<Instruction> list;
    // A prologue leaves words, an instance, a string and an object array on
    // the stack, so that most programs get past their first instructions.
    auto add = [&](Op op, TInt32 a = 0, TInt32 b = 0) {
        list.push_back(Instruction{mcb::findInstruction(op), {a, b, 0}});
    };
    if (chance(rng, 80)) {
        add(Op::AdjustStack, uniform(rng, 0, 4));
        add(Op::PushGlobals);
        add(Op::Alloc, GC_CODE_INSTANCE, 4);
        add(Op::Dup);
        add(Op::SetClass, uniform(rng, 0, kClasses - 1));
        add(Op::LoadString, uniform(rng, 0, kStrings - 1));
        add(Op::Alloc, GC_CODE_OBJECT_ARRAY, 2);
        add(Op::Dup);
        add(Op::NewVector, 4);
    }
    count += TInt32(list.size());
    for (TInt32 n = TInt32(list.size()); n < count; ++n) {
        Instruction in{chance(rng, 35) ? usefulRow(rng) : &mcb::kInstructions[uniform(rng, 0, mcb::kInstructionCount - 1)]};
        for (TInt32 i = 0; i < in.row->operandCount; ++i)
            in.operands[size_t(i)] = operand(rng, *in.row, i, in.target[size_t(i)], count);
        list.push_back(in);
    }
    starts.clear();
    TInt32 at = 0;
    for (const Instruction& in : list) {
        starts.push_back(at);
        at += 1 + mcb::operandLength(*in.row);
    }
    starts.push_back(at);  // the end of the code
    std::vector<TUint8> code;
    for (size_t k = 0; k < list.size(); ++k) {
        const Instruction& in = list[k];
        TInt32 last = starts[k] + mcb::operandLength(*in.row);
        code.push_back(TUint8(in.row->opcode));
        for (TInt32 i = 0; i < in.row->operandCount; ++i) {
            const mcb::OperandInfo& o = in.row->operands[size_t(i)];
            TInt32 v = in.operands[size_t(i)];
            if (TInt32 t = in.target[size_t(i)]; t >= 0) {
                TInt32 a = starts[size_t(t)];
                v = o.kind == OperandKind::CodeAddress    ? a
                    : o.kind == OperandKind::HandlerOffset ? a - last - 1
                                                           : a - last;
                if (o.width == 2 && (v < -32768 || v > 32767)) v = 0;
            }
            encode(code, v, o.width);
        }
    }
    starts.pop_back();
    return code;
}

// --- mutation ---------------------------------------------------------------------

std::vector<TUint8> mutate(Random& rng, std::vector<TUint8> image, size_t codeOffset) {
    TInt32 edits = uniform(rng, 1, 4);
    for (TInt32 e = 0; e < edits && !image.empty(); ++e) {
        bool inCode = codeOffset < image.size() && chance(rng, 85);
        TInt32 lo = inCode ? TInt32(codeOffset) : 0;
        size_t at = size_t(uniform(rng, lo, TInt32(image.size()) - 1));
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

void tameAllocations(std::vector<TUint8>& code) {
    for (size_t at = 0; at < code.size();) {
        const InstructionInfo* row = mcb::findInstruction(TInt8(code[at]));
        TInt32 length = row ? 1 + mcb::operandLength(*row) : 1;
        if (at + size_t(length) > code.size()) break;
        bool alloc = row && (row->opcode == TInt8(Op::Alloc) || row->opcode == TInt8(Op::AllocTo) ||
                             row->opcode == TInt8(Op::AllocToKeep));
        if (alloc && (code[at + 4] | code[at + 5]) != 0) {  // 2^16 words or more: keep the low bits
            code[at + 4] = 0;
            code[at + 5] = 0;
            code[at + 3] &= 0x0F;
        }
        at += size_t(length);
    }
}

// --- running ----------------------------------------------------------------------

namespace {
TInt64 gCollections = 0;

class QuietHost : public FrameworkServices {
public:
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension == 1 && function == 1) {
            vm->gc();
            ++gCollections;
            return sp;
        }
        return FrameworkServices::callDllNative(extension, function, sp, stack);
    }
    void log(const OString&) override {}
    void exit() override {}
    VirtualMachine* vm = nullptr;
};
}  // namespace

TInt64 collectionsFinished() { return gCollections; }

const char* describe(Outcome o) {
    switch (o) {
    case Outcome::Returned: return "returned";
    case Outcome::Halted: return "halted";
    case Outcome::Exited: return "exited";
    case Outcome::Raised: return "raised";
    case Outcome::Refused: return "refused";
    }
    return "?";
}

Outcome runImage(const std::vector<TUint8>& image, TInt64 budget) {
    ImageFile parsed;
    ImageError error;
    bool parses = parseImage(image.data(), image.size(), parsed, error);
    VirtualMachine vm;
    QuietHost host;
    host.vm = &vm;
    vm.setControlBudget(budget);
    VELMAR::MemoryInputStream in(image);
    Outcome outcome = Outcome::Returned;
    try {
        vm.load(CAppsString("index.mcb"), in, &host);
    } catch (TInt32 e) {
        EXPECT_TRUE(e == -1 || e == -2) << e;
        outcome = e == -1 ? Outcome::Exited : Outcome::Halted;
    } catch (const ErrorHandlingException&) {
        outcome = parses ? Outcome::Raised : Outcome::Refused;
    }
    vmerr::clearPendingError();
    // Whatever the run left behind must survive a collection, a report and a
    // consistency walk (which may find headers that bytecode overwrote).
    try {
        vm.gc();
        vm.heap().getMemUsage(nullptr);
        vm.heap().verify();
    } catch (const ErrorHandlingException&) {
        vmerr::clearPendingError();
    }
    return outcome;
}

Outcome runSource(std::string_view source, TInt64 budget) {
    return runImage(mcbasm::assemble(source), budget);
}

}  // namespace randomcode
