// Stepped time end to end: headless runs that count frames and leave a
// screenshot, replays that paint the same frames every time, and recordings
// made from real window events that replay to the frames they recorded.
#include "DesktopTestSupport.h"

using namespace hosttest;

namespace {
const QRgb kBlack = 0xFF000000;

// A recording made by hand: two keys, a pointer drag, a tilt, the display
// going off and on, then the end.
std::string handRecording(const std::string& extra = "") {
    return "mcbplayer-recording 1\n# made by hand\nstart 1700000000000\nseed 12345\nzone UTC\napp scene\n"
           "35 key press 65 38 a\n50 key release 65 38 a\n90 pointer 0 120 64\n95 pointer 6 130 70\n"
           "100 pointer 1 131 71\n130 accel 250 0 -968\n150 display off\n170 display on\n" + extra + "400 end\n";
}
}  // namespace

TEST(Headless, FramesEndTheRunWithTheLastFrameAsAnUnscaledScreenshot) {
    Scratch dir;
    writeImage(dir, sceneApp(20, 0));
    const struct {
        int frames;
        int squareX;  // where the square is in the last frame
    } cases[] = {{1, 0}, {6, 35}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        std::string shot = dir.path("shot" + std::to_string(c.frames) + ".png");
        // Without a display, and told to use one: --headless chooses for itself.
        RunResult r = runPlayer(dir.root(), {"--headless", "--frames", std::to_string(c.frames), "--screenshot", shot},
                                {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ""}});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(logLines(r.err).size(), 1u + 2u * (c.frames - 1)) << r.err;  // "ready", then two lines a tick
        QImage image = readPng(shot);
        ASSERT_EQ(image.size(), QSize(800, 480));
        EXPECT_GE(qRed(image.pixel(c.squareX + 10, 20)), 128);
        EXPECT_EQ(image.pixel(c.squareX + 25, 20), kBlack);
        EXPECT_EQ(image.pixel(4, 4), 0xFF00FF00);  // the pointer mark at (0, 0)
        // Again: the same frame, random colour and all.
        RunResult again = runPlayer(
            dir.root(), {"--headless", "--frames", std::to_string(c.frames), "--screenshot", shot + ".again.png"});
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(readPng(shot + ".again.png"), image);
        EXPECT_EQ(logLines(again.err), logLines(r.err));
    }
}

TEST(Replay, TwoReplaysPaintTheSameFramesOnTheRecordingsClock) {
    Scratch dir;
    writeImage(dir, sceneApp(20, 0));
    dir.write("session.rec", handRecording());
    std::vector<Lines> frames, logs;
    for (int run = 0; run < 2; ++run) {
        std::string out = dir.path("again" + std::to_string(run) + ".rec");
        RunResult r = runPlayer(dir.root(), {"--headless", "--replay", dir.path("session.rec"), "--record", out});
        ASSERT_EQ(r.status, 0) << r.err;
        frames.push_back(eventsOf(out, "frame"));
        logs.push_back(logLines(r.err));
        // What was fed in is recorded again, at the same times.
        EXPECT_EQ(eventsOf(out, "key"), eventsOf(dir.path("session.rec"), "key"));
        EXPECT_EQ(eventsOf(out, "pointer"), eventsOf(dir.path("session.rec"), "pointer"));
        EXPECT_EQ(eventsOf(out, "end"), Lines({"end"}));
    }
    EXPECT_EQ(frames[0], frames[1]);
    EXPECT_EQ(logs[0], logs[1]);
    // 400 ms of 20 ms ticks, a frame each, the first frame, and one after each key and pointer event.
    EXPECT_EQ(frames[0].size(), 1u + 20u + 1u + 3u);
    Lines log = logs[0];
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[0], "ready");
    EXPECT_EQ(log[1], "20");  // the clock services read the virtual clock: the tick's own time
    EXPECT_NE(std::find(log.begin(), log.end(), "400"), log.end());  // the tick due with the end comes first
    EXPECT_NE(std::find(log.begin(), log.end(), "65"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "120064"), log.end());   // pressed at (120, 64)
    EXPECT_NE(std::find(log.begin(), log.end(), "6130070"), log.end());  // moved to (130, 70)
    // Shown before the machine existed, so only the display's return changes the state.
    EXPECT_NE(std::find(log.begin(), log.end(), "foreground"), log.end());
}

