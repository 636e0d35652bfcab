// The Timer and KeyEvent native groups without a window.
#include "HostTestSupport.h"

#include "natives/NativeGroupOps.h"
#include "natives/NativeArgs.h"
#include "foundation/OString.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

namespace {
// A key event behind a reference cell, as bytecode passes it.
VMAddr keyEventCell(VirtualMachine& vm, VMAddr event) {
    VMAddr cell = vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
    vm.memory().writeWord(cell, event);
    return cell;
}

TInt32 callKeyEvent(VirtualMachine& vm, VMAddr cell, TInt32 function) {
    vm.setSp(0);
    vm.slot(0) = TInt32(cell);
    keyEventNative(vm, function);
    EXPECT_EQ(vm.sp(), 0);
    return vm.slot(0);
}
}  // namespace

TEST(KeyEventNatives, ReadTheFieldsOfTheEvent) {
    VirtualMachine vm;
    VMAddr cell = keyEventCell(vm, newKeyEvent(vm, 65, 38, 0, OString("a")));
    EXPECT_EQ(callKeyEvent(vm, cell, 1), 65);
    EXPECT_EQ(callKeyEvent(vm, cell, 2), 0);
    EXPECT_EQ(callKeyEvent(vm, cell, 3), 38);
    VMAddr text = VMAddr(callKeyEvent(vm, cell, 4));
    EXPECT_TRUE(vm.stringOf(text) == OString("a"));
}

TEST(HostNatives, NullReferencesOtherObjectsAndUnknownFunctions) {
    VirtualMachine vm;
    hosttest::expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer", [&] { callKeyEvent(vm, 0, 1); });
    hosttest::expectRaises(vmerr::NullPointer, "NullPointerException: NULL pointer",
                 [&] { callKeyEvent(vm, keyEventCell(vm, 0), 1); });
    VMAddr notAnEvent = keyEventCell(vm, vm.newString(OString("x")));
    hosttest::expectRaises(vmerr::VM, "VMException: Invalid TYPEID", [&] { callKeyEvent(vm, notAnEvent, 1); });
    vm.setPc(7);
    hosttest::expectRaises(vmerr::VM, "VMException: KeyEvent: invalid opcode 7", [&] { keyEventNative(vm, 5); });
    vm.setPc(12);
    hosttest::expectRaises(vmerr::VM, "VMException: Timer:12", [&] { timerNative(vm, 4); });
}

TEST(TimerNatives, AHostWithoutTimersHaltsTheRun) {
    auto bytes = mcbasm::assemble(R"(
.globals 1
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.code
main:
    ldglobals
    alloc 1, 1
    store
    ldglobals
    deref
    push 10
    native Timer.add
    ret 0, 1
)");
    VirtualMachine vm;
    TInt32 index = -1;
    ASSERT_TRUE(vm.loadImage(CAppsString("index.mcb"), bytes.data(), bytes.size(), index));
    vm.resolveEntryPoints(index);
    TInt32 end = 0;
    try {
        vm.runEntryCall(vm.entryPoint(EntryMain), {}, {}, -1);
    } catch (TInt32 e) {
        end = e;
    }
    EXPECT_EQ(end, -2);
    VMAddr listener = vm.memory().readWord(vm.globals());
    EXPECT_EQ(vm.heap().isRoot(listener), 0);
}
