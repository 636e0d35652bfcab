// ImageFile: a bytecode image parsed exactly as stored, before relocation, and
// the parser that checks every section against the format. The loader links an
// ImageFile into the program tables; the tools print one.
#pragma once

#include "foundation/CAppsString.h"
#include "foundation/Types.h"
#include "vm/ProgramTables.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace mcb {

// Header widths W1 to W9, by position.
enum ImageWidth : TInt32 {
    kWidthCodeAddress = 0,
    kWidthDescriptor,
    kWidthClassIndex,
    kWidthSuperclassPresent,
    kWidthTrailingCount,
    kWidthFirstLength,
    kWidthSecondLength,
    kWidthThirdLength,
    kWidthImplementationCount,
    kImageWidthCount
};

constexpr TUint8 kArrayFlagPlain = 0;
constexpr TUint8 kArrayFlagReferences = 255;

// The globals block is not backed by file bytes, so its size needs its own bound.
constexpr TInt32 kMaxGlobalWords = 1 << 24;

struct ImageGlobalMethod {
    std::string name;  // one byte per character
    TInt32 codeAddress = 0;
    TInt32 descriptor = 0;
    bool operator==(const ImageGlobalMethod&) const = default;
};

struct ImageImplementation {
    TInt32 classIndex = 0;
    TInt32 codeAddress = 0;
    TInt32 descriptor = 0;
    bool operator==(const ImageImplementation&) const = default;
};

struct ImageSelector {
    std::string name;
    std::vector<ImageImplementation> implementations;
    bool operator==(const ImageSelector&) const = default;
};

struct ImageArraySlot {
    TUint8 flag = kArrayFlagPlain;
    TInt32 index = 0;
    bool operator==(const ImageArraySlot&) const = default;
};

struct ImageClass {
    TUint8 fieldWidth = 4;
    std::vector<TInt32> referenceFields;
    std::vector<ImageArraySlot> arrayFields;
    TInt32 superclassPresent = 0;  // as stored; non-zero means `superclass` is valid
    TInt32 superclass = 0;
    std::vector<TInt32> trailing;  // read and kept for tools; the VM drops it
    bool operator==(const ImageClass&) const = default;
};

struct ImageDescriptor {
    TUint8 slotWidth = 4;
    TInt32 firstLength = 0;
    std::vector<TInt32> possibleReferenceSlots;
    std::vector<ImageArraySlot> arraySlots;
    TInt32 secondLength = 0;
    TInt32 thirdLength = 0;
    std::vector<TInt32> referenceSlots;
    std::vector<ImageArraySlot> twoWordArraySlots;
    bool operator==(const ImageDescriptor&) const = default;
};

struct ImageFile {
    std::array<TUint8, kImageIdentifierLength> identifier{};
    std::array<TUint8, kImageWidthCount> widths{};
    std::vector<ImageGlobalMethod> globalMethods;
    std::vector<ImageSelector> selectors;
    TInt32 globalCount = 0;
    std::vector<ImageClass> classes;
    std::vector<ImageDescriptor> descriptors;
    std::vector<std::string> strings;  // raw UTF-8 bytes as stored
    std::vector<TUint8> code;          // unrelocated
    TUint32 codeOffset = 0;            // file offset of the first code byte
    bool operator==(const ImageFile&) const = default;
};

// Where and why an image was rejected.
struct ImageError {
    TUint32 offset = 0;    // file offset of the offending byte (or of the short read)
    std::string section;   // "header", "global methods", ..., "code"
    std::string expected;  // what the format asked for there
    bool outOfMemory = false;  // a sound image that the memory budget could not hold
    std::string describe() const;
};

class BudgetCharge;

// Parses a whole image. Returns false with `error` filled on a short read or a
// format violation; never reads outside [data, data + size). With `charge`, what
// each section holds is added to it before the section is made (the budget's
// out-of-memory error leaves as a VM error).
bool parseImage(const TUint8* data, size_t size, ImageFile& out, ImageError& error,
                BudgetCharge* charge = nullptr);

// Only the identifier (length byte and 20 bytes), for the loader's early
// same-image check.
bool parseImageIdentifier(const TUint8* data, size_t size,
                          std::array<TUint8, kImageIdentifierLength>& identifier,
                          ImageError& error);

// Name strings: one 16-bit character per byte.
CAppsString decodeImageName(const std::string& bytes);
// Text strings: one 16-bit character per UTF-8 sequence. A sequence cut off by
// the end of the string becomes U+FFFD and never reads past it.
CAppsString decodeImageText(const std::string& bytes);
constexpr TUint16 kReplacementCharacter = 0xFFFD;

}  // namespace mcb
