// Which native groups have operations. A group's line names its operation
// (declared in natives/NativeGroupOps.h) once the group is built.
#include "natives/NativeTable.h"

#include "natives/NativeGroupOps.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::array<NativeGroupOperation, 37> kOperations = {
    nullptr,  // 0: no group
    byteVectorNative,  // 1: vector of signed bytes
    nullptr,  // 2: no operation
    intVectorNative,  // 3: vector of ints
    int2VectorNative,  // 4: vector of int pairs
    int3VectorNative,  // 5: vector of int triples
    int4VectorNative,  // 6: vector of int quadruples
    objectVectorNative,  // 7: vector of references
    stringNative,  // 8: String
    byteNative,  // 9: Byte
    charNative,  // 10: Char
    fixedNative,  // 11: Fixed
    longNative,  // 12: Long
    colorNative,  // 13: Color
    rangeNative,  // 14: Range
    sizeNative,  // 15: Size
    positionNative,  // 16: Position
    rectangleNative,  // 17: Rectangle
    nullptr,  // 18: Graphics
    nullptr,  // 19: Bitmap
    nullptr,  // 20: Font
    outputStreamNative,  // 21: OutputStream
    fileWriterNative,  // 22: FileWriter
    inputStreamNative,  // 23: InputStream
    fileReaderNative,  // 24: FileReader
    fileSystemNative,  // 25: FileSystem
    mathNative,  // 26: Math
    numberNative,  // 27: Number
    encoderNative,  // 28: Encoder
    dateTimeNative,  // 29: DateTime
    debugNative,  // 30: Debug
    screenNative,  // 31: Screen
    systemNative,  // 32: System
    timerNative,  // 33: Timer
    hashNative,  // 34: Hash
    keyEventNative,  // 35: KeyEvent
    floatNative,  // 36: Float
};
// Operations installed from above the core, for the groups the table leaves empty.
std::array<NativeGroupOperation, 37> gInstalled{};
}  // namespace

NativeGroupOperation nativeGroupOperation(TInt32 group) {
    if (group < 0 || group >= TInt32(kOperations.size())) return nullptr;
    NativeGroupOperation op = kOperations[size_t(group)];
    return op ? op : gInstalled[size_t(group)];
}

void installNativeGroup(TInt32 group, NativeGroupOperation operation) {
    if (group >= 0 && group < TInt32(gInstalled.size())) gInstalled[size_t(group)] = operation;
}
