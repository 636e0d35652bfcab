// Every fast path of the interpreter against one instruction at a time: seeded
// random programs, rich in the sequences that the prepared code fuses, run on a
// machine in reference mode and on a normal machine, entry call for entry call.
// After each call they must agree on how the call ended, the heap report, what
// the host was asked to do and every byte of VM memory. The fused loops take
// their fast paths only without a control budget, so the normal machine runs
// without one whenever the reference ended within its budget.
#include "LimitsSupport.h"
#include "RandomPrograms.h"

#include "foundation/VMError.h"
#include "io/MemoryInputStream.h"
#include "natives/ClockSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <utility>

namespace mcb {

namespace {

using namespace randomprog;

constexpr TInt64 kBudget = 250;  // transfers of control per entry call
constexpr int kPrograms = limits::kSanitized ? 2500 : 10000;

// Random code interleaved with the fused sequences of docs/interpreter.md:
// tests, increments, sums and copies of locals, constants added to locals,
// operations on a pushed constant or local, and counting loops. Their locals lie
// mostly just below the stack top, now and then outside the stack, and some run
// with the stack nearly full; random jumps often land inside them.
class FusedProgram {
public:
    explicit FusedProgram(Random& rng) : rng_(rng) {}

    Bytes make(std::vector<TInt32>& starts) {
        addPrologue(rng_, p_);
        for (TInt32 pieces = uniform(rng_, 2, 18); pieces > 0; --pieces) {
            const TInt32 kind = uniform(rng_, 0, 10);
            if (kind == 2)  // the stack nearly full (or overflowing)
                add(p_, Op::AdjustStackW, uniform(rng_, kStackWords - 24, kStackWords - 4));
            if (kind < 2)
                loop();
            else if (kind < 6)
                sequence();
            else
                for (TInt32 n = uniform(rng_, 1, 4); n > 0; --n) randomCode();
        }
        // Random jumps land anywhere, often inside a fused sequence.
        for (auto [at, i] : loose_) {
            const bool inside = !inner_.empty() && chance(rng_, 35);
            p_[at].target[i] = inside ? inner_[size_t(uniform(rng_, 0, TInt32(inner_.size()) - 1))]
                                      : uniform(rng_, 0, TInt32(p_.size()));
        }
        return encode(p_, starts);
    }

private:
    static constexpr Op kCompares[] = {Op::Lt, Op::Le, Op::Gt, Op::Ge, Op::Eq, Op::Ne};
    static constexpr Op kOperations[] = {Op::Add, Op::Sub, Op::Mul, Op::Div, Op::Rem, Op::And, Op::Or, Op::Xor,
                                         Op::Shl, Op::Shr, Op::Eq,  Op::Lt,  Op::Le,  Op::Ne,  Op::Gt, Op::Ge};
    static constexpr Op kInPlace[] = {Op::AddMem, Op::SubMem, Op::MulMem, Op::DivMem, Op::RemMem,
                                      Op::AndMem, Op::OrMem,  Op::XorMem, Op::ShlMem, Op::ShrMem};

    TInt32 local() { return chance(rng_, 90) ? uniform(rng_, -5, 2) : pick(rng_, {-128, -90, 40, 127}); }
    TInt32 constant() { return chance(rng_, 85) ? uniform(rng_, -3, 30) : pick(rng_, {-1, 0x7FFFFFFF, INT32_MIN}); }
    Op compare() { return kCompares[size_t(uniform(rng_, 0, 5))]; }
    Op operation() { return kOperations[size_t(uniform(rng_, 0, 15))]; }
    Op inPlace() { return kInPlace[size_t(uniform(rng_, 0, 9))]; }

