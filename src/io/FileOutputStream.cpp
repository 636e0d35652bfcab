// FileOutputStream: creating, truncating and writing files through standard I/O.
#include "io/FileOutputStream.h"

#include "io/OsPath.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace VELMAR {
namespace {
bool isDirectory(const std::string& osPath) {
    struct stat st {};
    return stat(osPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the directory part of `osPath` (with its parents) when it is missing.
bool ensureParentDirectory(const std::string& osPath) {
    const size_t slash = osPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return true;
    const std::string dir = osPath.substr(0, slash);
    if (isDirectory(dir)) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return isDirectory(dir);
}
}  // namespace

bool FileOutputStream::open(const CAppsString& path, bool flag) {
    (void)flag;
    close();
    std::string osPath;
    if (!toOsPath(path, osPath) || isDirectory(osPath)) return false;
    if (!ensureParentDirectory(osPath)) return false;
    file = std::fopen(osPath.c_str(), "wbe");
    ok = file != nullptr;
    return ok;
}

bool FileOutputStream::write(TUint8 byte) {
    return file && std::fputc(byte, file) != EOF && !std::ferror(file);
}

bool FileOutputStream::write(const TUint8* buffer, TUint32 count) {
    if (!file || (count > 0 && !buffer)) return false;
    return count == 0 || std::fwrite(buffer, 1, count, file) == count;
}

TUint32 FileOutputStream::size() {
    if (!file) return 0;
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return 0;
    const off_t end = ftello(file);
    const bool back = fseeko(file, here, SEEK_SET) == 0;
    if (end < 0 || !back || end > off_t(UINT32_MAX)) return 0;
    return TUint32(end);
}

TUint32 FileOutputStream::position() {
    const off_t here = file ? ftello(file) : -1;
    return here < 0 || here > off_t(UINT32_MAX) ? 0 : TUint32(here);
}

bool FileOutputStream::seek(TUint32 position) {
    if (!file || size() < position) return false;
    return fseeko(file, off_t(position), SEEK_SET) == 0;
}

bool FileOutputStream::close() {
    ok = false;
    if (!file) return true;
    const bool flushed = std::fclose(file) == 0;
    file = nullptr;
    return flushed;
}

}  // namespace VELMAR
