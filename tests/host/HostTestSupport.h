// What the host and extension tests share: the test application, a view fixture,
// child processes (the player and the helper roles of a test binary), waits with
// deadlines, and private servers (a D-Bus daemon, Xvfb).
#pragma once

#include "../support/NativeProgram.h"
#include "../support/Outcome.h"
#include "../support/QtApp.h"
#include "../support/Scratch.h"
#include "graphics/GraphicsContainer.h"
#include "graphics/GraphicsHandle.h"
#include "host/MainView.h"
#include "natives/NativeGroupOps.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QPaintEvent>
#include <QSocketNotifier>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace mcb {

namespace hosttest {

// What the test applications declare: 16 globals, the class App, its frames and its
// event methods at the labels keyPressed, keyReleased, pointer, draw, foreground and
// background. Their images may use the macros of expandMacros().
inline const std::string kAppDeclarations = R"(
.globals 16
.method "main", main, frame0
.method "<*application>.key pressed<keyevent>", keyPressed, frame2
.method "<*application>.key released<keyevent>", keyReleased, frame2
.method "<*application>.pointer event<int>at x<int>y<int>modifiers<int>", pointer, frame5
.method "<*application>.draw to<canvas>", draw, frame2
.method "<*application>.foreground event", foreground, frame1
.method "<*application>.background event", background, frame1
.class App
.descriptor frame0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0, 1
.descriptor frame5
    .lengths 5, 0, 0
    .refs 0
.string ready "ready"
.string fg "foreground"
.string bg "background"
)";
// Foreground and background handlers that log "foreground" and "background".
inline const std::string kAppLogs = R"(
foreground:
    ldstr fg
    native Debug.log
    ret 0, 2
background:
    ldstr bg
    native Debug.log
    ret 0, 2
)";

// Globals: 0 the application, 1 last pressed key code, 2 last released key
// code, 3 presses, 4 draws, 8 + kind: x * 1000 + y of the last pointer event
// of that kind. Logs "ready" once it is the application, then "foreground"
// and "background".
inline const std::string kApp = kAppDeclarations + R"(
.code
main:
    alloc 1, 1
    dup
    setclass App
    @keep 0
    native System.set_application
    ldstr ready
    native Debug.log
    ret 0, 1
keyPressed:
    ldloca -2
    native KeyEvent.key_code
    @store 1
    @addr 3
    incm
    ret 0, 3
keyReleased:
    ldloca -2
    native KeyEvent.key_code
    @store 2
    ret 0, 3
pointer:
    @addr 8
    ldloc -6                      ; kind
    push 4
    mul
    add
    ldloc -5                      ; x
    push 1000
    mul
    ldloc -5                      ; y
    add
    store
    ret 0, 6
draw:
    @addr 4
    incm
    ret 0, 3
)" + kAppLogs;

inline void writeImage(const Scratch& dir, const std::string& source) {
    try {
        std::vector<uint8_t> bytes = mcbasm::assemble(expandMacros(source));
        dir.write("index.mcb", std::string(bytes.begin(), bytes.end()));
    } catch (const std::exception& e) {
        ADD_FAILURE() << "assembly failed: " << e.what();
    }
}

// `f` raises the VM error `code` with exactly `text`.
inline void expectRaises(TInt32 code, const char* text, const std::function<void()>& f) {
    const Outcome o = outcomeOf(f);
    EXPECT_EQ(o.code, code);
    EXPECT_EQ(o.text, text);
}

// Native groups.
inline constexpr TInt32 screenNative = 31, timerNative = 33, keyEventNative = 35;

// Calls a native with `args` as the whole stack as the interpreter reaches it: its
// row's body, or VM error 10. Its result.
inline TInt32 callNative(VirtualMachine& vm, TInt32 group, TInt32 function, std::initializer_list<TInt32> args) {
    vm.setSp(TInt32(args.size()) - 1);
    TInt32 i = 0;
    for (TInt32 a : args) vm.slot(i++) = a;
    const natives::Function* row = natives::findFunction(group, function);
    if (!row) vm.invalidNativeFunction(group);
    row->call(vm);
    return vm.slot(0);
}

class RecordingView : public MainView {
public:
    using MainView::MainView;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* e) override {
        painted += e->region();
        MainView::paintEvent(e);
    }
};

class HostView : public ::testing::Test {
protected:
    void SetUp() override { ensureQtApp(); }
    void TearDown() override {
        view.reset();
        VirtualMachine::destroyCurrent();
    }
    RecordingView& make() {
        view = std::make_unique<RecordingView>(dir.root());
        return *view;
    }
    void start(const std::string& source) {
        writeImage(dir, source);
        make().resize(800, 480);
        view->start();
    }
    TInt32 global(TInt32 i) {
        VirtualMachine* vm = VirtualMachine::current();
        return TInt32(vm->memory().readWord(vm->globals() + TUint32(i) * 4));
    }

