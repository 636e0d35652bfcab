// The helper roles this test binary plays beside the player when started with
// MCB_TEST_ROLE set, one command per input line ("quit" ends it):
//   mce: owns "com.nokia.mce" and sends "display_status_ind" with each line;
//   x11: sets the root window's "_MB_CURRENT_APP_WINDOW" (type WINDOW) to each
//        number; "own" maps a window of its own, takes the focus and names it;
//   portrait: shows a main view and sets its orientation to each number;
//   input: sends X events to the player's window as a person's would arrive:
//        "press X Y" and "release X Y" (button 1, window coordinates), "key
//        NAME" (a keysym's name, pressed and released); "geometry TAG" answers
//        "geometry TAG WxH+X+Y".
#include "HostTestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace mcb {

namespace hosttest {
// The player's top-level window: the mapped child of the root whose class names it.
Window playerWindow(Display* dpy) {
    Window root, parent, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        XWindowAttributes a{};
        if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable) continue;
        if (XGetClassHint(dpy, children[i], &hint)) {
            if (std::string(hint.res_name ? hint.res_name : "").find("mcbplayer") != std::string::npos) found = children[i];
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    if (children) XFree(children);
    return found;
}

void sendInput(Display* dpy, const std::string& line) {
    std::istringstream in(line);
    std::string what;
    int x = 0, y = 0;
    in >> what;
    Window w = playerWindow(dpy);
    if (!w) return void(std::fputs("no player window\n", stderr));
    if (what == "geometry") {
        std::string tag;
        in >> tag;
        XWindowAttributes a{};
        Window child;
        int rx = 0, ry = 0;
        XGetWindowAttributes(dpy, w, &a);
        XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child);
        std::fprintf(stderr, "geometry %s %dx%d+%d+%d\n", tag.c_str(), a.width, a.height, rx, ry);
        return;
    }
    XEvent e{};
    if (what == "press" || what == "release") {
        in >> x >> y;
        e.xbutton = XButtonEvent{what == "press" ? ButtonPress : ButtonRelease, 0, True, dpy, w, DefaultRootWindow(dpy),
                                 None, CurrentTime, x, y, x, y, what == "press" ? 0u : unsigned(Button1Mask), Button1, True};
        XSendEvent(dpy, w, True, ButtonPressMask | ButtonReleaseMask, &e);
    } else if (what == "key") {
        std::string name;
        in >> name;
        KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(name.c_str()));
        for (int type : {KeyPress, KeyRelease}) {
            e.xkey = XKeyEvent{type, 0, True, dpy, w, DefaultRootWindow(dpy), None, CurrentTime, 1, 1, 1, 1, 0, code, True};
            XSendEvent(dpy, w, True, KeyPressMask | KeyReleaseMask, &e);
        }
    }
    XSync(dpy, False);
    std::fprintf(stderr, "sent %s\n", line.c_str());
}

int runHelper(const std::string& role) {
    static int argc = 1;
    static char name[] = "helper", *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::function<void(const std::string&)> onLine;
    QDBusConnection bus = QDBusConnection::systemBus();
    std::unique_ptr<MainView> view;
    if (role == "mce") {
        if (!bus.registerService("com.nokia.mce")) return 2;
        onLine = [&](const std::string& state) {
            bus.send(QDBusMessage::createSignal("/com/nokia/mce/signal", "com.nokia.mce.signal", "display_status_ind")
                     << QString::fromStdString(state));
        };
    } else if (role == "x11") {
        Display* dpy = XOpenDisplay(nullptr);
        if (!dpy) return 2;
        Atom atom = XInternAtom(dpy, "_MB_CURRENT_APP_WINDOW", False);
        Window own = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 100, 100, 0, 0, 0);
        onLine = [=](const std::string& value) {
            long window = std::strtol(value.c_str(), nullptr, 0);
            if (value == "own") {
                XMapRaised(dpy, own);
                XSync(dpy, False);
                XSetInputFocus(dpy, own, RevertToParent, CurrentTime);
                XSync(dpy, False);
                usleep(600000);  // Qt settles a focus change only after a while
                window = long(own);
            }
            XChangeProperty(dpy, DefaultRootWindow(dpy), atom, XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&window), 1);
            XSync(dpy, False);
        };
    } else if (role == "input") {
        Display* dpy = XOpenDisplay(nullptr);
        if (!dpy) return 2;
        onLine = [=](const std::string& line) { sendInput(dpy, line); };
    } else {
        view = std::make_unique<MainView>(std::string("/"));
        view->show();
        QCoreApplication::processEvents();
        onLine = [&](const std::string& value) {
            view->setOrientation(std::atoi(value.c_str()));
            std::fprintf(stderr, "0x%lx has orientation %d\n", (unsigned long)view->winId(), view->orientation());
        };
    }
    return serveLines(app, onLine);
}

const bool gRole = playRole("MCB_TEST_ROLE", runHelper);

}  // namespace hosttest

}  // namespace mcb
