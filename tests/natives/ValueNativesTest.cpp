// Position, Size, Rectangle, Color and Range natives: every function's effect on its
// target, the words it leaves, and the faults that leave the target as it was.
#include "NativeTestSupport.h"

#include <limits>

namespace mcb {

namespace {
// Globals 2 up hold the target variable ("tv" pushes its address), 6 up a second
// value ("sv"); what a call leaves goes to globals 10 up. Each case is its own
// run, so the harness's balance check pins the number of words left.
struct Case {
    std::string code;
    std::vector<TInt32> target;  // afterwards
    std::vector<TInt32> left;    // the words the call leaves
};

std::string initialise(int g, const std::vector<TInt32>& words) {
    std::string s = "ldglobals\nfielda " + std::to_string(g) + "\n";
    for (TInt32 w : words) s += "push " + std::to_string(w) + "\n";
    return s + "storen " + std::to_string(words.size()) + "\n";
}

std::string expand(const std::string& code) {
    std::istringstream in(code);
    std::string out;
    for (std::string line; std::getline(in, line);)
        out += line == "tv" ? "ldglobals\nfielda 2\n" : line == "sv" ? "ldglobals\nfielda 6\n" : line + "\n";
    return out;
}

NativeProgram run(const std::vector<TInt32>& target, const std::vector<TInt32>& second, const std::string& code,
                  size_t left) {
    std::string body = initialise(2, target) + initialise(6, second);
    return NativeProgram(body + (left ? storeTo(10, expand(code), int(left)) : expand(code)));
}

void expectCases(const std::vector<TInt32>& target, const std::vector<TInt32>& second, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        NativeProgram p = run(target, second, c.code, c.left.size());
        EXPECT_EQ(p.errorCode(), 0) << p.errorText();
        EXPECT_EQ(globals(p, 2, 1 + int(target.size())), c.target);
        EXPECT_EQ(globals(p, 10, 9 + int(c.left.size())), c.left);
    }
}

// Each code is VM error 6 without a message, raised before the target changes.
void expectFaults(const std::vector<TInt32>& target, std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        NativeProgram p = run(target, {0, 0, 0, 0}, code, 0);
        EXPECT_EQ(p.errorText(), "InvalidArgumentException");
        EXPECT_EQ(globals(p, 2, 1 + int(target.size())), target);
    }
}

constexpr TInt32 kMin = std::numeric_limits<TInt32>::min(), kMax = std::numeric_limits<TInt32>::max();
}  // namespace

// Position and Size share one shape: each case runs in both, "G" naming the group.
TEST(PositionAndSize, EveryFunction) {
    std::vector<Case> cases = {
        {"tv\nnative G, 1", {0, 0}, {}},          {"tv\nsv\nnative G, 2", {7, 8}, {}},
        {"tv\npush 0\npush 6\nnative G, 3", {0, 6}, {}}, {"tv\nnative G, 4", {3, 4}, {3}},
        {"tv\nnative G, 5", {3, 4}, {4}},          {"tv\npush 9\nnative G, 6", {9, 4}, {}},
        {"tv\npush 0\nnative G, 7", {3, 0}, {}},
        {"push 1\npush 2\npush 1\npush 2\nnative G, 8", {3, 4}, {1}},
        {"push 1\npush 2\npush 1\npush 3\nnative G, 8", {3, 4}, {0}},
        {"push 1\npush 2\npush 2\npush 1\nnative G, 9", {3, 4}, {1}},
        {"push 1\npush 2\npush 1\npush 2\nnative G, 9", {3, 4}, {0}}};
    for (const char* group : {"Position", "Size"}) {
        std::vector<Case> in = cases;
        for (Case& c : in) c.code.replace(c.code.find("G,"), 1, group);
        expectCases({3, 4}, {7, 8}, in);
    }
    // Negative values: a Position takes them, a Size refuses them.
    expectCases({3, 4}, {}, {{"tv\npush -5\npush -6\nnative Position.set", {-5, -6}, {}},
                             {"tv\npush -9\nnative Position.set_x", {-9, 4}, {}}});
    expectFaults({3, 4}, {"tv\npush -1\npush 6\nnative Size.set", "tv\npush 6\npush -1\nnative Size.set",
                          "tv\npush -1\nnative Size.set_width", "tv\npush -2147483648\nnative Size.set_height"});
}

