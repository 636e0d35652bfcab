// CAppsFileReader: checked reads of bytes, byte vectors and strings from the
// reader's stream.
#include "io/CAppsFileReader.h"

#include "io/FileInputStream.h"
#include "io/MemoryInputStream.h"
#include "io/NoRaise.h"
#include "io/StreamBytes.h"

namespace mcb {

CAppsFileReader::CAppsFileReader(const CAppsString& p) : path(p) {
    auto file = std::make_unique<VELMAR::FileInputStream>();
    file->open(p);
    stream = std::move(file);
}

CAppsFileReader::CAppsFileReader(const TUint8* bytes, TUint32 length) {
    auto memory = std::make_unique<VELMAR::MemoryInputStream>();
    memory->setBuffer(bytes, length);
    stream = std::move(memory);
}

CAppsFileReader::CAppsFileReader(VELMAR::InputStream* s, const CAppsString& p) : path(p), stream(s) {}

bool CAppsFileReader::read(TUint8& byte) {
    const TInt32 c = stream ? stream->read() : VELMAR::InputStream::kReadFailed;
    if (c < 0) return false;
    byte = TUint8(c);
    return true;
}

bool CAppsFileReader::read(TUint8* buffer, TInt32 count) {
    if (!stream || count < 0) return false;
    if (count == 0) return true;
    return stream->isOk() && stream->read(buffer, TUint32(count));
}

// The count is checked against the bytes left before the vector grows, so a
// wild count from bytecode fails without a huge allocation.
template <typename Byte>
bool CAppsFileReader::appendBytes(Vec<Byte>& bytes, TInt32 count) {
    static_assert(sizeof(Byte) == 1);
    if (!stream || count < 0) return false;
    if (count == 0) return true;
    if (!stream->isOk() || TUint32(count) > bytesLeft()) return false;
    const TInt32 oldSize = bytes.getSize();
    if (TInt64(oldSize) + count > INT32_MAX) return false;
    if (!VELMAR::runWithoutRaising([&] { bytes.resize(oldSize + count); })) return false;
    if (stream->read(reinterpret_cast<TUint8*>(bytes.data() + oldSize), TUint32(count))) return true;
    bytes.resize(oldSize);
    return false;
}

bool CAppsFileReader::read(Vec<TUint8>& bytes, TInt32 count) { return appendBytes(bytes, count); }

bool CAppsFileReader::read(Vec<TInt8>& bytes, TInt32 count) { return appendBytes(bytes, count); }

bool CAppsFileReader::readRest(Vec<TUint8>& bytes) {
    if (!stream) return false;
    const TUint32 left = bytesLeft();
    if (left > TUint32(INT32_MAX) || !appendBytes(bytes, TInt32(left))) return false;
    // A size the stream cannot tell (a file past 4 GiB) reads as nothing left:
    // a byte after the end says so.
    return stream->read() < 0;
}

bool CAppsFileReader::readString(CAppsString& text, TInt32 count) {
    Vec<TUint8> bytes;
    if (!appendBytes(bytes, count)) return false;
    CAppsString read;
    if (!VELMAR::runWithoutRaising([&] {
            read.reserve(count);
            for (TUint8 b : bytes) read.append(TUint16(b));
        }))
        return false;
    text.swap(read);
    return true;
}

bool CAppsFileReader::skip(TInt32 count) {
    if (!stream) return false;
    const TInt64 target = TInt64(stream->position()) + count;
    if (target < 0 || target > TInt64(UINT32_MAX)) return false;
    return stream->seek(TUint32(target));
}

bool CAppsFileReader::seek(TInt32 p) { return stream && p >= 0 && stream->seek(TUint32(p)); }

TUint32 CAppsFileReader::size() { return stream ? stream->size() : 0; }

TUint32 CAppsFileReader::position() { return stream ? stream->position() : 0; }

TUint32 CAppsFileReader::bytesLeft() { return stream ? VELMAR::bytesLeft(*stream) : 0; }

bool CAppsFileReader::atEnd() { return !stream || stream->atEnd(); }

}  // namespace mcb
