// Vector natives: reading elements (addresses, values of one to four words, the stack growing
// by SIZE - 1, byte sign extension, size), editing in place, making new vectors, normalising
// ranges; wrong operands and opcodes.
#include "NativeTestSupport.h"

namespace mcb {

namespace {
using Ints = std::vector<TInt32>;

// Global 2 holds the int vector {1, 2, 3, 4, 5} and global 3 the int vector {8, 9}.
const std::string kSetup = vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + vectorIn(3, 4, "IntVector", {8, 9});

std::string errorResult(const std::string& body) {
    NativeProgram p(body);
    return errorOf(p);
}
std::string failure(const std::string& ops) { return errorResult(kSetup + ops); }

// `ops` edit the vector in global 2 into `want`, leaving the word pushed before
// them on top; or they fail with `code` and leave it unchanged.
struct Edit {
    const char* ops;
    Ints want;
    TInt32 code = 0;
};

void checkEdits(std::initializer_list<Edit> edits) {
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.ops);
        NativeProgram p(kSetup + "    push 4321\n" + e.ops + "\n    @store 4\n");
        ASSERT_TRUE(p.returned());
        EXPECT_EQ(p.errorCode(), e.code) << p.errorText();
        if (e.code == 0) {
            EXPECT_EQ(p.integer(4), 4321) << "stack effect";
        }
        EXPECT_EQ(p.words(2), e.code ? Ints({1, 2, 3, 4, 5}) : e.want);
    }
}
}  // namespace

