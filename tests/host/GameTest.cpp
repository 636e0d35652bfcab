// The showcase game in-process: a game is the same game for the same seed and
// inputs, and the sounds it writes through the file natives load. Its rules
// (title, high score) are its own code's business, not the player's.
#include "ShowcaseSupport.h"

namespace mcb {

using namespace showcase;

class GameTest : public Game {
protected:
    void seed(TInt32 s) { vm().memory().writeWord(vm().globals() + kSeed * 4, TUint32(s)); }
    // Plays `ticks` ticks: the pointer follows the ball a little off its middle
    // and a waiting ball is launched. The game's state after each tick, and the
    // hash of every `paintEvery`th frame.
    std::vector<std::string> play(int ticks, int paintEvery) {
        std::vector<std::string> seen;
        for (int t = 0; t < ticks; ++t) {
            pointer(t == 0 ? 0 : 6, global(kBallX) / 256 + 6 + ((t / 300) % 5 - 2) * 12, 400);
            tick();
            if (global(kState) == kServe) key(Qt::Key_Space);
            std::string state;
            for (int g = kState; g <= kNewRecord; ++g) state += std::to_string(global(g)) + " ";
            seen.push_back(state);
            if (t % paintEvery == 0) seen.push_back(hashOf(frame()));
        }
        return seen;
    }
    void restart() {
        view.reset();
        VirtualMachine::destroyCurrent();
        launchGame();
    }
};

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

TEST_F(GameTest, SoundsAreWrittenAsRawSamplesAndLoaded) {
    launchGame();
    EXPECT_EQ(dir.read("sounds/wall.raw").size(), 1280u);
    for (int slot = kSoundWall; slot <= kSoundStart; ++slot) EXPECT_EQ(global(slot), slot - kSoundWall) << slot;

    // Where they cannot be written, the game runs on in silence.
    std::filesystem::remove_all(dir.path("sounds"));
    dir.write("sounds", "a file, not a folder");
    restart();
    for (int slot = kSoundWall; slot <= kSoundStart; ++slot) EXPECT_EQ(global(slot), -1) << slot;
    key(Qt::Key_Space);
    EXPECT_EQ(global(kState), kServe);
}

}  // namespace mcb
