#include "vm/VirtualMachine.h"
#include "mcbasm/Assembler.h"
#include "io/MemoryInputStream.h"
#include <gtest/gtest.h>

TEST(Smoke, MainStoresIntoAGlobal) {
    auto bytes = mcbasm::assemble(R"(
.globals 2
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.code
main:
    ldglobals
    push 40
    push 2
    add
    store
    ldglobals
    fielda 1
    push 7
    push 0
    div
    store
    ret 0, 1
)");
    VirtualMachine vm;
    TInt32 index = -1;
    ASSERT_TRUE(vm.loadImage(CAppsString("index.mcb"), bytes.data(), bytes.size(), index));
    vm.resolveEntryPoints(index);
    try {
        vm.runEntryCall(vm.entryPoint(EntryMain), Vec<int>(), Vec<int>(), -1);
    } catch (TInt32 e) {
        EXPECT_EQ(e, -2);
    }
    EXPECT_EQ(vm.memory().readWord(vm.globals()), 42u);
}
