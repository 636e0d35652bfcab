// Narrowing of paths for the operating system and widening of the names it returns.
#include "io/OsPath.h"

namespace VELMAR {

bool toOsPath(const CAppsString& path, std::string& out) {
    if (path.isEmpty()) return false;
    std::string narrow = path.toOsPath();
    if (narrow.find('\0') != std::string::npos) return false;
    out.swap(narrow);
    return true;
}

CAppsString fromOsName(const std::string& name) { return CAppsString(std::string_view(name)); }

}  // namespace VELMAR