    // Emits the instructions, their locals in the 1-byte forms, the 4-byte ones
    // or a mix; all but the first are places to jump into.
    void emit(std::initializer_list<std::pair<Op, TInt32>> ops) {
        bool first = true;
        const TInt32 wide = pick(rng_, {0, 0, 0, 0, 0, 100, 100, 100, 100, 50});  // percent
        for (auto [op, a] : ops) {
            if (!std::exchange(first, false)) inner_.push_back(TInt32(p_.size()));
            if ((op == Op::LoadLocal || op == Op::LocalAddr) && chance(rng_, wide))
                op = op == Op::LoadLocal ? Op::LoadLocalW : Op::LocalAddrW;
            add(p_, op, a);
        }
    }
    size_t test(TInt32 k, TInt32 c, Op op) {
        emit({{Op::LoadLocal, k}, {Op::Push, c}, {op, 0}, {Op::JumpIfZero, 0}});
        return p_.size() - 1;
    }
    void randomCode() {
        p_.push_back(randomInstruction(rng_, 1));
        for (size_t i = 0; i < 3; ++i)
            if (p_.back().target[i] >= 0) loose_.push_back({p_.size() - 1, i});
    }
    void sequence() {
        switch (uniform(rng_, 0, 13)) {
            case 0: loose_.push_back({test(local(), constant(), compare()), 0}); break;
            case 1: emit({{Op::LocalAddr, local()}, {chance(rng_, 50) ? Op::IncMem : Op::DecMem, 0}}); break;
            case 2:
            case 11:  // twice as often: twenty in-place entries, each with a wide twin
                emit({{Op::LocalAddr, local()},
                      chance(rng_, 50) ? std::pair{Op::LoadLocal, local()} : std::pair{Op::Push, constant()},
                      {inPlace(), 0}});
                break;
            case 3: emit({{Op::LoadLocal, local()}, {Op::Push, constant()}, {operation(), 0}}); break;
            case 4: emit({{Op::LocalAddr, local()}, {Op::LoadLocal, local()}, {Op::Store, 0}}); break;
            case 5: emit({{Op::Push, constant()}, {operation(), 0}}); break;
            case 6: emit({{Op::LoadLocal, local()}, {operation(), 0}}); break;
            case 7: vectorReads(); break;
            case 8: fieldAccess(); break;
            case 9:
            case 12: compareBranch(); break;  // eighteen entries, each with a wide twin
            case 10:
                emit({{chance(rng_, 50) ? Op::LoadLocal : Op::LocalAddr, local()}, {Op::LoadLocal, local()}});
                break;
            default: loop();
        }
    }
    // A compare of the two top words, the top and a constant, or the top and a
    // local, then jz (or jz_w) somewhere.
    void compareBranch() {
        const Op jz = chance(rng_, 50) ? Op::JumpIfZero : Op::JumpIfZeroW;
        switch (uniform(rng_, 0, 2)) {
            case 0: emit({{compare(), 0}, {jz, 0}}); break;
            case 1: emit({{Op::Push, constant()}, {compare(), 0}, {jz, 0}}); break;
            default: emit({{Op::LoadLocal, local()}, {compare(), 0}, {jz, 0}});
        }
        loose_.push_back({p_.size() - 1, 0});
    }
    // A field's value or address, from a local, the globals or the stack top
    // (mostly the prologue's instance or globals, sometimes anything).
    void fieldAccess() {
        const TInt32 n = chance(rng_, 85) ? uniform(rng_, 0, 5) : pick(rng_, {-1, -7, 100, 1 << 20});
        const Op fielda = chance(rng_, 60) ? Op::FieldAddr : Op::FieldAddrW;
        const bool load = chance(rng_, 60);
        switch (uniform(rng_, 0, 4)) {
            case 0: emit({{Op::LoadLocal, local()}, {fielda, n}}); break;
            case 1: emit({{Op::PushGlobals, 0}, {fielda, n}}); break;
            case 2: emit({{Op::LoadLocal, local()}, {Op::Nop, 0}, {fielda, n}}); break;
            case 3: emit({{Op::LocalAddr, -n}, {fielda, n}}); break;  // the field is the slot its base is in
            default:  // through a cell: a local's address (its word the object) or any local
                if (chance(rng_, 70)) emit({{Op::LocalAddr, local()}});
                inner_.push_back(TInt32(p_.size()));
                add(p_, Op::LocalDeref1Field, chance(rng_, 70) ? -1 : local(), TInt8(n));
        }
        if (load) {
            inner_.push_back(TInt32(p_.size()));
            add(p_, Op::Deref);
        } else if (chance(rng_, 50)) {
            emit({{Op::Push, constant()}, {Op::Store, 0}});
        }
    }
    // A filled vector of bytes, ints, int pairs or references (its handle left on
    // the stack), then element reads with indices mostly inside it.
    void vectorReads() {
        constexpr TInt32 kKinds[][3] = {{1, 1, 1}, {3, 4, 1}, {4, 8, 2}, {7, 4, 1}};  // group, bytes, words
        const TInt32* kind = kKinds[uniform(rng_, 0, 3)];
        const TInt32 n = uniform(rng_, 0, 5);
        add(p_, Op::Alloc, kind[0] == 7 ? GC_CODE_OBJECT_ARRAY : GC_CODE_PRIMITIVE_ARRAY, 2);
        add(p_, Op::Dup);
        add(p_, Op::NewVector, kind[1]);
        add(p_, Op::LoadLocal, -1);
        for (TInt32 w = 0; w < kind[2]; ++w)
            kind[0] == 7 && chance(rng_, 50) ? add(p_, Op::LoadLocal, -1)
                                             : add(p_, Op::Push, kind[0] == 7 ? 0 : constant());
        add(p_, Op::Push, n);
        add(p_, Op::Native, kind[0], 3);  // set_filled
        for (TInt32 reads = uniform(rng_, 1, 4); reads > 0; --reads) {
            const TInt32 index = chance(rng_, 85) ? uniform(rng_, 0, std::max(n - 1, 0)) : pick(rng_, {-1, n, 1 << 30});
            emit({{Op::LoadLocal, chance(rng_, 90) ? -1 : local()}, {Op::Push, index}});
            inner_.push_back(TInt32(p_.size()));
            const TInt32 function = pick(rng_, {6, 6, 8, 8, 7});  // element_at, _value, _slot
            add(p_, Op::Native, kind[0], function);
            // back to the handle on top, as a rule
            if (chance(rng_, 85)) add(p_, Op::AdjustStack, function == 8 && kind[0] != 7 ? -1 - kind[2] : -1);
        }
    }
    // A few pushed words, then: T: ldloc k; push c; <compare>; jz out; body;
    // ldloca k; incm; jmp T; out: (the body is empty, a sum of locals right
    // after the test, or random code).
    void loop() {
        for (TInt32 n = uniform(rng_, 0, 3); n > 0; --n) add(p_, Op::Push, uniform(rng_, -3, 5));
        const TInt32 k = chance(rng_, 85) ? uniform(rng_, -4, -1) : local();
        const TInt32 top = TInt32(p_.size());
        const size_t exit =
            test(k, chance(rng_, 85) ? uniform(rng_, 0, 40) : constant(), chance(rng_, 70) ? Op::Lt : compare());
        if (const TInt32 body = uniform(rng_, 0, 3); body == 1 || body == 2)
            emit({{Op::LocalAddr, chance(rng_, 85) ? uniform(rng_, -4, -1) : local()},
                  {Op::LoadLocal, chance(rng_, 85) ? uniform(rng_, -4, -2) : local()},
                  {Op::AddMem, 0}});
        else if (body == 3)
            chance(rng_, 50) ? randomCode() : sequence();
        inner_.push_back(TInt32(p_.size()));
        emit({{Op::LocalAddr, k}, {Op::IncMem, 0}, {chance(rng_, 80) ? Op::Jump : Op::JumpW, 0}});
        p_.back().target[0] = top;
        p_[exit].target[0] = TInt32(p_.size());
    }

