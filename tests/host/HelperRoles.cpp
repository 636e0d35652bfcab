// Helper programs the host tests need beside the player: the test binary
// itself plays them when started with MCB_TEST_ROLE set, before any test runs.
//   mce: owns "com.nokia.mce" on the system bus and sends "display_status_ind"
//        with each line read from standard input ("quit" ends it);
//   x11: sets the root window's "_MB_CURRENT_APP_WINDOW" (type WINDOW) to
//        each number read from standard input; "own" maps a window of its
//        own, takes the input focus and names that window as the current one;
//   portrait: shows a main view (no application) and sets its orientation
//        to each number read from standard input, printing its window id.
#include "foundation/OString.h"
#include "host/MainView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
// Calls `onLine` for every complete line on standard input until it closes.
void readLines(QCoreApplication& app, const std::function<void(const std::string&)>& onLine) {
    static std::string pending;
    auto* n = new QSocketNotifier(0, QSocketNotifier::Read, &app);
    QObject::connect(n, &QSocketNotifier::activated, [&app, onLine] {
        char buf[256];
        ssize_t got = read(0, buf, sizeof buf);
        if (got <= 0) return app.quit();
        pending.append(buf, size_t(got));
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (line == "quit") return app.quit();
            onLine(line);
        }
    });
}

int mceHelper(QCoreApplication& app) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.registerService("com.nokia.mce")) {
        std::fputs("helper: no bus\n", stderr);
        return 2;
    }
    readLines(app, [bus](const std::string& state) mutable {
        QDBusMessage m =
            QDBusMessage::createSignal("/com/nokia/mce/signal", "com.nokia.mce.signal", "display_status_ind");
        m << QString::fromStdString(state);
        bus.send(m);
        std::fprintf(stderr, "sent %s\n", state.c_str());
    });
    std::fputs("helper ready\n", stderr);
    return app.exec();
}

int x11Helper(QCoreApplication& app) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 2;
    Atom atom = XInternAtom(dpy, "_MB_CURRENT_APP_WINDOW", False);
    Window own = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 100, 100, 0, 0, 0);
    readLines(app, [dpy, atom, own](const std::string& value) {
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
        std::fprintf(stderr, "set %s\n", value.c_str());
    });
    std::fputs("helper ready\n", stderr);
    int status = app.exec();
    XCloseDisplay(dpy);
    return status;
}

int portraitHelper(QCoreApplication& app) {
    MainView view(OString("/"));
    view.show();
    QCoreApplication::processEvents();
    readLines(app, [&view](const std::string& value) {
        view.setOrientation(std::atoi(value.c_str()));
        std::fprintf(stderr, "orientation %d on 0x%lx\n", view.orientation(), (unsigned long)view.winId());
    });
    std::fputs("helper ready\n", stderr);
    return app.exec();
}

struct HelperRole {
    HelperRole() {
        const char* role = std::getenv("MCB_TEST_ROLE");
        if (!role) return;
        static int argc = 1;
        static char name[] = "helper";
        static char* argv[] = {name, nullptr};
        std::string r = role;
        int status = 3;
        if (r == "portrait") {
            QApplication app(argc, argv);
            status = portraitHelper(app);
        } else {
            QCoreApplication app(argc, argv);
            status = r == "mce" ? mceHelper(app) : r == "x11" ? x11Helper(app) : 3;
        }
        std::fflush(stderr);
        _exit(status);
    }
} gRole;
}  // namespace
