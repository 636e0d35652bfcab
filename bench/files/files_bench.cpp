// Writes a 100 MB file through FileWriter and OutputStream in 1 MiB vectors, then
// reads it back through FileReader and InputStream, and times dd (writing) and cat
// (reading) on the same file in the same run. Lines: NAME PLAYER_SECONDS
// REFERENCE_SECONDS RATIO (above 1: the player is slower).
#include "io/AppFiles.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

namespace mcb {

namespace {

constexpr int kChunks = 100;
constexpr int kChunkBytes = 1 << 20;

// File services below one directory under the application path rule, and
// extension 20 as "collect now" so the reading loop drops its vectors.
class BenchHost : public FrameworkServices {
public:
    explicit BenchHost(const std::string& root) : files_(root) {}
    VirtualMachine* vm = nullptr;

    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate) override {
        return files_.openForWriting(path, truncate);
    }
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32) override {
        return files_.openForReading(path);
    }
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 20) return FrameworkServices::callDllNative(extension, function, sp, stack);
        vm->gc();
        return sp;
    }

private:
    AppFiles files_;
};

std::string store(int n) { return "    ldglobals\n    fielda " + std::to_string(n) + "\n    ldloc -2\n    store\n    adjsp -1\n"; }
std::string load(int n) { return "    ldglobals\n    fielda " + std::to_string(n) + "\n    deref\n"; }

std::string program(const std::string& body) {
    return R"(.globals 4
.method "main", main, frame
.class Stream
    .fieldwidth 1
    .reffields 1
.descriptor frame
    .lengths 0, 0, 0
.string name "big.bin"
.code
main:
    alloc 1, 2
    dup
    setclass Stream
)" + store(2) + body + "    ret 0, 1\n";
}

// A loop that runs `turn` kChunks times.
std::string repeat(const std::string& turn) {
    return "    push " + std::to_string(kChunks) + "\nloop:\n    dup\n    jz done\n" + turn +
           "    push 1\n    sub\n    jmp loop\ndone:\n    adjsp -1\n";
}

const std::string kWrite = program(
    "    alloc 6, 2\n    dup\n    newvec 1\n    dup\n    push 7\n    native ByteVector.append\n    dup\n    push " +
    std::to_string(kChunkBytes) + "\n    native ByteVector.repeat_in_place\n" + store(1) + load(2) +
    "    ldstr name\n    push 0\n    native FileWriter.open\n" +
    repeat(load(2) + load(1) + "    native OutputStream.write\n") + load(2) + "    native OutputStream.close\n");

const std::string kRead = program(
    load(2) + "    ldstr name\n    native FileReader.open\n" +
    repeat(load(2) + "    push " + std::to_string(kChunkBytes) +
           "\n    native InputStream.read\n    adjsp -1\n    extcall 20, 3\n") +
    load(2) + "    native InputStream.close\n");

double seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void runProgram(const std::string& root, const std::vector<uint8_t>& image) {
    VirtualMachine vm;
    BenchHost host(root);
    host.vm = &vm;
    VELMAR::MemoryInputStream stream(image);
    try {
        vm.load(CAppsString("index.mcb"), stream, &host);
    } catch (...) {
        std::fprintf(stderr, "bench_files: the program failed: %s\n", vmerr::pendingErrorTextUtf8().c_str());
        std::exit(1);
    }
}

void shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_files: failed: %s\n", command.c_str());
        std::exit(1);
    }
}

template <typename Work>
double best(int runs, Work work) {
    double b = 1e9;
    for (int i = 0; i < runs; ++i) b = std::min(b, seconds(work));
    return b;
}

void line(const char* name, double player, double reference) {
    std::printf("%-16s %8.3f %8.3f %6.2f\n", name, player, reference, player / reference);
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv) {
    using namespace mcb;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::string root = (std::filesystem::temp_directory_path() / "mcbbenchXXXXXX").string();
    if (!mkdtemp(root.data())) return 1;
    const auto write = mcbasm::assemble(kWrite), read = mcbasm::assemble(kRead);
    const std::string big = root + "/big.bin", ref = root + "/ref.bin";

    double playerWrite = best(runs, [&] { runProgram(root, write); });
    if (std::filesystem::file_size(big) != std::uintmax_t(kChunks) * kChunkBytes) {
        std::fprintf(stderr, "bench_files: big.bin has the wrong size\n");
        return 1;
    }
    double ddWrite = best(runs, [&] {
        shell("dd if=/dev/zero of='" + ref + "' bs=1M count=" + std::to_string(kChunks) + " status=none");
    });
    double playerRead = best(runs, [&] { runProgram(root, read); });
    double catRead = best(runs, [&] { shell("cat '" + big + "' > /dev/null"); });

    line("file_write_100m", playerWrite, ddWrite);
    line("file_read_100m", playerRead, catRead);
    std::filesystem::remove_all(root);
    return 0;
}
