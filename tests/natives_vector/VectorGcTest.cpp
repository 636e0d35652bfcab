// The collector and the vector natives: a vector, its storage and (for object
// vectors) its elements live exactly while the array handle is reachable; an
// element address on the stack keeps the storage alive; new vectors made as
// results trace their elements.
#include "VectorTestSupport.h"

namespace {
const char* kTexts = R"(
.string a "a"
.string b "b"
.string c "c"
)";

// An object vector in global 2 holding new strings a, b and c.
const char* kObjects = R"(
    @objvec
    @store 2
    @load 2
    ldstr a
    native ObjectVector.append
    @load 2
    ldstr b
    native ObjectVector.append
    @load 2
    ldstr c
    native ObjectVector.append
)";
}  // namespace

TEST(VectorGc, ObjectVectorsKeepTheirElementsExactlyWhileReachable) {
    NativeProgram p(std::string(kObjects) + R"(
    @load 2
    extcall 20, 1      ; 0: the handle
    @load 2
    deref
    extcall 20, 1      ; 1: the vector object
    @load 2
    push 0
    native ObjectVector.element_slot
    extcall 20, 1      ; 2: the storage block
    @load 2
    push 0
    native ObjectVector.element_at
    extcall 20, 1      ; 3: cell a
    @load 2
    push 1
    native ObjectVector.element_at
    extcall 20, 1      ; 4: cell b
    extcall 20, 2
    @load 2
    push 1
    native ObjectVector.remove_at
    extcall 20, 2
    ldglobals
    fielda 2
    storez
    extcall 20, 2
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    ASSERT_EQ(p.host.alive.size(), 3u);
    EXPECT_EQ(p.host.alive[0], (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(p.host.alive[1], (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(p.host.alive[2], (std::vector<bool>{false, false, false, false, false}));
}

TEST(VectorGc, AnElementAddressOnTheStackKeepsTheStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) + R"(
    @load 2
    push 1
    native IntVector.element_at
    dup
    extcall 20, 1      ; 0: the storage, through the address
    @load 2
    deref
    extcall 20, 1      ; 1: the vector object
    ldglobals
    fielda 2
    storez
    extcall 20, 2
    deref
    @store 3
    extcall 20, 2
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    ASSERT_EQ(p.host.alive.size(), 2u);
    EXPECT_EQ(p.host.alive[0], (std::vector<bool>{true, false}));
    EXPECT_EQ(p.global(3), 20);
    EXPECT_EQ(p.host.alive[1], (std::vector<bool>{false, false}));
}

TEST(VectorGc, CollectingInTheMiddleOfWorkKeepsOperands) {
    NativeProgram p(std::string(kObjects) + R"(
    @load 2
    push 0
    push 2
    extcall 20, 3
    native ObjectVector.part
    @store 3
    extcall 20, 3
    @load 3
    @load 2
    extcall 20, 3
    native ObjectVector.append_vector
    extcall 20, 3
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.strings(3), (std::vector<std::string>{"a", "b", "a", "b", "c"}));
}

TEST(VectorGc, ResultVectorsTraceTheirElements) {
    // Only the results reach the strings once the source vector is dropped.
    NativeProgram p(std::string(kObjects) + R"(
    @load 2
    push 1
    push -1
    native ObjectVector.part
    @store 3
    @load 2
    push 0
    push 1
    @load 2
    push 2
    push 1
    native ObjectVector.join_parts
    @store 4
    @objvec
    @keep 5
    @load 2
    push 0
    push 1
    native ObjectVector.set_part
    ldglobals
    fielda 2
    storez
    extcall 20, 3
    extcall 20, 3
)", kTexts);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.strings(3), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(p.strings(4), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(p.strings(5), (std::vector<std::string>{"a"}));
    for (int g : {3, 4}) {
        HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.global(g)));
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_OBJECT_ARRAY));
    }
}

TEST(VectorGc, GrowthReleasesTheOldStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1}) + R"(
    @load 2
    push 0
    native IntVector.element_at
    extcall 20, 1      ; the first storage block
)" + appendAll("IntVector", 2, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) + R"(
    @load 2
    push 0
    native IntVector.element_at
    extcall 20, 1      ; the grown one
    extcall 20, 2
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.host.alive.at(0), (std::vector<bool>{false, true}));
    EXPECT_EQ(p.words(2), (std::vector<TInt32>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}
