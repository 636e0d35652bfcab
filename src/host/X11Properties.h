// The window manager's properties, written and read through Xlib. Every
// operation does nothing (or answers false) where there is no X11 display,
// as under the offscreen platform.
#pragma once

#include "foundation/Types.h"

namespace mcb {

namespace x11props {

// Marks the application as not composited on the root window, only when the
// window manager has created the atom.
void markNotComposited();
// Asks for portrait (or landscape) on `window`, only when the atom exists.
void requestPortrait(unsigned long window, bool portrait);
// The atom of "_MB_CURRENT_APP_WINDOW", interned once; 0 without a display.
unsigned long currentAppWindowAtom();
unsigned long rootWindow();
// The window id the root window's "_MB_CURRENT_APP_WINDOW" holds; false when
// it cannot be read.
bool readCurrentAppWindow(TUint32& window);

// Whether an X server answers on the display `name` (null: $DISPLAY); asked
// before Qt starts, which would abort without one.
bool canOpenDisplay(const char* name);

}  // namespace x11props

}  // namespace mcb
