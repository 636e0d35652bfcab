// The native groups of the graphics library: Graphics (18), Bitmap (19) and
// Font (20), and the System hooks that make fonts. They live with the host's
// graphics and are installed into the core's native table at start.
#pragma once

#include "foundation/Types.h"

class VirtualMachine;

void graphicsNative(VirtualMachine& vm, TInt32 function);  // 18
void bitmapNative(VirtualMachine& vm, TInt32 function);    // 19
void fontNative(VirtualMachine& vm, TInt32 function);      // 20

namespace graphics {
// Installs the three groups and System functions 10 to 12; done before an image loads.
void installNatives();
}  // namespace graphics
