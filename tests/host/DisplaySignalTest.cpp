// The display-state signal end to end: a private system bus, a helper that
// owns "com.nokia.mce", and the player turning "on" and "off" into
// foreground and background events.
#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>

using hosttest::ChildProcess;
using hosttest::ScratchDir;

namespace {
// A private bus daemon with a system bus's type on a socket of its own.
class PrivateSystemBus {
public:
    explicit PrivateSystemBus(const ScratchDir& dir) {
        std::string config = dir.path("bus.conf");
        std::ofstream(config) << "<busconfig><type>system</type><listen>unix:path=" << dir.path("system_bus_socket")
                              << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              << "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                              << "<allow own=\"*\"/></policy></busconfig>";
        std::string cmd = "dbus-daemon --config-file=" + config + " --fork --print-pid=1";
        if (FILE* p = popen(cmd.c_str(), "r")) {
            if (std::fscanf(p, "%d", &pid_) != 1) pid_ = -1;
            pclose(p);
        }
        address_ = "unix:path=" + dir.path("system_bus_socket");
    }
    ~PrivateSystemBus() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    bool running() const { return pid_ > 0; }
    const std::string& address() const { return address_; }

private:
    int pid_ = -1;
    std::string address_;
};

std::string testBinary() { return std::string(MCB_BINARY_DIR) + "/bin/test_host"; }

size_t occurrences(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}
}  // namespace

TEST(DisplaySignal, OnAndOffBecomeForegroundAndBackgroundEvents) {
    if (!hosttest::haveProgram("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed";
    ScratchDir dir;
    PrivateSystemBus bus(dir);
    ASSERT_TRUE(bus.running());
    std::vector<std::string> env = hosttest::playerEnvironment(
        dir.root(), {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}, {"MCB_TEST_ROLE", "mce"}});
    ChildProcess mce({testBinary()}, env, dir.root());
    ASSERT_TRUE(mce.waitFor("helper ready")) << mce.err();

    hosttest::writeImage(dir, hosttest::kForegroundApp);
    ChildProcess player({hosttest::playerBinary()},
                        hosttest::playerEnvironment(dir.root(), {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}}),
                        dir.root());
    ASSERT_TRUE(player.waitFor("LOG: ready\n")) << player.err();
    EXPECT_EQ(player.err().find("Failed to connect to dbus"), std::string::npos);

    mce.send("on");
    ASSERT_TRUE(player.waitFor("LOG: foreground\n")) << player.err();
    mce.send("on");  // no change: no event
    mce.send("off");
    ASSERT_TRUE(player.waitFor("LOG: background\n")) << player.err();
    EXPECT_EQ(occurrences(player.err(), "LOG: foreground\n"), 1u) << player.err();
    mce.send("on");
    ASSERT_TRUE(player.waitFor("LOG: background\nLOG: foreground\n")) << player.err();
    mce.send("quit");
    EXPECT_EQ(mce.finish(), 0);
}
