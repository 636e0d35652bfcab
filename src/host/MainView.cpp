// MainView: construction, the run's settings, start and finish, frames,
// stepped time, orientation and the clocks.
#include "host/MainView.h"

#include "natives/graphics/GraphicsNatives.h"
#include "host/HostProcess.h"
#include "host/Tilt.h"
#include "host/X11Properties.h"
#include "io/AppPath.h"
#include "io/CAppsFileReader.h"
#include "natives/ClockSource.h"
#include "natives/NativeGroupOps.h"
#include "vm/VirtualMachine.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTimeZone>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace mcb {

namespace {
// MT19937's customary seed.
constexpr TUint32 kHeadlessSeed = 5489;

TUint64 nowMicros() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return TUint64(tv.tv_sec) * 1000000u + TUint64(tv.tv_usec);
}

std::string lowerFirst(std::string s) {
    if (!s.empty()) s[0] = char(std::tolower(TUint8(s[0])));
    return s;
}

// Why a name cannot be opened as an image, for a person to read.
std::string openFailure(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        struct stat folder {};
        std::string parent = path.substr(0, path.find_last_of('/'));
        if (errno == ENOENT && ::stat(parent.c_str(), &folder) != 0) return "there is no such folder";
        if (errno == ENOENT) return "there is no such file";
        return lowerFirst(std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) return "it is a folder, not an image";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file (a pipe or a device is never read)";
    if (::access(path.c_str(), R_OK) != 0) return lowerFirst(std::strerror(errno));
    return "it cannot be read";
}
}  // namespace

MainView::MainView(const std::string& rootDirectory)
    : files(rootDirectory),
      rootDirectory_(OString::fromQString(QFile::decodeName(QByteArray::fromStdString(rootDirectory)))),
      tilt_(std::make_shared<SetAcceleration>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setWindowState(Qt::WindowFullScreen);
    setMinimumSize(400, 240);
    x11props::markNotComposited();
    host::setBeforeEnd([this] { finishRun(); });
    extensions.setWindowMinimiser([this] { showMinimized(); });
    tilt_->set(tilt::level());
    titleTimer_.setSingleShot(true);
    connect(&titleTimer_, &QTimer::timeout, this, [this] { setWindowTitle(QString::fromStdString(settings_.appName)); });
}

MainView::~MainView() {
    host::setBeforeEnd(nullptr);
    natives::setWallClock(nullptr);
}

bool MainView::configure(const RunSettings& settings, std::string& error) {
    settings_ = settings;
    if (!settings.appName.empty()) setWindowTitle(QString::fromStdString(settings.appName));
    setPresentation(settings.scale, settings.smooth);
    if (!settings.dataDirectory.empty() && !files.setDataDirectory(settings.dataDirectory, error))
        host::say("mcbplayer: cannot use the data directory '" + settings.dataDirectory + "' (" + error +
                  "): the application writes into its own folder");
    if (!files.dataDirectory().empty()) {
        std::vector<std::string> warnings;
        keys_.load(files.dataDirectory() + "/keys.ini", warnings);
        for (const std::string& w : warnings) host::say("mcbplayer: " + w);
    }
    if (settings.stepped || settings.replay || !settings.record.empty() || settings.frames > 0) startSteppedTime();
    if (settings.replay) {
        for (const InputEvent& e : settings.replay->events)
            if (e.kind == InputEvent::Frame) expectedFrames_[e.a] = e.hash;
    }
    // The keys' and the gamepad's tilt where the handset's sensor is missing,
    // and always in recorded and replayed runs, which must not read a device.
    if (!settings.record.empty() || settings.replay || ::access(DevicePaths().accelerometer.c_str(), R_OK) != 0)
        extensions.setAccelerationSource(tilt_);
    if (!settings.record.empty()) {
        RecordingHeader h;
        h.start = clockStart_;
        h.seed = *natives::randomSeed();
        h.zone = QTimeZone::systemTimeZoneId().toStdString();
        h.app = settings.appName;
        if (!recorder_.open(settings.record, h, error)) {
            error = "--record: cannot write '" + settings.record + "': " + error;
            return false;
        }
        clock_->setRecorder(&recorder_);
    }
    return true;
}

// Stepped time reads one clock for everything: the clock services, the
// date-time natives and the random seed start where the recording started.
void MainView::startSteppedTime() {
    EventClock::Hooks hooks;
    hooks.apply = [this](const InputEvent& e) { apply(e); };
    hooks.afterStep = [this] { drawRequestedFrame(); };
    hooks.scriptEnded = [] { host::endProcess(0); };
    clock_ = std::make_unique<EventClock>(scheduler, hooks);
    setSteppedFrames(true);
    const Recording* replay = settings_.replay;
    clockStart_ = replay ? replay->header.start : QDateTime::currentMSecsSinceEpoch();
    // Headless runs are there to be repeated: their random numbers are too.
    const TUint32 seed = replay ? replay->header.seed : settings_.stepped ? kHeadlessSeed : TUint32(std::clock()) ^ TUint32(clockStart_);
    natives::setRandomSeed(seed);
    natives::setWallClock([this] { return clockMillis(); });
    if (replay) clock_->setScript(replay->events);
}

