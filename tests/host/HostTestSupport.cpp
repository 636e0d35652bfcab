// Scratch directories, the player process runner and the in-process Qt application.
#include "HostTestSupport.h"

#include "mcbasm/Assembler.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace hosttest {

const char* const kForegroundApp = R"(
.globals 1
.method "main", main, frame0
.method "<*application>.foreground event", foreground, frame1
.method "<*application>.background event", background, frame1
.class App
.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.string ready "ready"
.string fg "foreground"
.string bg "background"
.code
main:
    ldglobals
    alloc 1, 1
    dup
    setclass App
    store
    ldglobals
    deref
    native System.set_application
    ldstr ready
    native Debug.log
    ret 0, 1
foreground:
    ldstr fg
    native Debug.log
    ret 0, 2
background:
    ldstr bg
    native Debug.log
    ret 0, 2
)";

ScratchDir::ScratchDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/mcb-host-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) root_ = buf.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
}

void ScratchDir::write(const std::string& rel, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path(rel)).parent_path());
    std::ofstream(path(rel), std::ios::binary) << bytes;
}

std::string ScratchDir::read(const std::string& rel) const {
    std::ifstream in(path(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ScratchDir::exists(const std::string& rel) const { return std::filesystem::exists(path(rel)); }

void writeImage(const ScratchDir& dir, const std::string& source) {
    try {
        std::vector<uint8_t> bytes = mcbasm::assemble(source);
        dir.write("index.mcb", std::string(bytes.begin(), bytes.end()));
    } catch (const std::exception& e) {
        ADD_FAILURE() << "assembly failed: " << e.what();
    }
}

std::vector<std::string> RunResult::logLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("LOG: ", 0) == 0) lines.push_back(line.substr(5));
    return lines;
}

std::string playerBinary() { return std::string(MCB_BINARY_DIR) + "/bin/mcbplayer"; }

std::vector<std::string> playerEnvironment(const std::string& runtimeDir,
                                           const std::map<std::string, std::string>& extra) {
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

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Reads the child's standard error until it closes or the deadline passes.
bool drain(int fd, std::string& out, std::chrono::steady_clock::time_point deadline) {
    char buf[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return true;
        out.append(buf, size_t(n));
    }
}
}  // namespace

RunResult runPlayer(const std::string& cwd, const RunOptions& o) {
    ScratchDir runtime;
    std::vector<std::string> argv = {o.argv0.empty() ? playerBinary() : o.argv0};
    argv.insert(argv.end(), o.args.begin(), o.args.end());
    ChildProcess player(argv, playerEnvironment(runtime.root(), o.env), cwd, playerBinary());
    RunResult r;
    r.status = player.finish(o.timeoutSeconds);
    r.err = player.err();
    return r;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const std::string& cwd, const std::string& binary) {
    std::vector<std::string> a = argv, e = env;
    std::vector<char*> ap = pointers(a), ep = pointers(e);
    int in[2], err[2];
    if (pipe(in) != 0 || pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(err[1], 2);
        int devnull = ::open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        for (int fd : {in[0], in[1], err[0], err[1]}) close(fd);
        if (chdir(cwd.c_str()) != 0) _exit(127);
        execve(binary.empty() ? ap[0] : binary.c_str(), ap.data(), ep.data());
        _exit(127);
    }
    close(in[0]);
    close(err[1]);
    in_ = in[1];
    errFd_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (errFd_ >= 0) close(errFd_);
}

bool ChildProcess::waitFor(const std::string& text, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    char buf[4096];
    while (err_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || errFd_ < 0) return false;
        pollfd p{errFd_, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        ssize_t n = read(errFd_, buf, sizeof buf);
        if (n <= 0) return err_.find(text) != std::string::npos;
        err_.append(buf, size_t(n));
    }
    return true;
}

void ChildProcess::send(const std::string& line) {
    std::string l = line + "\n";
    if (in_ >= 0 && ::write(in_, l.data(), l.size()) != ssize_t(l.size())) ADD_FAILURE() << "send failed";
}

int ChildProcess::finish(double seconds) {
    if (pid_ <= 0) return -1;
    if (in_ >= 0) close(in_);
    in_ = -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    bool ended = errFd_ < 0 || drain(errFd_, err_, deadline);
    if (!ended) kill(pid_, SIGKILL);
    int ws = 0;
    waitpid(pid_, &ws, 0);
    pid_ = -1;
    return ended && WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
}

void ensureQtApp() {
    static ScratchDir runtime;
    static int argc = 1;
    static char name[] = "test_host";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    // The handset's screen, so that a full-screen view is 800 x 480.
    runtime.write("screen.json", R"({"screens":[{"name":"handset","x":0,"y":0,"width":800,"height":480,)"
                                 R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString("offscreen:configfile=" + runtime.path("screen.json")));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.root()));
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

bool haveProgram(const std::string& name) {
    std::string cmd = "command -v " + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace hosttest
