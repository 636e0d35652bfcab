// The showcase as a whole run of the player: thirty headless frames end on the
// reference picture of the title, and a recorded session replays to the same
// frames every time, its saves going to the data directory.
#include "HostTestSupport.h"

namespace mcb {

namespace {
std::string exampleFolder() { return MCB_BINARY_DIR "/examples/bricks"; }
std::string testData(const std::string& name) { return MCB_SOURCE_DIR "/tests/data/" + name; }

// The player on the example, with no sound server, its saves in `dir`/data.
hosttest::RunResult runGame(const Scratch& dir, std::vector<std::string> options) {
    options.insert(options.end(), {"--data-dir", dir.path("data"), exampleFolder()});
    return hosttest::runPlayer(dir.root(), options, {{"PULSE_SERVER", "unix:" + dir.path("no-server")}}, 120);
}

// The "frame N HASH" lines of a recording.
std::vector<std::string> frameLines(const std::string& recording) {
    std::vector<std::string> frames;
    std::istringstream in(recording);
    for (std::string line; std::getline(in, line);)
        if (line.find(" frame ") != std::string::npos) frames.push_back(line);
    return frames;
}

class Game : public hosttest::HostView {};
}  // namespace

// tests/data/bricks-title-30.png is what the game paints on its 30th frame.
// After a change to the title screen, make it again with
//   build/bin/mcbplayer --headless --frames 30 --data-dir "$(mktemp -d)"
//       --screenshot tests/data/bricks-title-30.png build/examples/bricks
// (one command line)
TEST(EndToEnd, ThirtyHeadlessFramesEndOnTheReferenceTitle) {
    Scratch dir;
    const hosttest::RunResult r = runGame(dir, {"--headless", "--frames", "30", "--screenshot", dir.path("shot.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("LOG: BRICKS ready\n"), std::string::npos) << r.err;
    const QImage shot(QString::fromStdString(dir.path("shot.png")));
    const QImage reference(QString::fromStdString(testData("bricks-title-30.png")));
    ASSERT_EQ(shot.size(), QSize(800, 480));
    EXPECT_TRUE(shot.convertToFormat(QImage::Format_ARGB32) == reference.convertToFormat(QImage::Format_ARGB32));
    // What the game writes went to the data directory.
    EXPECT_EQ(dir.read("data/sounds/wall.raw").size(), 1280u);
}

// The same picture from the game in-process, painted frame by frame on a real
// main view (global 3 counts its frames): the reference is the game's own 30th title
// frame, not merely what one build of the player made.
TEST_F(Game, TheReferenceTitleIsTheGamesThirtiethFrame) {
    setenv("PULSE_SERVER", ("unix:" + dir.path("no-sound-server")).c_str(), 1);
    std::ifstream image(exampleFolder() + "/index.mcb", std::ios::binary);
    ASSERT_TRUE(image) << exampleFolder();
    dir.write("index.mcb", std::string(std::istreambuf_iterator<char>(image), {}));
    make().resize(800, 480);
    view->start();
    view->show();
    QApplication::processEvents();
    QImage f;
    while (global(3) < 30) {
        view->repaint();
        f = view->buffer().toImage();
    }
    ASSERT_EQ(global(3), 30);
    const QImage reference(QString::fromStdString(testData("bricks-title-30.png")));
    EXPECT_TRUE(f.convertToFormat(QImage::Format_ARGB32) == reference.convertToFormat(QImage::Format_ARGB32));
}

// tests/data/bricks-session.rec: six seconds of play, written by hand. Each
// replay is recorded in turn, frames and all.
TEST(EndToEnd, ARecordedSessionReplaysToTheSameFramesEveryTime) {
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < 2; ++run) {
        Scratch dir;
        const hosttest::RunResult r =
            runGame(dir, {"--headless", "--replay", testData("bricks-session.rec"), "--record", dir.path("run.rec")});
        ASSERT_EQ(r.status, 0) << r.err;
        runs.push_back(frameLines(dir.read("run.rec")));
        // The session broke bricks and gave up: a new high score, saved.
        const std::string best = dir.read("data/highscore.txt");
        ASSERT_FALSE(best.empty()) << r.err;
        EXPECT_GE(std::stoi(best), 10);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_GT(runs[0].size(), 250u);  // 50 frames a second
    std::set<std::string> pictures;
    for (const std::string& line : runs[0]) pictures.insert(line.substr(line.rfind(' ')));
    EXPECT_GT(pictures.size(), 100u);  // and they move
}

}  // namespace mcb
