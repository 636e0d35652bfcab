// What the extension tests share: a machine with file services below a
// scratch folder and an extension table with the test's device paths, calls
// of extension functions on a stack the test fills, a private PulseAudio
// server with a null sink and a capture of what it plays, standard error
// captured in-process, and waits on conditions with deadlines.
#pragma once

#include "../host/HostTestSupport.h"

#include "extensions/AudioMixer.h"
#include "extensions/AudioPlayer.h"
#include "host/ExtensionTable.h"
#include "io/AppFiles.h"
#include "io/MemoryInputStream.h"
#include "natives/NumericArgs.h"

#include <QCoreApplication>

#include <cstdint>
#include <functional>
#include <vector>

namespace exttest {
using hosttest::ScratchDir;
using Samples = std::vector<int16_t>;

// Spins the Qt event loop (which drives the audio player's callbacks) until
// `done` holds; false when `seconds` pass first.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        poll(nullptr, 0, 2);  // lets the other threads run; the condition decides
    }
    return true;
}

// A machine that keeps the texts of its runtime-error reports.
class ReportingMachine : public VirtualMachine {
public:
    [[noreturn]] void runtimeError(TInt32* out, TInt32 pc, const CAppsString& message) override {
        reports.push_back(message.toUtf8());
        VirtualMachine::runtimeError(out, pc, message);
    }
    std::vector<std::string> reports;
};

// File services under a scratch root with the application path rule; device
// extensions through the table. Extension 99 is the test's own: function 1
// runs `hook`, function 2 collects.
class RigHost : public FrameworkServices {
public:
    explicit RigHost(const std::string& root) : root_(root.c_str()) {}
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path, TInt32) override {
        return appfiles::openForReading(host::isValidAppPath(path) ? host::resolveAppPath(root_, path) : CAppsString());
    }
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 99) return table->call(extension, function, sp, stack);
        if (function == 1 && hook) hook();
        if (function == 2) vm->gc();
        return sp;
    }
    ExtensionTable* table = nullptr;
    VirtualMachine* vm = nullptr;
    std::function<void()> hook;

private:
    OString root_;
};

// A machine, its host and an extension table. Objects made here are plain
// two-word blocks: word 1 is the first field, and it keeps nothing alive.
class Rig {
public:
    explicit Rig(DevicePaths paths = {}) : host(dir.root()), table(std::move(paths)) {
        host.table = &table;
        host.vm = &vm;
        table.attach(&vm, &host);
        table.setMachineCall([](const std::function<void()>& f) { f(); });
    }
    // Loads an assembled image and runs its main (a halt or an exit fails the test).
    void load(const std::string& source) {
        try {
            std::vector<uint8_t> image = mcbasm::assemble(source);
            VELMAR::MemoryInputStream stream(image);
            vm.load(CAppsString("index.mcb"), stream, &host);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "assembly failed: " << e.what();
        } catch (...) {
            ADD_FAILURE() << "the image did not load and run: " << vmerr::pendingErrorTextUtf8();
        }
    }
    // Runs the global method `name` of the loaded image.
    void run(const char* name) { vm.runEntryCall(vm.findMethod(CAppsString(name), 0), {}, {}, -1); }
    TUint32 global(int g) { return vm.memory().readWord(vm.globals() + 4u * TUint32(g)); }
    // A fixed result left in words 0 and 1 of a call.
    static ORaw fixed(const std::vector<TInt32>& words, size_t at = 0) {
        return ORaw::fromWords(TUint32(words.at(at)), TUint32(words.at(at + 1)));
    }
    ~Rig() { vmerr::clearPendingError(); }

    VMAddr object() { return vm.heap().allocateWords(2, GC_CODE_PLAIN); }
    VMAddr string(const char* text) { return vm.newString(OString(text)); }
    VMAddr bytes(const std::vector<uint8_t>& b) {
        return numeric::newByteVector(vm, b.data(), TInt32(b.size()));
    }
    TUint32 field(VMAddr object) { return vm.memory().readWord(object + 4); }
    template <typename T>
    T& native(VMAddr object) { return *vm.heap().objectAs<T>(field(object)); }

    // Calls function `f` of extension `e` with `args` as the whole stack; the
    // words it leaves.
    std::vector<TInt32> call(TInt32 e, TInt32 f, const std::vector<TInt32>& args) {
        TInt32* stack = vm.stack();
        for (size_t i = 0; i < args.size(); ++i) stack[i] = args[i];
        const TInt32 sp = table.call(e, f, TInt32(args.size()) - 1, stack);
        return std::vector<TInt32>(stack, stack + sp + 1);
    }
    // "CODE: TEXT" of the VM error the call raised, or "none"; a halt shows the
    // text of its runtime-error report.
    std::string failure(TInt32 e, TInt32 f, const std::vector<TInt32>& args) {
        vm.reports.clear();
        try {
            call(e, f, args);
            return "none";
        } catch (const ErrorHandlingException&) {
            std::string out = std::to_string(vmerr::pendingErrorCode()) + ": " + vmerr::pendingErrorTextUtf8();
            return vm.reports.empty() ? out : out + " / " + vm.reports.back();
        }
    }
    void write(const std::string& name, const Samples& s) {
        dir.write(name, std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2));
    }

    ScratchDir dir;
    ReportingMachine vm;
    RigHost host;
    ExtensionTable table;
};

