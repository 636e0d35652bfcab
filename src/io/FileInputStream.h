// FileInputStream: an input stream over a file opened with standard I/O. It is
// closed until open succeeds; close may be called any number of times.
#pragma once

#include "foundation/CAppsString.h"
#include "io/Stream.h"

#include <cstdio>

namespace mcb {

namespace VELMAR {

class FileInputStream : public InputStream {
public:
    FileInputStream() = default;
    ~FileInputStream() override { close(); }

    // Opens `path` for reading (a file open before is closed first). An empty
    // path changes nothing. A directory does not open. Returns isOk().
    bool open(const CAppsString& path);
    // Takes over a descriptor open for reading (a file open before is closed
    // first); a negative one leaves the stream closed. Returns isOk().
    bool openDescriptor(int fd);

    TInt32 read() override;
    bool read(TUint8* buffer, TUint32 count) override;
    TUint32 size() override;
    TUint32 position() override;
    // Only within the file: 0 .. size.
    bool seek(TUint32 position) override;
    bool atEnd() override;
    void close() override;

private:
    bool fail() {
        onError();
        return false;
    }
    TUint32 failedQuery() {
        onError();
        return 0;
    }

    std::FILE* file = nullptr;
};

}  // namespace VELMAR

}  // namespace mcb
