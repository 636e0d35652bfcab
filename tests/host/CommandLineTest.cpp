// The command line: every option's values, the faults a person makes and the
// one line that names them, --help and --version without a display, APP as a
// folder, a file, missing or unreadable, and the messages that explain a run
// that cannot start.
#include "HostTestSupport.h"
#include "host/CommandLine.h"
#include "host/Startup.h"

namespace mcb {

using namespace hosttest;

namespace {
host::PlayerOptions parsed(Lines args) {
    host::PlayerOptions o;
    std::string error;
    EXPECT_TRUE(host::parseCommandLine(args, o, error)) << error;
    return o;
}
}  // namespace

TEST(CommandLine, OptionsTakeTheirValues) {
    using O = host::PlayerOptions;
    const struct {
        Lines args;
        std::function<bool(const O&)> holds;
    } cases[] = {
        {{}, [](const O& o) { return o.app.empty() && !o.fullscreen && o.scale == 0 && !o.smooth && o.volume == 100 &&
                                     o.memoryLimit == (1u << 30) && o.frames == 0; }},
        {{"game"}, [](const O& o) { return o.app == "game"; }},
        {{"--fullscreen"}, [](const O& o) { return o.fullscreen == true; }},
        {{"--scale", "3"}, [](const O& o) { return o.scale == 3; }},
        {{"--scale=fit"}, [](const O& o) { return o.scale == 0; }},
        {{"--filter", "smooth"}, [](const O& o) { return o.smooth; }},
        {{"--portrait", "--mute"}, [](const O& o) { return o.portrait && o.mute; }},
        {{"--volume", "0"}, [](const O& o) { return o.volume == 0; }},
        {{"--data-dir", "."}, [](const O& o) { return o.dataDirectory == "."; }},
        {{"--headless", "--frames", "30", "--screenshot", "out.png"},
         [](const O& o) { return o.headless && o.frames == 30 && o.screenshot == "out.png"; }},
        {{"--replay", "a.rec", "--record", "b.rec"}, [](const O& o) { return o.replay == "a.rec" && o.record == "b.rec"; }},
        {{"--log", "run.log", "--verbose"}, [](const O& o) { return o.logFile == "run.log" && o.verbose; }},
        {{"--memory-limit", "64M"}, [](const O& o) { return o.memoryLimit == 64u << 20; }},
        {{"--memory-limit", "2g"}, [](const O& o) { return o.memoryLimit == uint64_t(2) << 30; }},
        {{"--memory-limit", "1048576"}, [](const O& o) { return o.memoryLimit == 1u << 20; }},
        {{"-h"}, [](const O& o) { return o.help; }},
        {{"--version"}, [](const O& o) { return o.version; }},
        // "--auto" first: the application is /opt/NAME, whatever follows; elsewhere it means nothing.
        {{"--auto", "game"}, [](const O& o) { return o.autoRoot && o.app.empty(); }},
        {{"game", "--auto"}, [](const O& o) { return !o.autoRoot && o.app == "game"; }},
    };
    for (const auto& c : cases) EXPECT_TRUE(c.holds(parsed(c.args))) << ::testing::PrintToString(c.args);
}

TEST(CommandLine, FaultsAreNamedInOneLine) {
    const std::pair<Lines, std::string> cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--scale"}, "--scale needs a value"},
        {{"--scale", "0"}, "--scale: '0' is not a whole number from 1 to 16 or 'fit'"},
        {{"--scale", "17"}, "--scale: '17' is not a whole number from 1 to 16 or 'fit'"},
        {{"--scale", "2x"}, "--scale: '2x' is not a whole number from 1 to 16 or 'fit'"},
        {{"--filter", "linear"}, "--filter: 'linear' is not 'nearest' or 'smooth'"},
        {{"--volume", "101"}, "--volume: '101' is not a whole number from 0 to 100"},
        {{"--volume", "+5"}, "--volume: '+5' is not a whole number from 0 to 100"},
        {{"--frames", "0"}, "--frames: '0' is not a whole number above 0"},
        {{"--memory-limit", "12X"}, "--memory-limit: '12X' is not a size of at least 64K"},
        {{"--memory-limit", "32K"}, "--memory-limit: '32K' is not a size of at least 64K"},
        {{"--memory-limit", "99999999999G"}, "--memory-limit: '99999999999G' is not a size"},
        {{"--memory-limit", "99999999999999999999"}, "--memory-limit: '99999999999999999999' is not a size"},
        {{"--screenshot", ""}, "--screenshot: '' is not a file name"},
        {{"--fullscreen", "--window"}, "--fullscreen and --window exclude each other"},
        {{"a", "b"}, "one APP at most, not 'b' as well"},
    };
    for (const auto& [args, message] : cases) {
        host::PlayerOptions o;
        std::string error;
        EXPECT_FALSE(host::parseCommandLine(args, o, error)) << message;
        EXPECT_EQ(error.rfind(message, 0), 0u) << error;
    }
}

