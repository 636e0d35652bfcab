// Application file operations below the root directory: the path rule, then
// resolution beneath a descriptor of the root, then the *at system calls on
// the directory that resolution reached.
#include "io/AppFiles.h"

#include "io/AppPath.h"
#include "io/Beneath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "io/DirectoryOps.h"
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace mcb {

using beneath::Fd;
using dirops::Kind;

namespace {
// A path that names something below the root: the root itself is no file, and
// it is never removed or renamed whatever the spelling ("", ".", "./.", "/").
bool belowRoot(const OString& path, std::string& relative) {
    return host::appPathBytes(path, relative) && !relative.empty();
}

const char* orRoot(const std::string& relative) { return relative.empty() ? "." : relative.c_str(); }

// Opened without blocking (a planted pipe would wait for a peer forever), then
// kept only when it is a regular file.
bool regularFile(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return dirops::kindOf(fd) == Kind::File && flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

CAppsString pathText(const OString& path) { return CAppsString(path.data(), path.length()); }

std::unique_ptr<CAppsFileReader> readerOn(Fd fd, const OString& path) {
    if (!fd.ok() || !regularFile(fd.get())) return nullptr;
    auto stream = std::make_unique<VELMAR::FileInputStream>();
    if (!stream->openDescriptor(fd.release())) return nullptr;
    return std::make_unique<CAppsFileReader>(stream.release(), pathText(path));
}
}  // namespace

// The directory that holds an entry, opened beneath the root, and the entry's name in it.
struct AppFiles::Place {
    Fd directory;
    std::string name;
};

AppFiles::AppFiles(std::string root) : root_(std::move(root)) {}

AppFiles::~AppFiles() {
    if (rootFd_ >= 0) ::close(rootFd_);
}

int AppFiles::rootFd() {
    if (rootFd_ < 0) rootFd_ = ::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return rootFd_;
}

int AppFiles::openBelow(const std::string& relative, int flags, unsigned mode) {
    const int root = rootFd();
    if (root < 0) return -1;
    return beneath::open(root, orRoot(relative), flags, mode_t(mode));
}

bool AppFiles::placeOf(const std::string& relative, Place& place) {
    const size_t slash = relative.find_last_of('/');
    const std::string parent = slash == std::string::npos ? std::string() : relative.substr(0, slash);
    place.name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
    place.directory = Fd(openBelow(parent, O_PATH | O_DIRECTORY));
    return place.directory.ok();
}

// The longest prefix that is a directory is found by bisection (every shorter
// one is a directory too); below it each missing component is made and entered
// without following anything, so a deep path costs no more than n log n steps.
bool AppFiles::makeDirectories(const std::string& relative) {
    std::vector<size_t> ends;
    for (size_t i = 0; i < relative.size(); ++i)
        if (relative[i] == '/') ends.push_back(i);
    if (!relative.empty()) ends.push_back(relative.size());
    Fd parent(openBelow(std::string(), O_PATH | O_DIRECTORY));
    if (!parent.ok()) return false;
    size_t made = 0, missing = ends.size();  // prefixes below `made` exist, from `missing` on not
    while (made < missing) {
        const size_t mid = (made + missing) / 2;
        Fd fd(openBelow(relative.substr(0, ends[mid]), O_PATH | O_DIRECTORY));
        if (fd.ok()) {
            parent = std::move(fd);
            made = mid + 1;
        } else if (errno == ENOENT) {
            missing = mid;
        } else {
            return false;  // leaves the root, or a file stands in the way
        }
    }
    for (size_t i = made; i < ends.size(); ++i) {
        const size_t start = i == 0 ? 0 : ends[i - 1] + 1;
        const std::string name = relative.substr(start, ends[i] - start);
        if (mkdirat(parent.get(), name.c_str(), 0777) != 0 && errno != EEXIST) return false;
        parent = Fd(openat(parent.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!parent.ok()) return false;
    }
    return true;
}

bool AppFiles::leavesRoot(const std::string& relative) {
    Fd fd(openBelow(relative, O_PATH));
    return !fd.ok() && (errno == EXDEV || errno == ELOOP);
}

// Appending writes after the old contents in place: nothing is held, and a
// write that fails (a full disk) loses none of what was there.
std::unique_ptr<CAppsFileWriter> AppFiles::openForWriting(const OString& path, bool truncate) {
    std::string relative;
    if (!belowRoot(path, relative)) return nullptr;
    const size_t slash = relative.find_last_of('/');
    if (slash != std::string::npos && !makeDirectories(relative.substr(0, slash))) return nullptr;
    Fd fd(openBelow(relative, O_WRONLY | O_CREAT | (truncate ? O_TRUNC : 0) | O_NONBLOCK, 0666));
    if (!fd.ok() || !regularFile(fd.get())) return nullptr;
    if (!truncate) {
        const off_t end = lseek(fd.get(), 0, SEEK_END);
        if (end < 0 || end > off_t(UINT32_MAX)) return nullptr;  // past where a position can say
    }
    auto stream = std::make_unique<VELMAR::FileOutputStream>();
    if (!stream->openDescriptor(fd.release())) return nullptr;
    return std::make_unique<CAppsFileWriter>(stream.release(), pathText(path));
}

std::unique_ptr<CAppsFileReader> AppFiles::openForReading(const OString& path) {
    std::string relative;
    if (!belowRoot(path, relative)) return nullptr;
    return readerOn(Fd(openBelow(relative, O_RDONLY | O_NONBLOCK)), path);
}

bool AppFiles::deleteFile(const OString& path) {
    std::string relative;
    Place place;
    if (!fileExists(path) || !belowRoot(path, relative) || !placeOf(relative, place)) return false;
    const Kind kind = dirops::kindAt(place.directory.get(), place.name);
    return kind != Kind::Missing && kind != Kind::Directory && unlinkat(place.directory.get(), place.name.c_str(), 0) == 0;
}

bool AppFiles::fileExists(const OString& path) {
    std::string relative;
    if (!belowRoot(path, relative)) return false;
    Fd fd(openBelow(relative, O_PATH));
    const Kind kind = fd.ok() ? dirops::kindOf(fd.get()) : Kind::Missing;
    return kind != Kind::Missing && kind != Kind::Directory;
}

bool AppFiles::renameFile(const OString& from, const OString& to) {
    std::string source, target;
    Place a, b;
    if (!belowRoot(from, source) || !belowRoot(to, target) || !placeOf(source, a)) return false;
    const Kind kind = dirops::kindAt(a.directory.get(), a.name);
    if (kind == Kind::Missing || kind == Kind::Directory || (kind == Kind::Link && leavesRoot(source))) return false;
    const size_t slash = target.find_last_of('/');
    if (slash != std::string::npos && !makeDirectories(target.substr(0, slash))) return false;
    if (!placeOf(target, b) || dirops::kindAt(b.directory.get(), b.name) != Kind::Missing) return false;
    return dirops::renameAt(a.directory.get(), a.name, b.directory.get(), b.name);
}

bool AppFiles::listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories) {
    std::string relative;
    if (!host::appPathBytes(path, relative)) return false;
    Fd directory(openBelow(relative, O_RDONLY | O_DIRECTORY | O_NONBLOCK));
    std::vector<dirops::Entry> entries;
    if (!directory.ok() || !dirops::readEntries(directory.get(), entries)) return false;
    Vec<OString> fileNames, directoryNames;
    for (const dirops::Entry& e : entries) {
        OString name;
        if (e.name[0] == '.' || !host::appNameFromBytes(e.name, name)) continue;
        if (e.kind == Kind::File) fileNames.append(name);
        if (e.kind == Kind::Directory) directoryNames.append(name);
    }
    for (const OString& n : fileNames) files.append(n);
    for (const OString& n : directoryNames) directories.append(n);
    return true;
}

bool AppFiles::createDirectory(const OString& path) {
    std::string relative;
    return host::appPathBytes(path, relative) && makeDirectories(relative);
}

bool AppFiles::removeDirectory(const OString& path) {
    std::string relative;
    Place place;
    if (!belowRoot(path, relative) || !placeOf(relative, place)) return false;
    return dirops::kindAt(place.directory.get(), place.name) == Kind::Directory &&
           dirops::removeTreeAt(place.directory.get(), place.name);
}

bool AppFiles::renameDirectory(const OString& from, const OString& to) {
    std::string source, target;
    Place a, b;
    if (!belowRoot(from, source) || !belowRoot(to, target) || !placeOf(source, a) || !placeOf(target, b))
        return false;
    return dirops::kindAt(a.directory.get(), a.name) == Kind::Directory &&
           dirops::kindAt(b.directory.get(), b.name) == Kind::Missing &&
           dirops::renameAt(a.directory.get(), a.name, b.directory.get(), b.name);
}

bool AppFiles::directoryExists(const OString& path) {
    std::string relative;
    return host::appPathBytes(path, relative) && Fd(openBelow(relative, O_PATH | O_DIRECTORY)).ok();
}

}  // namespace mcb
