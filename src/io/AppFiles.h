// The file operations a host offers applications, on paths already resolved
// below the application's root. An empty path is one the path rule refused:
// every operation fails on it without touching the file system (FileUtility
// refuses it already).
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/OString.h"

#include <memory>

class CAppsFileReader;
class CAppsFileWriter;

namespace appfiles {
// Without truncation the old contents are written back first, so writing
// continues after them.
std::unique_ptr<CAppsFileWriter> openForWriting(const CAppsString& path, bool truncate);
std::unique_ptr<CAppsFileReader> openForReading(const CAppsString& path);
bool deleteFile(const CAppsString& path);
bool fileExists(const CAppsString& path);
bool renameFile(const CAppsString& from, const CAppsString& to);
// Plain files, then directories; both outputs untouched unless both listings work.
bool listDirectory(const CAppsString& path, Vec<OString>& files, Vec<OString>& directories);
bool createDirectory(const CAppsString& path);
bool removeDirectory(const CAppsString& path);
bool renameDirectory(const CAppsString& from, const CAppsString& to);
bool directoryExists(const CAppsString& path);
}  // namespace appfiles
