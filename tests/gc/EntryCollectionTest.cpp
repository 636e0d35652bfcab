// Collections that follow entry calls: what the root list, reference cells,
// the globals block, an entry call's result, queued calls and instance fields
// keep alive, and collections that fail on a block that cannot be traced.
#include "GcTestSupport.h"

using gctest::Machine;

namespace {

TEST(EntryCollection, RootsAndTheCellsTheyHoldKeepTheirObjects) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.descriptor frame
.code
main:
    alloc 2, 1          ; reached only through the rooted cell
    extcall 1, 2
    box
    extcall 1, 2
    extcall 1, 3
    alloc 13, 2         ; a rooted block of a kind that traces nothing
    extcall 1, 2
    extcall 1, 3
    alloc 14, 1         ; an empty rooted cell
    extcall 1, 2
    extcall 1, 3
    alloc 2, 1          ; held by nothing
    extcall 1, 2
    adjsp -1
    ldstr hello         ; a string held by nothing
    extcall 1, 2
    adjsp -1
    ret 0, 1
.string hello "garbage"
)"), 0);
    const auto& r = m.host.recorded;
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(m.host.liveness(), (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 4);

    m.vm.heap().removeRoot(r[1]);
    EXPECT_EQ(m.call("main"), 0);  // its own objects come and go; the cell's are gone
    EXPECT_FALSE(m.alive(r[0]));
    EXPECT_FALSE(m.alive(r[1]));
}

// The globals block is a root but traces nothing by its code: its words are
// scanned conservatively so that globals really hold what they refer to.
TEST(EntryCollection, AnObjectHeldOnlyByAGlobalSurvivesEveryCollection) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 3
.method "main", main, frame
.method "again", again, frame
.method "forget", forget, frame
.descriptor frame
.code
main:
    ldglobals
    alloc 2, 2
    extcall 1, 2
    store
    ldglobals
    fielda 2
    alloc 2, 4
    extcall 1, 2
    push 12             ; an address inside the block is enough
    add
    store
    extcall 1, 1
    ret 0, 1
again:
    extcall 1, 1
    ret 0, 1
forget:
    ldglobals
    storez
    ldglobals
    fielda 2
    storez
    ret 0, 1
)"), 0);
    EXPECT_EQ(m.call("again"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 2u);
    for (const auto& s : m.host.snapshots) EXPECT_EQ(s, (std::vector<bool>{true, true}));
    EXPECT_EQ(m.host.liveness(), (std::vector<bool>{true, true}));
    EXPECT_EQ(m.call("forget"), 0);
    EXPECT_EQ(m.host.liveness(), (std::vector<bool>{false, false}));
}

// A result returned through a result level stays alive until the calls queued
// before its return have run; one returned as a plain value is not rooted.
TEST(EntryCollection, AResultObjectIsRootedThroughTheQueueDrainOnly) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.method "(*make", make, frame
.method "(value", value, frame
.method "check", check, frame
.descriptor frame
.code
main:
    ret 0, 1
make:                   ; result slot 0, return address in slot 1
    ldloca -2
    alloc 2, 1
    extcall 1, 2
    store
    extcall 1, 5        ; the test queues "check"
    ret 0, 1
value:
    ldloca -2
    alloc 2, 1
    extcall 1, 2
    store
    ret 0, 1
check:
    extcall 1, 1
    ret 0, 1
)"), 0);
    m.call("(value", 0);
    ASSERT_EQ(m.host.recorded.size(), 1u);
    EXPECT_FALSE(m.alive(m.host.recorded[0]));

    TInt32 check = m.vm.findMethod(CAppsString("check"), 0);
    m.host.hook = [&](TInt32, TInt32*) { m.vm.callMethod(check, Vec<int>(), Vec<int>(), -1); };
    VMAddr result = VMAddr(m.call("(make", 1));
    ASSERT_EQ(m.host.recorded.size(), 2u);
    EXPECT_EQ(result, m.host.recorded[1]);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_TRUE(m.host.snapshots[0][1]) << "freed while the queued call ran";
    EXPECT_TRUE(m.alive(result));
    EXPECT_EQ(m.vm.heap().isRoot(result), 0);
    m.host.hook = nullptr;
    EXPECT_EQ(m.call("check"), 0);
    EXPECT_FALSE(m.host.snapshots[1][1]);
    EXPECT_FALSE(m.alive(result));
}

// A call queued while bytecode runs holds its argument words in host memory
// until it starts; the collection after the running call must not free them.
TEST(EntryCollection, ArgumentsOfQueuedCallsSurviveTheCollectionBeforeThem) {
    Machine m;
    TInt32 consume = -1;
    m.host.hook = [&](TInt32 sp, TInt32* stack) {
        Vec<int> arguments, levels;
        arguments.append(stack[sp]);
        levels.append(0);
        m.vm.callMethod(consume, arguments, levels, -1);
    };
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
.method "consume<thing>", consume, takes_one
.method "run", run, frame
.descriptor frame
.descriptor takes_one
    .lengths 1, 0, 0
    .refs 0
.code
main:
    ret 0, 1
run:
    alloc 2, 1
    extcall 1, 2
    dup
    push 55
    store
    extcall 1, 5        ; queue consume(thing)
    adjsp -1
    ret 0, 1
consume:                ; thing in slot 0, return address in slot 1
    extcall 1, 1
    ldglobals
    ldloc -3
    deref
    store
    ret 0, 2
)"), 0);
    consume = m.vm.findMethod(CAppsString("consume<thing>"), 0);
    ASSERT_GE(consume, 0);
    EXPECT_EQ(m.call("run"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_TRUE(m.host.snapshots[0][0]);
    EXPECT_EQ(m.global(0), 55u);
    EXPECT_FALSE(m.alive(m.host.recorded[0]));  // released once its call has run
}

// Holder: word 0 class index, words 1-2 an array of references, words 3-4 an
// array of values, word 5 a plain reference field.
TEST(LayoutTracing, ArrayFieldsOfAnInstanceFollowTheirFlags) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
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
    alloc 2, 1          ; the plain reference field
    extcall 1, 2
    store
    ret 0, 1
)"), 0);
    ASSERT_EQ(m.host.recorded.size(), 3u);
    EXPECT_TRUE(m.alive(m.host.recorded[0]));
    EXPECT_FALSE(m.alive(m.host.recorded[1]));
    EXPECT_TRUE(m.alive(m.host.recorded[2]));
    VMAddr holder = m.global(0);
    VMMemory& mem = m.vm.memory();
    for (TUint32 field : {1u, 3u}) {
        VMAddr vector = mem.readWord(holder + field * 4);
        ASSERT_TRUE(m.alive(vector));
        VMAddr storage = 0;
        TInt32 count = 0;
        ASSERT_TRUE(m.vm.heap().object(vector)->arrayStorage(&storage, &count));
        EXPECT_EQ(count, 1);
        EXPECT_TRUE(m.alive(storage)) << "storage of field " << field;
    }
}

// A pair whose kind is neither 1 nor 2 cannot be traced: the collection after
// the entry call raises VM error 10, and the machine is idle again afterwards.
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

// The same pair met by a collection that bytecode asked for: the request fails
// with a VM error the program can catch, and no mark is left behind.
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
