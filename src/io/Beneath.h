// Opening a relative path beneath a directory descriptor so that no "..", no
// absolute path and no symbolic link leads out of that directory: openat2 with
// RESOLVE_BENEATH where the kernel has it, a walk of O_NOFOLLOW steps where not.
#pragma once

#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace mcb {

namespace beneath {

// An owned descriptor, closed with its holder; negative when there is none.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.release();
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd_;
};

// `relative` ('/'-separated bytes; "." is the directory itself) opened with
// `flags` (O_CLOEXEC added) below `directory`. Links are followed while they
// stay below; -1 with errno otherwise, EXDEV for a resolution that would leave.
// `mode` counts only with O_CREAT.
int open(int directory, const std::string& relative, int flags, mode_t mode = 0);

// The walk instead of openat2, whatever the kernel has (for tests and fuzzing).
void useWalk(bool on);
bool usingWalk();

}  // namespace beneath

}  // namespace mcb
