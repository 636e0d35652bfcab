// Instructions one at a time: integer, byte and 16-bit operators, stack and local
// instructions, read-modify-write through an address (here a stack slot) and heap blocks.
// Each row runs as the body of "main"; the words it leaves on the stack, deepest first,
// are its result.
#include "../support/NativeProgram.h"

#include <gtest/gtest.h>

namespace mcb {

namespace {

struct Case {
    std::string code;
    std::vector<TInt32> words;
};

void expectWords(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        NativeProgram p(c.words.empty() ? c.code : storeTo(2, c.code, int(c.words.size())));
        EXPECT_EQ(errorOf(p), "0: ");  // no VM error
        std::vector<TInt32> words;
        for (size_t i = 0; i < c.words.size(); ++i) words.push_back(p.integer(2 + int(i)));
        EXPECT_EQ(words, c.words);
    }
}

// "push START; ldloca -1" and then `code`, which works through the slot's address.
std::string inPlace(TInt32 start, const std::string& code) {
    return "push " + std::to_string(start) + "\nldloca -1\n" + code;
}

}  // namespace

TEST(Operators, IntegerArithmeticBitsShiftsAndComparisons) {
    expectWords({
        {"push64 0x7FFFFFFF, 1\nadd", {INT32_MIN}},  // wraps
        {"push64 3, 8\nsub", {-5}},
        {"push64 0x7FFFFFFF, 2\nmul", {-2}},
        {"push64 -7, 2\ndiv", {-3}},  // toward zero
        {"push64 0x80000000, -1\ndiv", {INT32_MIN}},
        {"push64 -7, 2\nrem", {-1}},  // the dividend's sign
        {"push64 0x80000000, -1\nrem", {0}},
        {"push 0x80000000\nneg", {INT32_MIN}},
        {"push64 12, 10\nand", {8}},
        {"push64 12, 10\nor", {14}},
        {"push64 12, 10\nxor", {6}},
        {"push64 1, 31\nshl", {INT32_MIN}},
        {"push64 1, 32\nshl", {0}},     // counts above 31 give 0
        {"push64 -16, -2\nshl", {-4}},  // a negative count shifts the other way
        {"push64 -16, -40\nshl", {0}},
        {"push64 -16, 32\nshr", {0}},
        {"push64 -1, 31\nshr", {-1}},
        {"push64 3, -3\nshr", {24}},
        {"push64 5, 5\neq", {-1}},  // true is -1
        {"push64 -1, 0\nlt", {-1}},
        {"push64 4, 4\nne", {0}},
        {"push64 0x80000000, 1\ngt", {0}},  // signed
        {"push64 1, 1\nge", {-1}},
        {"push64 1, 1\nle", {-1}},
        {"push 5\nnot", {0}},
    });
}

TEST(Operators, ByteAnd16BitOperatorsStackAndLocals) {
    expectWords({
        {"push64 0x1F6, 3\ndiv8", {-3}},  // low bytes: -10 / 3
        {"push64 0x1F6, 0x303\nrem8", {-1}},
        {"push64 0x80, 0xFF\ndiv8", {128}},  // -128 / -1 = 128, an int result
        {"push64 0xFF, 4\nshl8", {-16}},
        {"push64 0xFF, 0x120\nshl8", {0}},     // the count's low byte: 32 gives 0
        {"push64 0x81, 0x101\nshl8", {-254}},  // -127 << 1, not cut to a byte
        {"push64 0x80, 3\nshr8", {-16}},
        {"push64 0x80, 40\nshr8", {-1}},    // 32 or more keeps only the sign
        {"push64 0x7F, 0x1FF\nshr8", {0}},  // count 255
        {"push64 0x1FF, 0xFF\neq8", {-1}},  // byte equality unsigned, order signed
        {"push64 0x80, 0x7F\nlt8", {-1}},
        {"push64 0x280, 0x80\nge8", {-1}},
        {"push64 0x80, 1\ngt8", {0}},
        {"push64 0x12, 0x13\nne8", {-1}},
        {"push64 0xFE, 0xFF\nle8", {-1}},
        {"push64 0x12345, 0x2346\neq16", {0}},  // the low halves, signed
        {"push64 0x8000, 1\nlt16", {-1}},
        {"push64 0x18000, 0x7FFF\nge16", {0}},
        {"push64 0x7FFF, 0xFFFF\ngt16", {-1}},
        {"push64 5, 0x10005\nne16", {0}},
        {"ldtrue\nldfalse\nldm1", {-1, 0, -1}},
        {"push64 7, 8\nldloc_w -2", {7, 8, 7}},                        // ldloc k reads slot (new sp + k)
        {"push64 5, 6\nadjsp -2\nadjsp 2", {0, 0}},                    // zero words, even over old values
        {"push64 0x1FE, 0x80\npush 0x17F\nsext8 3", {-2, -128, 127}},  // each of the top n words
        {"push 0x3C8\nzext8", {200}},
        {"push 99\nldloca_w -1\nderef", {99, 99}},
    });
}

