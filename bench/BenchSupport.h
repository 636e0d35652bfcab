// What the interpreter benchmarks share: their common options, CPU time,
// timing entry calls on a fresh machine, timing the Lua reference script, and
// one result line per program.
#pragma once

#include "vm/VirtualMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcb {

namespace bench {

using Check = std::function<bool(VirtualMachine&)>;

// The options both interpreter benchmarks take.
struct LuaOptions {
    double minSeconds = 0.5;
    int runs = 3;
    std::string lua = "lua5.4";
    std::vector<std::string> only;  // the programs to run; empty: all
};

// Takes argv[i] (and its value) when it is a shared option or a program name.
inline bool takeOption(LuaOptions& o, int argc, char** argv, int& i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--min" && hasValue) o.minSeconds = std::atof(argv[++i]);
    else if (a == "--runs" && hasValue) o.runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--lua" && hasValue) o.lua = argv[++i];
    else if (!a.empty() && a[0] != '-') o.only.push_back(a);
    else return false;
    return true;
}

inline bool selected(const LuaOptions& o, const std::string& name) {
    return o.only.empty() || std::find(o.only.begin(), o.only.end(), name) != o.only.end();
}

inline TUint32 global(VirtualMachine& vm, TUint32 index) { return vm.memory().readWord(vm.globals() + 4 * index); }

inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds for `calls` entry calls of "main" on a fresh machine (which collects
// after each); loading is not timed. Throws std::runtime_error on a failure or
// a wrong result.
inline double timeEntryCalls(const std::string& name, const std::vector<TUint8>& image, TInt32 calls,
                             const Check& check) {
    VirtualMachine vm;
    TInt32 index = -1;
    if (!vm.loadImage(CAppsString(name), image.data(), image.size(), index))
        throw std::runtime_error(name + ": the image does not load");
    vm.resolveEntryPoints(index);
    double start = cpuSeconds();
    try {
        for (TInt32 i = 0; i < calls; ++i) vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    } catch (const ExitRequest&) {
        throw std::runtime_error(name + ": the entry call exited");
    } catch (const HaltRequest&) {
        throw std::runtime_error(name + ": the entry call halted");
    }
    double took = cpuSeconds() - start;
    if (!check(vm))
        throw std::runtime_error(name + ": wrong result (global 0 = " + std::to_string(TInt32(global(vm, 0))) +
                                 ", global 1 = " + std::to_string(TInt32(global(vm, 1))) + ")");
    return took;
}

// Runs a Lua script that prints its best time over `runs` runs of `reps`
// repetitions; nullopt when Lua or the script fails.
inline std::optional<double> luaSeconds(const std::string& lua, const std::string& script, TInt32 reps, int runs) {
    std::string command = lua + " '" + script + "' " + std::to_string(reps) + " " + std::to_string(runs) + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    double seconds = -1;
    bool read = std::fscanf(p, "%lf", &seconds) == 1;
    if (pclose(p) != 0 || !read) return std::nullopt;
    return seconds;
}

// Enough repetitions that the faster side still runs `minSeconds`.
inline TInt32 repetitionsFor(double minSeconds, double player, std::optional<double> lua) {
    double fastest = lua ? std::min(player, *lua) : player;
    if (fastest >= minSeconds) return 1;
    return TInt32(std::ceil(minSeconds * 1.05 / std::max(fastest, 1e-3)));
}

// NAME PLAYER_SECONDS LUA_SECONDS RATIO, or dashes without Lua.
inline void printLine(const std::string& name, double player, std::optional<double> lua) {
    if (lua)
        std::printf("%s %.4f %.4f %.2f\n", name.c_str(), player, *lua, player / *lua);
    else
        std::printf("%s %.4f - -\n", name.c_str(), player);
    std::fflush(stdout);
}

// One line for a program against its Lua script: each side runs once, then both
// repeat it until the faster side takes `minSeconds`, best of `runs`. One
// repetition is `calls` entry calls. Throws as timeEntryCalls does.
inline void compareWithLua(const LuaOptions& o, const std::string& name, const std::vector<TUint8>& image,
                           TInt32 calls, const Check& check, const std::string& script) {
    double player = timeEntryCalls(name, image, calls, check);
    TInt32 reps = repetitionsFor(o.minSeconds, player, luaSeconds(o.lua, script, 1, 1));
    player = INFINITY;
    for (int r = 0; r < o.runs; ++r) player = std::min(player, timeEntryCalls(name, image, reps * calls, check));
    printLine(name, player, luaSeconds(o.lua, script, reps, o.runs));
}

}  // namespace bench

}  // namespace mcb
