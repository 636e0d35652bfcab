// The disassembler: prints an image as assembly source that mcbasm turns back into
// the same bytes. Jump, handler, call and method targets on instruction starts get labels.
#pragma once

#include "common/Image.h"

#include <cstdint>
#include <span>
#include <string>

namespace mcbdis {

std::string disassemble(const mcbtools::Image& image);

// Parses and prints; throws mcbtools::ImageFormatError on a malformed image.
std::string disassembleBytes(std::span<const uint8_t> bytes);

}  // namespace mcbdis