// Standard error of this process into a file while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = dup(2);
        int fd = ::open(file_.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        std::fflush(stderr);
        return file_.read("err");
    }
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(std::exchange(saved_, -1));
    }

private:
    ScratchDir file_;
    int saved_ = -1;
};

inline size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Gone, or a zombie that its parent (not this process) has yet to reap.
inline bool ended(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] == 'Z' || line[close + 2] == 'X';
}

// A PulseAudio server of its own in a scratch folder, with one null sink
// "out" at `rate` Hz mono that never rewinds (so its monitor is bit-exact).
class PulseServer {
public:
    explicit PulseServer(int rate) : rate_(rate) {
        if (!hosttest::haveProgram("pulseaudio") || !hosttest::haveProgram("parec")) return;
        std::filesystem::create_directories(dir_.path("home"));
        std::string cmd = environment() + " pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit"
                          " --use-pid-file=yes --log-target=file:" + dir_.path("pulse.log") +
                          " --load='module-native-protocol-unix auth-anonymous=1 socket=" + socket() + "'"
                          " --load='module-null-sink sink_name=out rate=" + std::to_string(rate) +
                          " channels=1 format=s16le norewinds=1' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) return;
        waitUntil([&] { return (pid_ = std::atoi(dir_.read("pulse/pid").c_str())) > 0; }, 10);
        up_ = pid_ > 0 && waitUntil([&] { return std::system((environment() + " pactl info >/dev/null 2>&1").c_str()) == 0; }, 10);
    }
    ~PulseServer() {
        if (pid_ > 1) {  // SIGTERM would take the server over a second
            kill(pid_, SIGKILL);
            waitUntil([&] { return ended(pid_); }, 5);
        }
    }
    bool up() const { return up_; }
    int rate() const { return rate_; }
    std::string address() const { return "unix:" + socket(); }
    // What a client of this server needs in its environment.
    std::string environment() const {
        return "HOME=" + dir_.path("home") + " PULSE_RUNTIME_PATH=" + dir_.path("pulse") +
               " PULSE_STATE_PATH=" + dir_.path("pulse") + " PULSE_SERVER=" + address();
    }
    // This process becomes a client of the server.
    void useInProcess() const { setenv("PULSE_SERVER", address().c_str(), 1); }

private:
    std::string socket() const { return dir_.path("pulse/native"); }
    ScratchDir dir_;
    int rate_;
    int pid_ = -1;
    bool up_ = false;
};

// Records the sink's monitor through parec; recording once constructed.
class Capture {
public:
    explicit Capture(const PulseServer& server) {
        int out[2];
        if (pipe(out) != 0) return;
        std::string cmd = "exec env " + server.environment() + " parec --raw --format=s16le --rate=" +
                          std::to_string(server.rate()) + " --channels=1 --latency-msec=20 -d out.monitor";
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
        fcntl(fd_, F_SETFL, O_NONBLOCK);
        recording_ = waitForSamples(1);
    }
    ~Capture() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    bool recording() const { return recording_; }
    // The samples recorded so far.
    const Samples& samples() {
        char buf[8192];
        for (ssize_t n; fd_ >= 0 && (n = read(fd_, buf, sizeof buf)) > 0;) bytes_.append(buf, size_t(n));
        samples_.resize(bytes_.size() / 2);
        std::memcpy(samples_.data(), bytes_.data(), samples_.size() * 2);
        return samples_;
    }
    // Waits until `n` samples have arrived after the first non-zero one.
    bool waitForSound(size_t n, double seconds = 10) {
        return waitUntil([&] {
            const Samples& s = samples();
            size_t at = firstSound();
            return at != std::string::npos && s.size() >= at + n;
        }, seconds);
    }
    bool waitForSamples(size_t n, double seconds = 10) {
        return waitUntil([&] { return samples().size() >= n; }, seconds);
    }
    // Index of the first non-zero sample, or npos.
    size_t firstSound() {
        const Samples& s = samples();
        for (size_t i = 0; i < s.size(); ++i)
            if (s[i] != 0) return i;
        return std::string::npos;
    }

private:
    int pid_ = -1, fd_ = -1;
    bool recording_ = false;
    std::string bytes_;
    Samples samples_;
};

// Test sounds: no sample is 0, so a capture shows where they start.
inline Samples tone(size_t n, int16_t step = 97) {
    Samples s(n);
    for (size_t i = 0; i < n; ++i) {
        int v = int((i * size_t(step)) % 20000) - 10000;
        s[i] = int16_t(v == 0 ? 1 : v);
    }
    return s;
}

inline Samples slice(const Samples& s, size_t from, size_t n) {
    if (from >= s.size()) return {};
    return Samples(s.begin() + long(from), s.begin() + long(std::min(s.size(), from + n)));
}

inline bool silent(const Samples& s) {
    return std::all_of(s.begin(), s.end(), [](int16_t v) { return v == 0; });
}

}  // namespace exttest
