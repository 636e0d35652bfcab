// System and Screen natives against the recording host: exits end the run, host values, the
// application root, now, images; what reaches the screen, the words each function leaves, and
// orientation listeners as collector roots; and the function numbers every group lacks.
#include "NativeTestSupport.h"

#include "natives/DateTime.h"
#include "natives/NativeGroupOps.h"

namespace mcb {

TEST(System, ExitsHostValuesAndStackShufflers) {
    NativeProgram p("native System.exit\nldglobals\nfielda 2\npush 1\nstore\n");
    EXPECT_EQ(p.ended, Ended::Exited);
    EXPECT_EQ(p.host.exits, 1);
    EXPECT_EQ(p.word(2), 0u);  // nothing after the exit ran
    NativeProgram m("ldstr bye\nnative System.exit_message\n", ".string bye \"fatal: bye\"\n");
    EXPECT_EQ(m.ended, Ended::Exited);
    EXPECT_EQ(m.host.exitMessages, (std::vector<std::string>{"fatal: bye"}));
    EXPECT_EQ(m.host.exits, 0);
    // Host values and stack shufflers.
    NativeProgram values(storeTo(2, "native System.elapsed_millis") + storeTo(3, "native System.current_millis") +
                         storeTo(4, "native System.host_value13") + storeTo(5, "native System.host_value12") +
                         storeTo(6, "push 7\npush 8\npush 9\nnative System.drop2") +
                         storeTo(7, "push 5\nnative System.zero") + storeTo(8, "push 5\nnative System.zero2") +
                         storeTo(9, "native System.call_stack"));
    ASSERT_EQ(values.errorCode(), 0) << values.errorText();
    EXPECT_EQ(globals(values, 2, 8), (std::vector<TInt32>{4321, 1234567, 13, 12, 7, 0, 0}));
    EXPECT_EQ(values.text(9), "No Callstack available");
}

TEST(System, OnlyTheLatestApplicationIsARoot) {
    const std::string set2 = "ldglobals\nfielda 2\nderef\nnative System.set_application\n";
    NativeProgram p(storeTo(2, "alloc 2, 3") + storeTo(3, "alloc 2, 3") + set2 +
                    "ldglobals\nfielda 3\nderef\nnative System.set_application\n");
    ASSERT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.vm.applicationObject(), p.word(3));
    EXPECT_EQ(p.vm.heap().isRoot(p.word(2)), 0);
    EXPECT_NE(p.vm.heap().isRoot(p.word(3)), 0);
    NativeProgram same(storeTo(2, "alloc 2, 3") + set2 + set2);  // the same one twice stays a root
    ASSERT_EQ(same.errorCode(), 0);
    EXPECT_NE(same.vm.heap().isRoot(same.word(2)), 0);
    // Not an object: an address outside the heap, or inside an object; null leaves none.
    for (const char* notObject : {"push 0x12345", "alloc 2, 3\npush 4\nadd"}) {
        NativeProgram outside(std::string(notObject) + "\nnative System.set_application\n");
        EXPECT_EQ(errorOf(outside), "10: VMException: Invalid TYPEID") << notObject;
        EXPECT_EQ(outside.vm.applicationObject(), 0u);
    }
    NativeProgram none(set2 + "push 0\nnative System.set_application\n");
    EXPECT_EQ(none.errorCode(), 0);
}

TEST(System, NowMakesACellWithANewDateTimeAndImagesNeedAGraphicsHook) {
    NativeProgram p(storeTo(2, "push 1\nnative System.now") + storeTo(3, "push 0\nnative System.now"));
    ASSERT_EQ(p.errorCode(), 0);
    auto dateTime = [&](int g) { return p.vm.heap().objectAs<VELMAR::DateTime>(p.vm.memory().readWord(p.word(g))); };
    EXPECT_EQ(dateTime(2)->timezone(), 1);
    EXPECT_EQ(dateTime(3)->timezone(), 0);
    EXPECT_GE(dateTime(2)->year(), 2020);
    NativeProgram bad(storeTo(2, "push 2\nnative System.now"));
    EXPECT_EQ(errorOf(bad), "6: InvalidArgumentException");
    // Images without a graphics hook fail. (Through the graphics hook: tests/graphics/FontTest.cpp.)
    NativeProgram file(storeTo(2, "ldstr path\nnative System.image_from_file"), ".string path \"a.png\"\n");
    EXPECT_EQ(file.errorCode(), 6);
    NativeProgram q(storeTo(2, "alloc 2, 2\ndup\nnewvec 1\nnative System.image_from_bytes"));
    EXPECT_EQ(errorOf(q), "6: InvalidArgumentException: byte[] is empty");
    EXPECT_EQ(NativeProgram(storeTo(2, "native System.default_font")).errorCode(), 13);
}

