// Vector natives that insert, remove, replace and repeat elements in place, and
// the ones that make new vectors into destinations or as results.
#include "VectorTestSupport.h"

namespace {
using Ints = std::vector<TInt32>;

// Global 2 holds the int vector {1, 2, 3, 4, 5} and global 3 the int vector {8, 9};
// `ops` run after, and the word pushed before must still be on top afterwards.
Ints edited(const std::string& ops) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + vectorIn(3, 4, "IntVector", {8, 9}) +
                    "    push 4321\n" + ops + "\n    @store 4\n");
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.global(4), 4321) << "stack effect of " << ops;
    return p.code() == 0 ? p.words(2) : Ints{-999};
}

std::string failure(const std::string& ops) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + vectorIn(3, 4, "IntVector", {8, 9}) + ops);
    return errorOf(p);
}

// The same failure must leave the vector in global 2 unchanged.
void expectUnchangedAfter(const std::string& ops, TInt32 code) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + vectorIn(3, 4, "IntVector", {8, 9}) + ops);
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), code) << ops;
    EXPECT_EQ(p.words(2), (Ints{1, 2, 3, 4, 5})) << ops;
}
}  // namespace

TEST(VectorEdit, InsertVectorsPartsAndElements) {
    EXPECT_EQ(edited("@load 2\n @load 3\n push 1\n native IntVector.insert_vector"), (Ints{1, 8, 9, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n @load 3\n push 5\n native IntVector.insert_vector"), (Ints{1, 2, 3, 4, 5, 8, 9}));
    EXPECT_EQ(edited("@load 2\n @load 2\n push 2\n native IntVector.insert_vector"),
              (Ints{1, 2, 1, 2, 3, 4, 5, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n @load 3\n push 1\n push -1\n push 0\n native IntVector.insert_part"),
              (Ints{9, 1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 7\n push 3\n native IntVector.insert"), (Ints{1, 2, 3, 7, 4, 5}));
    expectUnchangedAfter("@load 2\n @load 3\n push 6\n native IntVector.insert_vector", 2);
    expectUnchangedAfter("@load 2\n push 7\n push -1\n native IntVector.insert", 2);
    expectUnchangedAfter("@load 2\n @load 3\n push 1\n push 2\n push 0\n native IntVector.insert_part", 5);
}

TEST(VectorEdit, PrependAndAppend) {
    EXPECT_EQ(edited("@load 2\n @load 3\n native IntVector.prepend_vector"), (Ints{8, 9, 1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 0\n native IntVector.prepend"), (Ints{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n @load 3\n native IntVector.append_vector"), (Ints{1, 2, 3, 4, 5, 8, 9}));
    EXPECT_EQ(edited("@load 2\n @load 2\n native IntVector.append_vector"), (Ints{1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));
}

TEST(VectorEdit, RepeatInPlace) {
    EXPECT_EQ(edited("@load 3\n push 3\n native IntVector.repeat_in_place\n @load 2\n @load 3\n "
                     "native IntVector.append_vector"),
              (Ints{1, 2, 3, 4, 5, 8, 9, 8, 9, 8, 9}));
    EXPECT_EQ(edited("@load 2\n push 0\n native IntVector.repeat_in_place"), Ints{});
    expectUnchangedAfter("@load 2\n push -1\n native IntVector.repeat_in_place", 6);
}

TEST(VectorEdit, Removal) {
    EXPECT_EQ(edited("@load 2\n push 0\n native IntVector.remove_at"), (Ints{2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 1\n push 3\n native IntVector.remove_range"), (Ints{1, 5}));
    EXPECT_EQ(edited("@load 2\n push 2\n push -1\n native IntVector.remove_range"), (Ints{1, 2}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 0\n native IntVector.remove_range"), (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 2\n native IntVector.remove_front"), (Ints{3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 5\n native IntVector.remove_front"), Ints{});
    EXPECT_EQ(edited("@load 2\n push 0\n native IntVector.remove_back"), (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 2\n native IntVector.remove_back"), (Ints{1, 2, 3}));
    EXPECT_EQ(edited("@load 2\n native IntVector.clear"), Ints{});
    expectUnchangedAfter("@load 2\n push 5\n native IntVector.remove_at", 2);
    expectUnchangedAfter("@load 2\n push 6\n native IntVector.remove_front", 6);
    expectUnchangedAfter("@load 2\n push -1\n native IntVector.remove_back", 6);
    expectUnchangedAfter("@load 2\n push 3\n push 3\n native IntVector.remove_range", 5);
}

TEST(VectorEdit, ReplaceRanges) {
    EXPECT_EQ(edited("@load 2\n push 1\n push 3\n @load 3\n native IntVector.replace_range"), (Ints{1, 8, 9, 5}));
    EXPECT_EQ(edited("@load 2\n push 1\n push 1\n @load 3\n native IntVector.replace_range"),
              (Ints{1, 8, 9, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 3\n push -1\n @vec 4\n native IntVector.replace_range"), (Ints{1, 2, 3}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 0\n @load 3\n native IntVector.replace_range"), (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 2\n push 7\n native IntVector.replace_range_element"),
              (Ints{7, 3, 4, 5}));
    expectUnchangedAfter("@load 2\n push 4\n push 2\n @load 3\n native IntVector.replace_range", 5);
}

TEST(VectorEdit, GrowthFollowsTheCapacityRule) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.vector(2).size(), 11);
    EXPECT_EQ(p.vector(2).capacity(), 13);  // floor(11 * 1.2)
}

TEST(VectorSet, NewVectorsIntoDestinations) {
    auto made = [](const std::string& ops) {
        NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + "    @vec 4\n    @store 3\n" + ops);
        EXPECT_TRUE(p.run());
        EXPECT_EQ(p.code(), 0) << p.text();
        return p.code() == 0 ? p.words(3) : Ints{-999};
    };
    EXPECT_EQ(made("@load 3\n @load 2\n native IntVector.set_copy"), (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(made("@load 3\n push 6\n push 3\n native IntVector.set_filled"), (Ints{6, 6, 6}));
    EXPECT_EQ(made("@load 3\n push 6\n push 0\n native IntVector.set_filled"), Ints{});
    EXPECT_EQ(made("@load 3\n @load 2\n push 2\n native IntVector.set_stepped"), (Ints{1, 3, 5}));
    EXPECT_EQ(made("@load 3\n @load 2\n push 5\n native IntVector.set_stepped"), (Ints{1}));
    EXPECT_EQ(made("@load 3\n @load 2\n push 1\n push 2\n native IntVector.set_part"), (Ints{2, 3}));
    EXPECT_EQ(made("@load 3\n push 42\n native IntVector.set_single"), (Ints{42}));
    EXPECT_EQ(made("native IntVector.nop"), Ints{});
    // The copy is a new vector: editing it leaves the source alone.
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2}) + R"(
    @vec 4
    @keep 3
    @load 2
    native IntVector.set_copy
    @load 3
    push 3
    native IntVector.append
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.words(2), (Ints{1, 2}));
    EXPECT_EQ(p.words(3), (Ints{1, 2, 3}));
    EXPECT_EQ(failure("@load 3\n push 1\n push -1\n native IntVector.set_filled"), "6: InvalidArgumentException");
    EXPECT_EQ(failure("@load 3\n @load 2\n push 0\n native IntVector.set_stepped"), "6: InvalidArgumentException");
    EXPECT_EQ(failure("push 0\n @load 2\n native IntVector.set_copy"), "1: NullPointerException: NULL pointer");
}

TEST(VectorNormalised, PartOfTheNormalisedRange) {
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + R"(
    @load 2
    push 2
    push -1
    native IntVector.part
    @store 3
    @load 2
    push 5
    push 0
    native IntVector.part
    @store 4
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.words(3), (Ints{3, 4, 5}));
    EXPECT_EQ(p.words(4), Ints{});
    HeapEntry* handle = p.vm.heap().liveEntry(VMAddr(p.global(3)));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->gcCode, TUint32(GC_CODE_PRIMITIVE_ARRAY));
    EXPECT_EQ(p.vm.memory().readWord(VMAddr(p.global(3)) + 4), 4u);
}

TEST(VectorNormalised, MessagesOfTheNormalisation) {
    const std::string part = "@load 2\n push %F\n push %C\n native IntVector.part";
    auto call = [&](int first, int count) {
        std::string ops = part;
        ops.replace(ops.find("%F"), 2, std::to_string(first));
        ops.replace(ops.find("%C"), 2, std::to_string(count));
        return failure(ops);
    };
    EXPECT_EQ(call(6, -1), "5: RangeException: Invalid Range, first should not be more than 5, first = 6");
    EXPECT_EQ(call(-1, -1), "5: RangeException: Invalid Range, first should not be less than 0, first = -1");
    EXPECT_EQ(call(-2, 3), "5: RangeException: Invalid Range, first should not be less than0, first =  -2");
    EXPECT_EQ(call(3, 3), "5: RangeException: Invalid Range, range out of bounds: 6 > 5");
    EXPECT_EQ(call(1, 0x7fffffff), "5: RangeException: Invalid Range, range out of bounds: 2147483648 > 5");
    EXPECT_EQ(call(-1, 0), "5: RangeException: Invalid Range, first should be non-negative (first=-1)");
}

TEST(VectorNormalised, ReplaceOrInsert) {
    EXPECT_EQ(edited("@load 2\n push 5\n push 0\n @load 3\n native IntVector.replace_or_insert"),
              (Ints{1, 2, 3, 4, 5, 8, 9}));
    EXPECT_EQ(edited("@load 2\n push 1\n push 0\n @load 3\n native IntVector.replace_or_insert"),
              (Ints{1, 8, 9, 2, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 1\n push -1\n @load 3\n native IntVector.replace_or_insert"), (Ints{1, 8, 9}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 5\n @load 2\n native IntVector.replace_or_insert"),
              (Ints{1, 2, 3, 4, 5}));
    expectUnchangedAfter("@load 2\n push 6\n push 0\n @load 3\n native IntVector.replace_or_insert", 2);
    expectUnchangedAfter("@load 2\n push 4\n push 2\n @load 3\n native IntVector.replace_or_insert", 5);
}

TEST(VectorParts, ReplaceOrInsertPart) {
    EXPECT_EQ(edited("@load 2\n push 2\n push 0\n @load 3\n push 1\n push 1\n native IntVector.replace_or_insert_part"),
              (Ints{1, 2, 9, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 2\n @load 3\n push 0\n push -1\n "
                     "native IntVector.replace_or_insert_part"),
              (Ints{8, 9, 3, 4, 5}));
    EXPECT_EQ(edited("@load 2\n push 0\n push 5\n @load 3\n push 0\n push 0\n "
                     "native IntVector.replace_or_insert_part"),
              Ints{});
    expectUnchangedAfter("@load 2\n push 0\n push 2\n @load 3\n push 1\n push 2\n "
                         "native IntVector.replace_or_insert_part",
                         5);
}

TEST(VectorParts, JoinPartsPairsEachVectorWithTheRangeAfterTheOther) {
    // (a, range 1, b, range 2): b's elements within range 1, then a's within range 2.
    NativeProgram p(vectorIn(2, 4, "IntVector", {1, 2, 3, 4, 5}) + vectorIn(3, 4, "IntVector", {8, 9}) + R"(
    @load 2
    push 1
    push 1
    @load 3
    push 3
    push 2
    native IntVector.join_parts
    @store 4
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.words(4), (Ints{9, 4, 5}));
    // Lengths are not widened: a negative length is a bad range.
    EXPECT_EQ(failure("@load 2\n push 0\n push -1\n @load 3\n push 0\n push 1\n native IntVector.join_parts"),
              "5: RangeException");
    // Range 1 is checked against b (two elements).
    EXPECT_EQ(failure("@load 2\n push 2\n push 1\n @load 3\n push 0\n push 1\n native IntVector.join_parts"),
              "5: RangeException");
}

TEST(VectorKinds, EveryElementSizeMovesWholeElements) {
    NativeProgram p(vectorIn(2, 8, "Int2Vector", {1, 2, 3, 4}, 2) + vectorIn(3, 1, "ByteVector", {1, 2, 3}) +
                    vectorIn(4, 16, "Int4Vector", {1, 2, 3, 4}, 4) + R"(
    @load 2
    push 7
    push 8
    push 1
    native Int2Vector.insert
    @load 2
    push 0
    push 1
    native Int2Vector.remove_range
    @load 3
    @load 3
    push 1
    native ByteVector.insert_vector
    @load 3
    push 300
    native ByteVector.prepend
    @load 4
    push 2
    native Int4Vector.repeat_in_place
    @load 4
    push 1
    push -1
    push 9
    push 9
    push 9
    push 9
    native Int4Vector.replace_range_element
    @vec 1
    @keep 5
    push -3
    push 4
    native ByteVector.set_filled
)");
    ASSERT_TRUE(p.run());
    EXPECT_EQ(p.code(), 0) << p.text();
    EXPECT_EQ(p.words(2), (Ints{7, 8, 3, 4}));
    EXPECT_EQ(p.bytes(3), (Ints{44, 1, 1, 2, 3, 2, 3}));
    EXPECT_EQ(p.words(4), (Ints{1, 2, 3, 4, 9, 9, 9, 9}));
    EXPECT_EQ(p.bytes(5), (Ints{-3, -3, -3, -3}));
}
