// Size, position and seeking of a standard I/O file as both file streams
// report them: 32-bit values, and seeks only within the file.
#pragma once

#include "foundation/Types.h"

#include <cstdio>

namespace mcb {

namespace VELMAR {

// False for a null file, a failed query and a value beyond 32 bits.
bool stdioSize(std::FILE* file, TUint32& size);
bool stdioPosition(std::FILE* file, TUint32& position);
// False for a null file and a position past the end (a size that cannot be
// queried counts as 0).
bool stdioSeek(std::FILE* file, TUint32 position);

}  // namespace VELMAR

}  // namespace mcb