    Random& rng_;
    Program p_;
    std::vector<TInt32> inner_;                     // instructions inside fused sequences
    std::vector<std::pair<size_t, size_t>> loose_;  // (instruction, operand) of random jumps
};

// The test host, keeping in order everything the machine asks it to do.
class RecordingHost : public TestHost {
public:
    std::vector<std::string> said;
    void say(const std::string& what, std::initializer_list<TInt32> words = {}) {
        said.push_back(what + " " + join(words, " "));
    }

    void log(const OString& m) override { say("log " + utf8(m)); }
    bool openLog(const OString& path) override { return say("open log " + utf8(path)), true; }
    TInt32 exitMessage(const OString& m) override { return say("exit message " + utf8(m)), 0; }
    void exit() override { say("exit"); }
    void repaintRect(TInt32 x, TInt32 y, TInt32 w, TInt32 h) override { say("repaint", {x, y, w, h}); }
    void screenFlag(bool flag) override { say("screen flag", {flag}); }
    void setOrientation(TInt32 value) override { say("orientation", {value}), TestHost::setOrientation(value); }
    void busyNotice(bool busy) override { say("busy", {busy}); }
    void addOrientationListener(TInt32 o) override { say("listener +", {o}); }
    void removeOrientationListener(TInt32 o) override { say("listener -", {o}); }
    TInt32 addTimer(TInt32 listener, TInt32 delay) override {
        return say("timer", {listener, delay}), TInt32(said.size());
    }
    TInt32 removeTimer(TInt32 id) override { return say("timer -", {id}), 0; }
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        say("extension", {extension, function});
        return TestHost::callDllNative(extension, function, sp, stack);
    }
};

struct Machine {
    explicit Machine(bool reference) {
        vm.setReferenceMode(reference);
        collectOnRequest(host, vm);
    }
    ReportingMachine vm;
    RecordingHost host;
};

using EntryCall = std::function<void(Machine&)>;

// How the call ended, run with that budget (-1: none).
std::string run(Machine& m, const EntryCall& call, TInt64 budget) {
    m.vm.setControlBudget(budget);
    natives::setRandomSeed(12345);  // both machines draw the same random numbers
    std::string ending = "return";
    try {
        call(m);
    } catch (const ExitRequest&) {
        ending = "exit";
    } catch (const HaltRequest&) {
        ending = "halt";
    } catch (const ErrorHandlingException&) {
        ending = "VM error " + std::to_string(vmerr::pendingErrorCode()) + " " + vmerr::pendingErrorTextUtf8();
    } catch (const std::exception& e) {
        ending = std::string("exception ") + e.what();  // none should leave a call; still compared
    }
    vmerr::clearPendingError();
    if (!m.vm.reports.empty()) ending += ", last report: " + m.vm.reports.back();
    return ending;
}

std::string heapReport(Machine& m) {
    VMHeap& heap = m.vm.heap();
    std::string s = "entries " + std::to_string(heap.numberOfEntries()) + ", native objects " +
                    std::to_string(heap.liveObjectCount()) + ", pools " + std::to_string(heap.numberOfPools()) +
                    ", free lists";
    for (TInt32 k = 0; k < kFreeListCount; ++k) s += " " + std::to_string(heap.freeListCount(k));
    try {
        CAppsString text;
        heap.getMemUsage(&text);
        s += text.toUtf8();
    } catch (const ErrorHandlingException&) {
        s += "; no usage: " + vmerr::pendingErrorTextUtf8();
        vmerr::clearPendingError();
    }
    return s;
}

std::string firstDifference(const char* what, const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i])
            return std::string(what) + " " + std::to_string(i) + ": " + (i < a.size() ? a[i] : "(none)") + " / " +
                   (i < b.size() ? b[i] : "(none)");
    return {};
}

