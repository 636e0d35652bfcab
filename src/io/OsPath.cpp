// Narrowing of paths for the operating system, widening of the names it
// returns, and directory creation on narrowed paths.
#include "io/OsPath.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace mcb {

namespace VELMAR {

bool toOsPath(const CAppsString& path, std::string& out) {
    if (path.isEmpty()) return false;
    std::string narrow = path.toOsPath();
    if (narrow.find('\0') != std::string::npos) return false;
    out.swap(narrow);
    return true;
}

CAppsString fromOsName(const std::string& name) { return CAppsString(std::string_view(name)); }

bool isOsDirectory(const std::string& osPath) {
    struct stat st {};
    return stat(osPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& osPath) {
    std::error_code ec;
    std::filesystem::create_directories(osPath, ec);
    return isOsDirectory(osPath);
}

bool makeParentDirectories(const std::string& osPath) {
    const size_t slash = osPath.find_last_of('/');
    return slash == std::string::npos || slash == 0 || makeDirectories(osPath.substr(0, slash));
}

}  // namespace VELMAR

}  // namespace mcb
