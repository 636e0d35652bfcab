// The player binary end to end under the offscreen platform, and a ten-second
// timer run that must lose nothing in flat memory.
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

namespace {
// Listener A's timer (10) gets a long period, re-timed to a negative one (so
// it runs at once); A removes it on its first tick, twice over. Listener B's
// timer (11, every 10 ms) logs its tick count and ends the run on tick 1000.
// The timer event is virtual: each listener's class has its own.
const char* const kTimers = R"(
.globals 3                        ; listener A, listener B, ticks of B
.method "main", main, frame0
.selector "<*systemtimerlistener>.systemtimerevent"
    .impl A, tickA, frame1
    .impl B, tickB, frame1
.class A
.class B
.descriptor frame0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.string a "A"
.code
main:
    alloc 1, 1
    dup
    setclass A
    @keep 0
    push 100000
    native Timer.add
    dup
    itos
    native Debug.log
    push -7
    native Timer.update_delay
    alloc 1, 1
    dup
    setclass B
    @keep 1
    push 10
    native Timer.add
    itos
    native Debug.log
    ret 0, 1
tickA:
    ldstr a
    native Debug.log
    push 10
    native Timer.remove
    push 10
    native Timer.remove           ; already gone: nothing happens
    ret 0, 2
tickB:
    @addr 2
    incm
    @load 2
    dup
    itos
    native Debug.log
    push 1000
    lt
    jz finish
    ret 0, 2
finish:
    native System.exit
    ret 0, 2
)";
}  // namespace

TEST(PlayerRun, HaltsEndWithTheFatalLineOfErrorElevenAndStatusOne) {
    // No "main" and no image at all: CommandLineTest.cpp.
    // The report that ends the run follows the FATAL line.
    const struct {
        const char* source;
        Lines log;
        const char* report = "";
    } cases[] = {
        {".method \"main\", main, f\n.descriptor f\n.string s \"before\"\n.code\nmain:\n ldstr s\n native Debug.log\n"
         " native 0, 1\n ret 0, 1",  // no such native group
         {"before"},
         "mcbplayer: Internal error: invalid group in native call: 0\n"},
        // Exported, but not to be looked up: only for a class, outside the code, without a
        // descriptor; and an initialiser likewise. Each once left the player idle for ever.
        {".selector \"main\"\n .impl C, start, f\n.class C\n.descriptor f\n.code\nstart:\n ret 0, 1", {}},
        {".method \"main\", 4096, f\n.descriptor f\n.code\n ret 0, 1", {}},
        {".method \"main\", start, -1\n.descriptor f\n.code\nstart:\n ret 0, 1", {}},
        {".method \"main\", start, f\n.method \"::global::init\", 4096, f\n.descriptor f\n.code\nstart:\n ret 0, 1",
         {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        Scratch dir;
        writeImage(dir, c.source);
        RunResult r = runPlayer(dir.root());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(logLines(r.err), c.log);
        EXPECT_NE(r.err.find(std::string("FATAL: UnknownException (CODE:11)\n") + c.report), std::string::npos)
            << r.err;
    }
}

TEST(PlayerRun, AutoTakesARootOfUpTo4096CharactersFromTheProgramName) {
    Scratch dir;
    std::string name(4091, 'a');  // "/opt/" + 4091: exactly 4096
    const struct {
        std::string argv0;
        Lines args;
        std::string message;
    } cases[] = {
        {"/x/" + name, {"--auto"}, "Failed to open '/opt/" + name + "/index.mcb'\n"},
        {"/x/" + name + "a", {"--auto"}, name + "a: VM basename too long\n"},
        {"/x/" + name, {"--window", "--auto"}, "Failed to open '" + dir.root() + "/index.mcb'\n"}};  // only argv[1]
    for (const auto& c : cases) {
        RunResult r = runPlayer(dir.root(), c.args, {}, 30, c.argv0);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(PlayerRun, TheExampleDrawsTicksAndEndsByItself) {
    RunResult r = runPlayer(MCB_BINARY_DIR "/examples/ticker");
    ASSERT_EQ(r.status, 0) << r.err;
    Lines log = logLines(r.err);
    EXPECT_GE(std::count(log.begin(), log.end(), "draw"), 1);
    log.erase(std::remove(log.begin(), log.end(), "draw"), log.end());
    EXPECT_EQ(log, Lines({"ticker started", "1", "2", "3", "4", "5", "ticker done"}));
}

// Listener A's timer, then B's 10 ms timer for ten seconds: no event is lost
// and resident memory stays flat.
TEST(Soak, TimersThenTenSecondsOfA10msTimerLoseNothingInFlatMemory) {
    Scratch dir;
    writeImage(dir, kTimers);
    ChildProcess player({playerBinary()}, playerEnvironment(dir.root() + "/run"), dir.root());
    ASSERT_TRUE(player.waitFor("LOG: 200\n", 30)) << player.err();
    const long early = residentKiB(player.pid());
    ASSERT_TRUE(player.waitFor("LOG: 950\n", 30)) << player.err();
    const long late = residentKiB(player.pid());
    EXPECT_EQ(player.finish(30), 0) << player.err();

    Lines ticks = logLines(player.err());
    ASSERT_EQ(ticks.size(), 1003u);
    EXPECT_EQ(Lines(ticks.begin(), ticks.begin() + 3), Lines({"10", "11", "A"}));
    for (size_t i = 3; i < ticks.size(); ++i) ASSERT_EQ(ticks[i], std::to_string(i - 2));
    EXPECT_NE(player.err().find("FATAL: Failed to connect to dbus\n"), std::string::npos);  // no system bus
    EXPECT_EQ(player.err().find("non-existing root"), std::string::npos);
    expectFlatMemory(early, late);
}

}  // namespace mcb
