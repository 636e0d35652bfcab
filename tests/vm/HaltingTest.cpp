// Faults that halt their entry call through the runtime-error report, even in an image whose
// "vminternalthrow" routine takes the VM errors of main (tests/apps/vm/halting.s). Each row's
// code is the body of an exported method, the last code of its image, run as an entry call.
#include "../support/TestHost.h"

#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>

namespace mcb {

TEST(Halting, EachFaultHaltsItsEntryCallWithItsReport) {
    const struct {
        const char* code;
        const char* report;  // nullptr: any report
    } cases[] = {
        {".byte 0xFF", "Internal error: invalid opcode -1"},
        {"native 0, 1", "Internal error: invalid group in native call: 0"},
        {"native 37, 1", "Internal error: invalid group in native call: 37"},
        {"native 2, 1", "Internal error: invalid group in native call: 2"},
        {"push 3\n callv draw", "Invalid type in virtual method call"},  // Square has no draw
        {"alloc 8, 1", "Invalid mem alloc gc code"},
        {"alloc 18, 1", "Invalid mem alloc gc code"},
        {"alloc 2, 2\n newvec 3", "Internal error: invalid vector element size 3"},
        {"jmp_w 100000", "Internal error: jump outside the code"},
        {"call 100000, frame", "Internal error: call outside the code"},
        {"push 100000\n ret 0, 2", "Internal error: return outside the code"},
        {"jmp body", "Instruction budget exhausted"},
        {"call body, frame", nullptr},                                         // endless recursion
        {"alloc 1, 1\n dup\n setclass Circle\n throw", "Uncaught exception"},  // no printer to call
        {"nop", "Internal error: execution ran past the end of the code"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::vector<uint8_t> image = mcbasm::assemble(
            ".method \"main\", main, frame\n.method \"body\", body, frame\n"
            ".method \"vminternalthrow<*int>,<**string>\", resume, two\n"  // would resume after the fault
            ".selector draw \"<*Shape>.draw\"\n .impl Circle, main, frame\n"
            ".class Shape\n.class Circle\n .super Shape\n.class Square\n .super Shape\n"
            ".descriptor frame\n.descriptor two\n .lengths 2, 0, 0\n"
            ".code\nmain:\n ret 0, 1\nresume:\n ret 0, 3\nbody:\n " +
            std::string(c.code) + "\n");
        ReportingMachine vm;
        TestHost host;
        VELMAR::MemoryInputStream in(image);
        vm.load(CAppsString("index.mcb"), in, &host);
        vm.setControlBudget(1000000);
        EXPECT_THROW(vm.runEntryCall(vm.findMethod(CAppsString("body"), 0), Vec<int>(), Vec<int>(), -1), HaltRequest);
        if (c.report) {
            EXPECT_EQ(vm.reports.empty() ? "(none)" : vm.reports.back(), c.report);
        }
    }
}

}  // namespace mcb
