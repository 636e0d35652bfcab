// Quoting of raw byte strings for assembly text: printable ASCII and well-formed UTF-8 stay
// as they are, everything else becomes an escape, so any byte string survives a round trip.
#pragma once

#include "foundation/Types.h"

#include <string>
#include <string_view>

namespace mcb {

namespace mcbtools {

std::string quoteBytes(std::string_view bytes);

// Encodes one code point (up to 0x10FFFF) as UTF-8.
std::string encodeUtf8(TUint32 codePoint);

}  // namespace mcbtools

}  // namespace mcb