    static std::string text(const OString& s) { return s.toQString().toStdString(); }

    Scratch dir;
    std::unique_ptr<RecordingView> view;
};

// Standard error of this process into a file while it lives.
class StderrCapture {
public:
    StderrCapture() : saved_(dup(2)) {
        int fd = ::open(file_.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() {
        dup2(saved_, 2);
        close(saved_);
    }
    std::string text() const { return file_.read("err"); }

private:
    Scratch file_;
    int saved_;
};

// The "LOG: " lines of a standard error, without the prefix.
inline std::vector<std::string> logLines(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("LOG: ", 0) == 0) lines.push_back(line.substr(5));
    return lines;
}

inline std::string playerBinary() { return MCB_BINARY_DIR "/bin/mcbplayer"; }
inline std::string testBinary() { return MCB_BINARY_DIR "/bin/test_host"; }

// Offscreen platform and no system bus, unless `extra` says otherwise.
inline std::vector<std::string> playerEnvironment(const std::string& runtimeDir,
                                                  const std::map<std::string, std::string>& extra = {}) {
    std::map<std::string, std::string> env = {
        {"PATH", std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"XDG_RUNTIME_DIR", runtimeDir},
        {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + runtimeDir + "/no-bus"},
        {"HOME", runtimeDir},
    };
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* v = std::getenv(keep)) env[keep] = v;
    for (auto& [k, v] : extra) env[k] = v;
    std::vector<std::string> out;
    for (auto& [k, v] : env) out.push_back(k + "=" + v);
    return out;
}

// A program beside the test with its standard input and error connected to
// the test; killed by pid when dropped. `binary` (default argv[0]) is the file run.
class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv, std::vector<std::string> env, const std::string& cwd,
                 const std::string& binary = "") {
        std::vector<char*> ap, ep;
        for (auto& a : argv) ap.push_back(a.data());
        for (auto& e : env) ep.push_back(e.data());
        ap.push_back(nullptr), ep.push_back(nullptr);
        int in[2], err[2];
        if (pipe(in) != 0 || pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(err[1], 2);
            dup2(::open("/dev/null", O_RDWR), 1);
            for (int fd : {in[0], in[1], err[0], err[1]}) close(fd);
            if (chdir(cwd.c_str()) == 0) execve(binary.empty() ? ap[0] : binary.c_str(), ap.data(), ep.data());
            _exit(127);
        }
        close(in[0]);
        close(err[1]);
        in_ = in[1];
        errFd_ = err[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {in_, errFd_})
            if (fd >= 0) close(fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads standard error until it holds `text` (empty: until it closes); false when the time is up.
    bool waitFor(const std::string& text, double seconds = 10) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        char buf[4096];
        while (text.empty() || err_.find(text) == std::string::npos) {
            if (errFd_ < 0) return text.empty();
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{errFd_, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0) continue;
            ssize_t n = read(errFd_, buf, sizeof buf);
            if (n > 0)
                err_.append(buf, size_t(n));
            else
                close(std::exchange(errFd_, -1));
        }
        return true;
    }
    void send(const std::string& line) {
        std::string l = line + "\n";
        if (::write(in_, l.data(), l.size()) != ssize_t(l.size())) ADD_FAILURE() << "send failed";
    }
    // Closes standard input and waits for the end: the exit status, or -1 when killed or signalled.
    int finish(double seconds = 10) {
        if (pid_ <= 0) return -1;
        if (in_ >= 0) close(std::exchange(in_, -1));
        bool ended = waitFor("", seconds);
        if (!ended) kill(pid_, SIGKILL);
        int ws = 0;
        waitpid(std::exchange(pid_, -1), &ws, 0);
        return ended && WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    }
    const std::string& err() const { return err_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1, in_ = -1, errFd_ = -1;
    std::string err_;
};

struct RunResult {
    int status;
    std::string err;
};

// The player on `args` in `cwd` (offscreen, no system bus, its data in a scratch folder) to its
// end; `argv0` (default: the binary) is the program name it sees.
inline RunResult runPlayer(const std::string& cwd, std::vector<std::string> args = {},
                           const std::map<std::string, std::string>& env = {}, double seconds = 30,
                           const std::string& argv0 = "") {
    Scratch runtime;
    args.insert(args.begin(), argv0.empty() ? playerBinary() : argv0);
    std::map<std::string, std::string> all = {{"XDG_DATA_HOME", runtime.path("data")}};
    for (auto& [k, v] : env) all[k] = v;
    ChildProcess player(args, playerEnvironment(runtime.root(), all), cwd, playerBinary());
    int status = player.finish(seconds);
    return {status, player.err()};
}

// Resident memory of a process in KiB; -1 when it cannot be read.
inline long residentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1L;
}

