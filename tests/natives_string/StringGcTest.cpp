// The collector and the String natives: strings live exactly while a cell or the
// stack reaches them, collections in the middle of work change nothing, and split
// results keep their pieces alive through their object-array handle.
#include "NativeProgram.h"

namespace {
const char* kTexts = R"(
.string hello "Hello"
.string empty ""
.string csv "a,b,c"
)";
}  // namespace

TEST(StringGc, StringsLiveExactlyWhileReachable) {
    NativeProgram p(R"(
    ldstr hello
    @store 2
    ldstr empty
    dup
    extcall 20, 1      ; the dropped cell
    deref
    extcall 20, 1      ; and its string object
    @load 2
    dup
    extcall 20, 1      ; the kept cell
    deref
    extcall 20, 1      ; and its string object
    extcall 20, 2
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    ASSERT_EQ(p.host.alive.size(), 1u);
    EXPECT_EQ(p.host.alive[0], (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(p.str(2), "Hello");
}

TEST(StringGc, ADestinationLetsGoOfItsOldString) {
    NativeProgram p(R"(
    ldstr hello
    @keep 2
    deref
    extcall 20, 1      ; the old object
    @load 2
    ldstr csv
    native String.set_copy
    @load 2
    deref
    extcall 20, 1      ; the new object
    extcall 20, 2
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.host.alive.at(0), (std::vector<bool>{false, true}));
    EXPECT_EQ(p.str(2), "a,b,c");
}

TEST(StringGc, CollectingInTheMiddleOfWorkKeepsOperands) {
    NativeProgram p(R"(
    ldstr hello
    ldstr csv
    extcall 20, 3
    native String.concat
    extcall 20, 3
    @keep 2
    push 33
    extcall 20, 3
    native String.append_char
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.str(2), "Helloa,b,c!");
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
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    ASSERT_EQ(p.host.alive.size(), 2u);
    EXPECT_EQ(p.host.alive[0], std::vector<bool>{true});
    EXPECT_EQ(p.host.alive[1], std::vector<bool>{false});
    EXPECT_EQ(p.strings(2), (std::vector<std::string>{"a", "c"}));
    HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.global(2)));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_OBJECT_ARRAY));
}
