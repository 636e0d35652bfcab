// The application object and its watch on "_MB_CURRENT_APP_WINDOW".
#include "host/QtClientApplication.h"

#include "host/MainView.h"
#include "host/X11Properties.h"

#include <xcb/xcb.h>

namespace mcb {

QtClientApplication::QtClientApplication(int& argc, char** argv) : QApplication(argc, argv), watch_(*this) {
    installNativeEventFilter(&watch_);
}

QtClientApplication::~QtClientApplication() { removeNativeEventFilter(&watch_); }

bool QtClientApplication::CurrentWindowWatch::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type == "xcb_generic_event_t") app_.x11EventFilter(message);
    return false;
}

bool QtClientApplication::x11EventFilter(const void* xcbEvent) {
    auto* e = static_cast<const xcb_generic_event_t*>(xcbEvent);
    if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
    auto* p = static_cast<const xcb_property_notify_event_t*>(xcbEvent);
    unsigned long atom = x11props::currentAppWindowAtom();
    if (atom == 0 || p->atom != atom || p->window != x11props::rootWindow() || p->state != XCB_PROPERTY_NEW_VALUE)
        return false;
    currentWindowChanged();
    return false;
}

// No current window (-1) counts as ours: the user sees the player unless
// another application's window is the current one.
void QtClientApplication::currentWindowChanged() {
    TUint32 window = 0;
    if (!x11props::readCurrentAppWindow(window) || !mainView_) return;
    mainView_->setApplicationVisible(window == 0xFFFFFFFFu || mainView_->isActiveWindow());
}

}  // namespace mcb