TEST(Rectangle, EveryFunction) {
    const std::vector<TInt32> r = {10, 20, 30, 40};
    const char* const twoEqual = "push 1\npush 2\npush 3\npush 4\npush 1\npush 2\npush 3\npush 4\n";
    const char* const lastDiffers = "push 1\npush 2\npush 3\npush 4\npush 1\npush 2\npush 3\npush 5\n";
    expectCases(r, {1, 2, 3, 4},
                {{"tv\nnative Rectangle.set_zero", {0, 0, 0, 0}, {}},
                 {"tv\nsv\nnative Rectangle.copy", {1, 2, 3, 4}, {}},
                 // A source overlapping the target is read whole before it is written.
                 {"ldglobals\nfielda 3\ntv\nnative Rectangle.copy", {10, 10, 20, 30}, {}},
                 {"tv\npush 5\npush 6\npush -7\npush -8\nnative Rectangle.set", {5, 6, -7, -8}, {}},
                 {"tv\nnative Rectangle.position", r, {10, 20}}, {"tv\nnative Rectangle.size", r, {30, 40}},
                 {"tv\nnative Rectangle.x", r, {10}},      {"tv\nnative Rectangle.y", r, {20}},
                 {"tv\nnative Rectangle.width", r, {30}},  {"tv\nnative Rectangle.height", r, {40}},
                 {"tv\nnative Rectangle.right", r, {40}},  {"tv\nnative Rectangle.bottom", r, {60}},
                 {"tv\npush 5\npush 6\nnative Rectangle.set_position", {5, 6, 30, 40}, {}},
                 {"tv\npush -1\npush -2\nnative Rectangle.set_size", {10, 20, -1, -2}, {}},
                 {"tv\npush -3\nnative Rectangle.set_x", {-3, 20, 30, 40}, {}},
                 {"tv\npush -3\nnative Rectangle.set_y", {10, -3, 30, 40}, {}},
                 {"tv\npush 0\nnative Rectangle.set_width", {10, 20, 0, 40}, {}},
                 {"tv\npush 7\nnative Rectangle.set_height", {10, 20, 30, 7}, {}},
                 {"tv\npush 10\nnative Rectangle.set_right", {10, 20, 0, 40}, {}},
                 {"tv\npush 55\nnative Rectangle.set_right", {10, 20, 45, 40}, {}},
                 {"tv\npush 70\nnative Rectangle.set_bottom", {10, 20, 30, 50}, {}},
                 {std::string(twoEqual) + "native Rectangle.eq", r, {1}},
                 {std::string(lastDiffers) + "native Rectangle.eq", r, {0}},
                 {std::string(lastDiffers) + "native Rectangle.ne", r, {1}}});
}

TEST(Rectangle, EdgesWrapAndExtentsAreCheckedInSixtyFourBits) {
    // Right and bottom wrap like int addition.
    expectCases({kMax, kMin, 1, -1}, {},
                {{"tv\nnative Rectangle.right", {kMax, kMin, 1, -1}, {kMin}},
                 {"tv\nnative Rectangle.bottom", {kMax, kMin, 1, -1}, {kMax}}});
    // The widest extent that fits an int is taken; one more is a fault, not a wrap.
    expectCases({-1, -1, 0, 0}, {},
                {{"tv\npush 2147483646\nnative Rectangle.set_right", {-1, -1, kMax, 0}, {}},
                 {"tv\npush 2147483646\nnative Rectangle.set_bottom", {-1, -1, 0, kMax}, {}}});
    expectFaults({-2, kMin, 3, 4}, {"tv\npush 2147483647\nnative Rectangle.set_right",
                                    "tv\npush 2147483647\nnative Rectangle.set_bottom"});
    expectFaults({10, 20, 30, 40}, {"tv\npush 9\nnative Rectangle.set_right", "tv\npush 19\nnative Rectangle.set_bottom",
                                    "tv\npush -1\nnative Rectangle.set_width", "tv\npush -1\nnative Rectangle.set_height"});
}

