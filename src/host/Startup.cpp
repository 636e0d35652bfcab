// From the command line to the event loop: options, the display, the
// application object, root and data directories, the window, the
// display-state signal, start, and the end of the run.
#include "host/Startup.h"

#include "extensions/SoundServer.h"
#include "host/CommandLine.h"
#include "host/DisplaySignal.h"
#include "host/HostProcess.h"
#include "host/MainView.h"
#include "host/QtClientApplication.h"
#include "host/Tilt.h"
#include "host/X11Properties.h"
#include "vm/VirtualMachine.h"

#include <QDBusConnection>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace mcb {

namespace host {
namespace {
constexpr size_t kMaxRootLength = 4096;
bool gVerbose = false;

std::string baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Qt's diagnostics only with --verbose; the warning the drawing natives give
// for an empty bitmap always.
void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text) {
    const bool own = type == QtWarningMsg && text == QLatin1String("Null BitmapContainer");
    if (gVerbose || own || type == QtCriticalMsg || type == QtFatalMsg) say(text.toLocal8Bit().toStdString());
    if (type == QtFatalMsg) std::abort();
}

// Qt wants a private runtime folder; without one the player makes its own.
void ensureRuntimeDirectory() {
    const char* given = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (given && *given && ::stat(given, &st) == 0 && S_ISDIR(st.st_mode)) return;
    std::string dir = std::filesystem::temp_directory_path().string() + "/mcbplayer-runtime-XXXXXX";
    if (!::mkdtemp(dir.data())) return;
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    static std::string made = dir;
    std::atexit([] { std::filesystem::remove_all(made); });
    addExitCleanup([] { std::filesystem::remove_all(made); });
}

bool havePlatformPlugin(const std::string& name) {
    if (std::getenv("QT_PLUGIN_PATH") || std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH")) return true;  // Qt looks elsewhere too
    QString pattern = "libq" + QString::fromStdString(name) + "*";
    return !QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms").entryList({pattern}).isEmpty();
}

// Empty when a window can be opened; otherwise why not, in one line. Qt
// itself would end the process in an abort.
std::string displayProblem() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string chosen = platform ? platform : "";
    const std::string name = chosen.substr(0, chosen.find(':'));
    if (!name.empty() && !havePlatformPlugin(name))
        return "Qt has no platform '" + name + "' (QT_QPA_PLATFORM); unset it, or run without a window: mcbplayer --headless";
    if (!chosen.empty() && chosen.rfind("xcb", 0) != 0 && chosen.rfind("wayland", 0) != 0) return "";
    const char* display = std::getenv("DISPLAY");
    if (chosen.rfind("wayland", 0) != 0 && display && *display && x11props::canOpenDisplay(display)) return "";
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (chosen.rfind("xcb", 0) != 0 && wayland && *wayland && havePlatformPlugin("wayland")) return "";
    if (display && *display) return std::string("no X server answers on DISPLAY=") + display +
                                    "; start one, or run without a window: mcbplayer --headless";
    return "no display: set DISPLAY (an X server) or WAYLAND_DISPLAY, or run without a window: mcbplayer --headless";
}

QSize startSize(const PlayerOptions& o, QScreen* screen) {
    QSize picture = o.portrait ? QSize(480, 800) : QSize(800, 480);
    int factor = o.scale;
    if (factor == 0) {  // fit: the largest whole size that leaves room on the screen
        QSize room = screen ? screen->availableGeometry().size() * 0.9 : picture;
        factor = std::max(1, std::min(room.width() / picture.width(), room.height() / picture.height()));
    }
    return picture * factor;
}

void showWindow(MainView& view, const PlayerOptions& o) {
    QScreen* screen = view.screen();
    const bool handsetScreen = screen && screen->geometry().size() == QSize(800, 480);
    if (!o.headless && o.fullscreen.value_or(handsetScreen)) {
        // Without a window manager a full-screen window would keep its default size.
        if (screen) view.setGeometry(screen->geometry());
        view.showFullScreen();
        return;
    }
    view.setWindowState(Qt::WindowNoState);
    view.resize(startSize(o, screen));
    view.show();
}

RunSettings settingsFor(const PlayerOptions& o, const AppLocation& app, const std::string& dataDirectory,
                        const Recording* replay) {
    RunSettings s;
    s.imageName = app.image;
    s.appName = app.name;
    s.dataDirectory = dataDirectory;
    s.scale = o.scale;
    s.smooth = o.smooth;
    s.portrait = o.portrait;
    s.stepped = o.headless;
    s.frames = o.frames;
    s.screenshot = o.screenshot;
    s.record = o.record;
    s.replay = replay;
    s.imageLimit = o.memoryLimit;
    s.windowSize = startSize(o, QGuiApplication::primaryScreen());
    return s;
}

int runWindow(QtClientApplication& app, const PlayerOptions& o, const AppLocation& location, const Recording* replay) {
    auto view = std::make_unique<MainView>(location.root);
    std::string userData = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).toStdString();
    std::string data = dataDirectoryFor(o.dataDirectory, QFile::encodeName(QDir::currentPath()).toStdString(), userData, location.name);
    std::string error;
    if (!view->configure(settingsFor(o, location, data, replay), error)) {  // an option's file cannot be written
        say("mcbplayer: " + error);
        return 2;
    }
    DisplaySignalWatch display([v = view.get()](QString state) { v->displaySignal(state); });
    if (!display.connect(QDBusConnection::systemBus())) say("FATAL: Failed to connect to dbus");
    if (!o.headless && QGuiApplication::platformName() != "offscreen")
        setFatalNotice([](const std::string& text) { QMessageBox::critical(nullptr, "mcbplayer", QString::fromStdString(text)); });
    std::unique_ptr<Gamepad> pad = Gamepad::openFirst([v = view.get()](Acceleration a) { v->tiltTo(a); });
    if (pad) view->setGamepad(std::move(pad));
    app.setMainView(view.get());
    showWindow(*view, o);
    view->start();
    int status = app.exec();
    view->finishRun();
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

AppLocation locateApp(const std::string& app, const std::string& currentDirectory) {
    AppLocation out;
    std::string path = app.empty() ? currentDirectory : app[0] == '/' ? app : currentDirectory + "/" + app;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    const bool image = exists ? !S_ISDIR(st.st_mode) : path.size() > 4 && path.compare(path.size() - 4, 4, ".mcb") == 0;
    out.root = path;
    if (image && !app.empty()) {
        size_t slash = path.find_last_of('/');
        out.root = slash == 0 ? "/" : path.substr(0, slash);
        out.image = path.substr(slash + 1);
    }
    std::string clean = QFile::encodeName(QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(out.root)))).toStdString();
    out.name = clean == "/" ? "root" : baseName(clean.c_str());
    return out;
}

