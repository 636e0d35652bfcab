// Guarded calls into the machine, the process's abrupt endings, and the
// player's own lines.
#include "host/HostProcess.h"

#include "foundation/VMError.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace host {
namespace {
std::function<void()>& beforeEnd() {
    static std::function<void()> hook;
    return hook;
}
std::function<std::string()> gFatalDetail;
std::function<void(const std::string&)> gFatalNotice;
std::FILE* gLogCopy = nullptr;
bool gEnding = false;
std::vector<std::function<void()>> gCleanups;

// "FATAL: " and the text as UTF-8, then what explains it, if anything does;
// a window shows both before the end.
[[noreturn]] void fatalEnd(const std::string& text) {
    gEnding = true;
    say("FATAL: " + text);
    std::string detail = gFatalDetail ? gFatalDetail() : std::string();
    if (!detail.empty()) say(detail);
    if (gFatalNotice) gFatalNotice(detail.empty() ? text : text + "\n\n" + detail);
    endProcess(1);
}
}  // namespace

void setBeforeEnd(std::function<void()> hook) { beforeEnd() = std::move(hook); }
void addExitCleanup(std::function<void()> cleanup) { gCleanups.push_back(std::move(cleanup)); }
bool ending() { return gEnding; }
void setFatalDetail(std::function<std::string()> detail) { gFatalDetail = std::move(detail); }
void setFatalNotice(std::function<void(const std::string&)> notice) { gFatalNotice = std::move(notice); }
void setLogCopy(std::FILE* file) { gLogCopy = file; }
std::FILE* logCopy() { return gLogCopy; }

void say(const std::string& line) {
    std::string text = line + "\n";
    std::fputs(text.c_str(), stderr);
    if (gLogCopy) {
        std::fputs(text.c_str(), gLogCopy);
        std::fflush(gLogCopy);
    }
}

void endProcess(int status) {
    gEnding = true;
    if (auto hook = beforeEnd()) {
        beforeEnd() = nullptr;
        hook();
    }
    for (auto& cleanup : std::exchange(gCleanups, {})) cleanup();
    std::fflush(stdout);
    std::fflush(stderr);
    if (gLogCopy) std::fflush(gLogCopy);
    ::_exit(status);
}

void callVm(const std::function<void()>& call) {
    if (gEnding) return;  // a message box's own loop is running: the machine is done
    try {
        call();
    } catch (TInt32 end) {
        if (end == -1) endProcess(0);
        fatalEnd(vmerr::pendingErrorTextUtf8());
    } catch (const ErrorHandlingException&) {
        fatalEnd(vmerr::pendingErrorTextUtf8());
    } catch (const std::exception& e) {  // never let it cross Qt's event loop
        fatalEnd(e.what());
    }
}

}  // namespace host
