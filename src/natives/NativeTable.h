// The native groups of the core, handed to the interpreter's registry at start-up.
#pragma once

#include "vm/NativeRegistry.h"

#include <span>

namespace mcb {

namespace natives {
// Every group 1..36 by number, each with the function table of its file; the graphics
// groups (18 to 20) come without functions, which the graphics library installs.
std::span<const Group> coreGroups();
// Registers the core groups; start-up does this once, calling it again does no harm.
void registerCoreGroups();
}  // namespace natives

}  // namespace mcb
