// The collector and the string and vector natives: strings, vectors, their storage and
// elements live exactly while reachable; collections in the middle of work change nothing;
// an element address keeps the storage alive; result vectors trace their elements (growth
// freeing the old storage: ObjectsTest.cpp).
#include "NativeTestSupport.h"

namespace mcb {

namespace {
const char* kTexts = ".string hello \"Hello\"\n.string empty \"\"\n.string csv \"a,b,c\"\n"
                     ".string a \"a\"\n.string b \"b\"\n.string c \"c\"\n";

// An object vector in global 2 holding new strings a, b and c.
const std::string kObjects = "@objvec\n @store 2\n @load 2\n ldstr a\n native ObjectVector.append\n"
                             "@load 2\n ldstr b\n native ObjectVector.append\n"
                             "@load 2\n ldstr c\n native ObjectVector.append\n";
const char* kDropVector = "ldglobals\n fielda 2\n storez\n";
}  // namespace

TEST(StringGc, StringsLiveExactlyWhileReachable) {
    // Watched: the dropped cell and its string, the kept cell and its string; then a
    // destination's old string (let go by set_copy) and its new one.
    NativeProgram p("ldstr hello\n @store 2\n ldstr empty\n dup\n extcall 20, 1\n deref\n extcall 20, 1\n"
                    "@load 2\n dup\n extcall 20, 1\n deref\n extcall 20, 1\n extcall 20, 2\n"
                    "ldstr hello\n @keep 3\n deref\n extcall 20, 1\n"
                    "@load 3\n ldstr csv\n native String.set_copy\n @load 3\n deref\n extcall 20, 1\n extcall 20, 2\n",
                    kTexts);
    ASSERT_EQ(errorOf(p), "0: ");
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
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.text(2), "Helloa,b,c!");
}

TEST(VectorGc, ObjectVectorsKeepTheirElementsExactlyWhileReachable) {
    // Watched: the handle, the vector object, the storage block, cells a and b.
    NativeProgram p(kObjects + "@load 2\n extcall 20, 1\n @load 2\n deref\n extcall 20, 1\n"
                    "@load 2\n push 0\n native ObjectVector.element_slot\n extcall 20, 1\n"
                    "@load 2\n push 0\n native ObjectVector.element_at\n extcall 20, 1\n"
                    "@load 2\n push 1\n native ObjectVector.element_at\n extcall 20, 1\n extcall 20, 2\n"
                    "@load 2\n push 1\n native ObjectVector.remove_at\n extcall 20, 2\n" + kDropVector + "extcall 20, 2\n",
                    kTexts);
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, true, true, true, true},
                                                            {true, true, true, true, false},
                                                            {false, false, false, false, false}}));
}

TEST(VectorGc, AnElementAddressOnTheStackKeepsTheStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) +
                    "@load 2\n push 1\n native IntVector.element_at\n dup\n extcall 20, 1\n"
                    "@load 2\n deref\n extcall 20, 1\n" + kDropVector + "extcall 20, 2\n deref\n @store 3\n extcall 20, 2\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.alive, (std::vector<std::vector<bool>>{{true, false}, {false, false}}));
    EXPECT_EQ(p.integer(3), 20);
}

TEST(VectorGc, ResultVectorsTraceTheirElementsThroughCollections) {
    // Collections between operands and calls; then only the results reach the strings
    // (split's pieces only through its vector).
    NativeProgram p(kObjects + "@load 2\n push 1\n push -1\n extcall 20, 3\n native ObjectVector.part\n @store 3\n"
                    "@load 2\n push 0\n push 1\n @load 2\n push 2\n push 1\n native ObjectVector.join_parts\n @store 4\n"
                    "@objvec\n @keep 5\n @load 2\n push 0\n push 1\n native ObjectVector.set_part\n"
                    "@load 3\n @load 2\n extcall 20, 3\n native ObjectVector.append_vector\n"
                    "ldstr csv\n push 44\n extcall 20, 3\n native String.split_c\n @store 6\n" + kDropVector +
                    "extcall 20, 3\n extcall 20, 3\n", kTexts);
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.strings(3), (std::vector<std::string>{"b", "c", "a", "b", "c"}));
    EXPECT_EQ(p.strings(4), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(p.strings(5), (std::vector<std::string>{"a"}));
    EXPECT_EQ(p.strings(6), (std::vector<std::string>{"a", "b", "c"}));
    for (int g : {3, 4, 6}) {
        HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.integer(g)));
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_OBJECT_ARRAY));
    }
}

}  // namespace mcb
