// The main view in this process with Qt's test events on the real widget:
// key mapping and delivery, pointer kinds, a draw call on every paint, the
// foreground state, and the timer natives through the scheduler.
#include "HostTestSupport.h"

#include "host/KeyMapping.h"
#include "host/MainView.h"
#include "vm/VirtualMachine.h"

#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

using hosttest::ScratchDir;

namespace {
// Globals: 0 last pressed code, 1 last released code, 2 last scan code,
// 3 presses, 4 draws, 5 foreground events, 6 background events,
// 7 the application, 8 + kind: x * 1000 + y of the last pointer event of that kind.
const char* const kInputApp = R"(
.globals 16
.method "main", main, frame0
.method "<*application>.key pressed<keyevent>", keyPressed, frame2
.method "<*application>.key released<keyevent>", keyReleased, frame2
.method "<*application>.pointer event<int>at x<int>y<int>modifiers<int>", pointer, frame5
.method "<*application>.draw to<canvas>", draw, frame2
.method "<*application>.foreground event", foreground, frame1
.method "<*application>.background event", background, frame1
.class App
.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0, 1
.descriptor frame5
    .lengths 5, 0, 0
    .refs 0
.code
main:
    ldglobals
    fielda 7
    alloc 1, 1
    dup
    setclass App
    store
    ldglobals
    fielda 7
    deref
    native System.set_application
    ret 0, 1
keyPressed:
    ldglobals
    ldloca -3
    native KeyEvent.key_code
    store
    ldglobals
    fielda 2
    ldloca -3
    native KeyEvent.scan_code
    store
    ldglobals
    fielda 3
    incm
    ret 0, 3
keyReleased:
    ldglobals
    fielda 1
    ldloca -3
    native KeyEvent.key_code
    store
    ret 0, 3
pointer:
    ldglobals
    fielda 8
    ldloc -6                      ; kind
    push 4
    mul
    add
    ldloc -5                      ; x
    push 1000
    mul
    ldloc -5                      ; y
    add
    store
    ret 0, 6
draw:
    ldglobals
    fielda 4
    incm
    ret 0, 3
foreground:
    ldglobals
    fielda 5
    incm
    ret 0, 2
background:
    ldglobals
    fielda 6
    incm
    ret 0, 2
)";

// Globals: 0 and 1 the two timer ids, 2 the listener.
const char* const kTimerApp = R"(
.globals 3
.method "main", main, frame0
.class Listener
.descriptor frame0
    .lengths 0, 0, 0
.code
main:
    ldglobals
    fielda 2
    alloc 1, 1
    dup
    setclass Listener
    store
    ldglobals
    ldglobals
    fielda 2
    deref
    push -5                       ; a negative delay becomes 0
    native Timer.add
    store
    ldglobals
    fielda 1
    ldglobals
    fielda 2
    deref
    push 100000
    native Timer.add
    store
    ldglobals
    fielda 1
    deref
    push -7
    native Timer.update_delay
    ldglobals
    deref
    native Timer.remove
    ldglobals
    deref
    native Timer.remove           ; a second time: nothing happens
    ret 0, 1
)";

// Records the region of every paint event.
class RecordingView : public MainView {
public:
    using MainView::MainView;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* e) override {
        painted += e->region();
        MainView::paintEvent(e);
    }
};

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override { hosttest::ensureQtApp(); }
    void TearDown() override {
        view.reset();
        VirtualMachine::destroyCurrent();
    }

    void start(const char* source) {
        hosttest::writeImage(dir, source);
        view = std::make_unique<MainView>(OString(dir.root().c_str()));
        view->resize(800, 480);
        view->start();
    }
    TInt32 global(TInt32 i) {
        VirtualMachine* vm = VirtualMachine::current();
        return TInt32(vm->memory().readWord(vm->globals() + TUint32(i) * 4));
    }

    ScratchDir dir;
    std::unique_ptr<MainView> view;
};
}  // namespace

TEST(KeyMapping, PrintableCodesPassAndNamedKeysMap) {
    const std::pair<int, TInt32> keys[] = {
        {Qt::Key_Space, 32},           {Qt::Key_A, 65},              {96, 96},
        {97, host::kOtherKey},         {Qt::Key_Return, 0x1000001},  {Qt::Key_Enter, 0x1000000},
        {Qt::Key_Backspace, 0x1000002}, {Qt::Key_Left, 0x1000003},   {Qt::Key_Right, 0x1000004},
        {Qt::Key_Up, 0x1000005},       {Qt::Key_Down, 0x1000006},    {Qt::Key_F1, 0x1000000}};
    for (auto [key, code] : keys) EXPECT_EQ(host::playerKeyCode(key), code) << key;
}

TEST_F(MainViewTest, KeysReachTheApplicationAsKeyEvents) {
    start(kInputApp);
    QTest::keyPress(view.get(), Qt::Key_Return);
    EXPECT_EQ(global(0), 0x1000001);
    QTest::keyRelease(view.get(), Qt::Key_Return);
    EXPECT_EQ(global(1), 0x1000001);
    QTest::keyClick(view.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(global(0), 0x1000000);
    QTest::keyClick(view.get(), Qt::Key_A);
    EXPECT_EQ(global(0), 65);
    EXPECT_EQ(global(1), 65);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(global(0), 0x1000006);
    EXPECT_EQ(global(3), 4);
}

TEST_F(MainViewTest, PointerPressMoveAndReleaseAreKindsZeroSixAndOne) {
    start(kInputApp);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    EXPECT_EQ(global(8 + 0), 10020);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), view->mapToGlobal(QPointF(30, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &move);
    EXPECT_EQ(global(8 + 6), 30040);
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 60));
    EXPECT_EQ(global(8 + 1), 50060);
}

