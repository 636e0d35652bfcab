// Test helpers for the memory budget: a run in a child process (whose peak
// resident memory can be measured, and whose address space can be limited) and
// the resident-memory readings of /proc.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

namespace mcb {

namespace limits {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // shadow memory makes resident sizes meaningless
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM", "VmSize").
inline long statusKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// Runs `body` in a child process and returns what it returned, or how the child died.
inline std::string inChild(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string out;
        try {
            out = body();
        } catch (...) {
            out = "an exception left the child";
        }
        (void)!write(fds[1], out.data(), out.size());
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    return out;
}

// What a child measured: the outcome it reports, then its peak resident growth.
struct Measured {
    std::string outcome;
    long growthKiB = 0;
};

inline Measured measuredInChild(const std::function<std::string()>& run) {
    const std::string out = inChild([&] {
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak resident size from here
        const long before = statusKiB("VmRSS");
        std::string outcome = run();
        return std::to_string(statusKiB("VmHWM") - before) + " " + outcome;
    });
    const size_t space = out.find(' ');
    if (out.empty() || out[0] < '0' || out[0] > '9' || space == std::string::npos) return {out, 0};
    return {out.substr(space + 1), std::stol(out.substr(0, space))};
}

}  // namespace limits

}  // namespace mcb
