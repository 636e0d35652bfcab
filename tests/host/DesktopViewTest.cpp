// The window's desktop side in this process: the key map and keys.ini, the
// player's own keys (screenshot, tilt, quit) that never reach the
// application, a gamepad's stick, the file services and the data directory
// taking the writes, the title and the smallest size.
#include "HostTestSupport.h"
#include "host/Tilt.h"

#include <linux/joystick.h>

namespace mcb {

using namespace hosttest;

class DesktopView : public HostView {
protected:
    MainView& configured(const std::string& keys = "", RunSettings s = {}) {
        writeImage(dir, kApp);
        if (!keys.empty()) data.write("keys.ini", keys);
        s.appName = "game";
        s.dataDirectory = data.root();
        std::string error;
        EXPECT_TRUE(make().configure(s, error)) << error;
        view->setWindowState(Qt::WindowNoState);
        view->resize(800, 480);
        view->show();
        view->start();
        return *view;
    }
    Scratch data;
};

TEST_F(DesktopView, KeysIniSendsKeysElsewhereAndSaysWhichLinesItCannotRead) {
    StderrCapture said;
    configured("# my keys\n[keys]\nW = Up\nspace = Return ; a comment\nQ = a\nE = 0x1000002\n"
               "nonsense\nF13 = Nowhere\nCtrl+A = Up\n");
    const struct {
        Qt::Key key;
        TInt32 code;
    } cases[] = {{Qt::Key_W, host::kUpKey}, {Qt::Key_Space, host::kReturnKey}, {Qt::Key_Q, 65},
                 {Qt::Key_E, host::kBackspaceKey}, {Qt::Key_A, 65}, {Qt::Key_Up, host::kUpKey},
                 {Qt::Key_Enter, host::kOtherKey}};
    for (const auto& c : cases) {
        QTest::keyClick(view.get(), c.key);
        EXPECT_EQ(global(1), c.code) << c.key;
        EXPECT_EQ(global(2), c.code) << c.key;  // the release maps alike
    }
    std::string text = said.text(), ini = data.path("keys.ini");
    EXPECT_NE(text.find(ini + ":7: expected 'PC KEY = HANDSET KEY'"), std::string::npos) << text;
    EXPECT_NE(text.find(ini + ":8: 'Nowhere' is not a handset key"), std::string::npos) << text;
    EXPECT_NE(text.find(ini + ":9: 'Ctrl+A' is not a key name"), std::string::npos) << text;
}

TEST_F(DesktopView, ThePlayersOwnKeysNeverReachTheApplication) {
    MainView& v = configured();
    EXPECT_EQ(v.windowTitle(), "game");
    EXPECT_EQ(v.minimumSize(), QSize(400, 240));
    const TInt32 presses = global(3);

    QTest::keyClick(&v, Qt::Key_F12);
    EXPECT_EQ(v.lastScreenshot().rfind(data.root() + "/screenshot-", 0), 0u) << v.lastScreenshot();
    EXPECT_EQ(QImage(QString::fromStdString(v.lastScreenshot())).size(), QSize(800, 480));
    EXPECT_TRUE(v.windowTitle().startsWith("game \u2014 Screenshot saved to " + QString::fromStdString(data.root())));
    QTest::keyClick(&v, Qt::Key_F12);  // a second one never overwrites the first
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.root()), {}), 2);

    auto tilt = [&] { return v.tiltSource()->read(); };
    EXPECT_EQ(tilt(), tilt::level());
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(tilt(), (Acceleration{500, -250, -829}));
    for (int i = 0; i < 6; ++i) QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(tilt().x, 1000);  // at most one g
    QTest::keyClick(&v, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(tilt(), tilt::level());
    // Only the Ctrl key itself went to the application, once a press.
    EXPECT_EQ(global(3), presses + 10);
    EXPECT_EQ(global(1), host::kOtherKey);

    v.toggleFullScreen();
    EXPECT_TRUE(v.isFullScreen());
    v.toggleFullScreen();
    EXPECT_FALSE(v.isFullScreen());
    EXPECT_EQ(v.size(), QSize(800, 480));
    QTest::keyClick(&v, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(v.isVisible());
}

TEST_F(DesktopView, AGamepadsStickTilts) {
    MainView& v = configured();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    v.setGamepad(std::make_unique<Gamepad>(fds[0], [&v](Acceleration a) { v.tiltTo(a); }));
    auto send = [&](std::initializer_list<js_event> events) {
        for (js_event e : events) ASSERT_EQ(write(fds[1], &e, sizeof e), ssize_t(sizeof e));
    };
    send({{0, 0, JS_EVENT_AXIS | JS_EVENT_INIT, 0}, {0, -16384, JS_EVENT_AXIS, 1}, {0, 1, JS_EVENT_BUTTON, 0},
          {0, 32767, JS_EVENT_AXIS, 2}});
    EXPECT_TRUE(waitUntil([&] { return v.tiltSource()->read().y == -500; }));
    EXPECT_EQ(v.tiltSource()->read(), (Acceleration{0, -500, -866}));
    send({{0, 32767, JS_EVENT_AXIS, 0}});
    EXPECT_TRUE(waitUntil([&] { return v.tiltSource()->read().x == 1000; }));
    close(fds[1]);
}

// Every file service of the view goes through the path rule to the data directory
// over the application's folder (tests/io has the rest); the folder keeps its files.
TEST_F(DesktopView, FileServicesWriteToTheDataDirectoryAndTheFolderKeepsItsFiles) {
    dir.write("shipped.txt", "s");
    MainView& v = configured();
    EXPECT_EQ(v.openForReading(OString("d/../shipped.txt"), 0), nullptr);
    EXPECT_EQ(v.openForWriting(OString("a:b"), true), nullptr);
    EXPECT_FALSE(v.createDirectory(OString("x|y")) || v.deleteFile(OString("d/../shipped.txt")));
    EXPECT_FALSE(v.renameFile(OString("shipped.txt"), OString("..")));
    auto w = v.openForWriting(OString("shipped.txt"), false);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->write(TUint8('!')));
    w.reset();
    EXPECT_EQ(data.read("shipped.txt"), "s!");
    ASSERT_NE(v.openForReading(OString("shipped.txt"), 0), nullptr);
    EXPECT_TRUE(v.createDirectory(OString("d/e")));
    EXPECT_TRUE(v.renameFile(OString("shipped.txt"), OString("d/moved.txt")));
    EXPECT_TRUE(v.fileExists(OString("d/moved.txt")));
    Vec<OString> files, dirs;
    ASSERT_TRUE(v.listDirectory(OString("d"), files, dirs));
    EXPECT_EQ(files.getSize() + dirs.getSize(), 2);
    EXPECT_TRUE(v.renameDirectory(OString("d"), OString("d2")));
    EXPECT_TRUE(v.directoryExists(OString("d2/e")));
    EXPECT_TRUE(v.deleteFile(OString("d2/moved.txt")));
    EXPECT_FALSE(v.fileExists(OString("d2/moved.txt")) || v.fileExists(OString("shipped.txt")));
    EXPECT_TRUE(v.removeDirectory(OString("d2")));
    EXPECT_EQ(dir.read("shipped.txt"), "s");
    EXPECT_FALSE(dir.exists("d2") || dir.exists("a:b"));
    EXPECT_TRUE(v.openLog(OString("log.txt")));
    v.log(OString("kept"));
    v.openLog(OString(""));
    EXPECT_EQ(data.read("log.txt"), "LOG: kept\n");
    EXPECT_EQ(text(v.rootDirectory()), dir.root());
}

// --portrait: a portrait picture is shown upright whatever the window's shape;
// without it, only a window higher than wide shows it upright.
TEST_F(DesktopView, PortraitPicturesTurnOnlyInAWideWindowWithoutPortrait) {
    const struct {
        bool portrait;
        QSize window;
        bool turned;
        QSize shown;
    } cases[] = {{false, {800, 480}, true, {800, 480}}, {false, {480, 800}, false, {480, 800}},
                 {true, {800, 480}, false, {480, 800}}, {true, {1000, 1000}, false, {480, 800}}};
    for (const auto& c : cases) {
        view.reset();
        VirtualMachine::destroyCurrent();
        RunSettings s;
        s.portrait = c.portrait;
        configured("", s).resize(c.window);
        view->setOrientation(1);
        EXPECT_EQ(view->isRotatedPortrait(), c.turned) << c.portrait << " " << c.window.width();
        EXPECT_EQ(view->shownSize(), c.shown);
        EXPECT_EQ(view->buffer().size(), QSize(480, 800));  // the application's picture, either way
        view->setOrientation(2);
        EXPECT_EQ(view->buffer().size(), QSize(800, 480));
    }
}

}  // namespace mcb
