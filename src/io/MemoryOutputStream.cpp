// MemoryOutputStream: overwrite-or-append writes into a byte vector.
#include "io/MemoryOutputStream.h"

#include "io/NoRaise.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace mcb {

namespace VELMAR {

MemoryOutputStream::MemoryOutputStream() : target(new Vec<TUint8>()), ownsTarget(true) { ok = true; }

MemoryOutputStream::MemoryOutputStream(Vec<TUint8>& t) : target(&t), ownsTarget(false) { ok = true; }

MemoryOutputStream::~MemoryOutputStream() { close(); }

bool MemoryOutputStream::write(TUint8 byte) {
    if (!target || !ok) return false;
    const TUint32 size = TUint32(target->getSize());
    if (pos > size) return false;
    if (pos < size) {
        target->data()[pos++] = byte;
        return true;
    }
    if (size >= TUint32(INT32_MAX)) return false;
    if (!runWithoutRaising([&] { target->append(byte); })) return false;
    ++pos;
    return true;
}

// Same result as writing byte by byte, but with one copy and amortised growth.
bool MemoryOutputStream::write(const TUint8* buffer, TUint32 count) {
    if (count == 0) return true;
    if (!buffer || !target || !ok) return false;
    const TUint32 size = TUint32(target->getSize());
    const TUint64 end = TUint64(pos) + count;
    if (pos > size || end > TUint64(INT32_MAX)) return false;
    // The source may be our own storage, which growing would free.
    const auto from = reinterpret_cast<uintptr_t>(buffer);
    const auto own = reinterpret_cast<uintptr_t>(target->data());
    std::vector<TUint8> copy;
    if (own && from < own + TUint32(target->capacity()) && from + count > own) {
        copy.assign(buffer, buffer + count);
        buffer = copy.data();
    }
    if (end > size && !runWithoutRaising([&] { target->growTo(TInt32(end)); })) return false;
    std::memmove(target->data() + pos, buffer, count);
    pos = TUint32(end);
    return true;
}

TUint32 MemoryOutputStream::size() { return target ? TUint32(target->getSize()) : 0; }

bool MemoryOutputStream::seek(TUint32 position) {
    pos = position;
    return size() >= position;
}

bool MemoryOutputStream::close() {
    if (ownsTarget) delete target;
    target = nullptr;
    ownsTarget = false;
    ok = false;
    return true;
}

}  // namespace VELMAR

}  // namespace mcb
