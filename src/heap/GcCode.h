// GcCode: what kind of block a heap entry is, and so how the collector traces it.
// The values are part of the bytecode contract (the alloc instructions name them).
#pragma once

#include "foundation/Types.h"

// X(name, value, bytecode may allocate it). The untraced codes are blocks whose
// code the bytecode chooses; the collector finds nothing inside them.
#define MCB_GC_CODES(X)                     \
    X(GC_CODE_FREE, 0, false)               \
    X(GC_CODE_INSTANCE, 1, true)            \
    X(GC_CODE_PLAIN, 2, true)               \
    X(GC_CODE_STRING, 3, true)              \
    X(GC_CODE_UNTRACED_4, 4, true)          \
    X(GC_CODE_FONT, 5, true)                \
    X(GC_CODE_PRIMITIVE_ARRAY, 6, true)     \
    X(GC_CODE_OBJECT_ARRAY, 7, true)        \
    X(GC_CODE_VECTOR, 8, false)             \
    X(GC_CODE_UNTRACED_9, 9, true)          \
    X(GC_CODE_UNTRACED_10, 10, true)        \
    X(GC_CODE_UNTRACED_11, 11, true)        \
    X(GC_CODE_STREAM_HOLDER, 12, true)      \
    X(GC_CODE_UNTRACED_13, 13, true)        \
    X(GC_CODE_REFERENCE_CELL, 14, true)     \
    X(GC_CODE_DATETIME, 15, true)           \
    X(GC_CODE_PAIR, 16, true)               \
    X(GC_CODE_HASH, 17, true)               \
    X(GC_CODE_TERMINATOR, 18, false)

namespace mcb {

enum GcCode : TUint32 {
#define MCB_GC_CODE(name, value, allocatable) name = value,
    MCB_GC_CODES(MCB_GC_CODE)
#undef MCB_GC_CODE
};

// A code that a live entry may carry (every one between the free and the terminator codes).
constexpr bool isLiveGcCode(TInt64 code) { return code > GC_CODE_FREE && code < GC_CODE_TERMINATOR; }

// A code that the alloc instructions accept.
constexpr bool isAllocatableGcCode(TInt64 code) {
#define MCB_GC_ALLOCATABLE(name, value, allocatable) \
    if (code == value) return allocatable;
    MCB_GC_CODES(MCB_GC_ALLOCATABLE)
#undef MCB_GC_ALLOCATABLE
    return false;
}

}  // namespace mcb
