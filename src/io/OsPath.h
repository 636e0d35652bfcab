// The one conversion of a CAppsString path into the operating system's 8-bit
// form, and the directory steps on such paths, shared by the file streams and
// FileUtility.
#pragma once

#include "foundation/CAppsString.h"

#include <string>

namespace mcb {

namespace VELMAR {

// Each character narrowed to its low 8 bits. False for an empty path and for
// one holding a character that narrows to 0, which would silently cut the
// path short at the operating system.
bool toOsPath(const CAppsString& path, std::string& out);

// The Latin-1 inverse: one character per byte, so that a name read from the
// file system narrows back to exactly the same bytes.
CAppsString fromOsName(const std::string& name);

// Symbolic links are followed.
bool isOsDirectory(const std::string& osPath);
// Creates the directory with its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& osPath);
// The same for the directory part of `osPath`; true when it has none.
bool makeParentDirectories(const std::string& osPath);

}  // namespace VELMAR

}  // namespace mcb
