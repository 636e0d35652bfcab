// End-to-end runs of the player binary on assembled applications under the
// offscreen platform: log output, exit statuses, start-up failures, timers
// and painting.
#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using hosttest::RunOptions;
using hosttest::RunResult;
using hosttest::ScratchDir;

namespace {
const char* const kLogApp = R"(
.method "main", main, frame0
.descriptor frame0
    .lengths 0, 0, 0
.string path "logs/app.log"
.string one "first line"
.string two "second line"
.code
main:
    ldstr path
    native Debug.open_log
    ldstr one
    native Debug.log
    ldstr two
    native Debug.log
    native System.exit
    ret 0, 1
)";

const char* const kHaltApp = R"(
.method "main", main, frame0
.descriptor frame0
    .lengths 0, 0, 0
.string before "before the halt"
.code
main:
    ldstr before
    native Debug.log
    native 0, 1                   ; no such group: the run halts
    ret 0, 1
)";

const char* const kNoMainApp = R"(
.method "notmain", start, frame0
.descriptor frame0
    .lengths 0, 0, 0
.code
start:
    ret 0, 1
)";

// Timer A (id 10, every 20 ms) removes itself on its third tick, twice over;
// timer B (id 11, every 30 ms) ends the run on its eighth. One global method
// serves both listeners and tells them apart by identity.
const char* const kTimersApp = R"(
.globals 4                        ; listener A, listener B, ticks of A, ticks of B
.method "main", main, frame0
.method "<*systemtimerlistener>.systemtimerevent", tick, frame1
.class Listener
.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.string a "A"
.string b "B"
.string removed "A removed"
.string done "done"
.code
main:
    ldglobals
    alloc 1, 1
    dup
    setclass Listener
    store
    ldglobals
    fielda 1
    alloc 1, 1
    dup
    setclass Listener
    store
    ldglobals
    deref
    push 20
    native Timer.add
    itos
    native Debug.log
    ldglobals
    fielda 1
    deref
    push 30
    native Timer.add
    itos
    native Debug.log
    ret 0, 1
tick:
    ldloc -2                      ; the listener
    ldglobals
    deref
    eq
    jz tickB
    ldstr a
    native Debug.log
    ldglobals
    fielda 2
    incm
    ldglobals
    fielda 2
    deref
    push 3
    lt
    jz removeA
    ret 0, 2
removeA:
    push 10
    native Timer.remove
    push 10
    native Timer.remove           ; already gone: nothing happens
    ldstr removed
    native Debug.log
    ret 0, 2
tickB:
    ldstr b
    native Debug.log
    ldglobals
    fielda 3
    incm
    ldglobals
    fielda 3
    deref
    push 8
    lt
    jz finish
    ret 0, 2
finish:
    ldstr done
    native Debug.log
    native System.exit
    ret 0, 2
)";

// The timer event is a virtual method: each listener's class has its own.
const char* const kVirtualTimerApp = R"(
.globals 1
.method "main", main, frame0
.selector "<*systemtimerlistener>.systemtimerevent"
    .impl Other, other, frame1
    .impl Mine, mine, frame1
.class Other
.class Mine
.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.string text "Mine ticked"
.code
main:
    ldglobals
    alloc 1, 1
    dup
    setclass Mine
    store
    ldglobals
    deref
    push 10
    native Timer.add
    adjsp -1
    ret 0, 1
other:
    ret 0, 2
mine:
    ldstr text
    native Debug.log
    native System.exit
    ret 0, 2
)";

std::vector<std::string> lines(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }
}  // namespace

TEST(PlayerRun, LogLinesGoToStandardErrorAndTheLogFile) {
    ScratchDir dir;
    hosttest::writeImage(dir, kLogApp);
    RunResult r = hosttest::runPlayer(dir.root());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.logLines(), lines({"first line", "second line"}));
    EXPECT_EQ(dir.read("logs/app.log"), "LOG: first line\nLOG: second line\n");
    EXPECT_NE(r.err.find("FATAL: Failed to connect to dbus\n"), std::string::npos) << r.err;  // no system bus
}