// A function number a group lacks raises the group's prefix and the program counter (Float: the
// number itself), at the first such number and at 255; group 2 halts as an invalid group.
TEST(NativeDispatch, FunctionsAGroupLacksNameTheGroup) {
    VirtualMachine vm;  // registers the groups
    for (int g = natives::kFirstGroup; g <= natives::kLastGroup; ++g) {
        const natives::Group* group = natives::findGroup(g);
        if (!group) continue;
        std::string prefix = std::string(group->name) + ":";
        if (g == 1 || (g >= 3 && g <= 7)) prefix = "Vector:";
        if (g == 35) prefix = "KeyEvent: invalid opcode ";
        if (g == 36) prefix = "Float: invalid opcode: ";
        int missing = 0;
        while (natives::findFunction(g, missing)) ++missing;
        for (int n : {missing, 255}) {
            if (natives::findFunction(g, n)) continue;
            // try is 9 bytes; the native's last operand byte is at 11.
            NativeProgram p("native " + std::to_string(g) + ", " + std::to_string(n) + "\n");
            const std::string expected = "10: VMException: " + prefix + std::to_string(g == 36 ? n : 11);
            EXPECT_EQ(errorOf(p), g == 2 ? "halted" : expected) << group->name << " " << n;  // group 2: no group
        }
    }
}

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
    EXPECT_EQ(globals(p, 2, 4), (std::vector<TInt32>{800, 480, 2}));
    EXPECT_EQ(globals(p, 5, 7), (std::vector<TInt32>{480, 800, 1}));
    EXPECT_EQ(globals(p, 8, 9), (std::vector<TInt32>{800, 480}));
    EXPECT_EQ(p.host.repaints, (Rects{{0, 0, 800, 480}, {10, 20, 30, 40}, {0, 0, 480, 800}}));
    EXPECT_EQ(p.host.screenFlags, (std::vector<bool>{true, false}));
    EXPECT_EQ(p.host.orientationValue, 2);
}

TEST(Screen, ListenersStayRootedWhileRegisteredAndRefusedOnesReachNeitherHostNorRoots) {
    // Listener A is registered twice and removed twice; B is never registered and shows that
    // the collections free what nothing holds. Rows: A lives and B is gone; A is still rooted
    // once; A is gone. "extcall 20, 99" pushes A as the host was given it.
    NativeProgram p(
        "alloc 1, 1\n dup\n extcall 20, 1\n dup\n native Screen.add_orientation_listener\n"
        "native Screen.add_orientation_listener\n alloc 1, 1\n extcall 20, 1\n extcall 20, 2\n"
        "extcall 20, 99\n native Screen.remove_orientation_listener\n extcall 20, 2\n"
        "extcall 20, 99\n native Screen.remove_orientation_listener\n extcall 20, 2\n",
        {}, [](NativeProgram& q) { q.handOver = [&q] { return q.host.listenersAdded.front(); }; });
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, false}, {true, false}, {false, false}}));
    ASSERT_EQ(p.host.listenersAdded.size(), 2u);
    EXPECT_EQ(p.host.listenersAdded[0], p.host.listenersAdded[1]);
    EXPECT_EQ(p.host.listenersRemoved, p.host.listenersAdded);
    // Refused listeners reach neither the host nor the roots.
    for (const char* f : {"add_orientation_listener", "remove_orientation_listener"}) {
        NativeProgram refused("push 0\nnative Screen." + std::string(f) + "\n");
        EXPECT_EQ(refused.errorText(), "NullPointerException: NULL pointer") << f;
        EXPECT_TRUE(refused.host.listenersAdded.empty() && refused.host.listenersRemoved.empty()) << f;
    }
    // Not a heap object: refused before the host hears of it.
    NativeProgram stray("ldglobals\nfielda 3\nnative Screen.add_orientation_listener\n");
    EXPECT_EQ(stray.errorCode(), 10);
    EXPECT_TRUE(stray.host.listenersAdded.empty());
    // A collected object's old address: refused, and later collections still run.
    NativeProgram freed(
        "alloc 1, 1\nextcall 20, 1\nextcall 20, 3\nextcall 20, 99\n"
        "native Screen.add_orientation_listener\n",
        {}, [](NativeProgram& q) { q.handOver = [&q] { return TInt32(q.watched.front()); }; });
    EXPECT_EQ(freed.errorCode(), 10);
    EXPECT_TRUE(freed.returned());
    EXPECT_TRUE(freed.host.listenersAdded.empty());
    EXPECT_NO_THROW(freed.vm.heap().collect());
}

}  // namespace mcb
