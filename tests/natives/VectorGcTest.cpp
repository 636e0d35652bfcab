// The collector and the vector natives: a vector, its storage and its elements live
// exactly while the handle is reachable; an element address keeps the storage alive;
// result vectors trace their elements (growth freeing the old storage: FoundationTest.cpp).
#include "VectorTestSupport.h"

namespace mcb {

namespace {
const char* kTexts = ".string a \"a\"\n.string b \"b\"\n.string c \"c\"\n";

// An object vector in global 2 holding new strings a, b and c.
const std::string kObjects = "@objvec\n @store 2\n @load 2\n ldstr a\n native ObjectVector.append\n"
                             "@load 2\n ldstr b\n native ObjectVector.append\n"
                             "@load 2\n ldstr c\n native ObjectVector.append\n";
const char* kDropVector = "ldglobals\n fielda 2\n storez\n";
}  // namespace

TEST(VectorGc, ObjectVectorsKeepTheirElementsExactlyWhileReachable) {
    // Watched: the handle, the vector object, the storage block, cells a and b.
    NativeProgram p(kObjects + "@load 2\n extcall 20, 1\n @load 2\n deref\n extcall 20, 1\n"
                    "@load 2\n push 0\n native ObjectVector.element_slot\n extcall 20, 1\n"
                    "@load 2\n push 0\n native ObjectVector.element_at\n extcall 20, 1\n"
                    "@load 2\n push 1\n native ObjectVector.element_at\n extcall 20, 1\n extcall 20, 2\n"
                    "@load 2\n push 1\n native ObjectVector.remove_at\n extcall 20, 2\n" + kDropVector + "extcall 20, 2\n",
                    kTexts);
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, true, true, true, true},
                                                            {true, true, true, true, false},
                                                            {false, false, false, false, false}}));
}

TEST(VectorGc, AnElementAddressOnTheStackKeepsTheStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) +
                    "@load 2\n push 1\n native IntVector.element_at\n dup\n extcall 20, 1\n"
                    "@load 2\n deref\n extcall 20, 1\n" + kDropVector + "extcall 20, 2\n deref\n @store 3\n extcall 20, 2\n");
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, false}, {false, false}}));
    EXPECT_EQ(p.integer(3), 20);
}

TEST(VectorGc, ResultVectorsTraceTheirElementsThroughCollections) {
    // Collections between operands and calls; then only the results reach the strings.
    NativeProgram p(kObjects + "@load 2\n push 1\n push -1\n extcall 20, 3\n native ObjectVector.part\n @store 3\n"
                    "@load 2\n push 0\n push 1\n @load 2\n push 2\n push 1\n native ObjectVector.join_parts\n @store 4\n"
                    "@objvec\n @keep 5\n @load 2\n push 0\n push 1\n native ObjectVector.set_part\n"
                    "@load 3\n @load 2\n extcall 20, 3\n native ObjectVector.append_vector\n" + kDropVector +
                    "extcall 20, 3\n extcall 20, 3\n", kTexts);
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.strings(3), (std::vector<std::string>{"b", "c", "a", "b", "c"}));
    EXPECT_EQ(p.strings(4), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(p.strings(5), (std::vector<std::string>{"a"}));
    for (int g : {3, 4}) {
        HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.integer(g)));
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_OBJECT_ARRAY));
    }
}

}  // namespace mcb
