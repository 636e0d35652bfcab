// Times the string and vector natives on small assembly programs against the same
// work written for Lua 5.4, one line per program:
// NAME PLAYER_SECONDS LUA_SECONDS RATIO (player / Lua). Both sides are timed in
// process CPU time, best of several runs, on the same number of repetitions.
#include "mcbasm/Assembler.h"
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

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

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

// Seconds for `reps` entry calls of "main" on a fresh machine (which collects after
// each); loading is not timed.
double runPlayer(const Benchmark& b, const std::vector<TUint8>& image, TInt32 reps) {
    VirtualMachine vm;
    TInt32 index = -1;
    if (!vm.loadImage(CAppsString(b.name), image.data(), image.size(), index))
        fail(std::string(b.name) + ": the image does not load");
    vm.resolveEntryPoints(index);
    double start = cpuSeconds();
    try {
        for (TInt32 i = 0; i < reps; ++i) vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    } catch (TInt32 code) {
        fail(std::string(b.name) + ": the entry call ended with " + std::to_string(code));
    }
    double took = cpuSeconds() - start;
    if (!b.check(vm)) fail(std::string(b.name) + ": wrong result");
    return took;
}

std::optional<double> runLua(const Options& o, const Benchmark& b, TInt32 reps, int runs) {
    std::string command = o.lua + " '" + o.programs + "/lua/" + b.name + ".lua' " + std::to_string(reps) +
                          " " + std::to_string(runs) + " 2>/dev/null";
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

TInt32 repetitionsFor(double minSeconds, double player, std::optional<double> lua) {
    double fastest = lua ? std::min(player, *lua) : player;
    if (fastest >= minSeconds) return 1;
    return TInt32(std::ceil(minSeconds * 1.05 / std::max(fastest, 1e-3)));
}

void measure(const Options& o, const Benchmark& b) {
    std::vector<TUint8> image = assembleProgram(o, b);
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