TEST(VectorElements, ElementAtIsAnAddressIntoTheStorageAndWrongOperandsFail) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {10, 20, 30}) +
                    "@load 2\n push 1\n native IntVector.element_at\n @keep 3\n deref\n @store 4\n"
                    "@load 3\n push 99\n store\n @load 2\n native IntVector.size\n @store 5\n"
                    "@load 2\n native IntVector.is_empty\n @store 6\n @vec 4\n native IntVector.is_empty\n @store 7\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(TUint32(p.integer(3)), p.vector(2).storage() + 4);
    EXPECT_EQ(globals(p, 4, 7), (Ints{20, 3, 0, 1}));
    EXPECT_EQ(p.words(2), (Ints{10, 99, 30}));
    EXPECT_EQ(errorResult(vectorIn(2, 4, "IntVector", {1}) + "@load 2\n push 1\n native IntVector.element_at"),
              "2: IndexOutOfBoundsException");
    // Wrong operands and opcodes.
    EXPECT_EQ(errorResult("push 0\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("alloc 6, 2\n native IntVector.size"), "1: NullPointerException: NULL pointer");
    EXPECT_EQ(errorResult("@vec 8\n native IntVector.size"), "10: VMException: Invalid TYPEID");
    EXPECT_EQ(errorResult("push 3\n box\n native IntVector.size"), "10: VMException: Invalid TYPEID");
    // main's handler takes bytes 0-8; @vec is 9 bytes; the native ends at 20 (function numbers the
    // groups lack: NativeDispatch in SystemTest.cpp).
    EXPECT_EQ(errorResult("@vec 4\n push 0\n native IntVector.element_slot"), "10: VMException: Vector:25");
    EXPECT_EQ(errorResult("@vec 1\n native 1, 31"), "10: VMException: Vector:20");
}

TEST(VectorElements, MultiWordValuesBytesAndObjectReferencesAndSlots) {
    // element_value keeps v's slot below the value; first_value and last_value replace it.
    NativeProgram p(vectorIn(2, 12, "Int3Vector", {1, 2, 3, 4, 5, 6}, 3) +
                    vectorIn(12, 16, "Int4Vector", {1, 2, 3, 4, -1, -2, -3, -4}, 4) +
                    "push 777\n @load 2\n push 1\n native Int3Vector.element_value\n @store 7\n @store 6\n"
                    "@store 5\n @store 4\n @load 2\n native Int3Vector.first_value\n @store 10\n @store 9\n"
                    "@store 8\n @store 3\n @load 12\n push 1\n native Int4Vector.element_value\n @store 16\n"
                    "@store 15\n @store 14\n @store 13\n adjsp -1\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(globals(p, 3, 10), (Ints{777, p.integer(2), 4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(globals(p, 13, 16), (Ints{-1, -2, -3, -4}));
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.first_value"), "2: IndexOutOfBoundsException");
    EXPECT_EQ(errorResult("@vec 8\n native Int2Vector.last_value"), "2: IndexOutOfBoundsException");
    // Bytes are sign-extended and truncated.
    NativeProgram b(vectorIn(2, 1, "ByteVector", {-1, 300, 127, 128}) +
                    "@load 2\n push 1\n native ByteVector.element_value\n @store 3\n adjsp -1\n"
                    "@load 2\n native ByteVector.last_value\n @store 4\n");
    ASSERT_EQ(errorOf(b), "0: ");
    EXPECT_EQ(globals(b, 3, 4), (Ints{44, -128}));
    EXPECT_EQ(b.bytes(2), (Ints{-1, 44, 127, -128}));
    // Object vectors hand out references and slots.
    NativeProgram o(
        "@objvec\n @store 2\n @load 2\n push 0\n box\n @keep 3\n native ObjectVector.append\n"
        "@load 2\n push 0\n native ObjectVector.element_at\n @store 4\n @load 2\n push 0\n"
        "native ObjectVector.element_slot\n @store 5\n push 555\n @load 2\n push 0\n"
        "native ObjectVector.element_value\n @store 6\n @store 7\n");
    ASSERT_EQ(errorOf(o), "0: ");
    // element_at, element_slot, then element_value, whose reference replaces v.
    EXPECT_EQ(globals(o, 4, 7), (Ints{o.integer(3), TInt32(o.vector(2).storage()), o.integer(3), 555}));
}

// Every opcode of every vector group and of String (8) on operands of every shape ends in a
// result or a catchable error, never a halt.
TEST(NativeGroups, EveryOpcodeOnEveryOperandShape) {
    const std::vector<std::string> shapes = {
        pushesOf({"g", "g", "g", "g", "g", "g"}),   pushesOf({"g", "1", "2", "g", "0", "1"}),
        pushesOf({"g", "0", "-1", "g", "1", "-1"}), pushesOf({"g", "0x7fffffff", "1", "g", "0x7fffffff", "-1"}),
        pushesOf({"0", "0", "0", "0", "0", "0"}),   pushesOf({"g", "-5", "7", "g", "3", "0"}),
        pushesOf({"1", "2", "3", "4", "5", "6"}),   pushesOf({"s", "s", "2", "s", "-1", "s"}),
        pushesOf({"s", "s", "s", "s", "s", "s"}),   pushesOf({"s", "1", "2", "s", "0", "1"}),
        pushesOf({"s", "s", "0", "-1", "s", "1"}),  pushesOf({"s", "0x7fffffff", "1", "0x7fffffff", "s", "-1"}),
        pushesOf({"s", "-5", "7", "s", "3", "0"}),  pushesOf({"65", "2", "36", "3", "1", "16"}),
        pushesOf({"g", "g", "2", "g", "-1", "g"}),
    };
    for (int group : {1, 3, 4, 5, 6, 7, 8}) {
        const int words = group == 1 || group >= 7 ? 1 : group - 2;
        std::string body = group == 7 ? "    @objvec\n    @store 5\n"
                                      : "    @vec " + std::to_string(group == 1 ? 1 : words * 4) + "\n    @store 5\n";
        for (int i = 0; i < 3 && group != 8; ++i) {  // three elements; string cells for object vectors
            body += "    @load 5\n";
            for (int w = 0; w < words; ++w) body += group == 7 ? "    ldstr text\n" : "    push -7\n";
            body += "    native " + std::to_string(group) + ", 19\n";
        }
        for (size_t k = 0; k < shapes.size(); ++k) {
            NativeProgram p(body + everyFunction(group, 0, 255, shapes[k]), ".string text \"Hello, world\"\n");
            const bool ended = p.returned();
            // Plain integers stored as object-vector elements make the collection
            // after the run refuse the vector; the natives themselves stayed in order.
            const bool refused = group == 7 && p.escaped.rfind("VMException: Bad VM address", 0) == 0;
            EXPECT_TRUE(ended || refused) << "group " << group << " shape " << k << ": " << p.escaped;
            if (group != 8) {  // string functions may leave anything in global 5
                EXPECT_EQ(p.vector(5).elementBytes(), TUint32(group == 1 ? 1 : words * 4));
            }
        }
    }
}

TEST(VectorEdit, InsertRemoveReplaceInEveryElementSize) {
    checkEdits({
        {"@load 2\n @load 3\n push 1\n native IntVector.insert_vector", {1, 8, 9, 2, 3, 4, 5}},
        {"@load 2\n @load 2\n push 2\n native IntVector.insert_vector", {1, 2, 1, 2, 3, 4, 5, 3, 4, 5}},
        {"@load 2\n @load 3\n push 1\n push -1\n push 0\n native IntVector.insert_part", {9, 1, 2, 3, 4, 5}},
        {"@load 2\n push 7\n push 3\n native IntVector.insert", {1, 2, 3, 7, 4, 5}},
        {"@load 2\n push 7\n push -1\n native IntVector.insert", {}, 2},
        {"@load 2\n @load 3\n push 1\n push 2\n push 0\n native IntVector.insert_part", {}, 5},
        {"@load 2\n @load 3\n native IntVector.prepend_vector", {8, 9, 1, 2, 3, 4, 5}},
        {"@load 2\n @load 2\n native IntVector.append_vector", {1, 2, 3, 4, 5, 1, 2, 3, 4, 5}},
        {"@load 3\n push 3\n native IntVector.repeat_in_place\n @load 2\n @load 3\n native IntVector.append_vector",
         {1, 2, 3, 4, 5, 8, 9, 8, 9, 8, 9}},
        {"@load 2\n push 0\n native IntVector.repeat_in_place", {}},
        {"@load 2\n push -1\n native IntVector.repeat_in_place", {}, 6},
        {"@load 2\n push 0\n native IntVector.remove_at", {2, 3, 4, 5}},
        {"@load 2\n push 1\n push 3\n native IntVector.remove_range", {1, 5}},
        {"@load 2\n push 2\n push -1\n native IntVector.remove_range", {1, 2}},
        {"@load 2\n push 5\n native IntVector.remove_front", {}},
        {"@load 2\n native IntVector.clear", {}},
        {"@load 2\n push 6\n native IntVector.remove_front", {}, 6},
        {"@load 2\n push -1\n native IntVector.remove_back", {}, 6},
        {"@load 2\n push 3\n push 3\n native IntVector.remove_range", {}, 5},
        {"@load 2\n push 1\n push 3\n @load 3\n native IntVector.replace_range", {1, 8, 9, 5}},
        {"@load 2\n push 3\n push -1\n @vec 4\n native IntVector.replace_range", {1, 2, 3}},
        {"@load 2\n push 0\n push 2\n push 7\n native IntVector.replace_range_element", {7, 3, 4, 5}},
        {"@load 2\n push 4\n push 2\n @load 3\n native IntVector.replace_range", {}, 5},
        {"@load 2\n push 5\n push 0\n @load 3\n native IntVector.replace_or_insert", {1, 2, 3, 4, 5, 8, 9}},
        {"@load 2\n push 1\n push -1\n @load 3\n native IntVector.replace_or_insert", {1, 8, 9}},
        {"@load 2\n push 0\n push 5\n @load 2\n native IntVector.replace_or_insert", {1, 2, 3, 4, 5}},
        {"@load 2\n push 6\n push 0\n @load 3\n native IntVector.replace_or_insert", {}, 2},
        {"@load 2\n push 2\n push 0\n @load 3\n push 1\n push 1\n native IntVector.replace_or_insert_part",
         {1, 2, 9, 3, 4, 5}},
        {"@load 2\n push 0\n push 2\n @load 3\n push 1\n push 2\n native IntVector.replace_or_insert_part", {}, 5},
    });
    // Every element size moves whole elements.
    NativeProgram p(vectorIn(2, 8, "Int2Vector", {1, 2, 3, 4}, 2) + vectorIn(3, 1, "ByteVector", {1, 2, 3}) +
                    vectorIn(4, 16, "Int4Vector", {1, 2, 3, 4}, 4) +
                    "@load 2\n push 7\n push 8\n push 1\n native Int2Vector.insert\n @load 2\n push 0\n"
                    "push 1\n native Int2Vector.remove_range\n @load 3\n @load 3\n push 1\n"
                    "native ByteVector.insert_vector\n @load 3\n push 300\n native ByteVector.prepend\n"
                    "@load 4\n push 2\n native Int4Vector.repeat_in_place\n @load 4\n push 1\n push -1\n"
                    "push 9\n push 9\n push 9\n push 9\n native Int4Vector.replace_range_element\n @vec 1\n"
                    "@keep 5\n push -3\n push 4\n native ByteVector.set_filled\n");
    ASSERT_EQ(errorOf(p), "0: ");
    EXPECT_EQ(p.words(2), (Ints{7, 8, 3, 4}));
    EXPECT_EQ(p.bytes(3), (Ints{44, 1, 1, 2, 3, 2, 3}));
    EXPECT_EQ(p.words(4), (Ints{1, 2, 3, 4, 9, 9, 9, 9}));
    EXPECT_EQ(p.bytes(5), (Ints{-3, -3, -3, -3}));
}

TEST(VectorSet, NewVectorsIntoDestinationsAndAsResults) {
    const struct {
        const char* ops;
        Ints want;
    } cases[] = {
        {"@load 3\n @load 2\n native IntVector.set_copy", {1, 2, 3, 4, 5}},
        {"@load 3\n push 6\n push 3\n native IntVector.set_filled", {6, 6, 6}},
        {"@load 3\n @load 2\n push 2\n native IntVector.set_stepped", {1, 3, 5}},
        {"@load 3\n @load 2\n push 5\n native IntVector.set_stepped", {1}},
        {"@load 3\n @load 2\n push 1\n push 2\n native IntVector.set_part", {2, 3}},
        {"@load 3\n push 42\n native IntVector.set_single", {42}},
    };
    for (const auto& c : cases) {
        NativeProgram p(kSetup + c.ops);
        ASSERT_EQ(errorOf(p), "0: ");
        EXPECT_EQ(p.words(3), c.want) << c.ops;
    }
    // The copy is a new vector: editing it leaves the source alone.
    NativeProgram p(kSetup +
                    "@load 3\n @load 2\n native IntVector.set_copy\n @load 3\n push 3\n native IntVector.append\n");
    ASSERT_TRUE(p.returned());
    EXPECT_EQ(p.words(2), (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(p.words(3), (Ints{1, 2, 3, 4, 5, 3}));
    EXPECT_EQ(failure("@load 3\n push 1\n push -1\n native IntVector.set_filled"), "6: InvalidArgumentException");
    EXPECT_EQ(failure("@load 3\n @load 2\n push 0\n native IntVector.set_stepped"), "6: InvalidArgumentException");
    EXPECT_EQ(failure("push 0\n @load 2\n native IntVector.set_copy"), "1: NullPointerException: NULL pointer");
    // Sizes beyond what a vector can hold are refused before any storage is taken, by name.
    for (const char* times : {"0x40000000", "0x10000000"})  // too many elements; too many bytes
        EXPECT_EQ(failure(std::string("@load 2\n push ") + times + "\n native IntVector.repeat_in_place"),
                  "6: InvalidArgumentException: Vector too large");
    // join_parts (a, range 1, b, range 2): b's elements within range 1, then a's within range 2.
    NativeProgram q(kSetup +
                    "@load 2\n push 2\n push -1\n native IntVector.part\n @store 4\n"
                    "@load 2\n push 5\n push 0\n native IntVector.part\n @store 5\n"
                    "@load 2\n push 1\n push 1\n @load 3\n push 3\n push 2\n native IntVector.join_parts\n @store 6\n");
    ASSERT_EQ(errorOf(q), "0: ");
    EXPECT_EQ(q.words(4), (Ints{3, 4, 5}));
    EXPECT_EQ(q.words(5), Ints{});
    EXPECT_EQ(q.words(6), (Ints{9, 4, 5}));
    HeapEntry* handle = q.vm.heap().liveEntry(VMAddr(q.integer(4)));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_PRIMITIVE_ARRAY));
    EXPECT_EQ(q.vm.memory().readWord(VMAddr(q.integer(4)) + 4), 4u);
    // Lengths are not widened, and range 1 is checked against b (two elements).
    EXPECT_EQ(failure("@load 2\n push 0\n push -1\n @load 3\n push 0\n push 1\n native IntVector.join_parts"),
              "5: RangeException");
    EXPECT_EQ(failure("@load 2\n push 2\n push 1\n @load 3\n push 0\n push 1\n native IntVector.join_parts"),
              "5: RangeException");
    // Each way a range fails names itself.
    const struct {
        int first, count;
        const char* message;
    } ranges[] = {
        {6, -1, "Invalid Range, first should not be more than 5, first = 6"},
        {-1, -1, "Invalid Range, first should not be less than 0, first = -1"},
        {-2, 3, "Invalid Range, first should not be less than0, first =  -2"},
        {3, 3, "Invalid Range, range out of bounds: 6 > 5"},
        {1, 0x7fffffff, "Invalid Range, range out of bounds: 2147483648 > 5"},
        {-1, 0, "Invalid Range, first should be non-negative (first=-1)"},
    };
    for (const auto& c : ranges)
        EXPECT_EQ(failure("@load 2\n push " + std::to_string(c.first) + "\n push " + std::to_string(c.count) +
                          "\n native IntVector.part"),
                  std::string("5: RangeException: ") + c.message);
}

}  // namespace mcb
