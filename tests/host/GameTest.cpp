// The showcase game in-process: the title animates by painted frames alone, a
// game is the same game for the same seed and inputs, and what it keeps (high
// score, sounds) it writes through the file natives. Its rules are its own
// code's business, not the player's.
#include "ShowcaseSupport.h"

using namespace showcase;

class GameTest : public Game {
protected:
    void seed(TInt32 s) { vm().memory().writeWord(vm().globals() + kSeed * 4, TUint32(s)); }
    // Plays up to `ticks` ticks, until `done`: the pointer follows the ball a
    // little off its middle and a waiting ball is launched. The game's state
    // after each tick, and the hash of every `paintEvery`th frame (none for 0).
    std::vector<std::string> play(int ticks, int paintEvery = 0, const std::function<bool()>& done = [] { return false; }) {
        std::vector<std::string> seen;
        for (int t = 0; t < ticks && !done(); ++t) {
            pointer(t == 0 ? 0 : 6, global(kBallX) / 256 + 6 + ((t / 300) % 5 - 2) * 12, 400);
            tick();
            if (global(kState) == kServe) key(Qt::Key_Space);
            std::string state;
            for (int g = kState; g <= kNewRecord; ++g) state += std::to_string(global(g)) + " ";
            seen.push_back(state);
            if (paintEvery && t % paintEvery == 0) seen.push_back(hashOf(frame()));
        }
        return seen;
    }
    void restart() {
        view.reset();
        VirtualMachine::destroyCurrent();
        launchGame();
    }
};

TEST_F(GameTest, TheTitleAnimatesByPaintedFramesWhateverTheTicks) {
    launchGame();
    ASSERT_EQ(global(kState), kTitle);
    std::vector<std::string> still, ticking;
    for (int i = 0; i < 6; ++i) still.push_back(hashOf(frame()));
    restart();
    for (int i = 0; i < 6; ++i) {
        tick(i * 3);
        ticking.push_back(hashOf(frame()));
    }
    EXPECT_EQ(still, ticking);
    EXPECT_NE(still[0], still[1]);  // it does move
}

TEST_F(GameTest, TheSameSeedAndInputsPlayTheSameGame) {
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < 2; ++run) {
        if (run) restart(); else launchGame();
        seed(20240229);
        key(Qt::Key_Space);
        runs.push_back(play(1500, 50));
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_GT(global(kScore), 50);
}

TEST_F(GameTest, TheHighScoreIsKeptInAFileAndReadBack) {
    launchGame();
    EXPECT_EQ(global(kHiscore), 0);
    key(Qt::Key_Space);
    key(Qt::Key_Space);
    for (int t = 0; t < 2000 && global(kScore) < 30; ++t) {
        pointer(t == 0 ? 0 : 6, global(kBallX) / 256 + 6, 400);
        tick();
    }
    const TInt32 score = global(kScore);
    ASSERT_GE(score, 30);
    EXPECT_EQ(global(kNewRecord), 1);
    key(Qt::Key_Backspace);
    EXPECT_EQ(dir.read("highscore.txt"), std::to_string(score));

    restart();
    EXPECT_EQ(global(kHiscore), score);
    key(Qt::Key_Space);
    key(Qt::Key_Backspace);  // a lower score leaves the file alone
    EXPECT_EQ(global(kNewRecord), 0);
    EXPECT_EQ(dir.read("highscore.txt"), std::to_string(score));

    for (const char* bad : {"", "not a number", "-5"}) {
        dir.write("highscore.txt", bad);
        restart();
        EXPECT_EQ(global(kHiscore), 0) << bad;
        EXPECT_EQ(global(kState), kTitle) << bad;
    }
}

TEST_F(GameTest, SoundsAreWrittenAsRawSamplesAndLoaded) {
    launchGame();
    const struct {
        const char* file;
        size_t samples;
    } sounds[] = {{"wall", 640},  {"paddle", 960}, {"brick", 1120}, {"silver", 640},
                  {"lose", 9600}, {"level", 8000}, {"power", 4000}, {"start", 3840}};
    for (const auto& s : sounds) {
        const std::string bytes = dir.read(std::string("sounds/") + s.file + ".raw");
        ASSERT_EQ(bytes.size(), 2 * s.samples) << s.file;
        auto sample = [&](size_t i) { return int16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8); };
        int flips = 0;  // a square wave: runs of one sign
        for (size_t i = 1; i < s.samples; ++i) flips += (sample(i) < 0) != (sample(i - 1) < 0);
        EXPECT_GT(flips, int(s.samples) / 40) << s.file;
        EXPECT_GE(std::abs(sample(0)), 4000) << s.file;  // loud at first,
        EXPECT_LT(std::abs(sample(s.samples - 1)), 50) << s.file;  // silent at the end
    }
    for (int slot = kSoundWall; slot <= kSoundStart; ++slot) EXPECT_EQ(global(slot), slot - kSoundWall) << slot;

    // Where they cannot be written, the game runs on in silence.
    std::filesystem::remove_all(dir.path("sounds"));
    dir.write("sounds", "a file, not a folder");
    restart();
    for (int slot = kSoundWall; slot <= kSoundStart; ++slot) EXPECT_EQ(global(slot), -1) << slot;
    key(Qt::Key_Space);
    EXPECT_EQ(global(kState), kServe);
}

TEST_F(GameTest, AHighScoreThatCannotBeSavedEndsTheGameAllTheSame) {
    std::filesystem::create_directories(dir.path("highscore.txt"));
    launchGame();
    EXPECT_EQ(global(kHiscore), 0);
    key(Qt::Key_Space);
    key(Qt::Key_Space);
    play(3000, 0, [&] { return global(kScore) > 0; });
    key(Qt::Key_Backspace);
    EXPECT_EQ(global(kState), kOver);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("highscore.txt")));
}
