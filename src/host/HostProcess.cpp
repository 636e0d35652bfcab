// Guarded calls into the machine, the process's abrupt endings, and the
// player's own lines.
#include "host/HostProcess.h"

#include "extensions/ExtensionMessages.h"
#include "foundation/CAppsString.h"
#include "foundation/VMError.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mcb {

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

// "FATAL: ", the pending error text as UTF-8 (or `text`) and a line end,
// written without allocating: the error may be that memory ran out.
void writeFatalLine(std::FILE* out, const char* text) {
    char buffer[256];
    size_t n = 0;
    auto put = [&](unsigned c) { buffer[n++] = char(c); };
    std::fputs("FATAL: ", out);
    if (text) {
        std::fputs(text, out);
    } else {
        for (TUint16 c : vmerr::pendingErrorText()) {
            if (n + 4 > sizeof buffer) n -= std::fwrite(buffer, 1, n, out) == n ? n : 0;
            if (n + 4 > sizeof buffer) break;  // the stream refuses it: give up the text
            if (c < 0x80) {
                put(c);
            } else if (c < 0x800) {
                put(0xC0 | (c >> 6));
                put(0x80 | (c & 0x3F));
            } else {
                put(0xE0 | (c >> 12));
                put(0x80 | ((c >> 6) & 0x3F));
                put(0x80 | (c & 0x3F));
            }
        }
    }
    put('\n');
    std::fwrite(buffer, 1, n, out);
}

// The FATAL line (of the pending error, or `text`), then what explains it, if
// anything does; a window shows both before the end. Only the line is sure to
// be written when memory has run out.
[[noreturn]] void fatalEnd(const char* text = nullptr) {
    gEnding = true;
    writeFatalLine(stderr, text);
    if (gLogCopy) writeFatalLine(gLogCopy, text);
    try {
        std::string shown = text ? std::string(text) : vmerr::pendingErrorTextUtf8();
        std::string detail = gFatalDetail ? gFatalDetail() : std::string();
        if (!detail.empty()) say(detail);
        if (gFatalNotice) gFatalNotice(detail.empty() ? shown : shown + "\n\n" + detail);
    } catch (const std::bad_alloc&) {
    }
    endProcess(1);
}
}  // namespace

void setBeforeEnd(std::function<void()> hook) { beforeEnd() = std::move(hook); }
void addExitCleanup(std::function<void()> cleanup) { gCleanups.push_back(std::move(cleanup)); }
bool ending() { return gEnding; }
void setFatalDetail(std::function<std::string()> detail) { gFatalDetail = std::move(detail); }
void setFatalNotice(std::function<void(const std::string&)> notice) { gFatalNotice = std::move(notice); }
void setLogCopy(std::FILE* file) {
    gLogCopy = file;
    extmsg::setCopy(file ? fileno(file) : -1);
}
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
    } catch (const ExitRequest&) {
        endProcess(0);
    } catch (const HaltRequest&) {
        fatalEnd();
    } catch (const ErrorHandlingException&) {
        fatalEnd();
    } catch (const std::exception& e) {  // never let it cross Qt's event loop
        fatalEnd(e.what());
    }
}

}  // namespace host

}  // namespace mcb