// Help and version need no display, no bus and no runtime folder.
TEST(CommandLine, HelpAndVersionPrintWithNothingAround) {
    std::string bare = "env -i " + playerBinary();
    std::string help = output(bare + " --help"), version = output(bare + " --version");
    EXPECT_EQ(help, host::helpText());
    EXPECT_EQ(help.find("--auto "), std::string::npos);  // kept, but not offered
    EXPECT_EQ(version.rfind("mcbplayer ", 0), 0u) << version;
    EXPECT_EQ(std::system((bare + " -h >/dev/null 2>&1").c_str()), 0);
}

// Status 2 and one line that says why: an option's fault is followed by the
// usage; a missing display's line stands alone.
TEST(CommandLine, TheBinaryExitsWithTwoAndTheLineThatSaysWhy) {
    Scratch dir;
    writeImage(dir, kApp);
    const struct {
        Lines args;
        std::map<std::string, std::string> env;
        std::string message;
    } cases[] = {
        {{"--volume", "loud"}, {}, "mcbplayer: --volume: 'loud' is not a whole number from 0 to 100\n"},
        {{"--log", dir.path("none/x.log")}, {},
         "mcbplayer: --log: cannot write '" + dir.path("none/x.log") + "': No such file"},
        {{}, {{"QT_QPA_PLATFORM", ""}}, "mcbplayer: no display: set DISPLAY (an X server) or WAYLAND_DISPLAY, or run "
                                        "without a window: mcbplayer --headless\n"},
        {{}, {{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ":97"}}, "mcbplayer: no X server answers on DISPLAY=:97; start one, "
                                                           "or run without a window: mcbplayer --headless\n"},
        {{}, {{"QT_QPA_PLATFORM", "xcb"}}, "mcbplayer: no display: "},
        {{}, {{"QT_QPA_PLATFORM", "nosuch:size=1"}}, "mcbplayer: Qt has no platform 'nosuch' (QT_QPA_PLATFORM); "
                                                     "unset it, or run without a window: mcbplayer --headless\n"},
    };
    for (const auto& c : cases) {
        RunResult r = runPlayer(dir.root(), c.args, c.env);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        if (c.args.empty()) EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        else EXPECT_NE(r.err.find("\nUsage: mcbplayer [OPTIONS] [APP]\n"), std::string::npos) << r.err;
    }
    RunResult record = runPlayer(dir.root(), {"--headless", "--record", dir.path("none/x.rec")});
    EXPECT_EQ(record.status, 2);
    EXPECT_NE(record.err.find("mcbplayer: --record: cannot write '" + dir.path("none/x.rec") + "'"), std::string::npos);
}

