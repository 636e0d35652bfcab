// Times one full collection of a heap holding 10^6 live objects of mixed kinds
// against Lua 5.4's collectgarbage() over a table holding 10^6 tables, and prints
// gc_1m PLAYER_SECONDS LUA_SECONDS RATIO (best of three each; CPU time).
// The objects form a binary tree of pairs whose leaves are plain blocks, strings
// behind their reference cells and cells pointing at plain blocks, so marking
// follows every kind of edge a program's heap has.
#include "BenchSupport.h"
#include "objects/OString.h"
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace mcb {

namespace {

constexpr TUint32 kObjects = 1000000;

VMAddr plain(VMHeap& heap, TUint32 i) {
    VMAddr a = heap.allocate(16, 0, GC_CODE_PLAIN);
    *heap.memory().uncheckedWord(a) = i;
    return a;
}

VMAddr cell(VMHeap& heap, VMAddr target) {
    VMAddr c = heap.allocate(4, 0, GC_CODE_REFERENCE_CELL);
    *heap.memory().uncheckedWord(c) = target;
    return c;
}

VMAddr string(VMHeap& heap) {
    VMAddr object = 0, c = 0;
    heap.allocateTwo(8, -1, GC_CODE_STRING, &object, 4, 0, GC_CODE_REFERENCE_CELL, &c);
    heap.attachObject(object, std::make_unique<OString>("a string of the heap"));
    *heap.memory().uncheckedWord(c) = object;
    return c;
}

VMAddr pair(VMHeap& heap, VMAddr left, VMAddr right) {
    VMAddr p = heap.allocate(12, 0, GC_CODE_PAIR);
    VMMemory& m = heap.memory();
    *m.uncheckedWord(p) = 2;
    *m.uncheckedWord(p + 4) = left;
    *m.uncheckedWord(p + 8) = right;
    return p;
}

// Leaves, then pairs up to one root: 10^6 objects in all.
VMAddr buildTree(VMHeap& heap, TUint32* count) {
    std::vector<VMAddr> level;
    TUint32 made = 0;
    for (TUint32 i = 0; made + level.size() < kObjects; ++i) {  // n leaves make n - 1 pairs
        switch (i % 3) {
        case 0: level.push_back(plain(heap, i)); made += 1; break;
        case 1: level.push_back(string(heap)); made += 2; break;
        default: level.push_back(cell(heap, plain(heap, i))); made += 2; break;
        }
    }
    while (level.size() > 1) {
        std::vector<VMAddr> up;
        for (size_t i = 0; i + 1 < level.size(); i += 2) up.push_back(pair(heap, level[i], level[i + 1]));
        if (level.size() % 2) up.push_back(level.back());
        made += TUint32(level.size() / 2);
        level.swap(up);
    }
    *count = made;
    return level[0];
}

double collectSeconds() {
    VMMemory mem;
    VMHeap heap(mem);
    TUint32 count = 0;
    heap.addRoot(buildTree(heap, &count));
    const TInt32 strings = heap.liveObjectCount();
    heap.collect();  // the first collection also settles what building left behind
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        double start = bench::cpuSeconds();
        heap.collect();
        best = std::min(best, bench::cpuSeconds() - start);
    }
    if (heap.liveObjectCount() != strings || count + 1 < kObjects) {
        std::fprintf(stderr, "gc_1m: the collection freed live objects\n");
        std::exit(1);
    }
    return best;
}

double luaSeconds(const std::string& lua) {
    const char* script =
        "local t = {} for i = 1, 1000000 do t[i] = {} end collectgarbage() "
        "local best = 1e9 for r = 1, 3 do local s = os.clock() collectgarbage() "
        "best = math.min(best, os.clock() - s) end print(best)";
    std::string command = lua + " -e '" + script + "'";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    double seconds = -1;
    if (std::fscanf(p, "%lf", &seconds) != 1) seconds = -1;
    return pclose(p) == 0 ? seconds : -1;
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    std::string lua = "lua5.4";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--lua") == 0) lua = argv[i + 1];
    double player = collectSeconds();
    double reference = luaSeconds(lua);
    if (reference > 0)
        std::printf("gc_1m %.4f %.4f %.2f\n", player, reference, player / reference);
    else
        std::printf("gc_1m %.4f - -\n", player);
    return 0;
}
