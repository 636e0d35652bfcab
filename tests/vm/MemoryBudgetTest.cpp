// The memory budget: every kind of allocation an application makes stops at the
// limit with the out-of-memory error while the process stays within the budget
// plus a fixed overhead; the host running out is as orderly; the player takes
// its limit from the command line.
#include "../support/NativeProgram.h"
#include "../support/Outcome.h"
#include "../support/QtApp.h"
#include "LimitsSupport.h"

#include "host/Scheduler.h"
#include "host/Startup.h"

#include <sys/resource.h>

#include <cstdio>
#include <new>

namespace mcb {

namespace {
const std::string kOutOfMemory = "6: InvalidArgumentException: Out of memory";
constexpr TUint64 kLimit = TUint64(48) << 20;
constexpr long kOverheadKiB = 16 << 10;
const char* const kText = ".string text \"abc\"\n";

// Bodies that allocate one kind of memory until something refuses.
struct Hog {
    const char* kind;
    const char* body;
};
const Hog kHogs[] = {
    {"VM memory", "loop:\n alloc 2, 1000\n adjsp -1\n jmp loop\n"},
    {"string contents", "ldstr text\n @store 5\nloop:\n @load 5\n push 2\n native String.repeat_in_place\n jmp loop\n"},
    {"vector contents",
     "@vec 4\n @keep 5\n push 7\n native IntVector.append\n"
     "loop:\n @load 5\n @load 5\n native IntVector.append_vector\n jmp loop\n"},
    {"hash data",
     "ldglobals\n fielda 6\n push 1\n native Hash.new\n @vec 1\n @keep 5\n push 0\n push 65536\n"
     "native ByteVector.set_filled\nloop:\n ldglobals\n fielda 6\n @load 5\n native Hash.update\n jmp loop\n"},
    {"timers", "loop:\n alloc 1, 1\n push 1000000\n native Timer.add\n adjsp -1\n jmp loop\n"},
    {"small strings kept",
     "@objvec\n @store 5\nloop:\n @load 5\n ldstr text\n native ObjectVector.append\n jmp loop\n"},
};

// The outcome is the error, and (resident sizes meaning nothing under the sanitizers) the
// process grew by at most the limit and a fixed overhead.
void expectStoppedAtTheLimit(const limits::Measured& m) {
    EXPECT_EQ(m.outcome, kOutOfMemory);
    EXPECT_TRUE(limits::kSanitized || m.growthKiB < long(kLimit >> 10) + kOverheadKiB) << m.growthKiB << " KiB";
}

// Runs the body on a machine whose timers are the player's, after `prepare`.
std::string runHog(const std::string& body, const std::function<void(VirtualMachine&)>& prepare) {
    Scheduler scheduler;
    NativeProgram p(body, kText, [&](NativeProgram& q) {
        prepare(q.vm);
        scheduler.setVm(&q.vm);
        q.host.timers = [&](TInt32 listener, TInt32 delay) { return scheduler.addTimer(listener, TUint32(delay)); };
    });
    return errorOf(p);
}

// An image whose code section holds `extra` bytes of nop after a "main" that returns.
std::vector<uint8_t> largeCodeImage(size_t extra) {
    std::vector<uint8_t> image = mcbasm::assemble(
        ".method \"main\", main, frame\n.descriptor frame\n .lengths 0, 0, 0\n.code\nmain:\n ret 0, 0\n");
    image.resize(image.size() + extra, 0);
    return image;
}

std::string load(VirtualMachine& vm, VELMAR::InputStream& in) try {
    const Outcome o = outcomeOf([&] { vm.load(CAppsString("index.mcb"), in, nullptr); });
    return o.code ? std::to_string(o.code) + ": " + o.text : "loaded";
} catch (const HaltRequest&) {
    return "halted";
}
}  // namespace

TEST(MemoryBudget, EveryKindOfAllocationStopsAtTheLimit) {
    ensureQtApp();  // timers need an event dispatcher: made before any child is forked
    for (const Hog& hog : kHogs) {
        SCOPED_TRACE(hog.kind);
        expectStoppedAtTheLimit(limits::measuredInChild(
            [&] { return runHog(hog.body, [](VirtualMachine& vm) { vm.budget().setLimit(kLimit); }); }));
    }
    SCOPED_TRACE("prepared code of a large code section");
    VELMAR::MemoryInputStream image(largeCodeImage(32 << 20));
    expectStoppedAtTheLimit(limits::measuredInChild([&] {
        VirtualMachine vm(kDefaultHeapPool, kLimit);
        return load(vm, image);
    }));
}

TEST(MemoryBudget, PreparedCodeCostsAtMostEightBytesPerCodeByte) {
    constexpr size_t kCode = 4 << 20;
    VirtualMachine vm;
    VELMAR::MemoryInputStream image(largeCodeImage(kCode));
    const TUint64 before = vm.budget().used();
    ASSERT_EQ(load(vm, image), "loaded");
    const TUint64 held = vm.budget().used() - before;  // prepared code and the program tables' copy
    EXPECT_GE(held, 8 * kCode);
    EXPECT_LE(held, 8 * kCode + kCode + kCode / 4 + (1 << 20));
    EXPECT_LT(vm.budget().peak() - before, 12 * kCode) << "the load's passing copies count too";
}

TEST(MemoryBudget, AFailedAllocationBelowANativeIsTheOutOfMemoryError) {
    NativeProgram p("extcall 20, 99\n", {},
                    [](NativeProgram& q) { q.handOver = []() -> TInt32 { throw std::bad_alloc(); }; });
    EXPECT_EQ(errorOf(p), kOutOfMemory);
    NativeProgram refused("loop:\n alloc 2, 1000\n adjsp -1\n jmp loop\n", {},
                          [](NativeProgram& q) { q.vm.budget().setLimit(q.vm.budget().used() + (1 << 20)); });
    EXPECT_EQ(errorOf(refused), kOutOfMemory) << "the error still reaches the application";
    EXPECT_LE(refused.vm.budget().used(), refused.vm.budget().limit());
}

// A pool the budget refuses takes nothing from it, its records included.
TEST(MemoryBudget, ARefusedPoolTakesNothing) {
    VirtualMachine vm;
    vm.budget().setLimit(vm.budget().used() + (TUint64(64) << 20));
    const TUint64 before = vm.budget().used();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(outcomeOf([&] { vm.heap().allocate(62 << 20, 0, GC_CODE_PLAIN); }).code, vmerr::InvalidArgument);
    EXPECT_EQ(vm.budget().used(), before);
}

// The host's allocator fails first (an address-space limit below a huge budget):
// every failure ends as the out-of-memory error and never takes the process
// down. Where nothing at all is left, not even for the error's text (many small
// allocations), the call halts instead.
TEST(MemoryBudget, HostOutOfMemoryUnderAnAddressSpaceLimit) {
    if (limits::kSanitized) GTEST_SKIP() << "the sanitizers' shadow memory does not fit an address-space limit";
    ensureQtApp();
    for (const Hog& hog : kHogs) {
        if (std::string(hog.kind) == "VM memory") continue;  // committed within its reservation, not limited
        SCOPED_TRACE(hog.kind);
        const std::string outcome = limits::inChild([&] {
            return runHog(hog.body, [](VirtualMachine& vm) {
                vm.budget().setLimit(TUint64(1) << 40);
                const rlimit space{rlim_t(limits::statusKiB("VmSize") + (64 << 10)) << 10, RLIM_INFINITY};
                setrlimit(RLIMIT_AS, &space);
            });
        });
        const bool small = std::string(hog.kind) == "small strings kept" || std::string(hog.kind) == "timers";
        EXPECT_TRUE(outcome == kOutOfMemory || (small && outcome == "halted")) << outcome;
    }
}

// The player itself: a limit too small for the machine ends with the error's
// fatal line (a malformed limit: CommandLineTest.cpp).
TEST(MemoryBudget, ThePlayerReportsItsLimit) {
    const std::string command = "cd /tmp && QT_QPA_PLATFORM=offscreen DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent " +
                                std::string(MCB_BINARY_DIR) + "/bin/mcbplayer --memory-limit 64K 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    EXPECT_NE(out.find("FATAL: InvalidArgumentException: Out of memory"), std::string::npos) << out;
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace mcb
