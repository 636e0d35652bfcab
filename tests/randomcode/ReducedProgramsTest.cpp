// Small programs reduced from random runs that once ended badly, each with
// the behaviour it must keep.
#include "RandomImage.h"

#include <gtest/gtest.h>

namespace {

using randomcode::Outcome;
using randomcode::runSource;

// 0x40000001 words are 4 bytes more than the address space: no VM memory can
// hold them, whatever a 32-bit byte count would wrap to.
TEST(ReducedPrograms, ZeroingMoreWordsThanAddressesHalts) {
    EXPECT_EQ(runSource(R"(
.method "main", main, frame
.descriptor frame
.code
main:
    alloc 2, 1
    zeron_w 0x40000001
    ret 0, 1
)"), Outcome::Halted);
}

TEST(ReducedPrograms, CopyingMoreWordsThanAddressesHalts) {
    EXPECT_EQ(runSource(R"(
.method "main", main, frame
.descriptor frame
.code
main:
    alloc 2, 1
    alloc 2, 1
    copyn_w 0x40000001
    ret 1, 2
)"), Outcome::Halted);
}

// 16-bit stores to odd addresses are legal bytecode.
TEST(ReducedPrograms, SixteenBitStoresToOddAddressesWork) {
    EXPECT_EQ(runSource(R"(
.globals 2
.method "main", main, frame
.descriptor frame
.code
main:
    ldglobals
    push 1
    add
    push 0x1234
    store16
    ldglobals
    push 3
    add
    storez16
    ret 0, 1
)"), Outcome::Returned);
}

// Each VM error becomes a call of the image's throw routine. A routine that
// fails again at once, leaving the stack as it found it, must still end: the
// internal throws spend the budget, and call entries are bounded like the
// value stack.
TEST(ReducedPrograms, AThrowRoutineThatFailsAtOnceEndsTheCall) {
    EXPECT_EQ(runSource(R"(
.method "main", main, frame
.method "vminternalthrow<int>,<string>", on_error, frame
.descriptor frame
.code
main:
    deref               ; no address on the stack
on_error:               ; code, message, return address
    adjsp -3
    deref               ; fails again with the stack as it was
)", 1000), Outcome::Halted);
}

}  // namespace
