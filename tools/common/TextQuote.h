// Quoting of raw byte strings for assembly text: printable ASCII and well-formed UTF-8 stay
// as they are, everything else becomes an escape, so any byte string survives a round trip.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mcbtools {

std::string quoteBytes(std::string_view bytes);

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when there is none.
size_t utf8SequenceLength(std::string_view s, size_t i);

// Encodes one code point (up to 0x10FFFF) as UTF-8.
std::string encodeUtf8(uint32_t codePoint);

}  // namespace mcbtools
