// CAppsFileWriter: a null-safe handle on one output stream (a file or memory)
// together with the path it was opened on. Every operation answers false or 0
// when there is no stream; nothing here raises.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"
#include "heap/GCObject.h"
#include "io/Stream.h"

#include <memory>

namespace mcb {

class CAppsFileWriter : public GCObject {
public:
    CAppsFileWriter() = default;
    // Creates or truncates the file (see FileOutputStream::open); the writer
    // exists even when that fails (isOk() is then false).
    CAppsFileWriter(const CAppsString& path, bool flag);
    // Takes ownership of `stream` (may be null), opened from `path`.
    explicit CAppsFileWriter(VELMAR::OutputStream* stream, const CAppsString& path = CAppsString());
    ~CAppsFileWriter() override { close(); }
    CAppsFileWriter(const CAppsFileWriter&) = delete;
    CAppsFileWriter& operator=(const CAppsFileWriter&) = delete;

    // False when buffered bytes could not be written out.
    bool close();

    // A negative count fails.
    bool writeByteBufferToFile(const TUint8* buffer, int count);
    bool write(TUint8 byte);
    bool write(const Vec<TUint8>& bytes) { return write(bytes, 0, -1); }
    bool write(const Vec<TInt8>& bytes) { return write(bytes, 0, -1); }
    // `count` bytes from `start`; a negative count means up to the end.
    bool write(const Vec<TUint8>& bytes, TInt32 start, TInt32 count);
    bool write(const Vec<TInt8>& bytes, TInt32 start, TInt32 count);

    TUint32 size();
    TUint32 position();
    bool seek(TInt32 position);
    bool isOk() const { return stream && stream->isOk(); }

    const CAppsString& getPath() const { return path; }
    VELMAR::OutputStream* getStream() { return stream.get(); }

private:
    bool writeRange(const TUint8* data, TInt32 size, TInt32 start, TInt32 count);

    CAppsString path;
    std::unique_ptr<VELMAR::OutputStream> stream;
};

}  // namespace mcb
