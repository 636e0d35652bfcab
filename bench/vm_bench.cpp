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

bool intLoopDone(VirtualMachine& vm) { return global(vm, 0) == TUint32(4999999950000000ull); }
bool fibDone(VirtualMachine& vm) { return global(vm, 0) == 9227465u; }
bool virtualCallsDone(VirtualMachine& vm) { return global(vm, 0) == 80000000u; }
// Only the last round's list may survive the collections.
bool allocLoopDone(VirtualMachine& vm) {
    return global(vm, 1) == 9999u && vm.heap().numberOfEntries() <= 10000 + 100;
}

// 32.32 fixed point in globals 4 (low word) and 5 (high word).
bool fixedMathDone(VirtualMachine& vm) {
    TInt64 raw = TInt64(TUint64(global(vm, 5)) << 32 | global(vm, 4));
    return std::fabs(double(raw) / 4294967296.0 - 4136339.19) < 1.0;
}

const Benchmark kBenchmarks[] = {
    {"int_loop", 1, intLoopDone},
    {"fib", 1, fibDone},
    {"virtual_calls", 1, virtualCallsDone},
    {"alloc_loop", 400, allocLoopDone},
    {"fixed_math", 1, fixedMathDone, "fixed"},
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

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    for (const Benchmark& b : kBenchmarks)
        if (bench::selected(o, b.name)) measure(o, b);
    return 0;
}
