// Collections over whatever bytecode left behind: cells that hold plain
// values, blocks that cannot be traced, and what a failed collection leaves.
#include "GcTestSupport.h"

using gctest::Machine;

namespace {

// Level conversion wraps plain values too: an int passed to a parameter of
// level 1 arrives in a reference cell, which a collection must pass over.
TEST(CollectionRobustness, ACellHoldingAPlainValueDoesNotStopACollection) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.method "take<*int>", take, one
.descriptor frame
.descriptor one
    .lengths 1, 0, 0
    .maybe 0
.code
main:
    ret 0, 1
take:                   ; the cell in slot 0, return address in slot 1
    extcall 1, 1
    ret 0, 2
)"), 0);
    TInt32 take = m.vm.findMethod(CAppsString("take<int>"), 0);
    ASSERT_GE(take, 0);
    Vec<int> arguments, levels;
    arguments.append(5);
    levels.append(0);
    TInt32 outcome = 0;
    try {
        m.vm.runEntryCall(take, arguments, levels, -1);
    } catch (TInt32 e) {
        outcome = e;
    }
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(m.host.snapshots.size(), 1u);
}

// A pair block whose kind is neither 1 nor 2 cannot be traced: the collection
// after the call raises VM error 10, and the machine is idle again afterwards.
TEST(CollectionRobustness, AFailedCollectionAfterACallLeavesTheMachineIdle) {
    Machine m;
    EXPECT_THROW(m.load(R"(
.globals 1
.method "main", main, frame
.method "forget", forget, frame
.descriptor frame
.code
main:
    ldglobals
    alloc 16, 3         ; a pair of kind 0
    store
    ret 0, 1
forget:
    ldglobals
    storez
    ret 0, 1
)"), ErrorHandlingException);
    vmerr::clearPendingError();
    EXPECT_FALSE(m.vm.isRunning());
    EXPECT_EQ(m.call("forget"), 0);
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 1);  // the globals alone
}

// The same pair met by a collection that bytecode asked for: the request
// fails with a VM error the program can catch, and no mark is left behind.
TEST(CollectionRobustness, AFailedCollectionInARunBecomesAVmErrorAndLeavesNoMarks) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
.method "vminternalthrow<int>,<string>", on_error, frame
.class Failure
.descriptor frame
.code
main:
    ldglobals
    alloc 16, 3
    extcall 1, 2
    store
    try -1, caught
    extcall 1, 1
    droph -1
caught:
    adjsp -1
    ldglobals
    storez
    extcall 1, 1        ; now it succeeds
    ret 0, 1
on_error:
    alloc 1, 1
    dup
    setclass Failure
    throw
)"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_FALSE(m.host.snapshots[0][0]) << "a mark of the failed collection kept the pair";
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 1);
}

}  // namespace
