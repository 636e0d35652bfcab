// Leaving for the desktop: the signal on a private session bus, the real
// window minimised where nothing owns the desktop's name, and a run without a
// session bus.
#include "ExtensionTestSupport.h"

#include "extensions/Desktop.h"

#include <QDBusConnectionInterface>

namespace mcb {

using namespace exttest;
using hosttest::ChildProcess;

namespace {
class DesktopView : public hosttest::HostView {
protected:
    void SetUp() override {
        HostView::SetUp();
        hosttest::writeImage(dir, hosttest::kApp);
        make().resize(800, 480);
        view->show();
    }
    // Starts the application and calls Maemo function 1 on its stack.
    void leaveToDesktop() {
        if (!VirtualMachine::current()) view->start();
        EXPECT_EQ(view->extensionTable().call(37, 1, 3, VirtualMachine::current()->stack()), 3);
    }
};
}  // namespace

TEST_F(DesktopView, TheSignalGoesOutAndTheWindowIsMinimisedWhereNothingListens) {
    PrivateBus session(false);
    if (!session.up() || !hosttest::haveProgram("dbus-monitor")) GTEST_SKIP() << "no private D-Bus daemon or no dbus-monitor";
    ChildProcess monitor({"/bin/sh", "-c", "exec dbus-monitor --address " + session.address + " 1>&2"},
                         hosttest::playerEnvironment(session.dir.root()), session.dir.root());
    ASSERT_TRUE(monitor.waitFor("member=NameLost")) << monitor.err();
    view->extensionTable().setDesktopBus([&] { return session.connect("desktop-test"); });
    leaveToDesktop();
    EXPECT_TRUE(monitor.waitFor("path=/lofasz; interface=com.nokia.hildon_desktop; member=exit_app_view")) << monitor.err();
    EXPECT_TRUE(waitUntil([&] { return view->isMinimized(); }));
}

TEST_F(DesktopView, TheWindowStaysWhereTheDesktopOwnsItsName) {
    PrivateBus session(false);
    if (!session.up() || !hosttest::haveProgram("dbus-monitor")) GTEST_SKIP() << "no private D-Bus daemon or no dbus-monitor";
    QDBusConnection desktop = session.connect("hildon-desktop");
    ASSERT_TRUE(desktop.registerService(Desktop::kDesktopName));
    QDBusConnection player = session.connect("desktop-test");
    view->extensionTable().setDesktopBus([&] { return player; });
    leaveToDesktop();
    // A round trip on the player's connection: the answer about the name came
    // before it, and the events that follow handle it.
    ASSERT_TRUE(player.interface()->isServiceRegistered(Desktop::kDesktopName).value());
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->isMinimized());
    // A call made while the desktop is still being asked is not lost: it goes
    // out once the answer ("owned") is handled, and this time nobody owns it.
    leaveToDesktop();
    ASSERT_TRUE(player.interface()->isServiceRegistered(Desktop::kDesktopName).value());
    desktop.unregisterService(Desktop::kDesktopName);
    leaveToDesktop();
    EXPECT_TRUE(waitUntil([&] { return view->isMinimized(); }));
}

TEST_F(DesktopView, WithoutABusTheWindowIsMinimisedAtOnce) {
    view->extensionTable().setDesktopBus([&] { return QDBusConnection::connectToBus("unix:path=" + QString::fromStdString(dir.path("none")), QString::fromStdString(dir.root())); });
    leaveToDesktop();
    EXPECT_TRUE(view->isMinimized());
}

TEST(DesktopRun, WithoutASessionBusTheApplicationCarriesOn) {
    Scratch dir;
    hosttest::writeImage(dir, R"(
.method "main", main, f
.descriptor f
.string before "before"
.string after "after"
.code
main:
    ldstr before
    native Debug.log
    extcall Maemo.exit_to_desktop
    extcall Maemo.exit_to_desktop
    ldstr after
    native Debug.log
    native System.exit
    ret 0, 1
)");
    ChildProcess player({hosttest::playerBinary()},
                        hosttest::playerEnvironment(dir.path("run"), {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.path("none")}}),
                        dir.root());
    EXPECT_EQ(player.finish(30), 0) << player.err();
    EXPECT_EQ(hosttest::logLines(player.err()), hosttest::Lines({"before", "after"}));
}

}  // namespace mcb
