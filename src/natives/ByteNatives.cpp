// The Byte native group (9): it has no functions; every number, 0 included,
// is VM error 10 with the group's prefix and the program counter.
#include "natives/NativeGroupOps.h"

namespace mcb {

std::span<const natives::Function> byteFunctions() { return {}; }

}  // namespace mcb
