// Collections requested while bytecode runs: frame slots that a method's
// descriptor declares are scanned precisely, every other stack word
// conservatively, and the program carries on with what survived.
#include "GcTestSupport.h"

using gctest::Machine;

namespace {

// Reference slots are scanned precisely; possible-reference slots and words above
// the frame conservatively, where any integer may stand and an interior address
// keeps its entry; undeclared frame slots not at all.
TEST(StackScan, EachSlotIsScannedAsItsDescriptorDeclares) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.descriptor frame       ; return address in slot 0, locals in slots 1 to 5
    .lengths 0, 0, 5
    .refs 1
    .maybe 2, 3, 4
.code
main:
    alloc 2, 1          ; slot 1: a reference slot
    extcall 1, 2
    push 12345          ; slot 2: a plain integer
    alloc 2, 4          ; slot 3: an interior address
    extcall 1, 2
    push 4
    add
    ldloca -3           ; slot 4: an address on the stack itself
    alloc 2, 1          ; slot 5: inside the frame, declared as nothing
    extcall 1, 2
    alloc 2, 4          ; slot 6: above the frame, an interior address
    extcall 1, 2
    push 8
    add
    alloc 2, 4          ; popped
    extcall 1, 2
    adjsp -1
    push 4096           ; below every pool
    push -8             ; above every pool
    extcall 1, 1
    ret 8, 9
)"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_EQ(m.host.snapshots[0], (std::vector<bool>{true, true, false, true, false}));
}

// A slot declared as a reference must hold an object: anything else is an
// inconsistency of the image, reported like a bad allocation code (a halt).
TEST(StackScan, AReferenceSlotThatHoldsNoObjectHaltsTheRun) {
    for (const char* value : {"push 12345", "alloc 2, 4\n    push 4\n    add", "ldloca -1"}) {
        Machine m;
        std::string source = std::string(R"(
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 1
    .refs 1
.code
main:
    )") + value + R"(
    extcall 1, 1
    ret 1, 2
)";
        EXPECT_EQ(m.load(source), value[0] == 'l' ? 0 : -2) << value;  // the stack is no object, but skipped
        EXPECT_FALSE(m.vm.isRunning());
    }
}

// A two-word array slot (1-2, 3-4) is the array handle itself: the vector
// reference, then the element size. A one-word array slot (5-7) holds the
// address of a global that refers to a vector; the globals are scanned
// conservatively, which reaches each vector but not its elements.
TEST(StackScan, ArraySlotsTraceElementsOnlyWhenTheirFlagSaysReferences) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 6
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 7
    .pairs ref 1, val 3
    .arrays ref 5, val 6
.code
main:
    adjsp 4
    ldloca -4           ; slots 1 and 2
    newvec 4
    ldloca -2           ; slots 3 and 4
    newvec 4
    ldloca -4
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    ldloca -2
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    ldloc -4
    extcall 1, 2        ; the first vector
    adjsp -1
    ldglobals
    newvec 4
    ldglobals
    fielda 2
    newvec 4
    ldglobals
    fielda 4
    newvec 4
    ldglobals           ; slot 5: elements are references
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    ldglobals
    fielda 2            ; slot 6: elements are values
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    ldglobals
    fielda 4            ; slot 7: undeclared
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    extcall 1, 1
    ret 7, 8
)"), 0);
    EXPECT_EQ(m.host.snapshots[0], (std::vector<bool>{true, false, true, true, false, false}));
    for (TInt32 g : {0, 2, 4}) EXPECT_TRUE(m.alive(m.global(g))) << "vector " << g;
}

// The caller's frame spans the slot where it pushes the callee's argument; the
// callee's slots are still found from the callee's own frame base.
TEST(StackScan, CallersFramesSurviveACollectionInACalleeAndTheRunGoesOn) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
.descriptor frame       ; slot 2, the outgoing argument, declared as nothing
    .lengths 0, 0, 2
    .refs 1
.descriptor leaf        ; called with one argument below its return address
    .lengths 1, 0, 1
    .refs 0, 2
.code
main:
    alloc 2, 1
    extcall 1, 2
    dup
    push 77
    store
    alloc 2, 1          ; the argument
    extcall 1, 2
    call f, leaf
    ldglobals
    ldloc -2
    deref
    store
    ret 1, 2
f:                      ; argument, return address, one local
    alloc 2, 1
    extcall 1, 2
    alloc 2, 1          ; a temporary above the frame
    extcall 1, 2
    adjsp -1
    call g, -1
    adjsp -1
    ret 0, 2
g:                      ; no descriptor: its words are scanned conservatively
    alloc 2, 1
    extcall 1, 2
    extcall 1, 1
    adjsp -1
    ret 0, 1
)"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_EQ(m.host.snapshots[0], (std::vector<bool>{true, true, true, false, true}));
    EXPECT_EQ(m.global(0), 77u);
    for (VMAddr r : m.host.recorded) EXPECT_FALSE(m.alive(r));
}

TEST(StackScan, HandlersAndCallsAbandonedByACatchLeaveNoStaleFrames) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.class Thrown
.descriptor frame
    .lengths 0, 0, 1
    .refs 1
.descriptor deep
    .lengths 0, 0, 2
    .refs 1, 2
.code
main:
    alloc 2, 1
    extcall 1, 2
    try -1, caught
    call f, deep
caught:                 ; the thrown object is on top
    extcall 1, 2
    adjsp -1
    extcall 1, 1
    ret 1, 2
f:
    alloc 2, 1
    extcall 1, 2
    alloc 1, 1
    dup
    setclass Thrown
    throw
)"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_EQ(m.host.snapshots[0], (std::vector<bool>{true, false, false}));
}

// Descriptor lengths and offsets come from the image unchecked: frames that
// reach below the stack, past its end or backwards are scanned within the
// stack only, and words no frame covers still count conservatively.
TEST(StackScan, OddFrameLayoutsAreScannedWithinTheStack) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, backwards
.descriptor backwards
    .lengths 0, 0, -5
    .refs -7, 100000
    .pairs ref 0x7FFFFFFF, val -1
.descriptor huge
    .lengths 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF
    .maybe -0x80000000, 0x7FFFFFFF
    .arrays ref 0x7FFFFFFF
.code
main:
    alloc 2, 1
    extcall 1, 2
    call f, huge
    ret 1, 2
f:
    alloc 2, 1
    extcall 1, 2
    extcall 1, 1
    adjsp -1
    ret 0, 1
)"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_EQ(m.host.snapshots[0], (std::vector<bool>{true, true}));
}

}  // namespace
