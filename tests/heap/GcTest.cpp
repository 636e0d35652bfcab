// Collections after entry calls and during runs (stack scanning), driven by assembled programs.
#include "GcTestSupport.h"

namespace mcb {

using gctest::Machine;

namespace {

// A result returned through a result level lives until the calls queued before its return have
// run, unrooted after; a queued call's argument words survive the collections before it starts.
TEST(EntryCollection, ResultsAndQueuedArgumentsLiveUntilTheQueueIsDrained) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.method "(*make", make, frame
.method "consume<thing>", consume, takes_one
.descriptor frame
.descriptor takes_one
    .lengths 1, 0, 0
    .refs 0
.code
main:
    ret 0, 1
make:                   ; result slot 0, return address in slot 1
    ldloca -2
    alloc 2, 1
    extcall 1, 2
    store
    alloc 2, 1
    extcall 1, 2
    extcall 1, 5        ; queue consume(thing)
    adjsp -1
    ret 0, 1
consume:
    extcall 1, 1
    ret 0, 2
)"), 0);
    m.queued = m.vm.findMethod(CAppsString("consume<thing>"), 0);
    VMAddr result = VMAddr(m.call("(make", 1));
    ASSERT_EQ(m.recorded.size(), 2u);
    EXPECT_EQ(result, m.recorded[0]);
    EXPECT_EQ(m.snapshots, (std::vector<std::vector<bool>>{{true, true}}));
    EXPECT_EQ(m.liveness(), (std::vector<bool>{true, false}));
    EXPECT_EQ(m.vm.heap().isRoot(result), 0);
    EXPECT_EQ(m.call("main"), 0);
    EXPECT_FALSE(m.alive(result));
}

// Globals are scanned conservatively. Holder: word 0 class, 1-2 an array of references, 3-4 of
// values, 5 a reference field. A pair of kind 0 cannot be traced: a failed collection after an
// entry call leaves the machine idle, one in a run becomes a catchable VM error; no marks stay.
TEST(EntryCollection, GlobalsAndInstanceLayoutsHoldTheirObjectsAndFailuresLeaveNoMarks) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 3
.method "main", main, frame
.method "keep", keep, frame
.method "forget", forget, frame
.method "vminternalthrow<int>,<string>", on_error, frame
.class Failure
.class Holder
    .fieldwidth 1
    .reffields 5
    .arrayfields ref 1, val 3
.descriptor frame
.code
main:
    ldglobals
    alloc 1, 6
    dup
    setclass Holder
    store
    ldglobals
    deref
    fielda 1
    newvec 4
    ldglobals
    deref
    fielda 3
    newvec 4
    ldglobals
    deref
    fielda 1
    alloc 2, 1          ; an element of the reference array
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    ldglobals
    deref
    fielda 3
    alloc 2, 1          ; an element of the value array
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    ldglobals
    deref
    fielda 5
    alloc 2, 1
    extcall 1, 2
    store
    ldglobals
    fielda 2
    alloc 2, 4
    extcall 1, 2
    push 12             ; an address inside the block is enough
    add
    store
    ldglobals
    fielda 1
    alloc 16, 3
    extcall 1, 2
    store
    try -1, caught
    extcall 1, 1
    droph -1
caught:
    adjsp -1
forget:
    ldglobals
    fielda 1
    storez
    extcall 1, 1        ; now it succeeds
    ret 0, 1
keep:
    ldglobals
    fielda 1
    alloc 16, 3
    store
    ret 0, 1
on_error:
    alloc 1, 1
    dup
    setclass Failure
    throw
)"), 0);
    const std::vector<bool> alive = {true, false, true, true, false};
    EXPECT_EQ(m.snapshots, (std::vector<std::vector<bool>>{alive})) << "a stale mark kept the pair";
    EXPECT_EQ(m.liveness(), alive);
    EXPECT_THROW(m.call("keep"), ErrorHandlingException);
    vmerr::clearPendingError();
    EXPECT_FALSE(m.vm.isRunning());
    EXPECT_EQ(m.call("forget"), 0);
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 9);  // globals, holder, both vectors and storages, 3 blocks
}

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
    EXPECT_EQ(m.snapshots, (std::vector<std::vector<bool>>{{true, true, false, true, false}}));
}

// A reference slot holding no object halts the run; a stack address is skipped.
TEST(StackScan, AReferenceSlotThatHoldsNoObjectHaltsTheRun) {
    for (const char* value : {"push 12345", "ldloca -1"}) {
        Machine m;
        EXPECT_EQ(m.load(std::string(".method \"main\", main, frame\n.descriptor frame\n .lengths 0, 0, 1\n"
                                     " .refs 1\n.code\nmain:\n ") + value + "\n extcall 1, 1\n ret 1, 2\n"),
                  value[0] == 'l' ? 0 : -2) << value;
        EXPECT_FALSE(m.vm.isRunning());
    }
}

// A two-word array slot (1-2, 3-4) is an array handle; a one-word slot (5, 6) holds the address
// of a global referring to a vector (the globals reach the vectors but not their elements).
TEST(StackScan, ArraySlotsTraceElementsOnlyWhenTheirFlagSaysReferences) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 4
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 6
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
    ldglobals           ; slot 5: elements are references
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    ldglobals
    fielda 2            ; slot 6: elements are values
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    extcall 1, 1
    ret 6, 7
)"), 0);
    EXPECT_EQ(m.snapshots[0], (std::vector<bool>{true, false, true, true, false}));
    for (TInt32 g : {0, 2}) EXPECT_TRUE(m.alive(m.global(g))) << "vector " << g;
}

// A call abandoned by a catch leaves no stale frame; a caller's frame spans its outgoing argument.
TEST(StackScan, CallersFramesSurviveACollectionInACalleeAndTheRunGoesOn) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
.class Thrown
.descriptor frame       ; slot 2, the outgoing argument, declared as nothing
    .lengths 0, 0, 2
    .refs 1
.descriptor deep
    .lengths 0, 0, 2
    .refs 1, 2
.descriptor leaf        ; called with one argument below its return address
    .lengths 1, 0, 1
    .refs 0, 2
.code
main:
    try -1, caught
    call t, deep
caught:                 ; the thrown object is on top
    adjsp -1
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
t:
    alloc 2, 1
    extcall 1, 2
    alloc 1, 1
    dup
    setclass Thrown
    throw
g:                      ; no descriptor: its words are scanned conservatively
    alloc 2, 1
    extcall 1, 2
    extcall 1, 1
    adjsp -1
    ret 0, 1
)"), 0);
    EXPECT_EQ(m.snapshots, (std::vector<std::vector<bool>>{{false, true, true, true, false, true}}));
    EXPECT_EQ(m.global(0), 77u);
    for (VMAddr r : m.recorded) EXPECT_FALSE(m.alive(r));
}

// Unchecked descriptor lengths and offsets reaching below, past or backwards are scanned within
// the stack only; words no frame covers still count conservatively.
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
    EXPECT_EQ(m.snapshots, (std::vector<std::vector<bool>>{{true, true}}));
}

}  // namespace

}  // namespace mcb
