// The host in this process: the canvas, the KeyEvent, Timer and Screen natives,
// and the main view's log, other services and Qt events under the offscreen
// platform (its file services: DesktopViewTest.cpp; the Screen listeners as
// roots: natives/SystemTest.cpp).
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

TEST(Canvas, PaintsWithinItsClipUntilPaintingEndsAndRefusesScribbledHandles) {
    ensureQtApp();
    QPixmap buffer(20, 10);
    buffer.fill(Qt::black);
    VirtualMachine vm;
    VMAddr handle = graphics::newCanvasHandle(vm.heap(), graphics::newCanvasSurface(vm.heap(), &buffer));
    EXPECT_EQ(graphics::kindOf(vm.heap(), handle), graphics::CanvasHandle);
    GraphicsContainer* canvas = graphics::surfaceOf(vm.heap(), handle);
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(canvas->isPainting());
    EXPECT_EQ(canvas->painter().font().pixelSize(), 40);
    canvas->setClipRegion(QRegion(0, 0, 10, 10));
    canvas->clear(0xFFFF0000);
    canvas->endPainting();
    canvas->clear(0xFF00FF00);  // after the paint: nothing happens
    QImage image = buffer.toImage();
    EXPECT_EQ(image.pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(15, 5), 0xFF000000u);

    auto surface = [&] { graphics::surfaceOf(vm.heap(), handle); };
    vm.memory().writeWord(handle, 3);
    expectRaises(vmerr::VM, "VMException: Invalid object type ID", surface);
    vm.memory().writeWord(handle, 1);
    vm.memory().writeWord(handle + 4, vm.newString(OString("not a surface")));
    expectRaises(vmerr::VM, "VMException: Invalid TYPEID", surface);
    vm.memory().writeWord(handle + 4, 0);
    EXPECT_EQ(graphics::surfaceOf(vm.heap(), handle), nullptr);
    expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer", [&] { graphics::kindOf(vm.heap(), 0); });

    QPixmap none;  // no buffer: an inert surface
    GraphicsContainer inert(&none);
    EXPECT_FALSE(inert.isPainting());
    inert.fillRect(0, 0, 1, 1, 0xFFFFFFFF);
}

TEST(HostNatives, KeyEventFieldsAndErrors) {
    VirtualMachine vm;
    auto cellOf = [&](VMAddr object) {  // bytecode passes the event behind a reference cell
        VMAddr cell = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
        vm.memory().writeWord(cell, object);
        return TInt32(cell);
    };
    auto field = [&](TInt32 cell, TInt32 function) {
        TInt32 value = callNative(vm, keyEventNative, function, {cell});
        EXPECT_EQ(vm.sp(), 0);
        return value;
    };
    TInt32 cell = cellOf(newKeyEvent(vm, 65, 38, 0, OString("a")));
    EXPECT_EQ(field(cell, 1), 65);
    EXPECT_EQ(field(cell, 2), 0);
    EXPECT_EQ(field(cell, 3), 38);
    EXPECT_TRUE(vm.stringOf(VMAddr(field(cell, 4))) == OString("a"));

    expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer", [&] { field(0, 1); });
    expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer", [&] { field(cellOf(0), 1); });
    TInt32 notAnEvent = cellOf(vm.newString(OString("x")));
    expectRaises(vmerr::VM, "VMException: Invalid TYPEID", [&] { field(notAnEvent, 1); });
    // A host without timers refuses the timer: the run halts, the listener is no root.
    TInt32 listener = cellOf(0);
    EXPECT_THROW(callNative(vm, timerNative, 1, {listener, 10}), ErrorHandlingException);
    EXPECT_EQ(vmerr::pendingErrorCode(), vmerr::Halt);
    EXPECT_EQ(vm.heap().isRoot(VMAddr(listener)), 0);
    // A listener that is no object is refused as an operand would be, before the host is asked.
    const std::pair<TInt32, const char*> notListeners[] = {{0, "NullPointerException: NULL pointer"},
                                                           {0x12345, "VMException: Invalid TYPEID"},
                                                           {listener + 4, "VMException: Invalid TYPEID"}};
    for (auto [object, message] : notListeners)
        expectRaises(object ? vmerr::VM : vmerr::NullPointer, message, [&, object = object] {
            callNative(vm, timerNative, 1, {object, 10});
        });
}

