#include "../natives_numeric/NativeProgram.h"

#include "natives/DateTime.h"
#include "natives/NativeGroupOps.h"

TEST(System, ExitAsksTheHostAndEndsTheRun) {
    NativeProgram p(R"(
    native System.exit
    ldglobals
    fielda 2
    push 1
    store
)");
    EXPECT_EQ(p.ended, Ended::Exited);
    EXPECT_EQ(p.host.exits, 1);
    EXPECT_EQ(p.word(2), 0u);  // nothing after the exit ran
    EXPECT_EQ(p.errorCode(), 0);  // not turned into a bytecode exception
}

TEST(System, ExitWithMessageHandsOverTheTextAndEndsTheRun) {
    NativeProgram p("ldstr bye\nnative System.exit_message\n", ".string bye \"fatal: bye\"\n");
    EXPECT_EQ(p.ended, Ended::Exited);
    EXPECT_EQ(p.host.exitMessages, (std::vector<std::string>{"fatal: bye"}));
    EXPECT_EQ(p.host.exits, 0);
}

TEST(System, ClocksAndHostValuesComeFromTheHost) {
    NativeProgram p(storeTo(2, "native System.elapsed_millis") +
                    storeTo(3, "native System.current_millis") +
                    storeTo(4, "native System.host_value13") +
                    storeTo(5, "native System.host_value12"));
    EXPECT_EQ(p.integer(2), 4321);
    EXPECT_EQ(p.integer(3), 1234567);
    EXPECT_EQ(p.integer(4), 13);
    EXPECT_EQ(p.integer(5), 12);
}

TEST(System, CallStackIsAFixedText) {
    NativeProgram p(storeTo(2, "native System.call_stack"));
    EXPECT_EQ(p.text(2), "No Callstack available");
}

TEST(System, StackShufflers) {
    NativeProgram p(storeTo(2, "push 7\npush 8\npush 9\nnative System.drop2") +
                    storeTo(3, "push 5\nnative System.zero") + storeTo(4, "push 5\nnative System.zero2"));
    EXPECT_EQ(p.errorCode(), 0);
    EXPECT_EQ(p.integer(2), 7);
    EXPECT_EQ(p.integer(3), 0);
    EXPECT_EQ(p.integer(4), 0);
}

TEST(System, SettingTheApplicationTwiceLeavesOnlyTheSecondAsRoot) {
    NativeProgram p(R"(
    ldglobals
    fielda 2
    alloc 2, 3
    store
    ldglobals
    fielda 3
    alloc 2, 3
    store
    ldglobals
    fielda 2
    deref
    native System.set_application
    ldglobals
    fielda 3
    deref
    native System.set_application
)");
    ASSERT_EQ(p.errorCode(), 0);
    const VMAddr first = p.word(2), second = p.word(3);
    EXPECT_EQ(p.vm.applicationObject(), second);
    EXPECT_EQ(p.vm.heap().isRoot(first), 0);
    EXPECT_NE(p.vm.heap().isRoot(second), 0);
}

TEST(System, SettingTheSameApplicationTwiceKeepsItARoot) {
    NativeProgram p(storeTo(2, "alloc 2, 3") + "ldglobals\nfielda 2\nderef\nnative System.set_application\n" +
                    "ldglobals\nfielda 2\nderef\nnative System.set_application\n");
    ASSERT_EQ(p.errorCode(), 0);
    EXPECT_NE(p.vm.heap().isRoot(p.word(2)), 0);
}

TEST(System, AnApplicationOutsideTheHeapIsRefused) {
    NativeProgram p("push 0x12345\nnative System.set_application\n");
    EXPECT_EQ(p.errorCode(), 10);
    EXPECT_EQ(p.vm.applicationObject(), 0u);
}

TEST(System, NowInTimezoneMakesACellWithANewDateTime) {
    NativeProgram p(storeTo(2, "push 1\nnative System.now") + storeTo(3, "push 0\nnative System.now"));
    ASSERT_EQ(p.errorCode(), 0);
    auto dateTime = [&](int g) { return p.vm.heap().objectAs<Velmar::DateTime>(p.vm.memory().readWord(p.word(g))); };
    EXPECT_EQ(dateTime(2)->timezone(), 1);
    EXPECT_EQ(dateTime(3)->timezone(), 0);
    EXPECT_GE(dateTime(2)->year(), 2020);
}

TEST(System, NowWithABadTimezoneIsInvalidArgument) {
    NativeProgram p(storeTo(2, "push 2\nnative System.now"));
    EXPECT_EQ(p.errorCode(), 6);
    EXPECT_EQ(p.errorText(), "InvalidArgumentException");
}

TEST(System, ImagesWithoutAGraphicsHookFail) {
    NativeProgram p(storeTo(2, "ldstr path\nnative System.image_from_file"), ".string path \"a.png\"\n");
    EXPECT_EQ(p.errorCode(), 6);
    NativeProgram q(storeTo(2, "alloc 2, 2\ndup\nnewvec 1\nnative System.image_from_bytes"));
    EXPECT_EQ(q.errorCode(), 6);
    EXPECT_EQ(q.errorText(), "InvalidArgumentException: byte[] is empty");
    NativeProgram r(storeTo(2, "native System.default_font"));
    EXPECT_EQ(r.errorCode(), 13);
}

namespace {
VMAddr fakeImage(VirtualMachine& vm, const TUint8* bytes, TInt32 n) {
    return n == 2 && bytes[0] == 0x42 && bytes[1] == 0x4D ? vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL) : 0;
}
}  // namespace

TEST(System, ImageFromBytesGoesThroughTheHook) {
    SystemGraphics hooks;
    hooks.imageFromBytes = fakeImage;
    setSystemGraphics(hooks);
    NativeProgram good(storeTo(2, R"(
    alloc 2, 2
    dup
    newvec 1
    dup
    dup
    push 66
    native ByteVector.append
    push 77
    native ByteVector.append
    native System.image_from_bytes)"));
    setSystemGraphics({});
    if (good.errorText().find("Vector:") != std::string::npos) GTEST_SKIP() << "vector natives not built";
    EXPECT_EQ(good.errorCode(), 0);
    EXPECT_NE(good.word(2), 0u);
}

TEST(System, UnknownFunction) {
    NativeProgram p("native System, 16\n");
    EXPECT_EQ(p.errorText(), "VMException: System:11");
}
