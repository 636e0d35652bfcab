// Qt key codes to player key codes.
#include "host/KeyMapping.h"

#include <Qt>

namespace host {

TInt32 playerKeyCode(int qtKey) {
    if (qtKey >= 32 && qtKey <= 96) return qtKey;
    switch (qtKey) {
    case Qt::Key_Return: return kReturnKey;
    case Qt::Key_Backspace: return kBackspaceKey;
    case Qt::Key_Left: return kLeftKey;
    case Qt::Key_Right: return kRightKey;
    case Qt::Key_Up: return kUpKey;
    case Qt::Key_Down: return kDownKey;
    default: return kOtherKey;
    }
}

}  // namespace host
