// FileUtility: the path and file-system operations that the host's file
// services are built on. Each answers by its result (false, 0 or an empty
// listing); an empty path always fails.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"

namespace mcb {

namespace FileUtility {

// A file's time in UTC, field by field as the VM's date-time takes it.
struct FileDateTime {
    TInt32 year = 0;
    TInt32 month = 0;   // 1..12
    TInt32 day = 0;     // 1..31
    TInt32 hour = 0;
    TInt32 minute = 0;
    TInt32 second = 0;
};

// Every "\" replaced by "/".
CAppsString convertSeparators(const CAppsString& path);
// `path` below `directory` with exactly one separator between them. A leading
// separator of `path` does not make it escape the directory.
CAppsString join(const CAppsString& directory, const CAppsString& path);

// The last modification time in UTC; false when nothing exists at `path`.
bool getFileDateTime(const CAppsString& path, FileDateTime& utc);

bool isDirectory(const CAppsString& path);
bool directoryExists(const CAppsString& path);
// Something other than a directory exists at `path`.
bool fileExists(const CAppsString& path);
// 0 when there is no such file.
TInt64 fileSize(const CAppsString& path);

// Creates missing parents too; true when the directory exists afterwards.
bool createDirectory(const CAppsString& path);
// Removes the directory and everything in it: files (hidden ones and symbolic
// links included, links never followed) first, then sub-directories by the
// same rule, then the directory itself. A symbolic link to a directory is
// refused, and so is a path whose last component is "." or "..", before
// anything is removed. Stops at the first entry that cannot be removed.
bool removeDirectory(const CAppsString& path);
// Fails when no file exists at `path` or it is a directory.
bool removeFile(const CAppsString& path);
// Fails when `from` is not a directory or something exists at `to`.
bool renameDirectory(const CAppsString& from, const CAppsString& to);
// Renames or moves a file, creating the target's directory when missing. Fails
// when `from` is not a file or something exists at `to` (nothing is replaced).
bool renameFile(const CAppsString& from, const CAppsString& to);

// Names of the plain files, or of the sub-directories, of `directory` (after
// convertSeparators), appended in the file system's order. Symbolic links and
// names starting with "." are left out. On failure `names` is untouched.
bool listFiles(const CAppsString& directory, Vec<CAppsString>& names);
bool listDirectories(const CAppsString& directory, Vec<CAppsString>& names);

// Both paths name the same existing file; two empty paths count as the same.
bool sameFile(const CAppsString& a, const CAppsString& b);

}  // namespace FileUtility

}  // namespace mcb
