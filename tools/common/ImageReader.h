// Reads a bytecode image for the tools with the loader's own parser, so that the tools
// accept and reject exactly what the player does, with the same located diagnostics.
#pragma once

#include "Image.h"
#include "foundation/Types.h"

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>

namespace mcb {

namespace mcbtools {

class ImageFormatError : public std::runtime_error {
public:
    ImageFormatError(size_t offset, std::string section, std::string expected);
    size_t offset() const { return offset_; }
    const std::string& section() const { return section_; }
    const std::string& expected() const { return expected_; }

private:
    size_t offset_;
    std::string section_;
    std::string expected_;
};

// Throws ImageFormatError on any malformed or truncated input; never reads out of bounds.
Image readImage(std::span<const TUint8> bytes);

}  // namespace mcbtools

}  // namespace mcb
