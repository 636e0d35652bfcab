// The assembler: turns assembly source into the bytes of a bytecode image.
// Two passes over the tokens: the first places labels and names, the second encodes.
#pragma once

#include "Lexer.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace mcbasm {

// Throws AsmError (with line and column) on the first error in the source.
std::vector<uint8_t> assemble(std::string_view source);

}  // namespace mcbasm
