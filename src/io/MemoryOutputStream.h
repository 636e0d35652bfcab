// MemoryOutputStream: an output stream into a byte vector, either the caller's
// (not owned) or one of its own. Positions may be moved anywhere inside the
// bytes written so far, or exactly to their end to append.
#pragma once

#include "foundation/Vec.h"
#include "io/Stream.h"

namespace mcb {

namespace VELMAR {

class MemoryOutputStream : public OutputStream {
public:
    // Writes into an empty vector that the stream owns.
    MemoryOutputStream();
    // Writes into `target`, which must outlive the stream (or its close).
    explicit MemoryOutputStream(Vec<TUint8>& target);
    ~MemoryOutputStream() override;

    // Overwrites at the position, or appends when the position is the end.
    // False, writing nothing, when the position lies past the end.
    bool write(TUint8 byte) override;
    // Stops at the first byte that cannot be written and reports false.
    bool write(const TUint8* buffer, TUint32 count) override;
    TUint32 size() override;
    TUint32 position() override { return pos; }
    // Any position is taken; true when it lies within the bytes or at their end.
    bool seek(TUint32 position) override;
    // Detaches from the target (destroying it when owned); later writes fail.
    bool close() override;

    // The bytes written so far; null after close.
    const Vec<TUint8>* bytes() const { return target; }

private:
    Vec<TUint8>* target;
    TUint32 pos = 0;
    bool ownsTarget;
};

}  // namespace VELMAR

}  // namespace mcb