TEST(PlayerRun, HaltsEndWithTheFatalLineOfErrorElevenAndStatusOne) {
    const struct {
        const char* name;
        const char* source;  // null: not an image at all
        std::vector<std::string> log;
    } cases[] = {{"halt", kHaltApp, {"before the halt"}}, {"no main", kNoMainApp, {}}, {"garbage", nullptr, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        if (c.source) hosttest::writeImage(dir, c.source);
        else dir.write("index.mcb", "this is not a bytecode image");
        RunResult r = hosttest::runPlayer(dir.root());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.logLines(), c.log);
        EXPECT_NE(r.err.find("FATAL: UnknownException (CODE:11)\n"), std::string::npos) << r.err;
    }
}

TEST(PlayerRun, MissingImageIsReportedWithItsAbsolutePath) {
    ScratchDir dir;
    RunResult r = hosttest::runPlayer(dir.root());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Failed to open '" + dir.root() + "/index.mcb'\n"), std::string::npos) << r.err;
}

TEST(PlayerRun, AutoTakesTheRootDirectoryFromTheProgramName) {
    ScratchDir dir;
    std::string name = "mcbauto" + std::to_string(getpid());
    RunOptions o;
    o.argv0 = "/usr/bin/" + name;
    o.args = {"--auto"};
    RunResult r = hosttest::runPlayer(dir.root(), o);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Failed to open '/opt/" + name + "/index.mcb'\n"), std::string::npos) << r.err;

    o.args = {"other", "--auto"};  // only the first argument counts
    r = hosttest::runPlayer(dir.root(), o);
    EXPECT_NE(r.err.find("Failed to open '" + dir.root() + "/index.mcb'\n"), std::string::npos) << r.err;
}

TEST(PlayerRun, AutoRefusesARootDirectoryLongerThan4096Characters) {
    ScratchDir dir;
    RunOptions o;
    o.args = {"--auto"};
    o.argv0 = "/x/" + std::string(4091, 'a');  // "/opt/" + 4091: exactly 4096
    RunResult fits = hosttest::runPlayer(dir.root(), o);
    EXPECT_NE(fits.err.find("Failed to open '/opt/" + std::string(4091, 'a') + "/index.mcb'"), std::string::npos);

    o.argv0 = "/x/" + std::string(4092, 'a');
    RunResult tooLong = hosttest::runPlayer(dir.root(), o);
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find(std::string(4092, 'a') + ": VM basename too long\n"), std::string::npos);
}

TEST(PlayerRun, TimersAreNumberedFromTenAndStopWhenRemoved) {
    ScratchDir dir;
    hosttest::writeImage(dir, kTimersApp);
    RunResult r = hosttest::runPlayer(dir.root());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = r.logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "10");
    EXPECT_EQ(log[1], "11");
    auto removed = std::find(log.begin(), log.end(), "A removed");
    ASSERT_NE(removed, log.end());
    EXPECT_EQ(std::count(log.begin(), removed, "A"), 3);
    EXPECT_EQ(std::count(removed, log.end(), "A"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "B"), 8);
    EXPECT_EQ(log.back(), "done");
    EXPECT_EQ(r.err.find("non-existing root"), std::string::npos) << r.err;
}

TEST(PlayerRun, TimerEventsDispatchOnTheListenersClass) {
    ScratchDir dir;
    hosttest::writeImage(dir, kVirtualTimerApp);
    RunResult r = hosttest::runPlayer(dir.root());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.logLines(), lines({"Mine ticked"}));
}

TEST(PlayerRun, TheExampleDrawsTicksAndEndsByItself) {
    RunResult r = hosttest::runPlayer(std::string(MCB_BINARY_DIR) + "/examples/ticker");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = r.logLines();
    EXPECT_GE(std::count(log.begin(), log.end(), "draw"), 1);
    log.erase(std::remove(log.begin(), log.end(), "draw"), log.end());
    EXPECT_EQ(log, lines({"ticker started", "1", "2", "3", "4", "5", "ticker done"}));
}
