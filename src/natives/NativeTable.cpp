// Which native groups have operations. A group's line names its operation
// (declared in natives/NativeGroupOps.h) once the group is built.
#include "natives/NativeTable.h"

#include "natives/NativeGroupOps.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::array<NativeGroupOperation, 37> kOperations = {
    nullptr,  // 0: no group
    nullptr,  // 1: vector of signed bytes
    nullptr,  // 2: no operation
    nullptr,  // 3: vector of ints
    nullptr,  // 4: vector of int pairs
    nullptr,  // 5: vector of int triples
    nullptr,  // 6: vector of int quadruples
    nullptr,  // 7: vector of references
    nullptr,  // 8: String
    nullptr,  // 9: Byte
    nullptr,  // 10: Char
    nullptr,  // 11: Fixed
    nullptr,  // 12: Long
    nullptr,  // 13: Color
    nullptr,  // 14: Range
    nullptr,  // 15: Size
    nullptr,  // 16: Position
    nullptr,  // 17: Rectangle
    nullptr,  // 18: Graphics
    nullptr,  // 19: Bitmap
    nullptr,  // 20: Font
    nullptr,  // 21: OutputStream
    nullptr,  // 22: FileWriter
    nullptr,  // 23: InputStream
    nullptr,  // 24: FileReader
    nullptr,  // 25: FileSystem
    nullptr,  // 26: Math
    nullptr,  // 27: Number
    nullptr,  // 28: Encoder
    nullptr,  // 29: DateTime
    nullptr,  // 30: Debug
    nullptr,  // 31: Screen
    nullptr,  // 32: System
    nullptr,  // 33: Timer
    nullptr,  // 34: Hash
    nullptr,  // 35: KeyEvent
    nullptr,  // 36: Float
};
}  // namespace

NativeGroupOperation nativeGroupOperation(TInt32 group) {
    if (group < 0 || group >= TInt32(kOperations.size())) return nullptr;
    return kOperations[size_t(group)];
}
