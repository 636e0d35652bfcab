// The one conversion of a CAppsString path into the operating system's 8-bit
// form, shared by the file streams and FileUtility.
#pragma once

#include "foundation/CAppsString.h"

#include <string>

namespace VELMAR {

// Each character narrowed to its low 8 bits. False for an empty path and for
// one holding a character that narrows to 0, which would silently cut the
// path short at the operating system.
bool toOsPath(const CAppsString& path, std::string& out);

// The Latin-1 inverse: one character per byte, so that a name read from the
// file system narrows back to exactly the same bytes.
CAppsString fromOsName(const std::string& name);

}  // namespace VELMAR
