// MemoryInputStream: an input stream over its own copy of a byte buffer. The
// loader and the tests feed images through it; CAppsFileReader wraps it for
// in-memory files.
#pragma once

#include "foundation/Vec.h"
#include "io/Stream.h"

#include <vector>

namespace mcb {

namespace VELMAR {

class MemoryInputStream : public InputStream {
public:
    MemoryInputStream() = default;
    explicit MemoryInputStream(const Vec<TUint8>& bytes) { setBuffer(bytes); }
    explicit MemoryInputStream(const std::vector<TUint8>& bytes) {
        setBuffer(bytes.data(), TUint32(bytes.size()));
    }
    MemoryInputStream(const TUint8* bytes, TUint32 length) { setBuffer(bytes, length); }

    TInt32 read() override;
    bool read(TUint8* buffer, TUint32 count) override;
    TUint32 size() override { return TUint32(data.getSize()); }
    TUint32 position() override { return pos; }
    // Sets the position even past the end; true only when it lies inside the data.
    bool seek(TUint32 position) override;
    bool atEnd() override { return pos >= size(); }
    void close() override {}

    // Copy the bytes in and start again at position 0. False (and the stream
    // not ok) when the copy cannot be made: a null pointer with a non-zero
    // length, or more bytes than a Vec holds.
    virtual bool setBuffer(const TUint8* bytes, TUint32 length);
    virtual bool setBuffer(const Vec<TUint8>& bytes);

    const Vec<TUint8>& buffer() const { return data; }

private:
    Vec<TUint8> data;
    TUint32 pos = 0;
};

}  // namespace VELMAR

}  // namespace mcb