std::string dataDirectoryFor(const std::string& given, const std::string& currentDirectory,
                             const std::string& userData, const std::string& name) {
    if (!given.empty()) return given[0] == '/' ? given : currentDirectory + "/" + given;
    if (userData.empty()) return "";
    return userData + "/mcbplayer/" + name;
}

int runPlayer(int argc, char** argv) {
    PlayerOptions o;
    std::string error;
    if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
        std::fprintf(stderr, "mcbplayer: %s\n%s\n", error.c_str(), usageLine().c_str());
        return 2;
    }
    if (o.help || o.version) {
        std::fputs((o.help ? helpText() : versionText()).c_str(), stdout);
        return 0;
    }
    if (!o.logFile.empty()) {
        std::FILE* log = std::fopen(o.logFile.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "mcbplayer: --log: cannot write '%s': %s\n%s\n", o.logFile.c_str(), std::strerror(errno),
                         usageLine().c_str());
            return 2;
        }
        setLogCopy(log);
    }
    gVerbose = o.verbose;
    qInstallMessageHandler(messageHandler);
    MemoryBudget::setDefaultLimit(o.memoryLimit);
    qDebug("starting main");
    Recording replay;
    if (!o.replay.empty()) {
        if (!recording::read(o.replay, replay, error)) {
            say("mcbplayer: --replay: " + error);
            return 2;
        }
        if (!replay.header.zone.empty()) ::setenv("TZ", replay.header.zone.c_str(), 1), ::tzset();
    }
    ensureRuntimeDirectory();
    if (o.headless) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (std::string problem = displayProblem(); !problem.empty()) {
        say("mcbplayer: " + problem);
        return 2;
    }
    sound::setOutputVolume(o.mute ? 0 : o.volume);
    QtClientApplication app(argc, argv);
    std::string cwd = QFile::encodeName(QDir::currentPath()).toStdString(), root;
    if (!rootDirectoryFor(argc, argv, cwd, root)) {
        say(baseName(argv[0]) + ": VM basename too long");
        return 1;
    }
    AppLocation location = o.autoRoot ? AppLocation{root, "index.mcb", baseName(argv[0])} : locateApp(o.app, cwd);
    int status = 1;
    callVm([&] { status = runWindow(app, o, location, o.replay.empty() ? nullptr : &replay); });
    return status;
}

}  // namespace host

}  // namespace mcb
