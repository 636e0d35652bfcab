// Collections that follow entry calls: what the root list, reference cells,
// the globals block, an entry call's result and queued calls keep alive.
#include "GcTestSupport.h"

using gctest::Machine;

namespace {

TEST(EntryCollection, FreesWhatMainLeftUnreachable) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.method "main", main, frame
.descriptor frame
.code
main:
    alloc 2, 4
    extcall 1, 2
    adjsp -1
    alloc 14, 1
    extcall 1, 2
    adjsp -1
    ldstr hello
    extcall 1, 2
    adjsp -1
    ret 0, 1
.string hello "garbage"
)"), 0);
    ASSERT_EQ(m.host.recorded.size(), 3u);
    for (VMAddr r : m.host.recorded) EXPECT_FALSE(m.alive(r));
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 0);
}

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
    ret 0, 1
)"), 0);
    const auto& r = m.host.recorded;
    ASSERT_EQ(r.size(), 5u);
    EXPECT_TRUE(m.alive(r[0]));
    EXPECT_TRUE(m.alive(r[1]));
    EXPECT_TRUE(m.alive(r[2]));
    EXPECT_TRUE(m.alive(r[3]));
    EXPECT_FALSE(m.alive(r[4]));
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 4);

    m.vm.heap().removeRoot(r[1]);
    EXPECT_EQ(m.call("main"), 0);  // its own objects come and go; the cell's are gone
    EXPECT_FALSE(m.alive(r[0]));
    EXPECT_FALSE(m.alive(r[1]));
}

TEST(EntryCollection, ChainsOfCellsAreFollowedToTheBlock) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 2
.method "main", main, frame
.descriptor frame
.code
main:
    ldglobals
    allocto 2, 3, 3     ; globals[0] = cell -> cell -> cell -> block of 3 words
    ldglobals
    fielda 1
    allocto 4, 1, 2     ; globals[1] = cell -> block with code 14 -> block
    ret 0, 1
)"), 0);
    VMMemory& mem = m.vm.memory();
    VMAddr a = m.global(0);
    for (int level = 0; level < 4; ++level) {
        ASSERT_TRUE(m.alive(a)) << "level " << level;
        if (level < 3) a = mem.readWord(a);
    }
    EXPECT_EQ(m.vm.heap().headerOf(a)->gcCode, GC_CODE_PLAIN);
    VMAddr b = m.global(1);
    ASSERT_TRUE(m.alive(b));
    ASSERT_TRUE(m.alive(mem.readWord(b)));
    EXPECT_TRUE(m.alive(mem.readWord(mem.readWord(b))));
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 1 + 4 + 3);
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
    ASSERT_EQ(m.host.recorded.size(), 2u);
    EXPECT_EQ(m.call("again"), 0);
    EXPECT_EQ(m.call("again"), 0);
    ASSERT_EQ(m.host.snapshots.size(), 4u);
    for (const auto& s : m.host.snapshots) EXPECT_EQ(s, (std::vector<bool>{true, true}));
    EXPECT_TRUE(m.alive(m.host.recorded[0]));
    EXPECT_TRUE(m.alive(m.host.recorded[1]));

    EXPECT_EQ(m.call("forget"), 0);
    EXPECT_FALSE(m.alive(m.host.recorded[0]));
    EXPECT_FALSE(m.alive(m.host.recorded[1]));
}

constexpr const char* kMaker = R"(
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
)";

TEST(EntryCollection, AResultObjectIsRootedThroughTheQueueDrainOnly) {
    Machine m;
    ASSERT_EQ(m.load(kMaker), 0);
    TInt32 check = m.vm.findMethod(CAppsString("check"), 0);
    m.host.hook = [&](TInt32, TInt32*) { m.vm.callMethod(check, Vec<int>(), Vec<int>(), -1); };
    VMAddr result = VMAddr(m.call("(make", 1));
    ASSERT_EQ(m.host.recorded.size(), 1u);
    EXPECT_EQ(result, m.host.recorded[0]);
    ASSERT_EQ(m.host.snapshots.size(), 1u);
    EXPECT_TRUE(m.host.snapshots[0][0]) << "freed while the queued call ran";
    EXPECT_TRUE(m.alive(result));
    EXPECT_EQ(m.vm.heap().isRoot(result), 0);

    m.host.hook = nullptr;
    EXPECT_EQ(m.call("check"), 0);
    EXPECT_FALSE(m.host.snapshots[1][0]);
    EXPECT_FALSE(m.alive(result));
}

TEST(EntryCollection, AResultReturnedAsAValueIsNotRooted) {
    Machine m;
    ASSERT_EQ(m.load(kMaker), 0);
    m.call("(value", 0);
    ASSERT_EQ(m.host.recorded.size(), 1u);
    EXPECT_FALSE(m.alive(m.host.recorded[0]));
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

}  // namespace
