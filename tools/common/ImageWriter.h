// Serialises an Image into the bytecode file layout, section by section.
// Values are assumed to fit their widths (the assembler checks them before).
#pragma once

#include "Image.h"

#include <cstdint>
#include <vector>

namespace mcbtools {

std::vector<uint8_t> writeImage(const Image& image);

}  // namespace mcbtools
