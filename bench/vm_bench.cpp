// Times the interpreter on small assembled programs against the same programs
// written for Lua 5.4, and prints one line per program:
// NAME PLAYER_SECONDS LUA_SECONDS RATIO (player / Lua). Both sides are timed in
// process CPU time, best of several runs, on the same number of repetitions.
#include "vm/VirtualMachine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
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

TUint32 global(VirtualMachine& vm, TUint32 index) { return vm.memory().readWord(vm.globals() + 4 * index); }

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

struct Options {
    double minSeconds = 0.5;
    int runs = 3;
    std::string images = MCB_BENCH_IMAGES;
    std::string scripts = MCB_BENCH_SCRIPTS;
    std::string lua = "lua5.4";
    std::vector<std::string> only;
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

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

// Seconds for `reps` repetitions on a fresh machine; loading is not timed.
double runPlayer(const Benchmark& b, const std::vector<TUint8>& image, TInt32 reps) {
    VirtualMachine vm;
    TInt32 index = -1;
    if (!vm.loadImage(CAppsString(b.name), image.data(), image.size(), index))
        fail(std::string(b.name) + ": the image does not load");
    vm.resolveEntryPoints(index);
    double start = cpuSeconds();
    try {
        for (TInt32 i = 0; i < reps * b.callsPerRepetition; ++i)
            vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    } catch (TInt32 code) {
        fail(std::string(b.name) + ": the entry call ended with " + std::to_string(code));
    }
    double took = cpuSeconds() - start;
    if (!b.check(vm)) fail(std::string(b.name) + ": wrong result");
    return took;
}

// Runs the Lua script, which prints its best time over `runs` runs; nullopt
// when Lua is not there.
std::optional<double> runLua(const Options& o, const Benchmark& b, TInt32 reps, int runs) {
    std::string command = o.lua + " '" + o.scripts + "/" + b.scriptFolder + "/" + b.name + ".lua' " + std::to_string(reps) +
                          " " + std::to_string(runs);
    FILE* p = popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    double seconds = -1;
    bool read = std::fscanf(p, "%lf", &seconds) == 1;
    if (pclose(p) != 0 || !read) return std::nullopt;
    return seconds;
}

double bestPlayer(const Benchmark& b, const std::vector<TUint8>& image, TInt32 reps, int runs) {
    double best = INFINITY;
    for (int r = 0; r < runs; ++r) best = std::min(best, runPlayer(b, image, reps));
    return best;
}

// Enough repetitions that the faster side still runs `minSeconds`.
TInt32 repetitionsFor(double minSeconds, double player, std::optional<double> lua) {
    double fastest = lua ? std::min(player, *lua) : player;
    if (fastest >= minSeconds) return 1;
    return TInt32(std::ceil(minSeconds * 1.05 / std::max(fastest, 1e-3)));
}

void measure(const Options& o, const Benchmark& b) {
    std::vector<TUint8> image = readImage(o, b);
    double player = runPlayer(b, image, 1);
    std::optional<double> lua = runLua(o, b, 1, 1);
    TInt32 reps = repetitionsFor(o.minSeconds, player, lua);
    player = bestPlayer(b, image, reps, o.runs);
    lua = runLua(o, b, reps, o.runs);
    if (lua)
        std::printf("%s %.4f %.4f %.2f\n", b.name, player, *lua, player / *lua);
    else
        std::printf("%s %.4f - -\n", b.name, player);
    std::fflush(stdout);
}

bool selected(const Options& o, const Benchmark& b) {
    if (o.only.empty()) return true;
    for (const std::string& n : o.only)
        if (n == b.name) return true;
    return false;
}

void usage(FILE* to) {
    std::fprintf(to,
        "usage: bench_vm [--min SECONDS] [--runs N] [--lua PROGRAM] [--images DIR] [--scripts DIR] "
        "[NAME...]\n"
        "benchmarks: int_loop fib virtual_calls alloc_loop\n");
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--min" && hasValue) o.minSeconds = std::atof(argv[++i]);
        else if (a == "--runs" && hasValue) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--lua" && hasValue) o.lua = argv[++i];
        else if (a == "--images" && hasValue) o.images = argv[++i];
        else if (a == "--scripts" && hasValue) o.scripts = argv[++i];
        else if (a == "--help") usage(stdout), std::exit(0);
        else if (!a.empty() && a[0] != '-') o.only.push_back(a);
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
        if (selected(o, b)) measure(o, b);
    return 0;
}
