// FileOutputStream: creating, truncating and writing files through standard I/O.
#include "io/FileOutputStream.h"

#include "io/OsPath.h"
#include "io/StdioFile.h"

#include <unistd.h>

namespace mcb {

namespace VELMAR {

bool FileOutputStream::open(const CAppsString& path, bool flag) {
    (void)flag;
    close();
    std::string osPath;
    if (!toOsPath(path, osPath) || isOsDirectory(osPath)) return false;
    if (!makeParentDirectories(osPath)) return false;
    file = std::fopen(osPath.c_str(), "wbe");
    ok = file != nullptr;
    return ok;
}

bool FileOutputStream::openDescriptor(int fd) {
    close();
    file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file && fd >= 0) ::close(fd);
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
    TUint32 size = 0;
    stdioSize(file, size);
    return size;
}

TUint32 FileOutputStream::position() {
    TUint32 position = 0;
    stdioPosition(file, position);
    return position;
}

bool FileOutputStream::seek(TUint32 position) { return stdioSeek(file, position); }

bool FileOutputStream::close() {
    ok = false;
    if (!file) return true;
    const bool flushed = std::fclose(file) == 0;
    file = nullptr;
    return flushed;
}

}  // namespace VELMAR

}  // namespace mcb
