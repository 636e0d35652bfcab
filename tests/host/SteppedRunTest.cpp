// Stepped time end to end: headless runs that count frames and leave a
// screenshot, replays that paint the same frames every time, and recordings
// made from real window events that replay to the frames they recorded.
#include "HostTestSupport.h"

namespace mcb {

using namespace hosttest;

namespace {
// Global 1 counts ticks of a 20 ms timer; each tick keeps the elapsed time (5),
// a random number (6) and the tilt's X (7, its two words added), logs the first
// two and asks for a repaint. A key press keeps its code (4), a pointer event its
// position (2, 3); each is logged. Every frame is black with a square moving 7
// pixels a tick (its green and blue from the random number, its red from the
// tilt), a green mark at the pointer and a white bar as long as the last key
// code's low bits.
const std::string kScene = kAppDeclarations + R"(
.method "<*systemtimerlistener>.systemtimerevent", tick, frame1
.code
main:
    alloc 1, 1
    dup
    setclass App
    @keep 0
    native System.set_application
    @load 0
    push 20
    native Timer.add
    @store 8
    ldstr ready
    native Debug.log
    ret 0, 1
tick:
    @addr 1
    incm
    native System.elapsed_millis
    @keep 5
    itos
    native Debug.log
    push 0
    push 255
    native Math.random_int
    @keep 6
    itos
    native Debug.log
    extcall 20, 11
    add
    @store 7
    native Screen.repaint
    ret 0, 2
keyPressed:
    ldloca -2
    native KeyEvent.key_code
    @keep 4
    itos
    native Debug.log
    native Screen.repaint
    ret 0, 3
pointer:
    ldloc -4                      ; x
    @store 2
    ldloc -3                      ; y
    @store 3
    ldloc -5                      ; kind * 1000000 + x * 1000 + y
    push 1000
    mul
    ldloc -5
    add
    push 1000
    mul
    ldloc -4
    add
    itos
    native Debug.log
    native Screen.repaint
    ret 0, 6
draw:
    ldloca -2
    push 0xFF000000
    native Graphics.clear
    ldloca -2
    @load 1
    push 7
    mul
    push 780
    rem
    push 10
    push 20
    push 20
    @load 6
    push 257
    mul
    @load 7
    push 128
    rem
    push 128
    add
    push 65536
    mul
    add
    push 0xFF000000
    add
    native Graphics.fill_rect
    ldloca -2
    @load 2
    @load 3
    push 8
    push 8
    push 0xFF00FF00
    native Graphics.fill_rect
    ldloca -2
    push 0
    push 200
    @load 4
    push 511
    rem
    push 6
    push 0xFFFFFFFF
    native Graphics.fill_rect
    ret 0, 3
keyReleased:
    ret 0, 3
)" + kAppLogs;

// The lines of a recording that hold `kind` events, without their times.
Lines eventsOf(const std::string& file, const std::string& kind) {
    Lines out;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        size_t space = line.find(' ');
        std::string event = space == std::string::npos ? "" : line.substr(space + 1);
        if (event == kind || event.rfind(kind + " ", 0) == 0) out.push_back(event);
    }
    return out;
}

QImage readPng(const std::string& path) { return QImage(QString::fromStdString(path)); }

// A recording made by hand: two keys, a pointer drag, a tilt, the display
// going off and on, then the end.
std::string handRecording(const std::string& extra = "") {
    return "mcbplayer-recording 1\n# made by hand\nstart 1700000000000\nseed 12345\nzone UTC\napp scene\n"
           "35 key press 65 38 a\n50 key release 65 38 a\n90 pointer 0 120 64\n95 pointer 6 130 70\n"
           "100 pointer 1 131 71\n130 accel 250 0 -968\n150 display off\n170 display on\n" +
           extra + "400 end\n";
}
}  // namespace

TEST(Headless, FramesEndTheRunWithTheLastFrameAsAnUnscaledScreenshot) {
    Scratch dir;
    writeImage(dir, kScene);
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
        EXPECT_EQ(image.pixel(c.squareX + 25, 20), 0xFF000000u);  // black beside it
        EXPECT_EQ(image.pixel(4, 4), 0xFF00FF00);                 // the pointer mark at (0, 0)
        // Again: the same frame, random colour and all.
        RunResult again = runPlayer(
            dir.root(), {"--headless", "--frames", std::to_string(c.frames), "--screenshot", shot + ".again.png"});
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(readPng(shot + ".again.png"), image);
        EXPECT_EQ(logLines(again.err), logLines(r.err));
    }
}

// The first replay's recording holds two frames that differ: only the first is reported.
TEST(Replay, TwoReplaysPaintTheSameFramesOnTheRecordingsClock) {
    Scratch dir;
    writeImage(dir, kScene);
    dir.write("session0.rec", handRecording("200 frame 2 0000000000000000\n210 frame 3 0000000000000000\n"));
    dir.write("session1.rec", handRecording());
    std::vector<Lines> frames, logs;
    for (int run = 0; run < 2; ++run) {
        std::string in = dir.path("session" + std::to_string(run) + ".rec");
        std::string out = dir.path("again" + std::to_string(run) + ".rec");
        RunResult r = runPlayer(dir.root(), {"--headless", "--replay", in, "--record", out});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("mcbplayer: replay: frame 2 differs from the recording\n") != std::string::npos, run == 0)
            << r.err;
        EXPECT_EQ(r.err.find("frame 3 differs"), std::string::npos);
        frames.push_back(eventsOf(out, "frame"));
        logs.push_back(logLines(r.err));
        // What was fed in is recorded again, at the same times.
        EXPECT_EQ(eventsOf(out, "key"), eventsOf(in, "key"));
        EXPECT_EQ(eventsOf(out, "pointer"), eventsOf(in, "pointer"));
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
    // The tick due with the end comes first; the key; pressed at (120, 64) and moved to
    // (130, 70); shown before the machine existed, so only the display's return changes the state.
    for (const char* line : {"400", "65", "120064", "6130070", "foreground"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

TEST(Replay, BadRecordingsAreRefusedWithTheirLine) {
    Scratch dir;
    writeImage(dir, kScene);
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
    const InputEvent events[] = {InputEvent::key(true, 0x1000001, 36, "\r"),
                                 InputEvent::key(false, 65, 38, ""),
                                 InputEvent::key(true, 69, 26, "\xC3\xA9 %"),
                                 InputEvent::pointer(6, -3, 799),
                                 InputEvent::visible(false),
                                 InputEvent::display("off"),
                                 InputEvent::display("a b"),
                                 InputEvent::accel(-250, 1000, -968),
                                 InputEvent::frame(12, 0x0123456789abcdefull),
                                 InputEvent::end()};
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
    writeImage(dir, kScene);
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
    QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(50, 64));  // a bar: nowhere
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
    for (int i : {0, 1, 2})
        EXPECT_EQ(keys[i].rfind(Lines{"key press 66 ", "key release 66 ", "key press 16777216 "}[i], 0), 0u) << keys[i];
    EXPECT_EQ(eventsOf(live, "end").size(), 1u);

    std::string again = dir.path("again.rec");
    RunResult r = runPlayer(dir.root(), {"--headless", "--replay", live, "--record", again});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("differs"), std::string::npos) << r.err;
    Lines recorded = eventsOf(live, "frame"), replayed = eventsOf(again, "frame");
    ASSERT_GE(replayed.size(), 15u);
    EXPECT_EQ(Lines(replayed.begin(), replayed.begin() + 15), Lines(recorded.begin(), recorded.begin() + 15));
}

}  // namespace mcb