// Resident memory stayed flat between two readings (not under the address
// sanitizer, whose quarantine holds freed memory on purpose).
inline void expectFlatMemory([[maybe_unused]] long early, [[maybe_unused]] long late) {
#if !defined(__SANITIZE_ADDRESS__)
    ASSERT_GT(early, 0);
    EXPECT_LT(late - early, 2048) << "resident KiB went from " << early << " to " << late;
#endif
}

inline bool haveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

using Lines = std::vector<std::string>;

inline std::string output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Spins the Qt event loop (the audio player's callbacks come through it) until
// `done` holds; false when `seconds` pass first.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        poll(nullptr, 0, 2);
    }
    return true;
}

// Runs `command` through the shell as a child that dies with this process,
// even when a failed check aborts it; its pid.
inline int spawn(const std::string& command, int out = -1) {
    const int pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (out >= 0) dup2(out, 1);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

inline void stop(int pid) {
    if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);  // SIGTERM takes a sound server a second
}

// A private D-Bus daemon in a scratch folder, as the system bus (everything
// allowed, as the tests' helpers need) or as a session bus.
class PrivateBus {
public:
    explicit PrivateBus(bool system) {
        ensureQtApp();
        if (!haveProgram("dbus-daemon") || !haveProgram("dbus-send")) return;
        address = "unix:path=" + dir.path("bus_socket");
        dir.write("bus.conf",
                  std::string("<busconfig><type>") + (system ? "system" : "session") + "</type><listen>" + address +
                      "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        pid_ = spawn("dbus-daemon --nofork --config-file=" + dir.path("bus.conf"));
        up_ = waitUntil([&] {
            return std::system(("dbus-send --bus=" + address +
                                " --print-reply --dest=org.freedesktop.DBus "
                                "/org/freedesktop/DBus org.freedesktop.DBus.GetId >/dev/null 2>&1")
                                   .c_str()) == 0;
        });
    }
    ~PrivateBus() { stop(pid_); }
    bool up() const { return up_; }
    // Qt keeps named connections for the whole process: the address makes the name new.
    QDBusConnection connect(const QString& name = {}) const {
        return QDBusConnection::connectToBus(QString::fromStdString(address), name + QString::fromStdString(address));
    }
    Scratch dir;
    std::string address;

private:
    int pid_ = -1;
    bool up_ = false;
};

// Xvfb of `size` on a display number it picks itself (so that it never meets
// another test's server), stopped when dropped; `display` stays empty when it did
// not start and `missing` names a program of `programs` that is not installed.
// env(role) is the environment of the player (role "") or of this binary in a
// helper role on that screen.
struct XScreen {
    XScreen(const std::string& size, std::initializer_list<const char*> programs) {
        for (const char* p : programs)
            if (missing.empty() && !haveProgram(p)) missing = p;
        if (!missing.empty()) return;
        // Two lines in either order: "pid=P" from the shell, the display number from
        // Xvfb once it is ready.
        int number = -1;
        const std::string command =
            "Xvfb -displayfd 1 -screen 0 " + size + "x24 -nolisten tcp -noreset 2>/dev/null & echo pid=$!";
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[64];
            for (int i = 0; i < 2 && std::fgets(line, sizeof line, p); ++i)
                if (std::sscanf(line, "pid=%d", &pid) != 1) number = std::atoi(line);
            pclose(p);
        }
        const std::string d = ":" + std::to_string(number);
        if (number >= 0 && std::system(("xdpyinfo -display " + d + " >/dev/null 2>&1").c_str()) == 0) display = d;
    }
    ~XScreen() {
        if (pid > 1) kill(pid, SIGTERM);
    }
    std::vector<std::string> env(const char* role) const {
        return playerEnvironment(dir.root(), {{"DISPLAY", display},
                                              {"QT_QPA_PLATFORM", "xcb"},
                                              {"MCB_TEST_ROLE", role},
                                              {"XDG_DATA_HOME", dir.path("data")}});
    }
    Scratch dir;
    std::string missing, display;
    int pid = -1;
};

// A helper role's loop: "helper ready" on standard error, then each line of
// standard input to `onLine` until "quit" or the end of the input.
inline int serveLines(QCoreApplication& app, const std::function<void(const std::string&)>& onLine) {
    std::string pending;
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[256];
        ssize_t got = read(0, buf, sizeof buf);
        if (got <= 0) return app.quit();
        pending.append(buf, size_t(got));
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1)) {
            if (pending.compare(0, eol, "quit") == 0) return app.quit();
            onLine(pending.substr(0, eol));
        }
    });
    std::fputs("helper ready\n", stderr);
    return app.exec();
}

// A test binary started with `variable` set plays that role instead of running its tests.
inline bool playRole(const char* variable, int (*run)(const std::string&)) {
    if (const char* role = std::getenv(variable)) {
        const int status = run(role);
        std::fflush(stderr);
        _exit(status);
    }
    return false;
}

}  // namespace hosttest

}  // namespace mcb
