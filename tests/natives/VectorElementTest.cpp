// Vector natives that read elements: addresses, values of one to four words (the
// stack grows by SIZE - 1), byte sign extension, size; wrong operands and opcodes.
#include "VectorTestSupport.h"

namespace mcb {

namespace {
std::string errorResult(const std::string& body) {
    NativeProgram p(body);
    return errorOf(p);
}

std::vector<TInt32> globals(NativeProgram& p, int first, int last) {
    std::vector<TInt32> out;
    for (int g = first; g <= last; ++g) out.push_back(p.integer(g));
    return out;
}
}  // namespace

TEST(VectorElements, ElementAtIsAnAddressIntoTheStorage) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) +
                    "@load 2\n push 1\n native IntVector.element_at\n @keep 3\n deref\n @store 4\n"
                    "@load 3\n push 99\n store\n @load 2\n native IntVector.size\n @store 5\n"
                    "@load 2\n native IntVector.is_empty\n @store 6\n @vec 4\n native IntVector.is_empty\n @store 7\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(TUint32(p.integer(3)), p.vector(2).storage() + 4);
    EXPECT_EQ(globals(p, 4, 7), (std::vector<TInt32>{20, 3, 0, 1}));
    EXPECT_EQ(p.words(2), (std::vector<TInt32>{10, 99, 30}));
    EXPECT_EQ(errorResult(vectorIn(2, 4, "IntVector", {1}) + "@load 2\n push 1\n native IntVector.element_at"),
              "2: IndexOutOfBoundsException");
}

TEST(VectorElements, MultiWordValuesKeepOrReplaceTheVector) {
    // element_value keeps v's slot below the value; first_value and last_value replace it.
    NativeProgram p(vectorIn(2, 12, "Int3Vector", {1, 2, 3, 4, 5, 6}, 3) + vectorIn(12, 16, "Int4Vector",
                    {1, 2, 3, 4, -1, -2, -3, -4}, 4) +
                    "push 777\n @load 2\n push 1\n native Int3Vector.element_value\n @store 7\n @store 6\n"
                    "@store 5\n @store 4\n @load 2\n native Int3Vector.first_value\n @store 10\n @store 9\n"
                    "@store 8\n @store 3\n @load 12\n push 1\n native Int4Vector.element_value\n @store 16\n"
                    "@store 15\n @store 14\n @store 13\n adjsp -1\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.integer(3), 777);
    EXPECT_EQ(p.integer(4), p.integer(2));
    EXPECT_EQ(globals(p, 5, 10), (std::vector<TInt32>{4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(globals(p, 13, 16), (std::vector<TInt32>{-1, -2, -3, -4}));
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.first_value"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.last_value"), "2: IndexOutOfBoundsException");
}

TEST(VectorElements, BytesAreSignExtendedAndTruncated) {
    NativeProgram p(vectorIn(2, 1, "ByteVector", {-1, 300, 127, 128}) +
                    "@load 2\n push 1\n native ByteVector.element_value\n @store 3\n adjsp -1\n"
                    "@load 2\n native ByteVector.last_value\n @store 4\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.integer(3), 44);
    EXPECT_EQ(p.integer(4), -128);
    EXPECT_EQ(p.bytes(2), (std::vector<TInt32>{-1, 44, 127, -128}));
}

TEST(VectorElements, ObjectVectorsHandOutReferencesAndSlots) {
    NativeProgram p("@objvec\n @store 2\n @load 2\n push 0\n box\n @keep 3\n native ObjectVector.append\n"
                    "@load 2\n push 0\n native ObjectVector.element_at\n @store 4\n @load 2\n push 0\n"
                    "native ObjectVector.element_slot\n @store 5\n push 555\n @load 2\n push 0\n"
                    "native ObjectVector.element_value\n @store 6\n @store 7\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.integer(4), p.integer(3));
    EXPECT_EQ(TUint32(p.integer(5)), p.vector(2).storage());
    EXPECT_EQ(p.integer(6), p.integer(3));  // the reference replaces v
    EXPECT_EQ(p.integer(7), 555);
}

TEST(VectorElements, WrongOperandsAndOpcodes) {
    EXPECT_EQ(errorResult("push 0\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("alloc 6, 2\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("@vec 8\n native IntVector.size"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("@vec 4\n native ByteVector.size"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("push 3\n box\n native IntVector.size"), "10: VMException: Invalid TYPEID");
    // main's handler takes bytes 0-8; @vec is 9 bytes; the native ends at 20.
    for (int opcode : {0, 1, 30, 85, 127, 200})
        EXPECT_EQ(errorResult("@vec 4\n native 3, " + std::to_string(opcode)), "10: VMException: Vector:20") << opcode;
    EXPECT_EQ(errorResult("@vec 4\n push 0\n native IntVector.element_slot"), "10: VMException: Vector:25");
    EXPECT_EQ(errorResult("@vec 1\n native 1, 31"), "10: VMException: Vector:20");
}

// Every opcode of every group on operands of every shape ends in a result or a
// catchable error, never a halt.
TEST(VectorElements, EveryOpcodeOnEveryOperandShape) {
    const std::vector<std::string> shapes = {
        pushesOf({"g", "g", "g", "g", "g", "g"}),   pushesOf({"g", "1", "2", "g", "0", "1"}),
        pushesOf({"g", "0", "-1", "g", "1", "-1"}), pushesOf({"g", "0x7fffffff", "1", "g", "0x7fffffff", "-1"}),
        pushesOf({"0", "0", "0", "0", "0", "0"}),   pushesOf({"g", "-5", "7", "g", "3", "0"}),
        pushesOf({"1", "2", "3", "4", "5", "6"}),   pushesOf({"s", "s", "2", "s", "-1", "s"}),
    };
    for (int group : {1, 3, 4, 5, 6, 7}) {
        const int words = group == 1 || group == 7 ? 1 : group - 2;
        std::string body = group == 7 ? "    @objvec\n    @store 5\n"
                                      : "    @vec " + std::to_string(group == 1 ? 1 : words * 4) + "\n    @store 5\n";
        for (int i = 0; i < 3; ++i) {  // three elements; string cells for object vectors
            body += "    @load 5\n";
            for (int w = 0; w < words; ++w) body += group == 7 ? "    ldstr text\n" : "    push -7\n";
            body += "    native " + std::to_string(group) + ", 19\n";
        }
        for (size_t k = 0; k < shapes.size(); ++k) {
            NativeProgram p(body + everyFunction(group, 0, 255, shapes[k]), ".string text \"abc\"\n");
            const bool ended = p.returned();
            // Plain integers stored as object-vector elements make the collection
            // after the run refuse the vector; the natives themselves stayed in order.
            const bool refused = group == 7 && p.escaped.rfind("VMException: Bad VM address", 0) == 0;
            EXPECT_TRUE(ended || refused) << "group " << group << " shape " << k << ": " << p.escaped;
            EXPECT_EQ(p.vector(5).elementBytes(), TUint32(group == 1 ? 1 : words * 4));
        }
    }
}

}  // namespace mcb
