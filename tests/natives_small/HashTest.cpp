#include "../natives_numeric/NativeProgram.h"

using Bytes = std::vector<TUint8>;

TEST(Hash, DigestOfBytesIsEmpty) {
    NativeProgram p(storeTo(2, "extcall 20, 99\npush 5\nnative Hash.digest_bytes"), {}, handingBytes({1, 2, 3}));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(bytesAt(p, 2), Bytes{});
}

TEST(Hash, ObjectCollectsDataAndDigestsToEmpty) {
    NativeProgram p(R"(
    ldglobals
    fielda 3
    push 2
    native Hash.new
    ldglobals
    fielda 3
    extcall 20, 99
    native Hash.update
)" + storeTo(2, "ldglobals\nfielda 3\nnative Hash.digest"),
                    {}, handingBytes({9, 8, 7}));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(bytesAt(p, 2), Bytes{});
    const VMAddr hash = p.word(3);
    EXPECT_EQ(p.vm.heap().headerOf(hash)->gcCode, TUint32(GC_CODE_HASH));
    EXPECT_EQ(p.vm.heap().object(hash)->sizeOutsideHeap() >= 3, true);
}

TEST(Hash, NullOperands) {
    NativeProgram p("push 0\npush 1\nnative Hash.new\n");
    EXPECT_EQ(p.errorCode(), 1);
    NativeProgram q("push 0\nbox\nnative Hash.digest\n");
    EXPECT_EQ(q.errorCode(), 1);
    NativeProgram r("push 0\npush 1\nnative Hash.digest_bytes\n");
    EXPECT_EQ(r.errorCode(), 1);
}

TEST(Hash, AByteVectorIsNotAHash) {
    NativeProgram p("extcall 20, 99\nnative Hash.digest\n", {}, handingBytes({1}));
    EXPECT_EQ(p.errorText(), "VMException: Invalid TYPEID");
}
