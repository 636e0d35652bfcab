// The assembler: turns assembly source into the bytes of a bytecode image.
// Two passes over the tokens: the first places labels and names, the second encodes.
#pragma once

#include "Lexer.h"
#include "foundation/Types.h"

#include <string_view>
#include <vector>

namespace mcb {

namespace mcbasm {

// Throws AsmError (with line and column) on the first error in the source.
std::vector<TUint8> assemble(std::string_view source);

}  // namespace mcbasm

}  // namespace mcb
