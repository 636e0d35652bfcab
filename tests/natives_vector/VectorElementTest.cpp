// Vector natives that read elements: addresses, element values of one to four
// words (the stack grows by SIZE - 1), byte sign extension, size and emptiness.
#include "VectorTestSupport.h"

namespace {
std::string errorResult(const std::string& body) {
    NativeProgram p(body);
    return errorOf(p);
}
}  // namespace

TEST(VectorElements, AppendedIntsAreStoredInOrder) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}));
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.words(2), (std::vector<TInt32>{10, 20, 30}));
    EXPECT_EQ(p.vector(2).capacity(), 10);
}

TEST(VectorElements, ElementAtIsAnAddressIntoTheStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) + R"(
    @load 2
    push 1
    native IntVector.element_at
    @keep 3
    deref
    @store 4
    @load 3
    push 99
    store
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(TUint32(p.global(3)), p.vector(2).storage() + 4);
    EXPECT_EQ(p.global(4), 20);
    EXPECT_EQ(p.words(2), (std::vector<TInt32>{10, 99, 30}));
    EXPECT_EQ(errorResult(vectorIn(2, 4, "IntVector", {1}) + "@load 2\n push 1\n native IntVector.element_at"),
              "2: IndexOutOfBoundsException");
}

TEST(VectorElements, ElementValueKeepsTheVectorBelowTheValue) {
    NativeProgram p(vectorIn(2, 12, "Int3Vector", {1, 2, 3, 4, 5, 6}, 3) + R"(
    push 777
    @load 2
    push 1
    native Int3Vector.element_value
    @store 7
    @store 6
    @store 5
    @store 4
    @store 3
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(3), 777);
    EXPECT_EQ(TUint32(p.global(4)), TUint32(p.global(2)));  // v's slot stays below the value
    EXPECT_EQ(p.global(5), 4);
    EXPECT_EQ(p.global(6), 5);
    EXPECT_EQ(p.global(7), 6);
}

TEST(VectorElements, FirstAndLastValuesReplaceTheVector) {
    NativeProgram p(vectorIn(2, 12, "Int3Vector", {1, 2, 3, 4, 5, 6}, 3) + R"(
    push 777
    @load 2
    native Int3Vector.first_value
    @store 6
    @store 5
    @store 4
    @load 2
    native Int3Vector.last_value
    @store 9
    @store 8
    @store 7
    @store 3
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(3), 777);
    EXPECT_EQ((std::vector<TInt32>{p.global(4), p.global(5), p.global(6)}), (std::vector<TInt32>{1, 2, 3}));
    EXPECT_EQ((std::vector<TInt32>{p.global(7), p.global(8), p.global(9)}), (std::vector<TInt32>{4, 5, 6}));
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.first_value"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.last_value"), "2: IndexOutOfBoundsException");
}

TEST(VectorElements, FourWordElements) {
    NativeProgram p(vectorIn(2, 16, "Int4Vector", {1, 2, 3, 4, -1, -2, -3, -4}, 4) + R"(
    @load 2
    push 1
    native Int4Vector.element_value
    @store 6
    @store 5
    @store 4
    @store 3
    adjsp -1
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ((std::vector<TInt32>{p.global(3), p.global(4), p.global(5), p.global(6)}),
              (std::vector<TInt32>{-1, -2, -3, -4}));
    EXPECT_EQ(p.vector(2).size(), 2);
}

TEST(VectorElements, BytesAreSignExtendedAndTruncated) {
    NativeProgram p(vectorIn(2, 1, "ByteVector", {-1, 300, 127, 128}) + R"(
    @load 2
    push 0
    native ByteVector.element_value
    @store 3
    adjsp -1
    @load 2
    push 1
    native ByteVector.element_value
    @store 4
    adjsp -1
    @load 2
    native ByteVector.last_value
    @store 5
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(3), -1);
    EXPECT_EQ(p.global(4), 44);
    EXPECT_EQ(p.global(5), -128);
    EXPECT_EQ(p.bytes(2), (std::vector<TInt32>{-1, 44, 127, -128}));
}

TEST(VectorElements, SizeAndEmptiness) {
    NativeProgram p(vectorIn(2, 8, "Int2Vector", {1, 2, 3, 4}, 2) + R"(
    @load 2
    native Int2Vector.size
    @store 3
    @load 2
    native Int2Vector.is_empty
    @store 4
    @vec 8
    native Int2Vector.is_empty
    @store 5
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(3), 2);
    EXPECT_EQ(p.global(4), 0);
    EXPECT_EQ(p.global(5), 1);
}

TEST(VectorElements, ObjectVectorsHandOutReferencesAndSlots) {
    NativeProgram p(R"(
    @objvec
    @store 2
    @load 2
    push 0
    box
    @keep 3
    native ObjectVector.append
    @load 2
    push 0
    native ObjectVector.element_at
    @store 4
    @load 2
    push 0
    native ObjectVector.element_slot
    @store 5
    push 555
    @load 2
    push 0
    native ObjectVector.element_value
    @store 6
    @store 7
    @load 2
    native ObjectVector.first_value
    @store 8
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(4), p.global(3));
    EXPECT_EQ(TUint32(p.global(5)), p.vector(2).storage());
    EXPECT_EQ(p.global(6), p.global(3));  // the reference replaces v
    EXPECT_EQ(p.global(7), 555);
    EXPECT_EQ(p.global(8), p.global(3));
}

TEST(VectorElements, WrongOperandsAreRejected) {
    EXPECT_EQ(errorResult("push 0\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("alloc 6, 2\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("@vec 8\n native IntVector.size"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("@vec 4\n native ByteVector.size"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("push 3\n box\n native IntVector.size"), "10: VMException: Invalid TYPEID");
}

TEST(VectorElements, InvalidAndReservedOpcodesNameTheProgramCounter) {
    // main's handler takes bytes 0-8; @vec is alloc (6 bytes), dup, newvec (2 bytes); the native ends at 20.
    for (int opcode : {0, 1, 30, 50, 80, 85, 127, 200})
        EXPECT_EQ(errorResult("@vec 4\n native 3, " + std::to_string(opcode)), "10: VMException: Vector:20")
            << "opcode " << opcode;
    EXPECT_EQ(errorResult("@vec 4\n push 0\n native IntVector.element_slot"), "10: VMException: Vector:25");
    EXPECT_EQ(errorResult("@vec 1\n native 1, 31"), "10: VMException: Vector:20");
}
