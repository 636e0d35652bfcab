// Screen natives against the recording host: what reaches the host, the words
// each function leaves, and orientation listeners as collector roots.
#include "../support/NativeProgram.h"

namespace mcb {

using Rects = std::vector<std::array<TInt32, 4>>;

TEST(Screen, RequestsReachTheHostAndAnswersFollowTheOrientation) {
    NativeProgram p(storeTo(2, "native Screen.size", 2) + storeTo(4, "native Screen.orientation") +
                    "native Screen.repaint\n"
                    "push 10\npush 20\npush 30\npush 40\nnative Screen.repaint_rect\n"
                    "push 1\nnative Screen.set_orientation\n" +
                    storeTo(5, "native Screen.size", 2) + storeTo(7, "native Screen.orientation") +
                    "native Screen.repaint\n"
                    "push 2\nnative Screen.set_orientation\n" +
                    storeTo(8, "native Screen.size", 2) +
                    "push 7\nnative Screen.set_flag\npush 0\nnative Screen.set_flag\n");
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ((std::vector<TInt32>{p.integer(2), p.integer(3), p.integer(4)}), (std::vector<TInt32>{800, 480, 2}));
    EXPECT_EQ((std::vector<TInt32>{p.integer(5), p.integer(6), p.integer(7)}), (std::vector<TInt32>{480, 800, 1}));
    EXPECT_EQ((std::vector<TInt32>{p.integer(8), p.integer(9)}), (std::vector<TInt32>{800, 480}));
    EXPECT_EQ(p.host.repaints, (Rects{{0, 0, 800, 480}, {10, 20, 30, 40}, {0, 0, 480, 800}}));
    EXPECT_EQ(p.host.screenFlags, (std::vector<bool>{true, false}));
    EXPECT_EQ(p.host.orientationValue, 2);
}

TEST(Screen, ListenersStayRootedWhileRegistered) {
    // Listener A is registered twice and removed twice; B is never registered and shows that
    // the collections free what nothing holds. Rows: A lives and B is gone; A is still rooted
    // once; A is gone. "extcall 20, 99" pushes A as the host was given it.
    NativeProgram p("alloc 1, 1\n dup\n extcall 20, 1\n dup\n native Screen.add_orientation_listener\n"
                    "native Screen.add_orientation_listener\n alloc 1, 1\n extcall 20, 1\n extcall 20, 2\n"
                    "extcall 20, 99\n native Screen.remove_orientation_listener\n extcall 20, 2\n"
                    "extcall 20, 99\n native Screen.remove_orientation_listener\n extcall 20, 2\n",
                    {}, [](NativeProgram& q) { q.handOver = [&q] { return q.host.listenersAdded.front(); }; });
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, false}, {true, false}, {false, false}}));
    ASSERT_EQ(p.host.listenersAdded.size(), 2u);
    EXPECT_EQ(p.host.listenersAdded[0], p.host.listenersAdded[1]);
    EXPECT_EQ(p.host.listenersRemoved, p.host.listenersAdded);
}

TEST(Screen, RefusedListenersReachNeitherTheHostNorTheRoots) {
    for (const char* f : {"add_orientation_listener", "remove_orientation_listener"}) {
        NativeProgram p("push 0\nnative Screen." + std::string(f) + "\n");
        EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer") << f;
        EXPECT_TRUE(p.host.listenersAdded.empty() && p.host.listenersRemoved.empty()) << f;
    }
    // Not a heap object: refused before the host hears of it.
    NativeProgram stray("ldglobals\nfielda 3\nnative Screen.add_orientation_listener\n");
    EXPECT_EQ(stray.errorCode(), 10);
    EXPECT_TRUE(stray.host.listenersAdded.empty());
    // A collected object's old address: refused, and later collections still run.
    NativeProgram freed("alloc 1, 1\nextcall 20, 1\nextcall 20, 3\nextcall 20, 99\n"
                        "native Screen.add_orientation_listener\n",
                        {}, [](NativeProgram& q) { q.handOver = [&q] { return TInt32(q.watched.front()); }; });
    EXPECT_EQ(freed.errorCode(), 10);
    EXPECT_TRUE(freed.returned());
    EXPECT_TRUE(freed.host.listenersAdded.empty());
    EXPECT_NO_THROW(freed.vm.heap().collect());
}

}  // namespace mcb