// The first way in which the machine differs from the reference, or nothing;
// values are shown as "this machine's / the reference's".
std::string difference(Machine& m, const std::string& ending, Machine& r, const std::string& rEnding) {
    if (ending != rEnding) return "the call ended: " + ending + " / " + rEnding;
    ReportingMachine &a = m.vm, &b = r.vm;
    if (a.sp() != b.sp() || a.pc() != b.pc())
        return "sp, pc: " + std::to_string(a.sp()) + ", " + std::to_string(a.pc()) + " / " + std::to_string(b.sp()) +
               ", " + std::to_string(b.pc());
    if (std::string h = heapReport(m), rh = heapReport(r); h != rh) return "heap report:\n" + h + "\n/\n" + rh;
    if (std::string d = firstDifference("host request", m.host.said, r.host.said); !d.empty()) return d;
    if (std::string d = firstDifference("report", a.reports, b.reports); !d.empty()) return d;
    if (a.queuedCalls() != b.queuedCalls()) return "queued calls differ";
    // Everything bytecode can see: the stack, the globals, the heap's headers and contents.
    VMMemory &ma = a.memory(), &mb = b.memory();
    if (ma.top() != mb.top()) return "VM memory top: " + std::to_string(ma.top()) + " / " + std::to_string(mb.top());
    const VMAddr low = VMMemory::kGuardBytes;
    if (std::memcmp(ma.unchecked(low), mb.unchecked(low), ma.top() - low) == 0) return {};
    for (VMAddr at = low; at < ma.top(); at += 4) {
        const TUint32 x = *ma.uncheckedWord(at), y = *mb.uncheckedWord(at);
        if (x == y) continue;
        const TUint32 fromStack = at - a.stackAddress();
        const std::string where = fromStack < TUint32(kStackWords) * 4 ? "stack word " + std::to_string(fromStack / 4)
                                                                       : "VM address " + std::to_string(at);
        return where + ": " + std::to_string(x) + " / " + std::to_string(y);
    }
    return {};
}

struct Tally {
    int programs = 0, fused = 0, calls = 0, unbudgeted = 0;  // calls the fast machine ran without a budget
    std::map<TInt32, int> byHandler;                         // programs holding each fused entry
    std::map<std::string, int> endings;
};

// The extra handlers' names, for the tally's messages.
const char* const kExtraNames[] = {
#define MCB_NAME(name) #name,
    MCB_EXTRA_HANDLERS(MCB_NAME)
#undef MCB_NAME
#define MCB_WIDE_NAME(name) #name "Wide",
        MCB_TWINNED_HANDLERS(MCB_WIDE_NAME)
#undef MCB_WIDE_NAME
};

