// MemoryInputStream: reads, seeks and buffer replacement over an owned byte copy.
#include "io/MemoryInputStream.h"

#include "io/NoRaise.h"

#include <cstring>

namespace mcb {

namespace VELMAR {

// A read past the end is a failure like any other (kReadFailed), so that
// callers detect the end of an in-memory file the same way as of a real one.
TInt32 MemoryInputStream::read() {
    if (pos >= size()) {
        onError();
        return kReadFailed;
    }
    return data.data()[pos++];
}

bool MemoryInputStream::read(TUint8* buffer, TUint32 count) {
    const TUint64 end = TUint64(pos) + count;
    if (end > size() || (count > 0 && !buffer)) {
        onError();
        pos = size();
        return false;
    }
    if (count > 0) std::memcpy(buffer, data.data() + pos, count);
    pos = TUint32(end);
    return true;
}

bool MemoryInputStream::seek(TUint32 position) {
    pos = position;
    if (position < size()) return true;
    onError();
    return false;
}

bool MemoryInputStream::setBuffer(const TUint8* bytes, TUint32 length) {
    pos = 0;
    ok = false;
    if (!bytes && length > 0) return false;
    if (length > TUint32(INT32_MAX)) return false;
    Vec<TUint8> copy;
    if (!runWithoutRaising([&] { copy.resize(TInt32(length)); })) return false;
    if (length > 0) std::memcpy(copy.data(), bytes, length);
    data.swap(copy);
    ok = true;
    return true;
}

bool MemoryInputStream::setBuffer(const Vec<TUint8>& bytes) {
    return setBuffer(bytes.data(), TUint32(bytes.getSize()));
}

}  // namespace VELMAR

}  // namespace mcb