TEST_F(MainViewTest, EveryPaintCallsDraw) {
    start(kInputApp);
    view->show();
    QApplication::processEvents();
    TInt32 before = global(4);
    for (int i = 0; i < 3; ++i) view->repaint();
    EXPECT_EQ(global(4), before + 3);
    ASSERT_FALSE(view->buffer().isNull());
    EXPECT_EQ(view->buffer().size(), view->size());
}

TEST_F(MainViewTest, ForegroundFollowsVisibilityAndTheDisplay) {
    start(kInputApp);
    view->displaySignal("off");  // whatever was reported before, now inactive
    TInt32 fg = global(5), bg = global(6);
    view->show();
    QApplication::processEvents();
    EXPECT_EQ(global(5), fg);  // shown while the display is off: still in the background
    view->displaySignal("on");
    EXPECT_EQ(global(5), fg + 1);
    view->displaySignal("dimmed");  // anything but "off" is on
    EXPECT_EQ(global(5), fg + 1);
    view->displaySignal("off");
    EXPECT_EQ(global(6), bg + 1);
    view->displaySignal("on");
    view->setApplicationVisible(false);
    EXPECT_EQ(global(6), bg + 2);
    EXPECT_EQ(global(5), fg + 2);
}

TEST_F(MainViewTest, TimerNativesClampDelaysAndRootTheirListeners) {
    start(kTimerApp);
    TInt32 first = global(0), second = global(1);
    EXPECT_GE(first, 10);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(view->timers().find(first), nullptr);
    ASSERT_NE(view->timers().find(second), nullptr);
    EXPECT_EQ(view->timers().find(second)->interval(), 0);
    EXPECT_EQ(view->timers().count(), 1);
    VirtualMachine* vm = VirtualMachine::current();
    EXPECT_EQ(vm->heap().isRoot(VMAddr(global(2))), 1);  // still rooted by the second timer
}

TEST_F(MainViewTest, RotatedPortraitNeedsPortraitInAWideWindow) {
    start(kInputApp);
    EXPECT_FALSE(view->isRotatedPortrait());
    TInt32 w = 0, h = 0;
    view->screenSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 480);
    view->setOrientation(1);
    EXPECT_EQ(view->orientation(), 1);
    EXPECT_TRUE(view->isRotatedPortrait());
    view->screenSize(w, h);
    EXPECT_EQ(w, 480);
    EXPECT_EQ(h, 800);
    view->resize(480, 800);
    EXPECT_FALSE(view->isRotatedPortrait());
}

TEST_F(MainViewTest, RepaintRequestsAreTurnedWithTheRotatedPicture) {
    hosttest::writeImage(dir, kInputApp);
    RecordingView v(OString(dir.root().c_str()));
    v.resize(800, 480);
    v.start();
    v.show();
    QApplication::processEvents();
    v.painted = QRegion();
    v.repaintRect(10, 20, 30, 40);
    QApplication::processEvents();
    EXPECT_EQ(v.painted.boundingRect(), QRect(10, 20, 30, 40));
    EXPECT_EQ(v.buffer().size(), QSize(800, 480));
    v.setOrientation(1);
    QApplication::processEvents();
    EXPECT_EQ(v.buffer().size(), QSize(480, 800));  // the portrait picture, turned when shown
    v.painted = QRegion();
    v.repaintRect(10, 20, 30, 40);
    QApplication::processEvents();
    EXPECT_EQ(v.painted.boundingRect(), QRect(20, 440, 40, 30));
    v.setOrientation(1);  // unchanged: no repaint
    v.painted = QRegion();
    QApplication::processEvents();
    EXPECT_TRUE(v.painted.isEmpty());
    VirtualMachine::destroyCurrent();
}

TEST(RotatedPortrait, WidgetAndApplicationRectanglesMapBothWays) {
    EXPECT_EQ(MainViewBase::applicationToWidget(QRect(10, 20, 30, 40), 480), QRect(20, 440, 40, 30));
    EXPECT_EQ(MainViewBase::widgetToApplication(QRect(20, 440, 40, 30), 480), QRect(10, 20, 30, 40));
    // The whole portrait picture fills the landscape widget.
    EXPECT_EQ(MainViewBase::applicationToWidget(QRect(0, 0, 480, 800), 480), QRect(0, 0, 800, 480));
    QRect r(3, 7, 11, 13);
    EXPECT_EQ(MainViewBase::widgetToApplication(MainViewBase::applicationToWidget(r, 480), 480), r);
}

TEST_F(MainViewTest, TheViewIsAFrameworkServicesByQtsCastToo) {
    view = std::make_unique<MainView>(OString(dir.root().c_str()));
    EXPECT_EQ(view->qt_metacast("FrameworkServices"), static_cast<FrameworkServices*>(view.get()));
    EXPECT_EQ(view->qt_metacast("MainViewBase"), static_cast<MainViewBase*>(view.get()));
}
