// What the interpreter benchmarks share: CPU time, timing entry calls on a
// fresh machine, timing the Lua reference script, and the result line.
#pragma once

#include "vm/VirtualMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds for `calls` entry calls of "main" on a fresh machine (which collects
// after each); loading is not timed. Throws std::runtime_error on a failure or
// a wrong result.
inline double timeEntryCalls(const std::string& name, const std::vector<TUint8>& image, TInt32 calls,
                             const std::function<bool(VirtualMachine&)>& check) {
    VirtualMachine vm;
    TInt32 index = -1;
    if (!vm.loadImage(CAppsString(name), image.data(), image.size(), index))
        throw std::runtime_error(name + ": the image does not load");
    vm.resolveEntryPoints(index);
    double start = cpuSeconds();
    try {
        for (TInt32 i = 0; i < calls; ++i) vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    } catch (TInt32 code) {
        throw std::runtime_error(name + ": the entry call ended with " + std::to_string(code));
    }
    double took = cpuSeconds() - start;
    if (!check(vm)) throw std::runtime_error(name + ": wrong result");
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

}  // namespace bench
