// FileUtility: path text operations, file queries, and the creation, removal,
// renaming and listing of files and directories through POSIX calls.
#include "io/FileUtility.h"

#include "io/DirectoryOps.h"
#include "io/NoRaise.h"
#include "io/OsPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

namespace mcb {

namespace FileUtility {
namespace {
using dirops::Kind;
using VELMAR::makeDirectories;
using VELMAR::makeParentDirectories;
using VELMAR::toOsPath;

Kind entryKind(const std::string& osPath) { return dirops::kindAt(AT_FDCWD, osPath); }

bool statFollowing(const CAppsString& path, struct stat& st) {
    std::string osPath;
    return toOsPath(path, osPath) && stat(osPath.c_str(), &st) == 0;
}

bool exists(const std::string& osPath) { return entryKind(osPath) != Kind::Missing; }

bool isRemovableAsFile(Kind kind) { return kind != Kind::Missing && kind != Kind::Directory; }

bool list(const CAppsString& directory, Kind wanted, Vec<CAppsString>& names) {
    const CAppsString converted = convertSeparators(directory);
    std::string osDir;
    std::vector<dirops::Entry> entries;
    if (!isDirectory(converted) || !toOsPath(converted, osDir)) return false;
    const int fd = open(osDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool read = fd >= 0 && dirops::readEntries(fd, entries);
    if (fd >= 0) close(fd);
    if (!read) return false;
    Vec<CAppsString> all(names);
    const bool listed = VELMAR::runWithoutRaising([&] {
        for (const dirops::Entry& e : entries)
            if (e.kind == wanted && e.name[0] != '.') all.append(VELMAR::fromOsName(e.name));
    });
    if (listed) names.swap(all);
    return listed;
}
}  // namespace

CAppsString convertSeparators(const CAppsString& path) {
    CAppsString out(path);
    for (TUint16& c : out)
        if (c == '\\') c = '/';
    return out;
}

CAppsString join(const CAppsString& directory, const CAppsString& path) {
    if (directory.isEmpty()) return path;
    TInt32 dirEnd = directory.getSize();
    while (dirEnd > 1 && directory[dirEnd - 1] == '/') --dirEnd;
    TInt32 pathStart = 0;
    while (pathStart < path.getSize() && path[pathStart] == '/') ++pathStart;
    CAppsString out(directory.data(), dirEnd);
    if (out.getSize() > 0 && out[out.getSize() - 1] != '/') out.append(TUint16('/'));
    out.appendUnits(path.data() + pathStart, path.getSize() - pathStart);
    return out;
}

bool getFileDateTime(const CAppsString& path, FileDateTime& utc) {
    struct stat st {};
    std::tm tm {};
    if (!statFollowing(path, st) || !gmtime_r(&st.st_mtime, &tm)) return false;
    utc = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

bool isDirectory(const CAppsString& path) {
    struct stat st {};
    return statFollowing(path, st) && S_ISDIR(st.st_mode);
}

bool directoryExists(const CAppsString& path) { return isDirectory(path); }

bool fileExists(const CAppsString& path) {
    struct stat st {};
    return statFollowing(path, st) && !S_ISDIR(st.st_mode);
}

TInt64 fileSize(const CAppsString& path) {
    struct stat st {};
    return statFollowing(path, st) && !S_ISDIR(st.st_mode) ? TInt64(st.st_size) : 0;
}

bool createDirectory(const CAppsString& path) {
    std::string osPath;
    return toOsPath(path, osPath) && makeDirectories(osPath);
}

bool removeDirectory(const CAppsString& path) {
    std::string osPath;
    return toOsPath(path, osPath) && entryKind(osPath) == Kind::Directory && dirops::removeTreeAt(AT_FDCWD, osPath);
}

bool removeFile(const CAppsString& path) {
    std::string osPath;
    if (!toOsPath(path, osPath)) return false;
    return isRemovableAsFile(entryKind(osPath)) && unlink(osPath.c_str()) == 0;
}

bool renameDirectory(const CAppsString& from, const CAppsString& to) {
    std::string osFrom, osTo;
    if (!toOsPath(from, osFrom) || !toOsPath(to, osTo)) return false;
    if (entryKind(osFrom) != Kind::Directory || exists(osTo)) return false;
    return dirops::renameAt(AT_FDCWD, osFrom, AT_FDCWD, osTo);
}

bool renameFile(const CAppsString& from, const CAppsString& to) {
    std::string osFrom, osTo;
    if (!toOsPath(from, osFrom) || !toOsPath(to, osTo)) return false;
    if (!isRemovableAsFile(entryKind(osFrom)) || exists(osTo)) return false;
    return makeParentDirectories(osTo) && dirops::renameAt(AT_FDCWD, osFrom, AT_FDCWD, osTo);
}

bool listFiles(const CAppsString& directory, Vec<CAppsString>& names) {
    return list(directory, Kind::File, names);
}

bool listDirectories(const CAppsString& directory, Vec<CAppsString>& names) {
    return list(directory, Kind::Directory, names);
}

bool sameFile(const CAppsString& a, const CAppsString& b) {
    if (a.isEmpty() || b.isEmpty()) return a.isEmpty() && b.isEmpty();
    struct stat sa {}, sb {};
    if (!statFollowing(a, sa) || !statFollowing(b, sb)) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace FileUtility

}  // namespace mcb
