// The operation of each native group that exists, one declaration per group
// (or per family of groups), each defined in the group's own file.
#pragma once

#include "foundation/Types.h"

class OString;
class VirtualMachine;

// Vectors and strings.
void byteVectorNative(VirtualMachine& vm, TInt32 function);    // 1
void intVectorNative(VirtualMachine& vm, TInt32 function);     // 3
void int2VectorNative(VirtualMachine& vm, TInt32 function);    // 4
void int3VectorNative(VirtualMachine& vm, TInt32 function);    // 5
void int4VectorNative(VirtualMachine& vm, TInt32 function);    // 6
void objectVectorNative(VirtualMachine& vm, TInt32 function);  // 7
void stringNative(VirtualMachine& vm, TInt32 function);        // 8
// Files and streams.
void outputStreamNative(VirtualMachine& vm, TInt32 function);  // 21
void fileWriterNative(VirtualMachine& vm, TInt32 function);    // 22
void inputStreamNative(VirtualMachine& vm, TInt32 function);   // 23
void fileReaderNative(VirtualMachine& vm, TInt32 function);    // 24
void fileSystemNative(VirtualMachine& vm, TInt32 function);    // 25
// Timers and key events.
void timerNative(VirtualMachine& vm, TInt32 function);     // 33
void keyEventNative(VirtualMachine& vm, TInt32 function);  // 35
// The key-event object the host makes for each key press and release.
VMAddr newKeyEvent(VirtualMachine& vm, TInt32 keyCode, TInt32 scanCode, TInt32 modifiers, const OString& text);

// Numbers (NumberNatives.cpp and neighbours).
void fixedNative(VirtualMachine& vm, TInt32 function);   // 11
void mathNative(VirtualMachine& vm, TInt32 function);    // 26
void longNative(VirtualMachine& vm, TInt32 function);    // 12
void floatNative(VirtualMachine& vm, TInt32 function);   // 36
void numberNative(VirtualMachine& vm, TInt32 function);  // 27
void byteNative(VirtualMachine& vm, TInt32 function);    // 9
// Date and time.
void dateTimeNative(VirtualMachine& vm, TInt32 function);  // 29
// Values kept in bytecode's variables, and the screen.
void colorNative(VirtualMachine& vm, TInt32 function);      // 13
void sizeNative(VirtualMachine& vm, TInt32 function);       // 15
void positionNative(VirtualMachine& vm, TInt32 function);   // 16
void rectangleNative(VirtualMachine& vm, TInt32 function);  // 17
void screenNative(VirtualMachine& vm, TInt32 function);     // 31
// The small groups.
void hashNative(VirtualMachine& vm, TInt32 function);     // 34
void rangeNative(VirtualMachine& vm, TInt32 function);    // 14
void charNative(VirtualMachine& vm, TInt32 function);     // 10
void systemNative(VirtualMachine& vm, TInt32 function);   // 32
void debugNative(VirtualMachine& vm, TInt32 function);    // 30
void encoderNative(VirtualMachine& vm, TInt32 function);  // 28

// System functions 10 to 12 make fonts (the default font and bitmap fonts from
// images), which belong to the graphics natives; those install these hooks.
// Each returns the function's result word. Without a hook the default font is
// VM error 13 and images are VM error 6.
struct SystemGraphics {
    VMAddr (*defaultFont)(VirtualMachine& vm) = nullptr;
    // A new cell referring to the font, or 0 when the picture cannot be decoded.
    VMAddr (*imageFromFile)(VirtualMachine& vm, const OString& path) = nullptr;
    VMAddr (*imageFromBytes)(VirtualMachine& vm, const TUint8* bytes, TInt32 n) = nullptr;
};
void setSystemGraphics(const SystemGraphics& hooks);
