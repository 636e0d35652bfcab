// The file operations a host offers an application, every one held below the
// application's root directory: each path passes the path rule (AppPath.h) and
// is resolved beneath a descriptor of the root (Beneath.h), so that neither
// "..", nor a character that would become one, nor a symbolic link leads out.
// Every operation answers by its result and touches nothing when it fails.
#pragma once

#include "foundation/CAppsString.h"
#include "objects/OString.h"

#include <memory>
#include <string>

namespace mcb {

class CAppsFileReader;
class CAppsFileWriter;

class AppFiles {
public:
    // `root`: the root directory as the system names it (bytes).
    explicit AppFiles(std::string root);
    ~AppFiles();
    AppFiles(const AppFiles&) = delete;
    AppFiles& operator=(const AppFiles&) = delete;
    const std::string& root() const { return root_; }

    // Creates missing directories on the way. Without truncation writing
    // continues after the old contents, which stay where they are; a file too
    // large for a 32-bit position fails the open and is left as it was.
    std::unique_ptr<CAppsFileWriter> openForWriting(const OString& path, bool truncate);
    // Regular files only.
    std::unique_ptr<CAppsFileReader> openForReading(const OString& path);
    // Something other than a directory; a link is removed itself.
    bool deleteFile(const OString& path);
    bool fileExists(const OString& path);
    // Never replaces; the target's directory is created when missing. A link
    // is moved itself, unless it leads out of the root.
    bool renameFile(const OString& from, const OString& to);
    // Plain files, then directories, leaving out links, names starting with
    // "." and names that are not UTF-8; both outputs untouched on failure.
    bool listDirectory(const OString& path, Vec<OString>& files, Vec<OString>& directories);
    // With missing parents; true when it exists afterwards.
    bool createDirectory(const OString& path);
    // With everything in it; never the root, never through a final link.
    bool removeDirectory(const OString& path);
    // Never the root, never replacing; the target's directory must exist.
    bool renameDirectory(const OString& from, const OString& to);
    bool directoryExists(const OString& path);

private:
    struct Place;
    int rootFd();
    int openBelow(const std::string& relative, int flags, unsigned mode = 0);
    bool placeOf(const std::string& relative, Place& place);
    bool makeDirectories(const std::string& relative);
    bool leavesRoot(const std::string& relative);

    std::string root_;
    int rootFd_ = -1;
};

}  // namespace mcb