// The log starts empty when opened again, obeys the path rule and never follows a link out
// of the root; a refused open keeps the current log only when the path itself is refused.
TEST_F(HostView, TheLogReopensEmptyAndStaysBelowTheRootAndOtherServicesAnswer) {
    MainView& v = make();
    ASSERT_TRUE(v.openLog(OString("log.txt")));
    v.log(OString("one"));
    ASSERT_TRUE(v.openLog(OString("log.txt")));  // opening again starts it empty
    v.log(OString("two"));
    v.log(OString(""));  // empty messages reach standard error only
    const TUint16 utf16[] = {'e', 0xE9, 0x20AC};
    v.log(OString(utf16, 3));             // written as UTF-8
    EXPECT_TRUE(v.openLog(OString("")));  // an empty path closes it
    v.log(OString("three"));
    EXPECT_EQ(dir.read("log.txt"), "LOG: two\nLOG: e\xC3\xA9\xE2\x82\xAC\n");

    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    EXPECT_LE(std::abs(v.currentMillis() - TInt32(TUint32(now.count()))), 1000);
    TInt32 stack[4] = {};
    expectRaises(vmerr::VM, "VMException: Dll not supported", [&] { v.callDllNative(21, 1, 0, stack); });

    Scratch elsewhere;
    std::filesystem::create_symlink(elsewhere.root(), dir.path("out"));
    std::filesystem::create_symlink(elsewhere.path("log.txt"), dir.path("outlog"));
    const TUint16 lookalike[] = {0x12E, 0x12E, '/', 'l', 'o', 'g'};
    ASSERT_TRUE(v.openLog(OString(lookalike, 6)));  // a folder of that name, below the root
    v.log(OString("kept"));
    for (const char* refused : {"../log", "out/log.txt", "outlog", "out/../x"})
        EXPECT_FALSE(v.openLog(OString(refused))) << refused;
    v.log(OString("lost"));
    EXPECT_EQ(dir.read("\xC4\xAE\xC4\xAE/log"), "LOG: kept\n");
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.root()));
}

// keys.ini lies where the application writes: a file far larger than a key map is not read.
TEST(KeyMapping, PrintableCodesPassNamedKeysMapAndAKeysFileOver64KiBIsNotRead) {
    const std::pair<int, TInt32> keys[] = {{Qt::Key_Space, 32},
                                           {96, 96},
                                           {97, host::kOtherKey},
                                           {Qt::Key_F1, 0x1000000},
                                           {Qt::Key_Backspace, 0x1000002},
                                           {Qt::Key_Left, 0x1000003},
                                           {Qt::Key_Right, 0x1000004},
                                           {Qt::Key_Up, 0x1000005}};
    for (auto [key, code] : keys) EXPECT_EQ(host::playerKeyCode(key), code) << key;
    Scratch dir;
    dir.write("keys.ini", "W = Up\n" + std::string(70000, '#'));
    host::KeyMap map;
    std::vector<std::string> warnings;
    map.load(dir.path("keys.ini"), warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{dir.path("keys.ini") + ": larger than 64 KiB; not read"});
    EXPECT_EQ(map.map(Qt::Key_W, "w").code, TInt32(Qt::Key_W)) << "its lines are not taken";
}

TEST_F(HostView, KeysPointerAndForegroundReachTheApplication) {
    start(kApp);
    QTest::keyPress(view.get(), Qt::Key_Return);
    EXPECT_EQ(global(1), 0x1000001);
    QTest::keyRelease(view.get(), Qt::Key_Return);
    EXPECT_EQ(global(2), 0x1000001);
    QTest::keyClick(view.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(global(1), 0x1000000);
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(global(1), 0x1000006);
    EXPECT_EQ(global(3), 3);

    // Press, move and release are kinds 0, 6 and 1.
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    EXPECT_EQ(global(8 + 0), 10020);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), view->mapToGlobal(QPointF(30, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &move);
    EXPECT_EQ(global(8 + 6), 30040);
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 60));
    EXPECT_EQ(global(8 + 1), 50060);

    view->displaySignal("off");  // whatever was reported before, now inactive
    ASSERT_TRUE(view->openLog(OString("log.txt")));
    view->show();  // while the display is off: still in the background
    QApplication::processEvents();
    for (const char* state : {"on", "dimmed", "off", "on"}) view->displaySignal(state);  // anything but "off" is on
    view->setApplicationVisible(false);
    view->openLog(OString(""));
    EXPECT_EQ(dir.read("log.txt"), "LOG: foreground\nLOG: background\nLOG: foreground\nLOG: background\n");
}

