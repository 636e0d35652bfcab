// MainView: construction, start, input events, foreground state, orientation.
#include "host/MainView.h"

#include "graphics/GraphicsNatives.h"
#include "host/HostProcess.h"
#include "host/KeyMapping.h"
#include "host/X11Properties.h"
#include "io/CAppsFileReader.h"
#include "natives/NativeGroupOps.h"
#include "vm/VirtualMachine.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdio>
#include <sys/time.h>

namespace {
// The foreground state last reported to the application.
bool lastActive = false;

TUint64 nowMicros() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return TUint64(tv.tv_sec) * 1000000u + TUint64(tv.tv_usec);
}
}  // namespace

MainView::MainView(const std::string& rootDirectory)
    : files(rootDirectory),
      rootDirectory_(OString::fromQString(QFile::decodeName(QByteArray::fromStdString(rootDirectory)))) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setWindowState(Qt::WindowFullScreen);
    x11props::markNotComposited();
    host::setBeforeEnd([this] { closeLog(); });
    extensions.setWindowMinimiser([this] { showMinimized(); });
}

MainView::~MainView() { host::setBeforeEnd(nullptr); }

void MainView::start() {
    startMicros = nowMicros();
    graphics::installNatives();
    VirtualMachine& vm = VirtualMachine::createCurrent();
    scheduler.setVm(&vm);
    extensions.attach(&vm, this);
    std::unique_ptr<CAppsFileReader> reader = openForReading(OString("index.mcb"), 0);
    if (!reader) {
        std::fprintf(stderr, "Failed to open '%s/index.mcb'\n", files.root().c_str());
        host::endProcess(1);
    }
    host::callVm([&] { vm.load(CAppsString("index.mcb"), *reader->getStream(), this); });
    update();
}

bool MainView::isRotatedPortrait() const { return orientation_ == 1 && width() > height(); }

// --- input ---------------------------------------------------------------------

void MainView::keyPressEvent(QKeyEvent* e) { deliverKey(e, true); }
void MainView::keyReleaseEvent(QKeyEvent* e) { deliverKey(e, false); }

void MainView::deliverKey(QKeyEvent* e, bool pressed) {
    VirtualMachine* vm = VirtualMachine::current();
    if (!vm) return;
    OString text = OString::fromQString(e->text());
    TInt32 code = host::playerKeyCode(e->key());
    TInt32 scan = TInt32(e->nativeScanCode());
    host::callVm([&] { vm->keyEvent(newKeyEvent(*vm, code, scan, 0, text), pressed); });
}

void MainView::mousePressEvent(QMouseEvent* e) { deliverPointer(0, e); }
void MainView::mouseReleaseEvent(QMouseEvent* e) { deliverPointer(1, e); }
void MainView::mouseMoveEvent(QMouseEvent* e) { deliverPointer(6, e); }

void MainView::deliverPointer(TInt32 kind, QMouseEvent* e) {
    VirtualMachine* vm = VirtualMachine::current();
    if (!vm) return;
    QPoint p = e->position().toPoint();
    host::callVm([&] { vm->pointerEvent(kind, p.x(), p.y(), 0); });
}

// --- foreground state -------------------------------------------------------------

void MainView::showEvent(QShowEvent*) {
    visible = true;
    updateForeground();
}

void MainView::hideEvent(QHideEvent*) {
    visible = false;
    updateForeground();
}

void MainView::setApplicationVisible(bool value) {
    visible = value;
    updateForeground();
}

void MainView::displaySignal(QString state) {
    displayOn = state != QStringLiteral("off");
    updateForeground();
}

void MainView::updateForeground() {
    bool active = visible && displayOn;
    VirtualMachine* vm = VirtualMachine::current();
    if (active == lastActive || !vm) return;
    lastActive = active;
    host::callVm([&] { active ? vm->foregroundEvent() : vm->backgroundEvent(); });
}

// --- orientation and screen ---------------------------------------------------------

void MainView::setOrientation(TInt32 value) {
    if (value == orientation_) return;
    orientation_ = value;
    setOrientationToPortrait(value != 2);
    fitBackBuffer();
    update();
}

TInt32 MainView::orientation() { return orientation_; }

void MainView::setOrientationToPortrait(bool portrait) { x11props::requestPortrait(winId(), portrait); }

void MainView::screenSize(TInt32& width, TInt32& height) {
    width = orientation_ == 2 ? 800 : 480;
    height = orientation_ == 2 ? 480 : 800;
}

TInt32 MainView::currentMillis() { return TInt32(TUint32(nowMicros() / 1000)); }

TInt32 MainView::elapsedMillis() { return TInt32(TUint32((nowMicros() - startMicros) / 1000)); }
