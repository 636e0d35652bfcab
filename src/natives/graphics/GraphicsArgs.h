// GraphicsArgs: the operands of the Graphics, Bitmap and Font natives as they
// lie on the value stack — handles and fonts behind references, positions,
// sizes, rectangles, colours and fixed-point numbers.
#pragma once

#include "graphics/GraphicsContainer.h"
#include "natives/NumericArgs.h"

#include <QPoint>

namespace mcb {

class GraphicsArgs : public NativeArgs {
public:
    GraphicsArgs(VirtualMachine& vm, TInt32 words) : NativeArgs(vm, words) {}

    VMHeap& heap() { return vm().heap(); }
    // The handle (or font) in the word that reference i names: a null
    // reference is VM error 1 "NULL pointer"; 0 is a null handle.
    VMAddr handle(TInt32 i) { return vm().memory().readWord(address(i)); }
    QPoint position(TInt32 i) { return {word(i), word(i + 1)}; }
    VMRect rect(TInt32 i) { return {word(i), word(i + 1), word(i + 2), word(i + 3)}; }
    TUint32 colour(TInt32 i) { return TUint32(word(i)); }
    // A fixed-point number (32 fraction bits) in words i and i + 1.
    double number(TInt32 i) { return double(long64(i)) / 4294967296.0; }
};

}  // namespace mcb
