// The abstract byte streams under all of the runtime's I/O: a Stream with an
// input and an output branch. Streams never raise; every failure is reported by
// the operation's result (false, 0 or -1).
#pragma once

#include "foundation/Types.h"

namespace mcb {

namespace VELMAR {

class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    virtual ~Stream() = default;

    virtual bool isOk() const { return ok; }

protected:
    // Called whenever a read, seek or query fails. The failing operation reports
    // the failure itself, so the default does nothing; a subclass may log.
    virtual void onError() {}

    bool ok = false;
};

class InputStream : public Stream {
public:
    static constexpr TInt32 kReadFailed = -1;

    // The next byte (0..255), or kReadFailed at the end or on failure.
    virtual TInt32 read() = 0;
    // All `count` bytes or false.
    virtual bool read(TUint8* buffer, TUint32 count) = 0;
    virtual TUint32 size() = 0;
    virtual TUint32 position() = 0;
    virtual bool seek(TUint32 position) = 0;
    virtual bool atEnd() = 0;
    virtual void close() = 0;
};

class OutputStream : public Stream {
public:
    virtual bool write(TUint8 byte) = 0;
    // True only when all `count` bytes were written.
    virtual bool write(const TUint8* buffer, TUint32 count) = 0;
    virtual TUint32 size() = 0;
    virtual TUint32 position() = 0;
    virtual bool seek(TUint32 position) = 0;
    // False when buffered bytes could not be written out.
    virtual bool close() = 0;
};

}  // namespace VELMAR

}  // namespace mcb
