// FileUtility: path text operations, file queries, and the creation, removal,
// renaming and listing of files and directories through POSIX calls.
#include "io/FileUtility.h"

#include "io/NoRaise.h"
#include "io/OsPath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace FileUtility {
namespace {
using VELMAR::makeDirectories;
using VELMAR::makeParentDirectories;
using VELMAR::toOsPath;

// File is a regular file; Other a device, pipe or socket.
enum class Kind { Missing, File, Directory, Link, Other };

// The kind of the entry itself; symbolic links are not followed.
Kind entryKind(const std::string& osPath) {
    struct stat st {};
    if (lstat(osPath.c_str(), &st) != 0) return Kind::Missing;
    if (S_ISLNK(st.st_mode)) return Kind::Link;
    if (S_ISDIR(st.st_mode)) return Kind::Directory;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

bool statFollowing(const CAppsString& path, struct stat& st) {
    std::string osPath;
    return toOsPath(path, osPath) && stat(osPath.c_str(), &st) == 0;
}

bool exists(const std::string& osPath) { return entryKind(osPath) != Kind::Missing; }

bool isRemovableAsFile(Kind kind) { return kind != Kind::Missing && kind != Kind::Directory; }

struct Entry {
    std::string name;
    Kind kind;
};

// Every entry but "." and "..", in the file system's order.
bool readEntries(const std::string& osDir, std::vector<Entry>& entries) {
    DIR* dir = opendir(osDir.c_str());
    if (!dir) return false;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        entries.push_back({name, entryKind(osDir + "/" + name)});
    }
    closedir(dir);
    return true;
}

bool removeTree(const std::string& osDir) {
    std::vector<Entry> entries;
    if (!readEntries(osDir, entries)) return false;
    for (const Entry& e : entries)
        if (e.kind != Kind::Directory && unlink((osDir + "/" + e.name).c_str()) != 0) return false;
    for (const Entry& e : entries)
        if (e.kind == Kind::Directory && !removeTree(osDir + "/" + e.name)) return false;
    return rmdir(osDir.c_str()) == 0;
}

bool list(const CAppsString& directory, Kind wanted, Vec<CAppsString>& names) {
    const CAppsString converted = convertSeparators(directory);
    std::string osDir;
    std::vector<Entry> entries;
    if (!isDirectory(converted) || !toOsPath(converted, osDir)) return false;
    if (!readEntries(osDir, entries)) return false;
    Vec<CAppsString> all(names);
    const bool listed = VELMAR::runWithoutRaising([&] {
        for (const Entry& e : entries)
            if (e.kind == wanted && e.name[0] != '.') all.append(VELMAR::fromOsName(e.name));
    });
    if (listed) names.swap(all);
    return listed;
}

// Moves a file across file systems: copy, then remove the original.
bool copyAndRemove(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (!std::filesystem::copy_file(from, to, ec)) return false;
    if (unlink(from.c_str()) == 0) return true;
    unlink(to.c_str());
    return false;
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
    return toOsPath(path, osPath) && entryKind(osPath) == Kind::Directory && removeTree(osPath);
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
    return std::rename(osFrom.c_str(), osTo.c_str()) == 0;
}

bool renameFile(const CAppsString& from, const CAppsString& to) {
    std::string osFrom, osTo;
    if (!toOsPath(from, osFrom) || !toOsPath(to, osTo)) return false;
    const Kind kind = entryKind(osFrom);
    if (!isRemovableAsFile(kind) || exists(osTo)) return false;
    if (!makeParentDirectories(osTo)) return false;
    if (std::rename(osFrom.c_str(), osTo.c_str()) == 0) return true;
    return errno == EXDEV && kind == Kind::File && copyAndRemove(osFrom, osTo);
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