TEST(Operators, ReadModifyWriteThroughAnAddress) {
    expectWords({
        {inPlace(-7, "push 2\ndivm"), {-3}},
        {inPlace(-3, "push 2\nremm"), {-1}},
        {inPlace(-1, "push 10\naddm"), {9}},
        {inPlace(9, "push 12\nsubm"), {-3}},
        {inPlace(-3, "push -5\nmulm"), {15}},
        {inPlace(15, "push 0x3C\nandm"), {12}},
        {inPlace(12, "push 0x11\norm"), {29}},
        {inPlace(29, "push 0x3C\nxorm"), {33}},
        {inPlace(33, "push 2\nshlm"), {132}},
        {inPlace(132, "push 3\nshrm"), {16}},
        {inPlace(16, "incm"), {17}},
        {inPlace(17, "decm"), {16}},
        {inPlace(0x11223344, "push 0x5ABCD\nstore16"), {0x1122ABCD}},              // the low half
        {inPlace(0x1122ABCD, "push 2\nadd\npush 0x7788\nstore16"), {0x7788ABCD}},  // the high half
        {inPlace(0x7788ABCD, "storez16"), {0x77880000}},
        {inPlace(0x77880000, "push 0x7EE\nstore8"), {0x778800EE}},
        {inPlace(0x778800EE, "push 2\nadd\nstorez8"), {0x770000EE}},
        // byte steps on the low byte
        {inPlace(0x11223344, "push 0x34\nsubm8"), {0x11223310}},
        {inPlace(0x11223310, "push 0x6F\naddm8"), {0x1122337F}},
        {inPlace(0x1122337F, "incm8"), {0x11223380}},           // 7F + 1 wraps to 80
        {inPlace(0x11223380, "push -1\ndivm8"), {0x11223380}},  // -128 / -1 stays 80
        {inPlace(0x11223380, "push -1\nremm8"), {0x11223300}},
        {inPlace(0x11223300, "decm8"), {0x112233FF}},
        {inPlace(0x112233FF, "push 0x81\nxorm8"), {0x1122337E}},
        {inPlace(0x1122337E, "push 2\nmulm8"), {0x112233FC}},
        {inPlace(0x112233FC, "push 1\nshrm8"), {0x112233FE}},     // FC >> 1 = FE
        {inPlace(0x112233FE, "push 0x30\nshrm8"), {0x112233FF}},  // above 7 only the sign stays
        {inPlace(0x112233FF, "push 5\nshlm8"), {0x112233E0}},
        {inPlace(0x112233E0, "push 0xFF\nshlm8"), {0x112233FF}},  // a negative count: -1 for a negative byte
        {inPlace(0x112233FF, "push 0x7F\nandm8"), {0x1122337F}},
        {inPlace(0x1122337F, "push 0x80\nshlm8"), {0x11223300}},  // ... and 0 for a positive one
        {inPlace(0x11223300, "push 0xC0\norm8"), {0x112233C0}},
        {inPlace(0x112233C0, "push 0x80\nshrm8"), {0x11223300}},  // shifting right by a negative count: 0
    });
}

TEST(Blocks, PackBoxAllocateAndFree) {
    expectWords({
        {"push64 7, 8\npush 9\npack 3\nloadn 3", {7, 8, 9}},  // the lowest slot first
        {"push64 5, 6\npack_w 2\nloadn_w 2", {5, 6}},
        {"pack 0\npush 0\nne", {-1}},  // an empty block, not null
        {"push 43\nboxp\nderef", {43}},
        {"ldglobals\nfielda 20\nallocto_k 2, 1, 0\nldglobals\nfielda 20\neq", {-1}},                // keeps the address
        {"ldglobals\nfielda 20\nallocto 2, 2, 2\nldglobals\nfielda 20\nderef3\npush 0\nne", {-1}},  // through two cells
        {"alloc 2, 4\nfree", {}},
        {"push 0\nfree", {}},  // null: nothing
        {"push 9\nbox\nbox\nfreecell", {}},
        {"alloc 14, 1\ndup\ndup\nstore\nfreecell", {}},  // a cell holding its own reference is freed once
    });
}

}  // namespace mcb