TInt64 MainView::clockMillis() { return clockStart_ + clock_->readForApplication(); }

std::unique_ptr<CAppsFileReader> MainView::openImage() {
    OString name;  // the file's name is bytes of the file system (UTF-8), as the application's names are
    std::unique_ptr<CAppsFileReader> reader;
    if (host::appNameFromBytes(settings_.imageName, name)) reader = files.rootFiles().openForReading(name);
    if (!reader)
        failToOpen(openFailure(files.root() + "/" + settings_.imageName) +
                   "; give the application's folder or its image: mcbplayer [OPTIONS] APP");
    if (reader->size() > settings_.imageLimit)  // refused before a byte of it is read
        failToOpen("it is " + std::to_string(reader->size()) + " bytes, more than the " +
                   std::to_string(settings_.imageLimit) + " bytes the machine's memory may hold (--memory-limit)");
    return reader;
}

void MainView::failToOpen(const std::string& why) {
    host::say("Failed to open '" + files.root() + "/" + settings_.imageName + "'");
    host::say("mcbplayer: " + why);
    host::endProcess(1);
}

void MainView::start() {
    startMicros = nowMicros();
    graphics::installNatives();
    VirtualMachine& vm = VirtualMachine::createCurrent();
    scheduler.setVm(&vm);
    extensions.attach(&vm, this);
    std::unique_ptr<CAppsFileReader> reader = openImage();
    if (clock_) clock_->start();
    // What explains a fatal end: a load that broke off, or a runtime-error report.
    host::setFatalDetail([this]() -> std::string {
        const VirtualMachine* vm = VirtualMachine::current();
        if (!vm) return "";
        if (!vm->loadProblem().empty())
            return "mcbplayer: " + files.root() + "/" + settings_.imageName + ": " + vm->loadProblem();
        return vm->haltReport().empty() ? "" : "mcbplayer: " + vm->haltReport();
    });
    host::callVm([&] { vm.load(CAppsString("index.mcb"), *reader->getStream(), this); });
    requestWholePicture();
    if (clock_) drawRequestedFrame();
}

void MainView::finishRun() {
    if (finished_) return;
    finished_ = true;
    closeLog();
    if (!settings_.screenshot.empty() && !buffer().isNull() &&
        !buffer().toImage().save(QString::fromStdString(settings_.screenshot), "PNG"))
        host::say("mcbplayer: cannot write the screenshot '" + settings_.screenshot + "'");
    if (recorder_.isOpen()) {
        InputEvent end = InputEvent::end();
        end.time = clock_->now();
        recorder_.write(end);
        recorder_.close();
    }
}

// Frames are counted, and hashed where a recording is written or checked.
void MainView::frameDrawn() {
    ++frames_;
    if (recorder_.isOpen() || !expectedFrames_.empty()) {
        QImage image = buffer().toImage().convertToFormat(QImage::Format_ARGB32);
        TUint64 hash = recording::hashPixels(image.constBits(), image.width(), image.height(), int(image.bytesPerLine()));
        InputEvent frame = InputEvent::frame(TInt32(frames_), hash);
        frame.time = clock_->now();
        recorder_.write(frame);
        auto expected = expectedFrames_.find(TInt32(frames_));
        if (expected != expectedFrames_.end() && expected->second != hash && !mismatchSaid_) {
            mismatchSaid_ = true;
            host::say("mcbplayer: replay: frame " + std::to_string(frames_) + " differs from the recording");
        }
    }
    if (settings_.frames > 0 && frames_ >= settings_.frames) host::endProcess(0);
}

bool MainView::isRotatedPortrait() const {
    return orientation_ == 1 && !settings_.portrait && width() > height();
}

// --- orientation and screen ---------------------------------------------------------

void MainView::setOrientation(TInt32 value) {
    if (value == orientation_) return;
    orientation_ = value;
    setOrientationToPortrait(value != 2);
    fitBackBuffer();
    requestWholePicture();
}

TInt32 MainView::orientation() { return orientation_; }

void MainView::setOrientationToPortrait(bool portrait) { x11props::requestPortrait(winId(), portrait); }

void MainView::screenSize(TInt32& width, TInt32& height) {
    width = orientation_ == 2 ? 800 : 480;
    height = orientation_ == 2 ? 480 : 800;
}

TInt32 MainView::currentMillis() {
    return clock_ ? TInt32(TUint32(TUint64(clockMillis()))) : TInt32(TUint32(nowMicros() / 1000));
}

TInt32 MainView::elapsedMillis() {
    return clock_ ? TInt32(TUint32(TUint64(clock_->readForApplication())))
                  : TInt32(TUint32((nowMicros() - startMicros) / 1000));
}

}  // namespace mcb
