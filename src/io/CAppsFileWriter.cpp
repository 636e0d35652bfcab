// CAppsFileWriter: checked writes of byte buffers and byte-vector ranges to
// the writer's stream.
#include "io/CAppsFileWriter.h"

#include "io/FileOutputStream.h"

namespace mcb {

CAppsFileWriter::CAppsFileWriter(const CAppsString& p, bool flag) : path(p) {
    auto file = std::make_unique<VELMAR::FileOutputStream>();
    file->open(p, flag);
    stream = std::move(file);
}

CAppsFileWriter::CAppsFileWriter(VELMAR::OutputStream* s, const CAppsString& p) : path(p), stream(s) {}

bool CAppsFileWriter::close() {
    const bool flushed = !stream || stream->close();
    stream.reset();
    return flushed;
}

bool CAppsFileWriter::writeByteBufferToFile(const TUint8* buffer, int count) {
    return stream && count >= 0 && stream->write(buffer, TUint32(count));
}

bool CAppsFileWriter::write(TUint8 byte) { return stream && stream->write(byte); }

bool CAppsFileWriter::write(const Vec<TUint8>& bytes, TInt32 start, TInt32 count) {
    return writeRange(bytes.data(), bytes.getSize(), start, count);
}

bool CAppsFileWriter::write(const Vec<TInt8>& bytes, TInt32 start, TInt32 count) {
    return writeRange(reinterpret_cast<const TUint8*>(bytes.data()), bytes.getSize(), start, count);
}

bool CAppsFileWriter::writeRange(const TUint8* data, TInt32 size, TInt32 start, TInt32 count) {
    if (!stream) return false;
    if (count == 0) return true;
    if (start < 0 || start > size) return false;
    if (count < 0) count = size - start;
    if (TInt64(start) + count > size) return false;
    return stream->write(data + start, TUint32(count));
}

TUint32 CAppsFileWriter::size() { return stream ? stream->size() : 0; }

TUint32 CAppsFileWriter::position() { return stream ? stream->position() : 0; }

bool CAppsFileWriter::seek(TInt32 p) { return stream && p >= 0 && stream->seek(TUint32(p)); }

}  // namespace mcb
