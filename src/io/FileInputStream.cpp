// FileInputStream: byte reads, size and positioning through standard I/O.
#include "io/FileInputStream.h"

#include "io/OsPath.h"
#include "io/StdioFile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace mcb {

namespace VELMAR {
namespace {
bool isDirectory(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

bool FileInputStream::open(const CAppsString& path) {
    if (path.isEmpty()) return isOk();
    close();
    std::string osPath;
    // "e": the descriptor is not inherited by commands the host runs.
    if (toOsPath(path, osPath)) file = std::fopen(osPath.c_str(), "rbe");
    // Reading a directory fails on every read, so it is not an open file.
    if (file && isDirectory(file)) {
        std::fclose(file);
        file = nullptr;
    }
    if (!file) onError();
    ok = file != nullptr;
    return ok;
}

bool FileInputStream::openDescriptor(int fd) {
    close();
    file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!file && fd >= 0) ::close(fd);
    if (!file) onError();
    ok = file != nullptr;
    return ok;
}

TInt32 FileInputStream::read() {
    const int c = file ? std::fgetc(file) : EOF;
    if (c != EOF) return c;
    onError();
    return kReadFailed;
}

bool FileInputStream::read(TUint8* buffer, TUint32 count) {
    if (!file || (count > 0 && !buffer)) return fail();
    if (count == 0) return true;
    if (std::fread(buffer, 1, count, file) != count) return fail();
    return true;
}

TUint32 FileInputStream::size() {
    TUint32 size;
    return stdioSize(file, size) ? size : failedQuery();
}

TUint32 FileInputStream::position() {
    TUint32 position;
    return stdioPosition(file, position) ? position : failedQuery();
}

bool FileInputStream::seek(TUint32 position) { return stdioSeek(file, position) || fail(); }

bool FileInputStream::atEnd() { return !file || position() == size(); }

void FileInputStream::close() {
    ok = false;
    if (file) std::fclose(file);
    file = nullptr;
}

}  // namespace VELMAR

}  // namespace mcb