TEST_F(HostView, TimerNativesClampDelaysAndRootTheirListenersWhileTheirTimersExist) {
    start(kApp);
    VirtualMachine& vm = *VirtualMachine::current();
    VMAddr listener = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
    TInt32 first = callNative(vm, timerNative, 1, {TInt32(listener), -5});
    TInt32 second = callNative(vm, timerNative, 1, {TInt32(listener), 100000});
    ASSERT_NE(view->timers().find(first), nullptr);
    EXPECT_EQ(view->timers().find(first)->interval(), 0);
    callNative(vm, timerNative, 3, {second, -7});
    callNative(vm, timerNative, 2, {first});
    EXPECT_EQ(view->timers().find(first), nullptr);
    ASSERT_NE(view->timers().find(second), nullptr);
    EXPECT_EQ(view->timers().find(second)->interval(), 0);
    EXPECT_EQ(view->timers().count(), 1);
    EXPECT_EQ(vm.heap().isRoot(listener), 1);  // still rooted by the second timer
    callNative(vm, timerNative, 2, {second});
    EXPECT_EQ(vm.heap().isRoot(listener), 0);
}

// Every paint calls draw; repaint requests reach the window (turned in rotated
// portrait); size and orientation change both ways.
TEST_F(HostView, EveryPaintCallsDrawAndScreenNativesRepaintAndTurnTheWindow) {
    start(kApp);
    RecordingView& v = *view;
    v.show();
    QApplication::processEvents();
    TInt32 before = global(4);
    for (int i = 0; i < 3; ++i) v.repaint();
    EXPECT_EQ(global(4), before + 3);
    EXPECT_EQ(MainViewBase::widgetToApplication(QRect(20, 440, 40, 30), 480), QRect(10, 20, 30, 40));
    VirtualMachine& vm = *VirtualMachine::current();
    auto screen = [&](TInt32 function, std::initializer_list<TInt32> args) {
        callNative(vm, screenNative, function, args);
        return vm.sp();
    };
    auto size = [&] {
        EXPECT_EQ(screen(2, {}), 1);  // two words pushed
        return std::make_pair(vm.slot(0), vm.slot(1));
    };
    auto orientation = [&] {
        EXPECT_EQ(screen(4, {}), 0);
        return vm.slot(0);
    };
    auto painted = [&](TInt32 function, std::initializer_list<TInt32> args) {
        QApplication::processEvents();
        v.painted = QRegion();
        EXPECT_EQ(screen(function, args), -1);  // every argument removed
        QApplication::processEvents();
        return v.painted.boundingRect();
    };

    EXPECT_EQ(size(), std::make_pair(800, 480));
    EXPECT_EQ(orientation(), 2);
    EXPECT_EQ(painted(6, {10, 20, 30, 40}), QRect(10, 20, 30, 40));
    EXPECT_EQ(painted(6, {-5, 470, INT32_MAX, INT32_MAX}), QRect(0, 470, 800, 10));  // clipped, no overflow
    EXPECT_TRUE(painted(6, {2000000000, 0, 2000000000, 1}).isEmpty());
    EXPECT_TRUE(painted(6, {0, 0, INT32_MIN, 1}).isEmpty());
    EXPECT_EQ(painted(1, {}), QRect(0, 0, 800, 480));

    EXPECT_EQ(painted(3, {1}), QRect(0, 0, 800, 480));  // a new orientation repaints everything
    EXPECT_TRUE(v.isRotatedPortrait());
    EXPECT_EQ(size(), std::make_pair(480, 800));
    EXPECT_EQ(orientation(), 1);
    EXPECT_EQ(v.buffer().size(), QSize(480, 800));
    EXPECT_EQ(painted(6, {10, 20, 30, 40}), QRect(20, 440, 40, 30));
    EXPECT_EQ(painted(1, {}), QRect(0, 0, 800, 480));  // the whole portrait picture, turned
    EXPECT_TRUE(painted(3, {1}).isEmpty());            // unchanged: nothing

    painted(3, {2});
    EXPECT_FALSE(v.isRotatedPortrait());
    EXPECT_EQ(size(), std::make_pair(800, 480));
    EXPECT_EQ(orientation(), 2);
    EXPECT_EQ(v.buffer().size(), QSize(800, 480));
}

}  // namespace mcb
