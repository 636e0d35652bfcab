// What the extension tests share: a machine with file services below a scratch
// folder and an extension table, extension calls on a stack the test fills, and a
// private PulseAudio server with a null sink and a capture of its monitor.
#pragma once

#include "../host/HostTestSupport.h"

#include "extensions/AudioMixer.h"
#include "extensions/AudioPlayer.h"
#include "host/ExtensionTable.h"

#include <mutex>
#include <thread>

namespace mcb {

namespace exttest {
using namespace hosttest;
using Samples = std::vector<int16_t>;

// A row of a table of calls: the function, the whole stack, and Rig::outcome() of it.
struct Call {
    TInt32 function;
    std::vector<TInt32> args;
    std::string outcome;
};

// A machine, the test host (files below a scratch folder) and an extension table.
// Extension 99 is the test's: function 1 runs `hook`, function 2 collects.
// Objects made here are plain two-word blocks whose word 1 is the first field
// (which keeps nothing alive).
class Rig {
public:
    explicit Rig(DevicePaths paths = {}) : table(std::move(paths)) {
        host.vm = &vm;
        host.serveFiles(dir.root());
        host.others = [this](TInt32 e, TInt32 f, TInt32 sp, TInt32* stack) { return table.call(e, f, sp, stack); };
        host.extensions[99] = [this](TInt32 f, TInt32 sp, TInt32*) {
            if (f == 1) hook();
            if (f == 2) vm.gc();
            return sp;
        };
        table.attach(&vm, &host);
        table.setMachineCall([](const std::function<void()>& f) { f(); });
    }
    ~Rig() { vmerr::clearPendingError(); }

    // Loads an image (macros expanded) and runs its main.
    void load(const std::string& source) {
        std::vector<uint8_t> image = mcbasm::assemble(expandMacros(source));
        VELMAR::MemoryInputStream stream(image);
        vm.load(CAppsString("index.mcb"), stream, &host);
    }
    void run(const char* method) { vm.runEntryCall(vm.findMethod(CAppsString(method), 0), {}, {}, -1); }
    TUint32 global(int g) { return vm.memory().readWord(vm.globals() + 4u * TUint32(g)); }

    VMAddr object(TUint32 field = 0) {
        VMAddr o = vm.heap().allocateWords(2, GC_CODE_PLAIN);
        vm.memory().writeWord(o + 4, field);
        return o;
    }
    TInt32 string(const char* text) { return TInt32(vm.newString(OString(text))); }
    TInt32 bytes(const std::vector<uint8_t>& b) { return TInt32(numeric::newByteVector(vm, b.data(), int(b.size()))); }
    TUint32 field(VMAddr object) { return vm.memory().readWord(object + 4); }
    template <typename T>
    T& native(VMAddr object) {
        return *vm.heap().objectAs<T>(field(object));
    }
    void write(const std::string& name, const Samples& s) {
        dir.write(name, std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2));
    }

    // Calls function `f` of extension `e` with `args` as the whole stack; the words it leaves.
    std::vector<TInt32> call(TInt32 e, TInt32 f, const std::vector<TInt32>& args) {
        std::copy(args.begin(), args.end(), vm.stack());
        const TInt32 sp = table.call(e, f, TInt32(args.size()) - 1, vm.stack());
        return std::vector<TInt32>(vm.stack(), vm.stack() + sp + 1);
    }
    // What a call did: the words it left ("[9 0]"), or its VM error with the
    // text of a halt's report ("11: UnknownException (CODE:11) / Torch: ...").
    std::string outcome(TInt32 e, TInt32 f, const std::vector<TInt32>& args) {
        vm.reports.clear();
        try {
            std::string out;
            for (TInt32 w : call(e, f, args)) out += (out.empty() ? "" : " ") + std::to_string(w);
            return "[" + out + "]";
        } catch (const ErrorHandlingException&) {
            std::string out = std::to_string(vmerr::pendingErrorCode()) + ": " + vmerr::pendingErrorTextUtf8();
            return vm.reports.empty() ? out : out + " / " + vm.reports.back();
        }
    }
    static ORaw fixed(const std::vector<TInt32>& w) { return ORaw::fromWords(TUint32(w.at(0)), TUint32(w.at(1))); }

