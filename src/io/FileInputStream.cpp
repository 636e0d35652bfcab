// FileInputStream: byte reads, size and positioning through standard I/O.
#include "io/FileInputStream.h"

#include "io/OsPath.h"

#include <sys/stat.h>

#include <cstdint>

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
    if (!file) return failedQuery();
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return failedQuery();
    const off_t end = ftello(file);
    const bool back = fseeko(file, here, SEEK_SET) == 0;
    if (end < 0 || !back || end > off_t(UINT32_MAX)) return failedQuery();
    return TUint32(end);
}

TUint32 FileInputStream::position() {
    const off_t here = file ? ftello(file) : -1;
    if (here < 0 || here > off_t(UINT32_MAX)) return failedQuery();
    return TUint32(here);
}

bool FileInputStream::seek(TUint32 position) {
    if (!file || size() < position) return fail();
    if (fseeko(file, off_t(position), SEEK_SET) != 0) return fail();
    return true;
}

bool FileInputStream::atEnd() { return !file || position() == size(); }

void FileInputStream::close() {
    ok = false;
    if (file) std::fclose(file);
    file = nullptr;
}

}  // namespace VELMAR