// A halted load ends with the FATAL line of error 11 and the reason after it.
TEST(CommandLine, AppIsAFolderOrAnImageAndAFailedOpenOrLoadSaysWhy) {
    Scratch dir;
    writeImage(dir, kApp);
    dir.write("game/index.mcb", dir.read("index.mcb"));
    dir.write("other.mcb", dir.read("index.mcb"));
    dir.write("spiel-\xC3\xA4.mcb", dir.read("index.mcb"));  // a name in UTF-8, as file names are
    std::filesystem::create_directories(dir.path("folder/index.mcb"));
    std::filesystem::create_directories(dir.path("fifo"));
    ASSERT_EQ(mkfifo(dir.path("fifo/index.mcb").c_str(), 0600), 0);
    dir.write("big/index.mcb", "");  // sparse: the test writes nothing
    std::filesystem::resize_file(dir.path("big/index.mcb"), 2u << 20);
    dir.write("garbage/index.mcb", "this is not a bytecode image");
    const std::vector<uint8_t> noMain =
        mcbasm::assemble(".method \"notmain\", start, f\n.descriptor f\n.code\nstart:\n ret 0, 1");
    dir.write("nomain/index.mcb", std::string(noMain.begin(), noMain.end()));
    const std::string halted = "FATAL: UnknownException (CODE:11)\nmcbplayer: ";
    const struct {
        Lines args;
        int status;
        std::string message;
    } cases[] = {
        {{"game"}, 0, "LOG: ready\n"},
        {{"other.mcb"}, 0, "LOG: ready\n"},
        {{"spiel-\xC3\xA4.mcb"}, 0, "LOG: ready\n"},
        {{"missing"}, 1, "Failed to open '" + dir.path("missing/index.mcb") + "'\nmcbplayer: there is no such folder; "
                         "give the application's folder or its image: mcbplayer [OPTIONS] APP\n"},
        {{"missing.mcb"}, 1, "Failed to open '" + dir.path("missing.mcb") + "'\nmcbplayer: there is no such file; "},
        {{"folder"}, 1, "Failed to open '" + dir.path("folder/index.mcb") + "'\nmcbplayer: it is a folder, not an image"},
        // A pipe is refused, never read: reading it would wait for a writer for ever.
        {{"fifo"}, 1, "Failed to open '" + dir.path("fifo/index.mcb") + "'\nmcbplayer: it is not a regular file"},
        // An image larger than the machine may hold is refused before a byte is read.
        {{"--memory-limit", "1M", "big"}, 1,
         "Failed to open '" + dir.path("big/index.mcb") + "'\nmcbplayer: it is 2097152 bytes, more than the 1048576 "
         "bytes the machine's memory may hold"},
        {{"garbage"}, 1, halted + dir.path("garbage/index.mcb") + ": malformed image at offset "},
        {{"nomain"}, 1,
         halted + dir.path("nomain/index.mcb") + ": the image exports no global method \"main\" that can be run"},
    };
    for (const auto& c : cases) {
        Lines args = c.args;
        args.insert(args.begin(), {"--headless", "--frames", "1"});
        RunResult r = runPlayer(dir.root(), args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// Run as root, the test reads anything; the player then runs as nobody.
TEST(CommandLine, AnUnreadableImageSaysPermissionDenied) {
    Scratch dir;
    writeImage(dir, kApp);
    chmod(dir.path("index.mcb").c_str(), 0);
    chmod(dir.root().c_str(), 0755);
    Lines args = {"--headless", dir.root()};
    if (getuid() == 0) {
        if (!haveProgram("setpriv")) GTEST_SKIP() << "setpriv is not installed";
        args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", playerBinary()});
    } else {
        args.insert(args.begin(), playerBinary());
    }
    ChildProcess player(args, playerEnvironment("/nonexistent", {{"XDG_DATA_HOME", "/nonexistent"}}), "/", args[0]);
    EXPECT_EQ(player.finish(), 1);
    EXPECT_NE(player.err().find("Failed to open '" + dir.path("index.mcb") + "'\nmcbplayer: permission denied;"),
              std::string::npos) << player.err();
}

// Qt's own diagnostics and "starting main" only with --verbose; no warning
// about a missing runtime folder either way; --log gets a copy of it all.
TEST(Messages, QtSpeaksOnlyWhenAskedAndTheLogFileGetsEverything) {
    Scratch dir;
    writeImage(dir, kApp);
    for (bool verbose : {false, true}) {
        Lines args = {"--headless", "--frames", "1", "--log", dir.path("run.log")};
        if (verbose) args.push_back("--verbose");
        RunResult r = runPlayer(dir.root(), args, {{"XDG_RUNTIME_DIR", ""}});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("starting main\n") != std::string::npos, verbose) << r.err;
        EXPECT_EQ(r.err.find("XDG_RUNTIME_DIR"), std::string::npos) << r.err;
        EXPECT_EQ(dir.read("run.log"), r.err);
    }
}

TEST(Startup, LocatingTheApplicationAndItsDataDirectory) {
    Scratch dir;
    dir.write("game/index.mcb", "x");
    const struct {
        std::string app;
        std::string root, image, name;
    } apps[] = {
        {"", dir.root(), "index.mcb", std::filesystem::path(dir.root()).filename()},
        {"game", dir.path("game"), "index.mcb", "game"},
        {"game//", dir.path("game"), "index.mcb", "game"},
        {dir.path("game/index.mcb"), dir.path("game"), "index.mcb", "game"},
        {"new/x.mcb", dir.path("new"), "x.mcb", "new"},
        {"nothing", dir.path("nothing"), "index.mcb", "nothing"},
    };
    for (const auto& a : apps) {
        host::AppLocation l = host::locateApp(a.app, dir.root());
        EXPECT_EQ(l.root, a.root) << a.app;
        EXPECT_EQ(l.image, a.image) << a.app;
        EXPECT_EQ(l.name, a.name) << a.app;
    }
    EXPECT_EQ(host::dataDirectoryFor("", "/cwd", "/home/u/.local/share", "game"), "/home/u/.local/share/mcbplayer/game");
    EXPECT_EQ(host::dataDirectoryFor(".", "/cwd", "/x", "game"), "/cwd/.");
    EXPECT_EQ(host::dataDirectoryFor("/saves", "/cwd", "/x", "game"), "/saves");
}

}  // namespace mcb
