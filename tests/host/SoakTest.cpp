// A long run: a timer every 10 ms for 10 seconds loses no event, and the
// player's resident memory stays flat while it runs.
#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Logs the tick count on every tick of a 10 ms timer; exits after 1000 ticks.
const char* const kTickerApp = R"(
.globals 2                        ; the listener, the ticks
.method "main", main, frame0
.method "<*systemtimerlistener>.systemtimerevent", tick, frame1
.class Listener
.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.code
main:
    ldglobals
    alloc 1, 1
    dup
    setclass Listener
    store
    ldglobals
    deref
    push 10
    native Timer.add
    adjsp -1
    ret 0, 1
tick:
    ldglobals
    fielda 1
    incm
    ldglobals
    fielda 1
    deref
    itos
    native Debug.log
    ldglobals
    fielda 1
    deref
    push 1000
    lt
    jz finish
    ret 0, 2
finish:
    native System.exit
    ret 0, 2
)";

long residentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

TEST(Soak, TenMillisecondTimerForTenSecondsLosesNothingAndStaysFlat) {
    hosttest::ScratchDir dir;
    hosttest::writeImage(dir, kTickerApp);
    hosttest::ChildProcess player({hosttest::playerBinary()},
                                  hosttest::playerEnvironment(dir.root() + "/run", {}), dir.root());
    ASSERT_TRUE(player.waitFor("LOG: 200\n", 30)) << player.err();
    long early = residentKiB(player.pid());
    ASSERT_TRUE(player.waitFor("LOG: 950\n", 30)) << player.err();
    long late = residentKiB(player.pid());
    EXPECT_EQ(player.finish(30), 0) << player.err();

    std::vector<std::string> ticks;
    std::istringstream err(player.err());
    for (std::string line; std::getline(err, line);)
        if (line.rfind("LOG: ", 0) == 0) ticks.push_back(line.substr(5));
    ASSERT_EQ(ticks.size(), 1000u);
    for (size_t i = 0; i < ticks.size(); ++i) ASSERT_EQ(ticks[i], std::to_string(i + 1));
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine holds freed memory on purpose; elsewhere 750
    // ticks of fresh strings and collections must not grow the process.
    ASSERT_GT(early, 0);
    EXPECT_LT(late - early, 2048) << "resident KiB went from " << early << " to " << late;
#endif
}
