// Player key codes: printable codes 32 to 96 as Qt reports them, six named
// keys, and one code for every other key.
#pragma once

#include "foundation/Types.h"

namespace host {

constexpr TInt32 kOtherKey = 0x1000000;
constexpr TInt32 kReturnKey = 0x1000001;
constexpr TInt32 kBackspaceKey = 0x1000002;
constexpr TInt32 kLeftKey = 0x1000003;
constexpr TInt32 kRightKey = 0x1000004;
constexpr TInt32 kUpKey = 0x1000005;
constexpr TInt32 kDownKey = 0x1000006;

TInt32 playerKeyCode(int qtKey);

}  // namespace host
