// Unbuffered writes, so that a sound thread's lines keep their place among the
// player's other output.
#include "extensions/ExtensionMessages.h"

#include <atomic>
#include <cstring>
#include <unistd.h>

namespace mcb {

namespace extmsg {
namespace {
std::atomic<int> gCopy{-1};

void writeAll(int fd, const char* text, size_t n) {
    if (fd >= 0 && ::write(fd, text, n) != ssize_t(n)) return;
}
}  // namespace

void say(const char* text) {
    const size_t n = std::strlen(text);
    writeAll(2, text, n);
    writeAll(gCopy, text, n);
}

void setCopy(int fd) { gCopy = fd; }

}  // namespace extmsg

}  // namespace mcb
