// From the command line to the event loop: application object, root
// directory, window, display-state signal, start, and the fatal end.
#include "host/Startup.h"

#include "host/HostProcess.h"
#include "host/MainView.h"
#include "host/QtClientApplication.h"
#include "vm/VirtualMachine.h"

#include <QDBusConnection>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QScreen>

#include <cstdio>
#include <cstring>
#include <memory>

namespace host {
namespace {
constexpr size_t kMaxRootLength = 4096;

std::string baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool connectDisplaySignal(MainView& view) {
    return QDBusConnection::systemBus().connect("com.nokia.mce", "/com/nokia/mce/signal", "com.nokia.mce.signal",
                                                "display_status_ind", "s", &view,
                                                SLOT(displaySignal(QString)));
}

// Without a window manager a full-screen window would keep its default size.
void showFullScreen(MainView& view) {
    if (QScreen* screen = view.screen()) view.setGeometry(screen->geometry());
    view.showFullScreen();
}

int runWindow(QtClientApplication& app, const std::string& root) {
    auto view = std::make_unique<MainView>(root);
    if (!connectDisplaySignal(*view)) std::fputs("FATAL: Failed to connect to dbus\n", stderr);
    app.setMainView(view.get());
    showFullScreen(*view);
    view->start();
    int status = app.exec();
    app.setMainView(nullptr);
    view.reset();
    VirtualMachine::destroyCurrent();
    return status;
}
}  // namespace

bool rootDirectoryFor(int argc, char** argv, const std::string& currentDirectory, std::string& root) {
    if (argc >= 2 && std::strcmp(argv[1], "--auto") == 0) {
        root = "/opt/" + baseName(argv[0]);
        return root.size() <= kMaxRootLength;
    }
    root = currentDirectory;
    return true;
}

int runPlayer(int argc, char** argv) {
    qDebug("starting main");
    QtClientApplication app(argc, argv);
    std::string root;
    if (!rootDirectoryFor(argc, argv, QFile::encodeName(QDir::currentPath()).toStdString(), root)) {
        std::fprintf(stderr, "%s: VM basename too long\n", baseName(argv[0]).c_str());
        return 1;
    }
    int status = 1;
    callVm([&] { status = runWindow(app, root); });
    return status;
}

}  // namespace host
