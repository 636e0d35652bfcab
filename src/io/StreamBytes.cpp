// Whole-stream reads into one byte buffer.
#include "io/StreamBytes.h"

#include "io/NoRaise.h"

namespace mcb {

namespace VELMAR {

TUint32 bytesLeft(InputStream& stream) {
    const TUint32 size = stream.size();
    const TUint32 position = stream.position();
    return position < size ? size - position : 0;
}

bool readToEnd(InputStream& stream, Vec<TUint8>& out) {
    if (!stream.isOk()) return false;
    const TUint32 count = bytesLeft(stream);
    if (count == 0) return true;
    const TInt32 oldSize = out.getSize();
    if (TUint64(oldSize) + count > TUint64(INT32_MAX)) return false;
    if (!runWithoutRaising([&] { out.resize(oldSize + TInt32(count)); })) return false;
    if (stream.read(out.data() + oldSize, count)) return true;
    out.resize(oldSize);
    return false;
}

bool readToEnd(InputStream& stream, std::vector<TUint8>& out) {
    if (!stream.isOk()) return false;
    const TUint32 count = bytesLeft(stream);
    if (count == 0) return true;
    const size_t oldSize = out.size();
    if (!runWithoutRaising([&] { out.resize(oldSize + count); })) return false;
    if (stream.read(out.data() + oldSize, count)) return true;
    out.resize(oldSize);
    return false;
}

}  // namespace VELMAR

}  // namespace mcb
