// Resolution beneath a directory descriptor: openat2 where the kernel has it,
// otherwise a walk that opens one component at a time without following links
// and resolves each link it meets itself, under the same rules.
#include "io/Beneath.h"
#include "foundation/Types.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <vector>

namespace mcb {

namespace beneath {
namespace {
#ifdef SYS_openat2
constexpr long kOpenat2 = SYS_openat2;
#else
constexpr long kOpenat2 = 437;  // the same number on every architecture
#endif
constexpr int kMaxLinks = 40;  // as the kernel's own limit

std::atomic<bool> gWalk{false};

int failWith(int error) {
    errno = error;
    return -1;
}

// Empty and "." components stay: after a name they ask for a directory, as
// "f/" and "f/." do of the kernel.
void prependComponents(const std::string& path, std::deque<std::string>& rest) {
    std::deque<std::string> parts;
    for (size_t at = 0; at <= path.size();) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    rest.insert(rest.begin(), parts.begin(), parts.end());
}

bool readLink(int directory, const std::string& name, std::string& target) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlinkat(directory, name.c_str(), buffer.data(), buffer.size());
    if (n < 0 || size_t(n) >= buffer.size()) return false;
    target.assign(buffer.data(), size_t(n));
    return true;
}

bool isLink(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISLNK(st.st_mode);
}

int viaOpenat2(int directory, const std::string& relative, int flags, mode_t mode) {
    open_how how{};
    how.flags = TUint64(unsigned(flags | O_CLOEXEC));
    how.mode = (flags & O_CREAT) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {  // EAGAIN: a rename raced the check of ".."
        const long fd = syscall(kOpenat2, directory, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != EAGAIN || attempt == 16) return int(fd);
    }
}

// The directories from the start down to the current one, so that ".." from a
// link's target steps back up and never above the start. Only the nearest few
// stay open, so that a deep path cannot run out of descriptors; one closed is
// opened again from its nearest open ancestor by the names that led to it.
class Chain {
public:
    explicit Chain(int start) { levels_.push_back({std::string(), Fd(fcntl(start, F_DUPFD_CLOEXEC, 0))}); }
    bool ok() const { return levels_.front().fd.ok(); }
    bool atStart() const { return levels_.size() == 1; }
    int here() const { return levels_.back().fd.get(); }
    void push(std::string name, Fd fd) {
        levels_.push_back({std::move(name), std::move(fd)});
        if (levels_.size() > kOpenLevels + 1) levels_[levels_.size() - kOpenLevels - 1].fd = Fd();
    }
    bool pop() {
        levels_.pop_back();
        size_t open = levels_.size() - 1;
        while (!levels_[open].fd.ok()) --open;
        for (size_t i = open + 1; i < levels_.size(); ++i) {
            levels_[i].fd = Fd(openat(levels_[i - 1].fd.get(), levels_[i].name.c_str(),
                                      O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!levels_[i].fd.ok()) return false;
        }
        return true;
    }

private:
    static constexpr size_t kOpenLevels = 32;
    struct Level {
        std::string name;
        Fd fd;
    };
    std::vector<Level> levels_;
};

int walk(int directory, const std::string& relative, int flags, mode_t mode) {
    if (!relative.empty() && relative[0] == '/') return failWith(EXDEV);
    Chain chain(directory);
    if (!chain.ok()) return -1;
    std::deque<std::string> rest;
    prependComponents(relative, rest);
    int links = 0;
    while (!rest.empty()) {
        std::string name = std::move(rest.front());
        rest.pop_front();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (chain.atStart()) return failWith(EXDEV);
            if (!chain.pop()) return -1;
            continue;
        }
        const int here = chain.here();
        const bool last = rest.empty();
        const int stepFlags = last ? flags : O_PATH | O_DIRECTORY;
        Fd next(openat(here, name.c_str(), stepFlags | O_NOFOLLOW | O_CLOEXEC, mode));
        int error = errno;
        if (next.ok()) {
            // O_PATH with O_NOFOLLOW opens a link itself rather than failing.
            if (!((stepFlags & O_PATH) && isLink(next.get()))) {
                if (last) return next.release();
                chain.push(std::move(name), std::move(next));
                continue;
            }
            error = ELOOP;
        }
        const bool exclusive = last && (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
        std::string target;
        if (exclusive || !readLink(here, name, target)) return failWith(error);
        if (++links > kMaxLinks) return failWith(ELOOP);
        if (target.empty()) return failWith(ENOENT);
        if (target[0] == '/') return failWith(EXDEV);
        prependComponents(target, rest);
    }
    return openat(chain.here(), ".", flags | O_CLOEXEC, mode);
}
}  // namespace

int open(int directory, const std::string& relative, int flags, mode_t mode) {
    if (relative.empty() || relative.find('\0') != std::string::npos) return failWith(ENOENT);
    if (relative.size() >= 4096) return failWith(ENAMETOOLONG);  // PATH_MAX, as the kernel counts
    if (!gWalk.load()) {
        const int fd = viaOpenat2(directory, relative, flags, mode);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
        if (errno == ENOSYS) gWalk.store(true);  // EPERM: a sandbox may refuse it this once
    }
    return walk(directory, relative, flags, mode);
}

void useWalk(bool on) { gWalk.store(on); }
bool usingWalk() { return gWalk.load(); }

}  // namespace beneath

}  // namespace mcb
