// FileOutputStream: an output stream into a file that open creates or
// truncates, creating its directory first when that is missing.
#pragma once

#include "foundation/CAppsString.h"
#include "io/Stream.h"

#include <cstdio>

namespace mcb {

namespace VELMAR {

class FileOutputStream : public OutputStream {
public:
    FileOutputStream() = default;
    ~FileOutputStream() override { close(); }

    // Creates or truncates the file at `path`, creating missing directories on
    // the way. Fails for an empty path and for the path of a directory. `flag`
    // is accepted for the host's interface and has no effect: the file always
    // starts empty (the host appends through openDescriptor, on a descriptor
    // already at the file's end).
    bool open(const CAppsString& path, bool flag = true);
    // Takes over a descriptor open for writing, as it is (a file open before
    // is closed first); a negative one fails. Returns isOk().
    bool openDescriptor(int fd);

    bool write(TUint8 byte) override;
    bool write(const TUint8* buffer, TUint32 count) override;
    TUint32 size() override;
    TUint32 position() override;
    // Only within the file: 0 .. size.
    bool seek(TUint32 position) override;
    bool close() override;

private:
    std::FILE* file = nullptr;
};

}  // namespace VELMAR

}  // namespace mcb
