// Times the string and vector natives on small assembly programs against the same
// work written for Lua 5.4, one line per program:
// NAME PLAYER_SECONDS LUA_SECONDS RATIO (player / Lua). Both sides are timed in
// process CPU time, best of several runs, on the same number of repetitions.
#include "mcbasm/Assembler.h"
#include "../BenchSupport.h"
#include "vm/VirtualMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Benchmark {
    const char* name;
    bool (*check)(VirtualMachine& vm);
};

TUint32 global(VirtualMachine& vm, TUint32 index) { return vm.memory().readWord(vm.globals() + 4 * index); }

const Benchmark kBenchmarks[] = {
    {"str_append", [](VirtualMachine& vm) { return global(vm, 0) == 800000u; }},
    {"str_split", [](VirtualMachine& vm) { return global(vm, 0) == 60000u; }},
    {"str_replace", [](VirtualMachine& vm) { return global(vm, 0) == 1600000u; }},
    {"vec_append", [](VirtualMachine& vm) { return global(vm, 0) == 999499500u; }},
    {"vec_insert_remove", [](VirtualMachine& vm) { return global(vm, 0) == 200050u && global(vm, 1) == 100u; }},
};

struct Options {
    double minSeconds = 0.5;
    int runs = 3;
    std::string programs = MCB_STRING_BENCH_DIR;
    std::string lua = "lua5.4";
    std::vector<std::string> only;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_strings: %s\n", what.c_str());
    std::exit(1);
}

std::vector<TUint8> assembleProgram(const Options& o, const Benchmark& b) {
    std::string path = o.programs + "/" + b.name + ".s";
    std::ifstream in(path);
    if (!in) fail("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    try {
        return mcbasm::assemble(text.str());
    } catch (const std::exception& e) {
        fail(path + ": " + e.what());
    }
}

double playerSeconds(const Benchmark& b, const std::vector<TUint8>& image, TInt32 reps) {
    try {
        return bench::timeEntryCalls(b.name, image, reps, b.check);
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
}

double bestPlayer(const Benchmark& b, const std::vector<TUint8>& image, TInt32 reps, int runs) {
    double best = INFINITY;
    for (int r = 0; r < runs; ++r) best = std::min(best, playerSeconds(b, image, reps));
    return best;
}

std::optional<double> runLua(const Options& o, const Benchmark& b, TInt32 reps, int runs) {
    return bench::luaSeconds(o.lua, o.programs + "/lua/" + std::string(b.name) + ".lua", reps, runs);
}

void measure(const Options& o, const Benchmark& b) {
    std::vector<TUint8> image = assembleProgram(o, b);
    double player = playerSeconds(b, image, 1);
    std::optional<double> lua = runLua(o, b, 1, 1);
    TInt32 reps = bench::repetitionsFor(o.minSeconds, player, lua);
    player = bestPlayer(b, image, reps, o.runs);
    bench::printLine(b.name, player, runLua(o, b, reps, o.runs));
}

bool selected(const Options& o, const Benchmark& b) {
    return o.only.empty() || std::find(o.only.begin(), o.only.end(), b.name) != o.only.end();
}

void usage() {
    std::printf("usage: bench_strings [--min SECONDS] [--runs N] [--lua PROGRAM] [--programs DIR] [NAME...]\n"
                "benchmarks: str_append str_split str_replace vec_append vec_insert_remove\n");
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--min" && hasValue) o.minSeconds = std::atof(argv[++i]);
        else if (a == "--runs" && hasValue) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--lua" && hasValue) o.lua = argv[++i];
        else if (a == "--programs" && hasValue) o.programs = argv[++i];
        else if (a == "--help") usage(), std::exit(0);
        else if (!a.empty() && a[0] != '-') o.only.push_back(a);
        else usage(), std::exit(1);
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
