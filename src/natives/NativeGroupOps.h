// The function table of each native group of the core, one declaration per group,
// each defined in the group's own file.
#pragma once

#include "foundation/Types.h"
#include "vm/NativeRegistry.h"

#include <span>

namespace mcb {

class OString;
class VirtualMachine;

// Vectors and strings.
std::span<const natives::Function> byteVectorFunctions();    // 1
std::span<const natives::Function> intVectorFunctions();     // 3
std::span<const natives::Function> int2VectorFunctions();    // 4
std::span<const natives::Function> int3VectorFunctions();    // 5
std::span<const natives::Function> int4VectorFunctions();    // 6
std::span<const natives::Function> objectVectorFunctions();  // 7
std::span<const natives::Function> stringFunctions();        // 8
// Files and streams.
std::span<const natives::Function> outputStreamFunctions();  // 21
std::span<const natives::Function> fileWriterFunctions();    // 22
std::span<const natives::Function> inputStreamFunctions();   // 23
std::span<const natives::Function> fileReaderFunctions();    // 24
std::span<const natives::Function> fileSystemFunctions();    // 25
// Timers and key events.
std::span<const natives::Function> timerFunctions();     // 33
std::span<const natives::Function> keyEventFunctions();  // 35
// The key-event object the host makes for each key press and release.
VMAddr newKeyEvent(VirtualMachine& vm, TInt32 keyCode, TInt32 scanCode, TInt32 modifiers, const OString& text);

// Numbers (NumberNatives.cpp and neighbours).
std::span<const natives::Function> fixedFunctions();   // 11
std::span<const natives::Function> mathFunctions();    // 26
std::span<const natives::Function> longFunctions();    // 12
std::span<const natives::Function> floatFunctions();   // 36
std::span<const natives::Function> numberFunctions();  // 27
std::span<const natives::Function> byteFunctions();    // 9
// Date and time.
std::span<const natives::Function> dateTimeFunctions();  // 29
// Values kept in bytecode's variables, and the screen.
std::span<const natives::Function> colorFunctions();      // 13
std::span<const natives::Function> sizeFunctions();       // 15
std::span<const natives::Function> positionFunctions();   // 16
std::span<const natives::Function> rectangleFunctions();  // 17
std::span<const natives::Function> screenFunctions();     // 31
// The small groups.
std::span<const natives::Function> hashFunctions();     // 34
std::span<const natives::Function> rangeFunctions();    // 14
std::span<const natives::Function> charFunctions();     // 10
std::span<const natives::Function> systemFunctions();   // 32
std::span<const natives::Function> debugFunctions();    // 30
std::span<const natives::Function> encoderFunctions();  // 28

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

}  // namespace mcb