TEST(Replay, AFrameThatDiffersFromTheRecordingIsReportedOnce) {
    Scratch dir;
    writeImage(dir, sceneApp(20, 0));
    dir.write("session.rec", handRecording("200 frame 2 0000000000000000\n210 frame 3 0000000000000000\n"));
    RunResult r = runPlayer(dir.root(), {"--headless", "--replay", dir.path("session.rec")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("mcbplayer: replay: frame 2 differs from the recording\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("frame 3 differs"), std::string::npos);
}

TEST(Replay, BadRecordingsAreRefusedWithTheirLine) {
    Scratch dir;
    writeImage(dir, sceneApp(20, 0));
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty file"},
        {"a recording\n", ":1: not a recording"},
        {"mcbplayer-recording 1\nseed 1\n5 end\n", "'start' or 'seed' line is missing"},
        {"mcbplayer-recording 1\nstart 1\nseed 1\n5 key press 65\n", ":4: malformed 'key' event"},
        {"mcbplayer-recording 1\nstart 1\nseed 1\n5 jump 1\n", ":4: unknown event 'jump'"},
        {"mcbplayer-recording 1\nstart 1\nseed 1\n5 visible 1\n4 visible 0\n", ":5: time goes backwards"},
        {"mcbplayer-recording 1\nstart 1\nseed x\n", ":3: expected a number after 'seed'"},
    };
    for (const auto& [text, message] : cases) {
        dir.write("bad.rec", text);
        RunResult r = runPlayer(dir.root(), {"--headless", "--replay", dir.path("bad.rec")});
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_NE(r.err.find("mcbplayer: --replay: " + dir.path("bad.rec")), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    RunResult missing = runPlayer(dir.root(), {"--headless", "--replay", dir.path("none.rec")});
    EXPECT_EQ(missing.status, 2);
}

TEST(RecordingFormat, EventsGoAndComeBackThroughTheirLines) {
    const InputEvent events[] = {
        InputEvent::key(true, 0x1000001, 36, "\r"), InputEvent::key(false, 65, 38, ""),
        InputEvent::key(true, 69, 26, "\xC3\xA9 %"), InputEvent::pointer(6, -3, 799),
        InputEvent::visible(false), InputEvent::display("off"), InputEvent::display("a b"),
        InputEvent::accel(-250, 1000, -968), InputEvent::frame(12, 0x0123456789abcdefull), InputEvent::end()};
    for (InputEvent e : events) {
        e.time = 1234;
        std::string line = recording::formatEvent(e), error;
        InputEvent back;
        ASSERT_TRUE(recording::parseEvent(line, back, error)) << line << ": " << error;
        EXPECT_EQ(back, e) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    EXPECT_EQ(recording::formatEvent(events[2]), "0 key press 69 26 %C3%A9%20%25");
}

// A recording of real window events (keys, a press on the picture and one on a
// bar, a tilt, the display) replays to the frames it recorded.
TEST_F(HostView, ARecordingOfWindowEventsReplaysToItsOwnFrames) {
    writeImage(dir, sceneApp(20, 0));
    RunSettings settings;
    settings.appName = "scene";
    settings.record = dir.path("live.rec");
    std::string error;
    MainView& v = make();
    ASSERT_TRUE(v.configure(settings, error)) << error;
    v.setWindowState(Qt::WindowNoState);
    v.resize(1000, 480);  // bars of 100 on either side
    v.show();
    v.start();
    auto runUntilFrame = [&](TInt64 frame) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (v.framesDrawn() < frame && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_GE(v.framesDrawn(), frame);
    };
    runUntilFrame(3);
    QTest::keyClick(&v, Qt::Key_B);
    runUntilFrame(6);
    QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(220, 64));  // (120, 64) of the picture
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(230, 70));
    QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(50, 64));    // a bar: nowhere
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(300, 70));
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    v.displaySignal("off");
    runUntilFrame(12);
    v.displaySignal("on");
    runUntilFrame(15);
    v.finishRun();

    std::string live = dir.path("live.rec");
    EXPECT_EQ(eventsOf(live, "pointer"), Lines({"pointer 0 120 64", "pointer 1 130 70"}));
    EXPECT_EQ(eventsOf(live, "accel"), Lines({"accel 250 0 -968"}));
    EXPECT_EQ(eventsOf(live, "display"), Lines({"display off", "display on"}));
    Lines keys = eventsOf(live, "key");  // B, then Ctrl itself (the arrow with it tilts)
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].rfind("key press 66 ", 0), 0u) << keys[0];
    EXPECT_EQ(keys[1].rfind("key release 66 ", 0), 0u) << keys[1];
    EXPECT_EQ(keys[2].rfind("key press 16777216 ", 0), 0u) << keys[2];
    EXPECT_EQ(eventsOf(live, "end").size(), 1u);

    std::string again = dir.path("again.rec");
    RunResult r = runPlayer(dir.root(), {"--headless", "--replay", live, "--record", again});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("differs"), std::string::npos) << r.err;
    Lines recorded = eventsOf(live, "frame"), replayed = eventsOf(again, "frame");
    ASSERT_GE(replayed.size(), 15u);
    EXPECT_EQ(Lines(replayed.begin(), replayed.begin() + 15), Lines(recorded.begin(), recorded.begin() + 15));
}
