// The native groups of the graphics library: Graphics (18), Bitmap (19) and
// Font (20), and the System hooks that make fonts. They live with the host's
// graphics and their function tables are installed into the native registry at start.
#pragma once

#include "foundation/Types.h"
#include "vm/NativeRegistry.h"

#include <span>

namespace mcb {

std::span<const natives::Function> graphicsFunctions();  // 18
std::span<const natives::Function> bitmapFunctions();    // 19
std::span<const natives::Function> fontFunctions();      // 20

namespace graphics {
// Installs the three groups and System functions 10 to 12; done before an image loads.
void installNatives();
}  // namespace graphics

}  // namespace mcb
