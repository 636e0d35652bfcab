// The player beside a private system bus (the display signal) and a private Xvfb
// server (window-manager properties).
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

// The player subscribes before it starts the application, whether or not the
// display service runs yet, and its "ready" follows a call the bus answered
// after taking the subscription: states sent after "ready" are never missed.
TEST(DisplaySignal, OnAndOffBecomeForegroundAndBackgroundEventsWhenEverTheServiceStarts) {
    for (bool serviceFirst : {true, false}) {
        SCOPED_TRACE(serviceFirst ? "service first" : "player first");
        PrivateBus bus(true);
        if (!bus.up()) GTEST_SKIP() << "no private D-Bus daemon";
        const Scratch& dir = bus.dir;
        const std::string address = bus.address;
        auto env = [&](const char* role) {  // the player ignores the role
            return playerEnvironment(dir.root(), {{"DBUS_SYSTEM_BUS_ADDRESS", address}, {"MCB_TEST_ROLE", role}});
        };
        writeImage(dir, kApp);
        std::unique_ptr<ChildProcess> mce, player;
        auto startService = [&] {
            mce = std::make_unique<ChildProcess>(Lines{testBinary()}, env("mce"), dir.root());
            ASSERT_TRUE(mce->waitFor("helper ready")) << mce->err();
        };
        if (serviceFirst) startService();
        player = std::make_unique<ChildProcess>(Lines{playerBinary(), "--verbose"}, env(""), dir.root());
        ASSERT_TRUE(player->waitFor("LOG: ready\n")) << player->err();
        EXPECT_NE(player->err().find(serviceFirst ? "display signal: subscribed, owner :" : "subscribed, no owner yet"),
                  std::string::npos) << player->err();
        if (!serviceFirst) startService();
        EXPECT_EQ(player->err().find("Failed to connect to dbus"), std::string::npos);
        for (const char* state : {"on", "on", "off", "on"}) mce->send(state);  // the second "on" changes nothing
        ASSERT_TRUE(player->waitFor("LOG: foreground\nLOG: background\nLOG: foreground\n")) << player->err();
        EXPECT_EQ(logLines(player->err()), Lines({"ready", "foreground", "background", "foreground"}));
        mce->send("quit");
        EXPECT_EQ(mce->finish(), 0);
    }
}

TEST(X11Properties, NonCompositedMarkCurrentApplicationWindowAndPortraitRequests) {
    XScreen screen("800x480", {"Xvfb", "xdpyinfo", "xprop"});
    if (!screen.missing.empty()) GTEST_SKIP() << screen.missing << " is not installed";
    ASSERT_FALSE(screen.display.empty());
    const Scratch& dir = screen.dir;
    auto xprop = [&](const std::string& args) {
        return output("xprop -display " + screen.display + " " + args + " 2>&1");
    };
    // The window manager would have created these atoms; the player writes them only then.
    xprop("-root -f _HILDON_NON_COMPOSITED_WINDOW 32i -set _HILDON_NON_COMPOSITED_WINDOW 0");
    xprop("-root -f _HILDON_PORTRAIT_MODE_REQUEST 32c -set _HILDON_PORTRAIT_MODE_REQUEST 0");
    ChildProcess wm({testBinary()}, screen.env("x11"), dir.root());
    ASSERT_TRUE(wm.waitFor("helper ready")) << wm.err();
    writeImage(dir, kApp);
    ChildProcess player({playerBinary()}, screen.env(""), dir.root());
    ASSERT_TRUE(player.waitFor("LOG: ready\n")) << player.err();
    EXPECT_NE(xprop("-root _HILDON_NON_COMPOSITED_WINDOW").find("= 1"), std::string::npos);

    EXPECT_FALSE(player.waitFor("LOG: foreground\n", 0.3));  // shown before the machine existed
    wm.send("-1");  // no current window: the player is seen
    ASSERT_TRUE(player.waitFor("LOG: foreground\n")) << player.err();
    wm.send("own");  // another application's window is current and has the focus
    ASSERT_TRUE(player.waitFor("LOG: foreground\nLOG: background\n")) << player.err();
    wm.send("-1");
    ASSERT_TRUE(player.waitFor("LOG: background\nLOG: foreground\n")) << player.err();
    wm.send("quit");
    EXPECT_EQ(wm.finish(), 0);

    // Portrait requests go to the window itself.
    ChildProcess view({testBinary()}, screen.env("portrait"), dir.root());
    ASSERT_TRUE(view.waitFor("helper ready")) << view.err();
    auto requestAfter = [&](const std::string& orientation) {
        view.send(orientation);
        std::string done = " has orientation " + orientation + "\n";
        EXPECT_TRUE(view.waitFor(done)) << view.err();
        size_t end = view.err().find(done), start = view.err().rfind('\n', end) + 1;
        return xprop("-id " + view.err().substr(start, end - start) + " _HILDON_PORTRAIT_MODE_REQUEST");
    };
    std::string portrait = requestAfter("1");
    EXPECT_NE(portrait.find("= 1"), std::string::npos) << portrait;
    std::string landscape = requestAfter("2");
    EXPECT_NE(landscape.find("= 0"), std::string::npos) << landscape;
    view.send("quit");
    EXPECT_EQ(view.finish(), 0);
}

}  // namespace mcb
