// Under a private Xvfb server: the player marks the root window as not
// composited, and the window manager's "_MB_CURRENT_APP_WINDOW" reports move
// the application between foreground and background.
#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

using hosttest::ChildProcess;
using hosttest::ScratchDir;

namespace {
std::string output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Xvfb on a free display number that the server picks itself (so that it
// never meets another test's server), stopped by pid.
class PrivateXServer {
public:
    PrivateXServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            freopen("/dev/null", "w", stderr);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x480x24", "-nolisten", "tcp",
                   "-noreset", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
        close(fds[0]);
        display_ = ":" + number;
        ready_ = !number.empty() &&
                 std::system(("xdpyinfo -display " + display_ + " >/dev/null 2>&1").c_str()) == 0;
    }
    ~PrivateXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }
    const std::string& display() const { return display_; }
    std::string rootProperty(const std::string& name) const {
        return output("xprop -display " + display_ + " -root " + name + " 2>&1");
    }

private:
    std::string display_;
    int pid_ = -1;
    bool ready_ = false;
};

std::string testBinary() { return std::string(MCB_BINARY_DIR) + "/bin/test_host"; }
}  // namespace

TEST(X11Properties, NonCompositedMarkAndCurrentApplicationWindow) {
    for (const char* p : {"Xvfb", "xdpyinfo", "xprop"})
        if (!hosttest::haveProgram(p)) GTEST_SKIP() << p << " is not installed";
    ScratchDir dir;
    PrivateXServer x;
    ASSERT_TRUE(x.ready());
    // The window manager would have created the atom; the player writes it only then.
    std::system(("xprop -display " + x.display() +
                 " -root -f _HILDON_NON_COMPOSITED_WINDOW 32i -set _HILDON_NON_COMPOSITED_WINDOW 0").c_str());

    std::map<std::string, std::string> xenv = {{"DISPLAY", x.display()}, {"QT_QPA_PLATFORM", "xcb"}};
    auto helperEnv = xenv;
    helperEnv["MCB_TEST_ROLE"] = "x11";
    ChildProcess wm({testBinary()}, hosttest::playerEnvironment(dir.root(), helperEnv), dir.root());
    ASSERT_TRUE(wm.waitFor("helper ready")) << wm.err();

    hosttest::writeImage(dir, hosttest::kForegroundApp);
    ChildProcess player({hosttest::playerBinary()}, hosttest::playerEnvironment(dir.root(), xenv), dir.root());
    ASSERT_TRUE(player.waitFor("LOG: ready\n")) << player.err();
    EXPECT_NE(x.rootProperty("_HILDON_NON_COMPOSITED_WINDOW").find("= 1"), std::string::npos)
        << x.rootProperty("_HILDON_NON_COMPOSITED_WINDOW");

    EXPECT_FALSE(player.waitFor("LOG: foreground\n", 0.3));  // shown before the machine existed
    wm.send("-1");  // no current window: the player is seen
    ASSERT_TRUE(player.waitFor("LOG: foreground\n")) << player.err();
    wm.send("own");  // another application's window is current and has the focus
    ASSERT_TRUE(player.waitFor("LOG: foreground\nLOG: background\n")) << player.err();
    wm.send("-1");
    ASSERT_TRUE(player.waitFor("LOG: background\nLOG: foreground\n")) << player.err();
    wm.send("quit");
    EXPECT_EQ(wm.finish(), 0);
}

TEST(X11Properties, PortraitRequestsGoToTheWindowItself) {
    for (const char* p : {"Xvfb", "xdpyinfo", "xprop"})
        if (!hosttest::haveProgram(p)) GTEST_SKIP() << p << " is not installed";
    ScratchDir dir;
    PrivateXServer x;
    ASSERT_TRUE(x.ready());
    std::system(("xprop -display " + x.display() +
                 " -root -f _HILDON_PORTRAIT_MODE_REQUEST 32c -set _HILDON_PORTRAIT_MODE_REQUEST 0").c_str());
    ChildProcess view({testBinary()},
                      hosttest::playerEnvironment(
                          dir.root(), {{"DISPLAY", x.display()}, {"QT_QPA_PLATFORM", "xcb"}, {"MCB_TEST_ROLE", "portrait"}}),
                      dir.root());
    ASSERT_TRUE(view.waitFor("helper ready")) << view.err();
    view.send("1");
    ASSERT_TRUE(view.waitFor("orientation 1 on ")) << view.err();
    size_t at = view.err().find("orientation 1 on ") + 17;
    for (int i = 0; i < 100 && view.err().find('\n', at) == std::string::npos; ++i) view.waitFor("\n\n\n", 0.05);
    std::string window = view.err().substr(at, view.err().find('\n', at) - at);
    auto property = [&] {
        return output("xprop -display " + x.display() + " -id " + window + " _HILDON_PORTRAIT_MODE_REQUEST 2>&1");
    };
    EXPECT_NE(property().find("= 1"), std::string::npos) << property();
    view.send("2");
    ASSERT_TRUE(view.waitFor("orientation 2 on ")) << view.err();
    EXPECT_NE(property().find("= 0"), std::string::npos) << property();
    view.send("quit");
    EXPECT_EQ(view.finish(), 0);
}