    Scratch dir;
    ReportingMachine vm;
    TestHost host;
    ExtensionTable table;
    std::function<void()> hook;
};

// The words of a fixed value on the stack, as outcome() prints them.
inline std::string words(ORaw v) {
    return std::to_string(TInt32(v.lowWord())) + " " + std::to_string(TInt32(v.highWord()));
}

inline size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A PulseAudio server of its own with one null sink "out" at `rate` Hz mono,
// which never rewinds, so that its monitor records exactly what was played.
class PulseServer {
public:
    explicit PulseServer(int rate) : rate_(rate) {
        if (!haveProgram("pulseaudio") || !haveProgram("parec")) return;
        std::filesystem::create_directories(dir_.path("home"));
        pid_ = spawn("env " + environment() +
                     " pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit"
                     " --log-target=file:" +
                     dir_.path("pulse.log") +
                     " --load='module-native-protocol-unix auth-anonymous=1 socket=" + dir_.path("pulse/native") +
                     "' --load='module-null-sink sink_name=out rate=" + std::to_string(rate) +
                     " channels=1 format=s16le norewinds=1'");
        up_ = waitUntil([&] { return std::system((environment() + " pactl info >/dev/null 2>&1").c_str()) == 0; });
    }
    ~PulseServer() { stop(pid_); }
    bool up() const { return up_; }
    int rate() const { return rate_; }
    std::string address() const { return "unix:" + dir_.path("pulse/native"); }
    std::string environment() const {
        return "HOME=" + dir_.path("home") + " PULSE_RUNTIME_PATH=" + dir_.path("pulse") +
               " PULSE_STATE_PATH=" + dir_.path("pulse") + " PULSE_SERVER=" + address();
    }
    // This process becomes a client of the server.
    void useInProcess() const { setenv("PULSE_SERVER", address().c_str(), 1); }

private:
    Scratch dir_;
    int rate_, pid_ = -1;
    bool up_ = false;
};

// The sink's monitor through parec, drained by a thread of its own so that
// parec never waits for the test; recording once constructed.
class Capture {
public:
    explicit Capture(const PulseServer& server) {
        int out[2];
        if (!server.up() || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = spawn("env " + server.environment() + " parec --raw --format=s16le --rate=" +
                         std::to_string(server.rate()) + " --channels=1 --latency-msec=20 -d out.monitor",
                     out[1]);
        close(out[1]);
        reader_ = std::thread([this, fd = out[0]] {
            char buf[8192];
            for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
                std::lock_guard lock(mutex_);
                bytes_.append(buf, size_t(n));
            }
            close(fd);
        });
        recording_ = waitForSamples(1);
    }
    ~Capture() {
        stop(pid_);  // the reader then sees the end
        if (reader_.joinable()) reader_.join();
    }
    bool recording() const { return recording_; }
    const Samples& samples() {
        std::lock_guard lock(mutex_);
        samples_.resize(bytes_.size() / 2);
        if (!samples_.empty()) std::memcpy(samples_.data(), bytes_.data(), samples_.size() * 2);
        return samples_;
    }
    size_t firstSound() {
        const Samples& s = samples();
        return size_t(std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) - s.begin());
    }
    bool waitForSamples(size_t n, double seconds = 10) {
        return waitUntil([&] { return samples().size() >= n; }, seconds);
    }
    // `n` samples from the first sound on.
    bool waitForSound(size_t n, double seconds = 10) {
        return waitUntil([&] { return firstSound() + n <= samples().size(); }, seconds);
    }

private:
    int pid_ = -1;
    bool recording_ = false;
    std::thread reader_;
    std::mutex mutex_;
    std::string bytes_;
    Samples samples_;
};

// Test sounds: no sample is 0, so a capture shows where they start.
inline Samples tone(size_t n, int16_t step = 97) {
    Samples s(n);
    for (size_t i = 0; i < n; ++i) {
        const int v = int((i * size_t(step)) % 20000) - 10000;
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

}  // namespace mcb