void runProgram(TUint32 seed, Tally& tally) {
    Random rng(seed);
    std::vector<TInt32> starts;
    Bytes code = FusedProgram(rng).make(starts);
    tameAllocations(code);
    ImageFile file = randomImageFile(rng, std::move(code), starts);
    // The initialiser would run inside the load: renamed, it is an entry call of its own.
    auto& methods = file.globalMethods;
    auto init = std::find_if(methods.begin(), methods.end(), [](auto& m) { return m.name == "::global::init"; });
    if (init != methods.end())
        init->name = "again";
    else
        methods.push_back({"again", anyStart(rng, starts), uniform(rng, 0, kDescriptors - 1)});
    const Bytes image = testimg::encode(file);

    Vec<int> arguments, levels;
    for (TInt32 n = uniform(rng, 0, 2); n > 0; --n) arguments.append(uniform(rng, -2, 40)), levels.append(0);
    Vec<int> receiver, zero;
    receiver.append(uniform(rng, 0, kClasses)), zero.append(0);
    auto byName = [](Machine& m, const char* name, const Vec<int>& words, const Vec<int>& wordLevels) {
        m.vm.runEntryCall(m.vm.findMethod(CAppsString(name), 0), words, wordLevels, -1);
    };
    const std::pair<const char*, EntryCall> calls[] = {
        {"main",
         [&](Machine& m) {
             VELMAR::MemoryInputStream in(image);
             m.vm.load(CAppsString("index.mcb"), in, &m.host);
         }},
        {"again", [&](Machine& m) { byName(m, "again", arguments, levels); }},
        {"the exit event", [](Machine& m) { m.vm.exitEvent(); }},
        {"poke", [&](Machine& m) { byName(m, "<thing>.poke", receiver, zero); }},
        {"main again", [](Machine& m) { m.vm.runEntryCall(m.vm.entryPoint(EntryMain), Vec<int>(), Vec<int>(), -1); }},
    };

    Machine reference(true), fast(false);
    for (const auto& [name, call] : calls) {
        const std::string ending = run(reference, call, kBudget);
        ++tally.endings[ending.substr(0, ending.find_first_of(" ,"))];
        // A call that ended within the budget would have ended the same without
        // one: the fast machine then runs without, so that its loops take their
        // fast paths. One that ran out must run out at the same place.
        const bool bounded = reference.vm.controlBudget() >= 0;
        tally.unbudgeted += bounded ? 1 : 0;
        ++tally.calls;
        const std::string d = difference(fast, run(fast, call, bounded ? -1 : kBudget), reference, ending);
        if (!d.empty()) {
            ADD_FAILURE() << "seed " << seed << ", entry call " << name << " (" << (bounded ? "without" : "with")
                          << " a budget), first difference: " << d;
            return;
        }
    }

    ++tally.programs;
    EXPECT_EQ(reference.vm.preparedCode().fusedCount(), 0) << "seed " << seed;
    const PreparedCode& prepared = fast.vm.preparedCode();
    tally.fused += prepared.fusedCount() > 0 ? 1 : 0;
    std::map<TInt32, bool> held;
    for (TInt32 at = 0; at < prepared.size(); ++at)
        if (prepared.data()[at].handler > PreparedCode::kEndOfCode) held[prepared.data()[at].handler] = true;
    for (auto [handler, yes] : held) tally.byHandler[handler] += yes ? 1 : 0;
}

TEST(Differential, FusedCodeRunsAsOneInstructionAtATime) {
    natives::setWallClock([] { return TInt64(1700000000000); });  // and read the same time
    struct Restore {
        ~Restore() {
            natives::setWallClock({});
            natives::setRandomSeed(std::nullopt);
        }
    } restore;
    Tally tally;
    for (TUint32 seed = 1; seed <= TUint32(kPrograms) && !testing::Test::HasFailure(); ++seed) runProgram(seed, tally);
    if (HasFailure()) return;
    // The fast paths had something to do.
    EXPECT_GT(tally.fused, kPrograms * 9 / 10);
    EXPECT_GT(tally.unbudgeted, tally.calls / 2);
    // (the sanitized build runs a quarter of the programs, too few to hold each entry to the same share)
    for (TInt32 h = PreparedCode::kEndOfCode + 1; h < PreparedCode::kHandlerCount; ++h)
        EXPECT_GT(tally.byHandler[h], kPrograms / (limits::kSanitized ? 400 : 200))
            << kExtraNames[h - PreparedCode::kInvalidOpcode] << " held by " << tally.byHandler[h] << " programs";
    std::string endings;
    for (auto& [ending, count] : tally.endings) endings += "\n  " + ending + ": " + std::to_string(count);
    std::cout << tally.programs << " programs, " << tally.fused << " with fused entries; " << tally.unbudgeted << " of "
              << tally.calls << " entry calls ran without a budget on the fast machine; they ended:" << endings << "\n";
}

}  // namespace

}  // namespace mcb
