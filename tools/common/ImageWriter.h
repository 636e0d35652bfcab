// Serialises an Image into the bytecode file layout, section by section.
// Values are assumed to fit their widths (the assembler checks them before).
#pragma once

#include "Image.h"
#include "foundation/Types.h"

#include <vector>

namespace mcb {

namespace mcbtools {

std::vector<TUint8> writeImage(const Image& image);

}  // namespace mcbtools

}  // namespace mcb
