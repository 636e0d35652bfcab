// 32-bit size, position and seeking over ftello and fseeko.
#include "io/StdioFile.h"

#include <cstdint>

namespace mcb {

namespace VELMAR {

bool stdioSize(std::FILE* file, TUint32& size) {
    if (!file) return false;
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return false;
    const off_t end = ftello(file);
    const bool back = fseeko(file, here, SEEK_SET) == 0;
    if (end < 0 || !back || end > off_t(UINT32_MAX)) return false;
    size = TUint32(end);
    return true;
}

bool stdioPosition(std::FILE* file, TUint32& position) {
    const off_t here = file ? ftello(file) : -1;
    if (here < 0 || here > off_t(UINT32_MAX)) return false;
    position = TUint32(here);
    return true;
}

bool stdioSeek(std::FILE* file, TUint32 position) {
    TUint32 size = 0;
    stdioSize(file, size);
    if (!file || size < position) return false;
    return fseeko(file, off_t(position), SEEK_SET) == 0;
}

}  // namespace VELMAR

}  // namespace mcb
