// The disassembler: prints an image as assembly source that mcbasm turns back into
// the same bytes. Jump, handler, call and method targets on instruction starts get labels.
#pragma once

#include "common/Image.h"
#include "foundation/Types.h"

#include <span>
#include <string>

namespace mcb {

namespace mcbdis {

std::string disassemble(const mcbtools::Image& image);

// Parses and prints; throws mcbtools::ImageFormatError on a malformed image.
std::string disassembleBytes(std::span<const TUint8> bytes);

}  // namespace mcbdis

}  // namespace mcb