TEST(Color, EveryFunction) {
    const TInt32 c = TInt32(0x80FF4020);
    expectCases({c}, {0},
                {{"tv\nnative Color.set_white", {-1}, {}},
                 {"tv\npush 0x12345678\nnative Color.copy", {0x12345678}, {}},
                 {"tv\npush 255\npush 0\npush 0\npush 128\nnative Color.set", {TInt32(0x80FF0000)}, {}},
                 {"tv\npush 1\npush 2\npush 3\npush 0\nnative Color.set", {0x00010203}, {}},
                 {"tv\nnative Color.red", {c}, {0xFF}},   {"tv\nnative Color.green", {c}, {0x40}},
                 {"tv\nnative Color.blue", {c}, {0x20}},  {"tv\nnative Color.alpha", {c}, {0x80}},
                 {"tv\npush 1\nnative Color.set_red", {TInt32(0x80014020)}, {}},
                 {"tv\npush 1\nnative Color.set_green", {TInt32(0x80FF0120)}, {}},
                 {"tv\npush 1\nnative Color.set_blue", {TInt32(0x80FF4001)}, {}},
                 {"tv\npush 255\nnative Color.set_alpha", {TInt32(0xFFFF4020)}, {}},
                 {"push 5\npush 5\nnative Color.eq", {c}, {1}}, {"push 5\npush 6\nnative Color.eq", {c}, {0}},
                 {"push 5\npush 6\nnative Color.ne", {c}, {1}}});
    expectFaults({c}, {"tv\npush 256\npush 0\npush 0\npush 0\nnative Color.set",
                       "tv\npush 0\npush 0\npush 0\npush -1\nnative Color.set", "tv\npush 256\nnative Color.set_red",
                       "tv\npush -1\nnative Color.set_alpha"});
}

TEST(Range, EveryFunction) {
    expectCases({5, 6}, {7, 8},
                {{"tv\npush 3\npush 3\nnative Range.set_first_last", {3, 1}, {}},
                 {"tv\npush 2\nnative Range.set_to_end", {2, -1}, {}},
                 {"tv\nnative Range.set_empty", {0, 0}, {}},
                 {"tv\npush 4\npush 9\nnative Range.set_start_length", {4, 9}, {}},
                 {"tv\npush 7\nnative Range.set_start", {7, 6}, {}},
                 {"tv\npush 8\nnative Range.set_length", {5, 8}, {}},
                 {"tv\nsv\nnative Range.assign", {7, 8}, {}},
                 {"tv\nnative Range.start", {5, 6}, {5}},
                 {"tv\nnative Range.length", {5, 6}, {6}},
                 {"push 0\npush -1\npush 0\npush -1\nnative Range.eq", {5, 6}, {1}},
                 {"push 0\npush -1\npush 0\npush -1\nnative Range.ne", {5, 6}, {0}},
                 {"push 1\npush 2\npush 2\npush 1\nnative Range.eq", {5, 6}, {0}}});
    // The whole int range from zero reads as "to the end".
    EXPECT_LT(run({5, 6}, {}, "tv\npush 0\npush 0x7FFFFFFF\nnative Range.set_first_last", 0).integer(3), 0);
    expectFaults({1, 9}, {"tv\npush 4\npush 3\nnative Range.set_first_last", "tv\npush -1\nnative Range.set_start",
                          "tv\npush -1\nnative Range.set_length", "tv\npush -1\npush 0\nnative Range.set_start_length",
                          "tv\npush 0\npush -2\nnative Range.set_start_length", "tv\npush -1\nnative Range.set_to_end2"});
    EXPECT_EQ(NativeProgram("push 0x7FFFFFF0\nnative Range.start\n").errorCode(), 10);
}

TEST(ValueNatives, TargetsAreCheckedWholeBeforeAnyWordIsWritten) {
    for (const char* group : {"Color.set_white", "Size.set_zero", "Position.set_zero", "Rectangle.set_zero",
                              "Range.set_empty"}) {
        SCOPED_TRACE(group);
        EXPECT_EQ(NativeProgram("push 0\nnative " + std::string(group) + "\n").errorText(),
                  "NullPointerException: NULL pointer");
        EXPECT_EQ(NativeProgram("ldglobals\npush 2\nadd\nnative " + std::string(group) + "\n").errorCode(), 10);
    }
    // A rectangle whose last two words lie past the end of VM memory: the first two stay.
    VMAddr at = 0;
    NativeProgram p("extcall 20, 99\nnative Rectangle.set_zero\n", {}, [&](NativeProgram& q) {
        q.handOver = [&] {
            at = q.vm.memory().carve(8);
            q.vm.memory().writeWord(at, 0x11111111);
            q.vm.memory().writeWord(at + 4, 0x22222222);
            return TInt32(at);
        };
    });
    ASSERT_EQ(at + 8, p.vm.memory().top());
    EXPECT_EQ(p.errorCode(), 10);
    EXPECT_EQ(p.vm.memory().readWord(at), 0x11111111u);
    EXPECT_EQ(p.vm.memory().readWord(at + 4), 0x22222222u);
}

}  // namespace mcb
