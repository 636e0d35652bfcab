// MainView: input. Keys, the pointer, visibility and the display state become
// input events; the player's own keys (full screen, quit, screenshot, tilt)
// never reach the application.
#include "host/HostProcess.h"
#include "host/MainView.h"
#include "host/Tilt.h"
#include "host/ViewGeometry.h"
#include "vm/VirtualMachine.h"

#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace mcb {

void MainView::input(InputEvent e) {
    if (clock_ && clock_->started()) return clock_->post(std::move(e));
    apply(e);
}

void MainView::apply(const InputEvent& e) {
    VirtualMachine* vm = VirtualMachine::current();
    switch (e.kind) {
    case InputEvent::Key:
        if (!vm) return;
        host::callVm([&] {
            OString text = OString::fromQString(QString::fromStdString(e.text));
            vm->keyEvent(e.b, e.c, 0, text, e.a != 0);
        });
        break;
    case InputEvent::Pointer:
        if (vm) host::callVm([&] { vm->pointerEvent(e.a, e.b, e.c, 0); });
        break;
    case InputEvent::Visible:
        visible = e.a != 0;
        updateForeground();
        break;
    case InputEvent::Display:
        displayOn = e.text != "off";
        updateForeground();
        break;
    case InputEvent::Accel: tilt_->set({e.a, e.b, e.c}); break;
    case InputEvent::Frame:
    case InputEvent::End: break;
    }
}

// --- keys ----------------------------------------------------------------------

void MainView::keyPressEvent(QKeyEvent* e) {
    if (desktopKey(e)) return;
    host::KeyMap::Key k = keys_.map(e->key(), e->text());
    input(InputEvent::key(true, k.code, TInt32(e->nativeScanCode()), k.text.toStdString()));
}

void MainView::keyReleaseEvent(QKeyEvent* e) {
    if (desktopKeysDown_.count(e->key())) {
        if (!e->isAutoRepeat()) desktopKeysDown_.erase(e->key());
        return;
    }
    host::KeyMap::Key k = keys_.map(e->key(), e->text());
    input(InputEvent::key(false, k.code, TInt32(e->nativeScanCode()), k.text.toStdString()));
}

// F11 and Alt+Enter: full screen; Ctrl+Q: quit; F12: screenshot; Ctrl and an
// arrow: tilt; Ctrl+0: lie flat.
bool MainView::desktopKey(QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const int key = e->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    int dx = 0, dy = 0;
    if (mods == Qt::ControlModifier) {
        dx = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
        dy = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
    }
    if (key == Qt::Key_F11 || (enter && mods == Qt::AltModifier)) {
        if (!e->isAutoRepeat()) toggleFullScreen();
    } else if (key == Qt::Key_Q && mods == Qt::ControlModifier) {
        close();
    } else if (key == Qt::Key_F12 && mods == Qt::NoModifier) {
        if (!e->isAutoRepeat()) takeScreenshot();
    } else if (dx || dy) {
        Acceleration a = tilt::tilted(tilt_->read(), dx, dy);
        input(InputEvent::accel(a.x, a.y, a.z));
    } else if (key == Qt::Key_0 && mods == Qt::ControlModifier) {
        Acceleration a = tilt::level();
        input(InputEvent::accel(a.x, a.y, a.z));
    } else {
        return false;
    }
    desktopKeysDown_.insert(key);
    return true;
}

// The geometry is set here too, so that it changes where no window manager
// would do it.
void MainView::toggleFullScreen() {
    if (isFullScreen()) {
        showNormal();
        setGeometry(normalGeometry_.isValid() ? normalGeometry_ : QRect(pos(), settings_.windowSize));
        return;
    }
    normalGeometry_ = isVisible() ? geometry() : QRect();
    if (QScreen* s = screen()) setGeometry(s->geometry());
    showFullScreen();
}

void MainView::tiltTo(Acceleration a) { input(InputEvent::accel(a.x, a.y, a.z)); }

void MainView::setGamepad(std::unique_ptr<Gamepad> pad) { gamepad_ = std::move(pad); }

// Into the data directory (the application's folder where that is written
// to), under a name no earlier screenshot has.
void MainView::takeScreenshot() {
    QString folder = QFile::decodeName(QByteArray::fromStdString(
        files.dataDirectory().empty() ? files.root() : files.dataDirectory()));
    QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString path = folder + "/screenshot-" + stamp + ".png";
    for (int n = 2; QFile::exists(path); ++n) path = folder + "/screenshot-" + stamp + "-" + QString::number(n) + ".png";
    if (buffer().toImage().save(path, "PNG")) {
        lastScreenshot_ = QFile::encodeName(path).toStdString();
        showTitleNotice("Screenshot saved to " + path);
    } else {
        showTitleNotice("Could not save the screenshot to " + path);
    }
}

void MainView::showTitleNotice(const QString& text) {
    setWindowTitle(QString::fromStdString(settings_.appName) + " \u2014 " + text);
    titleTimer_.start(2000);
}

// --- pointer -------------------------------------------------------------------

// A press on a bar goes nowhere, nor do the moves and the release that follow
// it; after a press on the picture they are kept to its edge.
void MainView::mousePressEvent(QMouseEvent* e) {
    QPoint p;
    pressInside_ = view::toPicture(e->position(), placement(), shownSize(), p);
    if (pressInside_) input(InputEvent::pointer(0, p.x(), p.y()));
}

void MainView::mouseReleaseEvent(QMouseEvent* e) {
    if (!pressInside_) return;
    if (e->buttons() == Qt::NoButton) pressInside_ = false;
    QPoint p = view::toPictureClamped(e->position(), placement(), shownSize());
    input(InputEvent::pointer(1, p.x(), p.y()));
}

void MainView::mouseMoveEvent(QMouseEvent* e) {
    if (!pressInside_) return;
    QPoint p = view::toPictureClamped(e->position(), placement(), shownSize());
    input(InputEvent::pointer(6, p.x(), p.y()));
}

// --- foreground state -------------------------------------------------------------

void MainView::showEvent(QShowEvent*) { input(InputEvent::visible(true)); }

void MainView::hideEvent(QHideEvent*) { input(InputEvent::visible(false)); }

void MainView::setApplicationVisible(bool value) { input(InputEvent::visible(value)); }

void MainView::displaySignal(QString state) { input(InputEvent::display(state.toStdString())); }

void MainView::updateForeground() {
    bool active = visible && displayOn;
    VirtualMachine* vm = VirtualMachine::current();
    if (active == lastActive_ || !vm) return;
    lastActive_ = active;
    host::callVm([&] { active ? vm->foregroundEvent() : vm->backgroundEvent(); });
}

}  // namespace mcb
