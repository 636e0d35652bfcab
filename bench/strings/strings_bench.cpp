// Times the string and vector natives on small assembly programs against the same
// work written for Lua 5.4, one line per program:
// NAME PLAYER_SECONDS LUA_SECONDS RATIO (player / Lua). Both sides are timed in
// process CPU time, best of several runs, on the same number of repetitions.
#include "mcbasm/Assembler.h"
#include "../BenchSupport.h"
#include "vm/VirtualMachine.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace mcb {

namespace {

struct Benchmark {
    const char* name;
    bool (*check)(VirtualMachine& vm);
};

using bench::global;

const Benchmark kBenchmarks[] = {
    {"str_append", [](VirtualMachine& vm) { return global(vm, 0) == 800000u; }},
    {"str_build", [](VirtualMachine& vm) { return global(vm, 0) == 6570157u; }},
    {"str_split", [](VirtualMachine& vm) { return global(vm, 0) == 60000u; }},
    {"str_search", [](VirtualMachine& vm) { return global(vm, 0) == 12000000u; }},
    {"str_scan", [](VirtualMachine& vm) { return global(vm, 0) == 28200000u; }},
    {"str_replace", [](VirtualMachine& vm) { return global(vm, 0) == 1600000u; }},
    {"vec_append", [](VirtualMachine& vm) { return global(vm, 0) == 999499500u; }},
    {"vec_insert_remove", [](VirtualMachine& vm) { return global(vm, 0) == 200050u && global(vm, 1) == 100u; }},
};

struct Options : bench::LuaOptions {
    std::string programs = MCB_STRING_BENCH_DIR;
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

void measure(const Options& o, const Benchmark& b) {
    std::vector<TUint8> image = assembleProgram(o, b);
    try {
        bench::compareWithLua(o, b.name, image, 1, b.check, o.programs + "/lua/" + b.name + ".lua");
    } catch (const std::runtime_error& e) {
        fail(e.what());
    }
}

void usage() {
    std::printf("usage: bench_strings [--min SECONDS] [--runs N] [--lua PROGRAM] [--programs DIR] [NAME...]\n"
                "benchmarks:");
    for (const Benchmark& b : kBenchmarks) std::printf(" %s", b.name);
    std::printf("\n");
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (bench::takeOption(o, argc, argv, i)) continue;
        if (a == "--programs" && i + 1 < argc) o.programs = argv[++i];
        else if (a == "--help") usage(), std::exit(0);
        else usage(), std::exit(1);
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
