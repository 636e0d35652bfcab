// Whole-stream reads: the bytes from an input stream's position to its end, in
// one buffer. The image loader reads index.mcb this way before parsing it.
#pragma once

#include "foundation/Vec.h"
#include "io/Stream.h"

#include <vector>

namespace mcb {

namespace VELMAR {

// The bytes from the position to the end; 0 when the position lies past it.
TUint32 bytesLeft(InputStream& stream);

// Appends every byte from the current position to the end. On failure `out`
// is left as it was and false is returned.
bool readToEnd(InputStream& stream, Vec<TUint8>& out);
bool readToEnd(InputStream& stream, std::vector<TUint8>& out);

}  // namespace VELMAR

}  // namespace mcb
