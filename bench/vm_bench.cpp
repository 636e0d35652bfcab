// Times the interpreter on small assembled programs against the same programs
// written for Lua 5.4, and prints one line per program:
// NAME PLAYER_SECONDS LUA_SECONDS RATIO (player / Lua). Both sides are timed in
// process CPU time, best of several runs, on the same number of repetitions.
#include "BenchSupport.h"
#include "vm/VirtualMachine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mcb {

namespace {

// A program and what its globals hold after a run. One repetition makes
// `callsPerRepetition` entry calls of "main"; the machine collects after each.
struct Benchmark {
    const char* name;
    TInt32 callsPerRepetition;
    bool (*check)(VirtualMachine& vm);
    const char* scriptFolder = "lua";  // below the benchmark sources
};

using bench::global;

bool globalIs(VirtualMachine& vm, TUint32 index, TInt64 value) { return TInt32(global(vm, index)) == TInt32(value); }

// The 64-bit value of the long whose reference global `index` holds.
TInt64 longAt(VirtualMachine& vm, TUint32 index) {
    VMAddr block = global(vm, index);
    return TInt64(TUint64(vm.memory().readWord(block + 4)) << 32 | vm.memory().readWord(block));
}

// Integer loops, one per way of reaching the loop's variables.
bool intLoopDone(VirtualMachine& vm) { return global(vm, 0) == TUint32(4999999950000000ull); }
bool intLocalsDone(VirtualMachine& vm) { return globalIs(vm, 0, 14531623); }
bool intInPlaceDone(VirtualMachine& vm) { return globalIs(vm, 0, 4853311); }
bool intGlobalsDone(VirtualMachine& vm) { return globalIs(vm, 3, 36365270); }
bool intFieldsDone(VirtualMachine& vm) { return globalIs(vm, 0, 1919993856); }
bool intArrayDone(VirtualMachine& vm) { return globalIs(vm, 0, 575304672); }
bool loopWideDone(VirtualMachine& vm) { return globalIs(vm, 0, 162738616); }

// Calls.
bool fibDone(VirtualMachine& vm) { return globalIs(vm, 0, 9227465); }
bool takDone(VirtualMachine& vm) { return globalIs(vm, 0, 105); }
bool virtualCalls1Done(VirtualMachine& vm) { return globalIs(vm, 0, 75000000); }
bool virtualCallsDone(VirtualMachine& vm) { return globalIs(vm, 0, 80000000); }
bool virtualCalls4Done(VirtualMachine& vm) { return globalIs(vm, 0, 93750000); }
// One round: 18750 of 25000 calls throw; the codes and results add up to 156226.
bool exceptionsDone(VirtualMachine& vm) { return globalIs(vm, 0, 18750) && globalIs(vm, 1, 156226); }

// Fields and arrays.
bool fieldReadWriteDone(VirtualMachine& vm) { return globalIs(vm, 0, 3269304); }
bool arrayBytesDone(VirtualMachine& vm) { return globalIs(vm, 0, 412849); }
bool arrayWordsDone(VirtualMachine& vm) { return globalIs(vm, 0, 235200); }
bool arrayObjectsDone(VirtualMachine& vm) { return globalIs(vm, 0, 247527264); }

// Allocation: only the last round's objects (and what lives on) may survive the collections.
bool allocLoopDone(VirtualMachine& vm) {
    return global(vm, 1) == 9999u && vm.heap().numberOfEntries() <= 10000 + 100;
}
bool objectGraphDone(VirtualMachine& vm) {
    return globalIs(vm, 1, 131063) && vm.heap().numberOfEntries() <= 65535 + 100;
}

// 32.32 fixed point in globals 4 (low word) and 5 (high word).
bool fixedMathDone(VirtualMachine& vm) {
    TInt64 raw = TInt64(TUint64(global(vm, 5)) << 32 | global(vm, 4));
    return std::fabs(double(raw) / 4294967296.0 - 4136339.19) < 1.0;
}
bool longMathDone(VirtualMachine& vm) { return longAt(vm, 1) == 13767650885; }

const Benchmark kBenchmarks[] = {
    {"int_loop", 1, intLoopDone},
    {"int_locals", 1, intLocalsDone},
    {"int_inplace", 1, intInPlaceDone},
    {"int_globals", 1, intGlobalsDone},
    {"int_fields", 1, intFieldsDone},
    {"int_array", 1, intArrayDone},
    {"loop_wide", 1, loopWideDone},
    {"fib", 1, fibDone},
    {"tak", 1, takDone},
    {"virtual_calls_1", 1, virtualCalls1Done},
    {"virtual_calls", 1, virtualCallsDone},
    {"virtual_calls_4", 1, virtualCalls4Done},
    {"exceptions", 100, exceptionsDone},
    {"field_rw", 1, fieldReadWriteDone},
    {"array_bytes", 1, arrayBytesDone},
    {"array_words", 1, arrayWordsDone},
    {"array_objects", 1, arrayObjectsDone},
    {"alloc_loop", 400, allocLoopDone},
    {"object_graph", 50, objectGraphDone},
    {"fixed_math", 1, fixedMathDone, "fixed"},
    {"long_math", 100, longMathDone, "fixed"},
};

struct Options : bench::LuaOptions {
    std::string images = MCB_BENCH_IMAGES;
    std::string scripts = MCB_BENCH_SCRIPTS;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_vm: %s\n", what.c_str());
    std::exit(1);
}

std::vector<TUint8> readImage(const Options& o, const Benchmark& b) {
    std::string path = o.images + "/" + b.name + ".mcb";
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void measure(const Options& o, const Benchmark& b) {
    std::vector<TUint8> image = readImage(o, b);
    std::string script = o.scripts + "/" + b.scriptFolder + "/" + b.name + ".lua";
    try {
        bench::compareWithLua(o, b.name, image, b.callsPerRepetition, b.check, script);
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
}

void usage(FILE* to) {
    std::fprintf(to,
        "usage: bench_vm [--min SECONDS] [--runs N] [--lua PROGRAM] [--images DIR] [--scripts DIR] "
        "[NAME...]\n"
        "benchmarks:");
    for (const Benchmark& b : kBenchmarks) std::fprintf(to, " %s", b.name);
    std::fputc('\n', to);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (bench::takeOption(o, argc, argv, i)) continue;
        if (a == "--images" && hasValue) o.images = argv[++i];
        else if (a == "--scripts" && hasValue) o.scripts = argv[++i];
        else if (a == "--help") usage(stdout), std::exit(0);
        else usage(stderr), std::exit(1);
    }
    for (const std::string& n : o.only) {
        bool known = false;
        for (const Benchmark& b : kBenchmarks) known = known || n == b.name;
        if (!known) fail("no benchmark named " + n);
    }
    return o;
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    Options o = parse(argc, argv);
    for (const Benchmark& b : kBenchmarks)
        if (bench::selected(o, b.name)) measure(o, b);
    return 0;
}
