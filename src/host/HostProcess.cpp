// Guarded calls into the machine and the process's abrupt endings.
#include "host/HostProcess.h"

#include "foundation/VMError.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

namespace host {
namespace {
std::function<void()>& beforeEnd() {
    static std::function<void()> hook;
    return hook;
}

// "FATAL: ", the pending error text as UTF-8 and a line end.
void writeFatalLine() {
    std::string line = "FATAL: " + vmerr::pendingErrorTextUtf8() + "\n";
    std::fputs(line.c_str(), stderr);
}
}  // namespace

void setBeforeEnd(std::function<void()> hook) { beforeEnd() = std::move(hook); }

void endProcess(int status) {
    if (auto hook = beforeEnd()) {
        beforeEnd() = nullptr;
        hook();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

void callVm(const std::function<void()>& call) {
    try {
        call();
    } catch (TInt32 end) {
        if (end == -1) endProcess(0);
        writeFatalLine();
        endProcess(1);
    } catch (const ErrorHandlingException&) {
        writeFatalLine();
        endProcess(1);
    } catch (const std::exception& e) {  // never let it cross Qt's event loop
        std::fprintf(stderr, "FATAL: %s\n", e.what());
        endProcess(1);
    }
}

}  // namespace host
