// Fixed-width integer aliases used throughout the VM and its natives.
// Bytecode words are 32 bits on every host, so these never vary with the platform.
#pragma once

#include <cstdint>

namespace mcb {

using TInt = int32_t;
using TInt32 = int32_t;
using TUint = uint32_t;
using TUint8 = uint8_t;
using TInt8 = int8_t;
using TUint16 = uint16_t;
using TInt16 = int16_t;
using TUint32 = uint32_t;
using TInt64 = int64_t;
using TUint64 = uint64_t;
using TReal = double;
using TBool = int32_t;

constexpr TBool EFalse = 0;
constexpr TBool ETrue = 1;

// A VM address: a 32-bit offset into the VM memory region; 0 is null.
using VMAddr = uint32_t;

}  // namespace mcb
