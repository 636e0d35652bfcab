// The Screen natives against the real main view: repaint requests reach the
// window (turned in rotated portrait), size and orientation change both ways
// (listeners as roots: natives/ScreenNativesTest.cpp).
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

TEST_F(HostView, ScreenNativesRepaintAndTurnTheWindow) {
    start(kApp);
    RecordingView& v = *view;
    v.show();
    QApplication::processEvents();
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
    EXPECT_EQ(painted(1, {}), QRect(0, 0, 800, 480));

    EXPECT_EQ(painted(3, {1}), QRect(0, 0, 800, 480));  // a new orientation repaints everything
    EXPECT_TRUE(v.isRotatedPortrait());
    EXPECT_EQ(size(), std::make_pair(480, 800));
    EXPECT_EQ(orientation(), 1);
    EXPECT_EQ(v.buffer().size(), QSize(480, 800));
    EXPECT_EQ(painted(6, {10, 20, 30, 40}), QRect(20, 440, 40, 30));
    EXPECT_EQ(painted(1, {}), QRect(0, 0, 800, 480));  // the whole portrait picture, turned
    EXPECT_TRUE(painted(3, {1}).isEmpty());              // unchanged: nothing

    painted(3, {2});
    EXPECT_FALSE(v.isRotatedPortrait());
    EXPECT_EQ(size(), std::make_pair(800, 480));
    EXPECT_EQ(orientation(), 2);
    EXPECT_EQ(v.buffer().size(), QSize(800, 480));
}

}  // namespace mcb
