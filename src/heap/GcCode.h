// GcCode: what kind of block a heap entry is, and so how the collector traces it.
#pragma once

#include "foundation/Types.h"

enum GcCode : TUint32 {
    GC_CODE_FREE = 0,
    GC_CODE_INSTANCE = 1,
    GC_CODE_PLAIN = 2,
    GC_CODE_STRING = 3,
    GC_CODE_4 = 4,
    GC_CODE_FONT = 5,
    GC_CODE_PRIMITIVE_ARRAY = 6,
    GC_CODE_OBJECT_ARRAY = 7,
    GC_CODE_VECTOR = 8,
    GC_CODE_9 = 9,
    GC_CODE_10 = 10,
    GC_CODE_11 = 11,
    GC_CODE_STREAM_HOLDER = 12,
    GC_CODE_13 = 13,
    GC_CODE_REFERENCE_CELL = 14,
    GC_CODE_DATETIME = 15,
    GC_CODE_PAIR = 16,
    GC_CODE_HASH = 17,
    GC_CODE_TERMINATOR = 18,
};
