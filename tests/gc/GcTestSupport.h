// A host for collection tests: its device extension 1 lets bytecode ask for a
// collection, record references, root objects and append vector elements, and
// a machine that loads an assembled image and runs "main" under that host.
#pragma once

#include "foundation/OVector.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/VirtualMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>
#include <vector>

namespace gctest {

// Function numbers of `extcall 1, n`.
enum Probe : TInt32 {
    Collect = 1,  // vm.gc(), then a liveness snapshot of every recorded reference
    Record = 2,   // remembers s0 (stays on the stack)
    Root = 3,     // makes s0 a heap root; pops it
    Append = 4,   // appends s0 to the vector held at address s1; pops s0
    Hook = 5,     // calls the test's hook with the stack
};

class ProbeHost : public FrameworkServices {
public:
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 1) return FrameworkServices::callDllNative(extension, function, sp, stack);
        switch (function) {
        case Collect:
            vm->gc();
            snapshots.push_back(liveness());
            return sp;
        case Record: recorded.push_back(VMAddr(stack[sp])); return sp;
        case Root: vm->heap().addRoot(VMAddr(stack[sp])); return sp - 1;
        case Append: append(VMAddr(stack[sp - 1]), TUint32(stack[sp])); return sp - 1;
        case Hook:
            if (hook) hook(sp, stack);
            return sp;
        default: return FrameworkServices::callDllNative(extension, function, sp, stack);
        }
    }

    std::vector<bool> liveness() {
        std::vector<bool> alive;
        for (VMAddr r : recorded) alive.push_back(vm->heap().liveEntry(r) != nullptr);
        return alive;
    }

    VirtualMachine* vm = nullptr;
    std::vector<VMAddr> recorded;
    std::vector<std::vector<bool>> snapshots;  // one per Collect
    std::function<void(TInt32 sp, TInt32* stack)> hook;

private:
    void append(VMAddr holder, TUint32 element) {
        VMMemory& mem = vm->memory();
        auto* v = dynamic_cast<OVectorBase*>(vm->heap().object(mem.readWord(holder)));
        ASSERT_NE(v, nullptr);
        v->resize(v->size() + 1);
        mem.writeWord(v->elementAddress(v->size() - 1), element);
    }
};

// A machine that has loaded one image through a ProbeHost.
struct Machine {
    Machine() { host.vm = &vm; }

    // Loads and runs "main"; returns 0, or the integer a halt or exit threw.
    TInt32 load(std::string_view source) {
        std::vector<uint8_t> bytes = mcbasm::assemble(source);
        VELMAR::MemoryInputStream in(bytes);
        try {
            vm.load(CAppsString("index.mcb"), in, &host);
        } catch (TInt32 e) {
            return e;
        }
        return 0;
    }

    // Runs an exported method by signature; returns the entry call's result
    // word, or the integer a halt or exit threw.
    TInt32 call(const char* signature, TInt32 resultLevel = -1) {
        TInt32 h = vm.findMethod(CAppsString(signature), 0);
        EXPECT_GE(h, 0) << signature;
        try {
            return vm.runEntryCall(h, Vec<int>(), Vec<int>(), resultLevel);
        } catch (TInt32 e) {
            return e;
        }
    }

    bool alive(VMAddr ref) { return vm.heap().liveEntry(ref) != nullptr; }
    TUint32 global(TInt32 i) { return vm.memory().readWord(vm.globals() + TUint32(i) * 4); }

    VirtualMachine vm;
    ProbeHost host;
};

}  // namespace gctest
