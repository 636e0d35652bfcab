// Shared by the host tests: scratch directories, running the player binary
// with a deadline, the in-process Qt application, and assembled images.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/VMError.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace hosttest {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }
    void write(const std::string& rel, const std::string& bytes) const;
    std::string read(const std::string& rel) const;
    bool exists(const std::string& rel) const;

private:
    std::string root_;
};

// Logs "ready" once it is the application, then "foreground" and "background"
// as those events arrive.
extern const char* const kForegroundApp;

// Assembles `source` into `dir`/index.mcb (the test fails on an assembly error).
void writeImage(const ScratchDir& dir, const std::string& source);

struct RunResult {
    int status = -1;       // exit status, or -1 when killed or signalled
    std::string err;       // standard error
    std::vector<std::string> logLines() const;  // the "LOG: " lines without the prefix
};

struct RunOptions {
    std::vector<std::string> args;                 // after argv[0]
    std::string argv0;                             // empty: the binary's path
    std::map<std::string, std::string> env;        // added to (or replacing) the defaults
    double timeoutSeconds = 10;
};

// Runs the player in `cwd` under the offscreen platform with no system bus,
// unless the options say otherwise.
RunResult runPlayer(const std::string& cwd, const RunOptions& options = {});
std::string playerBinary();

// A program running beside the test, with its standard input and error
// connected to the test; killed by pid when it is dropped. `binary` (default
// argv[0]) is the file run.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& cwd,
                 const std::string& binary = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads standard error until it holds `text` (true) or the time is up.
    bool waitFor(const std::string& text, double seconds = 10);
    void send(const std::string& line);
    // Closes standard input and waits for the end; -1 when killed after the deadline or signalled.
    int finish(double seconds = 10);
    const std::string& err() const { return err_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int in_ = -1;
    int errFd_ = -1;
    std::string err_;
};

// The environment runPlayer gives the player, with `extra` added.
std::vector<std::string> playerEnvironment(const std::string& runtimeDir,
                                           const std::map<std::string, std::string>& extra);

// The test process's one Qt application (offscreen platform).
void ensureQtApp();

// Whether a program can be found on PATH.
bool haveProgram(const std::string& name);

// `f` raises the VM error `code` with exactly `text`.
inline void expectRaises(TInt32 code, const char* text, const std::function<void()>& f) {
    try {
        f();
        ADD_FAILURE() << "nothing raised";
    } catch (const ErrorHandlingException&) {
        EXPECT_EQ(vmerr::pendingErrorCode(), code);
        EXPECT_EQ(vmerr::pendingErrorText(), CAppsString(text));
    }
}

}  // namespace hosttest
