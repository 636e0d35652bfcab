// The collector and the String natives: strings live exactly while reachable,
// collections in the middle of work change nothing, split pieces live through their vector.
#include "../support/NativeProgram.h"

namespace mcb {

namespace {
const char* kTexts = ".string hello \"Hello\"\n.string empty \"\"\n.string csv \"a,b,c\"\n";
}  // namespace

TEST(StringGc, StringsLiveExactlyWhileReachable) {
    // Watched: the dropped cell and its string, the kept cell and its string; then a
    // destination's old string (let go by set_copy) and its new one.
    NativeProgram p(R"(
    ldstr hello
    @store 2
    ldstr empty
    dup
    extcall 20, 1
    deref
    extcall 20, 1
    @load 2
    dup
    extcall 20, 1
    deref
    extcall 20, 1
    extcall 20, 2
    ldstr hello
    @keep 3
    deref
    extcall 20, 1
    @load 3
    ldstr csv
    native String.set_copy
    @load 3
    deref
    extcall 20, 1
    extcall 20, 2
)", kTexts);
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    ASSERT_EQ(p.alive.size(), 2u);
    EXPECT_EQ(p.alive[0], (std::vector<bool>{false, false, true, true}));
    ASSERT_EQ(p.alive[1].size(), 6u);  // the freed entries of the first row may be reused
    EXPECT_FALSE(p.alive[1][4]);
    EXPECT_TRUE(p.alive[1][5]);
    EXPECT_EQ(p.text(2), "Hello");
    EXPECT_EQ(p.text(3), "a,b,c");
}

TEST(StringGc, CollectingInTheMiddleOfWorkKeepsOperands) {
    NativeProgram p("ldstr hello\n ldstr csv\n extcall 20, 3\n native String.concat\n extcall 20, 3\n @keep 2\n"
                    "push 33\n extcall 20, 3\n native String.append_char\n", kTexts);
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "Helloa,b,c!");
}

TEST(StringGc, SplitPiecesLiveThroughTheirVector) {
    NativeProgram p(R"(
    ldstr csv
    push 44
    native String.split_c
    @store 2
    @load 2
    push 1
    native ObjectVector.element_at
    extcall 20, 1      ; the piece "b", reached only through the vector
    extcall 20, 2
    @load 2
    push 1
    native ObjectVector.remove_at
    extcall 20, 2
)", kTexts);
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true}, {false}}));
    EXPECT_EQ(p.strings(2), (std::vector<std::string>{"a", "c"}));
    HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.integer(2)));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_OBJECT_ARRAY));
}

}  // namespace mcb
