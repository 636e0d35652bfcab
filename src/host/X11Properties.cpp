// Xlib access for the window-manager properties. Kept in one file because the
// Xlib headers define macros that clash with Qt's names.
#include "host/X11Properties.h"

#include <QDebug>
#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace mcb {

namespace x11props {
namespace {
Display* display() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->display() : nullptr;
}

// Replaces `property` of `window` with one 32-bit item; false when refused.
bool setWord(Display* dpy, Window window, const char* property, Atom type, long value) {
    Atom atom = XInternAtom(dpy, property, True);
    if (atom == 0) return true;  // nobody reads it: nothing to do
    int status = XChangeProperty(dpy, window, atom, type, 32, PropModeReplace,
                                 reinterpret_cast<unsigned char*>(&value), 1);
    XFlush(dpy);
    return status != 0;
}
}  // namespace

void markNotComposited() {
    if (Display* dpy = display()) setWord(dpy, DefaultRootWindow(dpy), "_HILDON_NON_COMPOSITED_WINDOW", XA_INTEGER, 1);
}

void requestPortrait(unsigned long window, bool portrait) {
    Display* dpy = display();
    if (!dpy || window == 0) return;
    if (!setWord(dpy, Window(window), "_HILDON_PORTRAIT_MODE_REQUEST", XA_CARDINAL, portrait ? 1 : 0))
        qDebug("setOrientationToPortrait, change property failed");
}

unsigned long currentAppWindowAtom() {
    static Atom atom = 0;
    if (atom == 0)
        if (Display* dpy = display()) atom = XInternAtom(dpy, "_MB_CURRENT_APP_WINDOW", False);
    return atom;
}

unsigned long rootWindow() {
    Display* dpy = display();
    return dpy ? DefaultRootWindow(dpy) : 0;
}

bool readCurrentAppWindow(TUint32& window) {
    Display* dpy = display();
    Atom atom = currentAppWindowAtom();
    if (!dpy || atom == 0) return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(dpy, DefaultRootWindow(dpy), atom, 0, 1024, False, XA_WINDOW, &type,
                                    &format, &count, &after, &data);
    bool ok = status == Success && type == XA_WINDOW && format == 32 && count >= 1 && data;
    if (ok) window = TUint32(reinterpret_cast<unsigned long*>(data)[0]);
    if (data) XFree(data);
    return ok;
}

bool canOpenDisplay(const char* name) {
    Display* dpy = XOpenDisplay(name);
    if (dpy) XCloseDisplay(dpy);
    return dpy != nullptr;
}

}  // namespace x11props

}  // namespace mcb
