// Entry kinds, listings, tree removal and renames through the *at system calls.
#include "io/DirectoryOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace mcb {

namespace dirops {
namespace {
Kind kindOfMode(mode_t mode) {
    if (S_ISLNK(mode)) return Kind::Link;
    if (S_ISDIR(mode)) return Kind::Directory;
    return S_ISREG(mode) ? Kind::File : Kind::Other;
}

bool isDotName(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    return last == "." || last == "..";
}

bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

bool copyContents(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(to, buffer, size_t(n))) return false;
    }
}

// Moves a regular file across file systems: copy, then remove the original.
bool copyAndRemove(int fromDirectory, const std::string& from, int toDirectory, const std::string& to) {
    const int in = openat(fromDirectory, from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    bool done = false;
    if (fstat(in, &st) == 0 && S_ISREG(st.st_mode)) {
        const int out = openat(toDirectory, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               st.st_mode & 07777);
        if (out >= 0) {
            done = copyContents(in, out);
            done = ::close(out) == 0 && done;
            done = done && unlinkat(fromDirectory, from.c_str(), 0) == 0;
            if (!done) unlinkat(toDirectory, to.c_str(), 0);
        }
    }
    ::close(in);
    return done;
}
}  // namespace

Kind kindAt(int directory, const std::string& name) {
    struct stat st {};
    if (fstatat(directory, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Kind::Missing;
    return kindOfMode(st.st_mode);
}

Kind kindOf(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? kindOfMode(st.st_mode) : Kind::Missing;
}

bool readEntries(int fd, std::vector<Entry>& entries) {
    // A descriptor of its own, so that the listing's position is not shared.
    const int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return false;
    DIR* dir = fdopendir(own);
    if (!dir) {
        ::close(own);
        return false;
    }
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        entries.push_back({name, kindAt(own, name)});
    }
    closedir(dir);
    return true;
}

bool removeTreeAt(int parent, const std::string& name) {
    if (name.empty() || isDotName(name)) return false;
    const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<Entry> entries;
    bool emptied = readEntries(fd, entries);
    for (const Entry& e : entries)
        if (emptied && e.kind != Kind::Directory) emptied = unlinkat(fd, e.name.c_str(), 0) == 0;
    for (const Entry& e : entries)
        if (emptied && e.kind == Kind::Directory) emptied = removeTreeAt(fd, e.name);
    ::close(fd);
    return emptied && unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

bool renameAt(int fromDirectory, const std::string& from, int toDirectory, const std::string& to) {
    if (renameat2(fromDirectory, from.c_str(), toDirectory, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {  // a file system without RENAME_NOREPLACE
        if (kindAt(toDirectory, to) != Kind::Missing) return false;
        if (renameat(fromDirectory, from.c_str(), toDirectory, to.c_str()) == 0) return true;
    }
    return errno == EXDEV && kindAt(fromDirectory, from) == Kind::File &&
           copyAndRemove(fromDirectory, from, toDirectory, to);
}

}  // namespace dirops

}  // namespace mcb
