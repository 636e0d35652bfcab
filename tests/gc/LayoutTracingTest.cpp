// Tracing through heap objects: instance fields by the class layout tables,
// array fields and array handles by their element flags, and a chain long
// enough that marking must not recurse on the native stack.
#include "GcTestSupport.h"

using gctest::Machine;

namespace {

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

// Array handles made by bytecode: code 7 traces elements, code 6 does not.
TEST(LayoutTracing, ObjectArrayHandlesKeepElementsAndPrimitiveOnesDoNot) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 2
.method "main", main, frame
.descriptor frame
.code
main:
    ldglobals
    alloc 7, 2
    dup
    newvec 4
    dup
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    store
    ldglobals
    fielda 1
    alloc 6, 2
    dup
    newvec 4
    dup
    alloc 2, 1
    extcall 1, 2
    extcall 1, 4
    adjsp -1
    store
    ret 0, 1
)"), 0);
    ASSERT_EQ(m.host.recorded.size(), 2u);
    EXPECT_TRUE(m.alive(m.host.recorded[0]));
    EXPECT_FALSE(m.alive(m.host.recorded[1]));
    EXPECT_TRUE(m.alive(m.vm.memory().readWord(m.global(1))));  // the vector itself stays
}

TEST(LayoutTracing, AnEmptyVectorKeepsItsStorageWhileReachable) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 2
.method "main", main, frame
.method "again", again, frame
.descriptor frame
.code
main:
    ldglobals
    newvec 4
    ldglobals
    alloc 2, 1
    extcall 1, 4
    adjsp -1
    ret 0, 1
again:
    ret 0, 1
)"), 0);
    VMAddr vector = m.global(0);
    auto* v = dynamic_cast<OVectorBase*>(m.vm.heap().object(vector));
    ASSERT_NE(v, nullptr);
    VMAddr storage = v->storage();
    v->resize(0);  // capacity stays: the vector may grow into it again
    EXPECT_EQ(m.call("again"), 0);
    EXPECT_TRUE(m.alive(vector));
    EXPECT_TRUE(m.alive(storage));
}

// A million instances, each referring to the one made before it, the newest
// held by a global. Marking them all must not recurse on the native stack.
TEST(LayoutTracing, AChainOfAMillionInstancesIsMarkedAndThenFreed) {
    Machine m;
    ASSERT_EQ(m.load(R"(
.globals 1
.method "main", main, frame
.method "drop", drop, frame
.class Node
    .fieldwidth 1
    .reffields 1
.descriptor frame
.code
main:
    push 1000000
loop:
    dup
    jz done
    ldglobals
    alloc 1, 2
    dup
    setclass Node
    dup
    fielda 1
    ldglobals
    deref
    store               ; node.next = the previous node
    store               ; globals[0] = node
    push 1
    sub
    jmp loop
done:
    extcall 1, 1        ; once while running, and once after
    ret 1, 2
drop:
    ldglobals
    storez
    ret 0, 1
)"), 0);
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 1000001);
    TInt32 length = 0;
    for (VMAddr n = m.global(0); n != 0; n = m.vm.memory().readWord(n + 4)) {
        if (!m.alive(n)) break;
        ++length;
    }
    EXPECT_EQ(length, 1000000);

    EXPECT_EQ(m.call("drop"), 0);
    EXPECT_EQ(m.vm.heap().numberOfEntries(), 1);
}

}  // namespace
