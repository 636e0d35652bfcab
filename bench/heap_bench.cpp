// Times mixed allocate/free workloads on the VM heap against the same request
// sequences on the C library's calloc/free, in one run, and prints one line per
// workload: NAME PLAYER_SECONDS REFERENCE_SECONDS RATIO (player / reference).
// calloc is the fair reference because heap entries come back zero-filled.
#include "heap/VMHeap.h"
#include "heap/VMMemory.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace mcb {

namespace {

// One step of a workload: free what `slot` holds (if anything), then, when
// `size` is not kNone, allocate `size` bytes into it.
struct Op {
    TUint32 slot;
    TUint32 size;
};
constexpr TUint32 kNone = 0xFFFFFFFFu;

struct Workload {
    std::string name;
    TUint32 slots;
    std::vector<Op> ops;
};

using Clock = std::chrono::steady_clock;

// Draws n request sizes; every size is at least 1 so that both sides can touch
// the block they get.
using SizeSource = std::vector<TUint32> (*)(std::mt19937&, TUint32);

// Random replacement in a window of live blocks: the steady state of a program
// that keeps a working set and churns it.
Workload churn(const char* name, TUint32 slots, TUint32 count, SizeSource sizes) {
    std::mt19937 rng(12345);
    Workload w{name, slots, {}};
    std::vector<TUint32> s = sizes(rng, count);
    std::uniform_int_distribution<TUint32> slot(0, slots - 1);
    for (TUint32 i = 0; i < count; ++i) w.ops.push_back({slot(rng), s[i]});
    for (TUint32 i = 0; i < slots; ++i) w.ops.push_back({i, kNone});
    return w;
}

std::vector<TUint32> smallSizes(std::mt19937& rng, TUint32 n) {
    std::uniform_int_distribution<TUint32> d(4, 128);
    std::vector<TUint32> v(n);
    for (TUint32& x : v) x = d(rng);
    return v;
}

std::vector<TUint32> mixedSizes(std::mt19937& rng, TUint32 n) {
    std::uniform_int_distribution<TUint32> roll(0, 99), small(1, 64), mid(65, 1024), large(1025, 16384);
    std::vector<TUint32> v(n);
    for (TUint32& x : v) {
        TUint32 r = roll(rng);
        x = r < 70 ? small(rng) : r < 95 ? mid(rng) : large(rng);
    }
    return v;
}

// Allocate a batch, then free it oldest first: objects of one phase dying together.
Workload batches(const char* name, TUint32 batch, TUint32 rounds) {
    std::mt19937 rng(777);
    std::uniform_int_distribution<TUint32> d(8, 256);
    Workload w{name, batch, {}};
    for (TUint32 r = 0; r < rounds; ++r) {
        for (TUint32 i = 0; i < batch; ++i) w.ops.push_back({i, d(rng)});
        for (TUint32 i = 0; i < batch; ++i) w.ops.push_back({i, kNone});
    }
    return w;
}

double runHeap(const Workload& w, int reps) {
    VMMemory mem;
    VMHeap heap(mem);
    std::vector<VMAddr> live(w.slots, 0);
    auto start = Clock::now();
    for (int r = 0; r < reps; ++r) {
        for (const Op& op : w.ops) {
            VMAddr& s = live[op.slot];
            if (s) heap.free(s);
            s = 0;
            if (op.size != kNone) {
                s = heap.allocate(op.size, 0, GC_CODE_PLAIN);
                *mem.unchecked(s) = 1;
            }
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double runLibc(const Workload& w, int reps) {
    std::vector<void*> live(w.slots, nullptr);
    auto start = Clock::now();
    for (int r = 0; r < reps; ++r) {
        for (const Op& op : w.ops) {
            void*& s = live[op.slot];
            std::free(s);
            s = nullptr;
            if (op.size != kNone) {
                s = std::calloc(1, op.size);
                if (!s) std::abort();
                *static_cast<volatile unsigned char*>(s) = 1;
            }
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Repeats the workload until the heap side has run at least `minSeconds`.
void measure(const Workload& w, double minSeconds) {
    int reps = 1;
    double player = runHeap(w, reps);
    while (player < minSeconds) {
        reps = player > 0 ? int(reps * (minSeconds / player) * 1.1) + 1 : reps * 10;
        player = runHeap(w, reps);
    }
    double reference = runLibc(w, reps);
    std::printf("%s %.4f %.4f %.2f\n", w.name.c_str(), player, reference, player / reference);
    std::fflush(stdout);
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    double minSeconds = argc > 1 ? std::atof(argv[1]) : 0.5;
    measure(churn("heap_churn_small", 4096, 200000, smallSizes), minSeconds);
    measure(churn("heap_churn_mixed", 8192, 200000, mixedSizes), minSeconds);
    measure(batches("heap_batch_fifo", 20000, 10), minSeconds);
    return 0;
}
