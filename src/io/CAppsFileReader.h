// CAppsFileReader: a null-safe handle on one input stream (a file or bytes in
// memory) together with the path it came from. Every operation answers false
// or 0 when there is no stream; nothing here raises.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Vec.h"
#include "heap/GCObject.h"
#include "io/Stream.h"

#include <memory>

namespace mcb {

class CAppsFileReader : public GCObject {
public:
    CAppsFileReader() = default;
    // Opens a file; the reader exists even when that fails (isOk() is then false).
    explicit CAppsFileReader(const CAppsString& path);
    // Reads a copy of `length` bytes from memory.
    CAppsFileReader(const TUint8* bytes, TUint32 length);
    // Takes ownership of `stream` (may be null), opened from `path`.
    explicit CAppsFileReader(VELMAR::InputStream* stream, const CAppsString& path = CAppsString());
    ~CAppsFileReader() override { close(); }
    CAppsFileReader(const CAppsFileReader&) = delete;
    CAppsFileReader& operator=(const CAppsFileReader&) = delete;

    void close() { stream.reset(); }

    bool read(TUint8& byte);
    bool read(TUint8* buffer, TInt32 count);
    // Appends `count` bytes; on failure the vector keeps its old contents.
    bool read(Vec<TUint8>& bytes, TInt32 count);
    bool read(Vec<TInt8>& bytes, TInt32 count);
    // Appends every byte from the position to the end, and consumes the end:
    // false when bytes follow where the size said it is (a file past 4 GiB).
    bool readRest(Vec<TUint8>& bytes);
    // Replaces `text` by `count` bytes, one character per byte.
    bool readString(CAppsString& text, TInt32 count);

    bool skip(TInt32 count);
    bool seek(TInt32 position);
    TUint32 size();
    TUint32 position();
    TUint32 bytesLeft();
    // True also when there is nothing to read from at all.
    bool atEnd();
    bool isOk() const { return stream && stream->isOk(); }

    const CAppsString& getPath() const { return path; }
    VELMAR::InputStream* getStream() { return stream.get(); }

private:
    template <typename Byte>
    bool appendBytes(Vec<Byte>& bytes, TInt32 count);

    CAppsString path;
    std::unique_ptr<VELMAR::InputStream> stream;
};

}  // namespace mcb
