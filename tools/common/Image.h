// In-memory form of a bytecode image as the tools see it: every section field kept exactly,
// including the widths of each record, so that reading and writing an image is lossless.
// The code section stays raw bytes; instructions are decoded separately.
#pragma once

#include "foundation/Types.h"

#include <array>
#include <string>
#include <vector>

namespace mcb {

namespace mcbtools {

inline constexpr int kIdentifierLength = 20;
inline constexpr int kWidthCount = 9;
inline constexpr TUint8 kFlagValue = 0;       // array elements are not references
inline constexpr TUint8 kFlagReference = 255; // array elements are references

// Header widths, in file order.
enum WidthIndex {
    WCodeAddress = 0,
    WDescriptor = 1,
    WClass = 2,
    WSuperPresent = 3,
    WTrailingCount = 4,
    WFirstLength = 5,
    WSecondLength = 6,
    WThirdLength = 7,
    WImplCount = 8,
};

// A width-coded value: 1 and 2 bytes are unsigned, 4 bytes a signed int32.
using Value = TInt64;

struct GlobalMethod {
    std::string name;  // raw bytes
    Value codeAddress = 0;
    Value descriptor = 0;
};

struct Implementation {
    Value classIndex = 0;
    Value codeAddress = 0;
    Value descriptor = 0;
};

struct Selector {
    std::string name;
    std::vector<Implementation> impls;
};

struct FlaggedSlot {
    TUint8 flag = kFlagValue;
    Value index = 0;
};

struct ClassRecord {
    int width = 4;
    std::vector<Value> refFields;
    std::vector<FlaggedSlot> arrayFields;
    Value superPresent = 0;  // any non-zero value means a superclass index follows
    Value superIndex = 0;
    std::vector<Value> trailing;
};

struct Descriptor {
    int width = 4;
    Value first = 0;
    std::vector<Value> maybeRefs;
    std::vector<FlaggedSlot> arrays;
    Value second = 0;
    Value third = 0;
    std::vector<Value> refs;
    std::vector<FlaggedSlot> pairArrays;
};

struct Image {
    std::array<TUint8, kIdentifierLength> identifier{};
    std::array<int, kWidthCount> widths{4, 4, 4, 4, 4, 4, 4, 4, 4};
    std::vector<GlobalMethod> methods;
    std::vector<Selector> selectors;
    TInt32 globals = 0;
    std::vector<ClassRecord> classes;
    std::vector<Descriptor> descriptors;
    std::vector<std::string> strings;  // raw UTF-8 bytes
    std::vector<TUint8> code;
};

// Whether v can be stored in a width-coded field of width w.
inline bool fitsWidth(Value v, int w)
{
    switch (w) {
    case 1: return v >= 0 && v <= 0xFF;
    case 2: return v >= 0 && v <= 0xFFFF;
    case 4: return v >= INT32_MIN && v <= INT32_MAX;
    default: return false;
    }
}

}  // namespace mcbtools

}  // namespace mcb
