// A machine running an image under the test host, with probes for the collection tests.
#pragma once

#include "objects/OVector.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "../support/TestHost.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace mcb {

namespace gctest {

// A machine whose extension 1 serves the collection tests. `extcall 1, n`: 1 collects
// and snapshots the liveness of every recorded reference, 2 records s0, 3 roots and
// pops s0, 4 appends s0 to the vector held at address s1 and pops s0, 5 queues a call
// of method `queued` with s0 as its argument.
struct Machine {
    Machine() {
        host.vm = &vm;
        host.extensions[1] = [this](TInt32 f, TInt32 sp, TInt32* stack) { return probe(f, sp, stack); };
    }

    // load() runs "main" (0), call() a method (its result word), or -2 for a halt, -1 for an exit.
    TInt32 load(std::string_view source) {
        const std::vector<uint8_t> bytes = mcbasm::assemble(source);
        VELMAR::MemoryInputStream in(bytes);
        return ending([&] { return vm.load(CAppsString("index.mcb"), in, &host), 0; });
    }
    TInt32 call(const char* signature, TInt32 resultLevel = -1) {
        TInt32 h = vm.findMethod(CAppsString(signature), 0);
        EXPECT_GE(h, 0) << signature;
        return ending([&] { return vm.runEntryCall(h, Vec<int>(), Vec<int>(), resultLevel); });
    }

    bool alive(VMAddr ref) { return vm.heap().liveEntry(ref); }
    TUint32 global(TInt32 i) { return vm.memory().readWord(vm.globals() + TUint32(i) * 4); }

    std::vector<bool> liveness() {
        std::vector<bool> alive;
        for (VMAddr r : recorded) alive.push_back(vm.heap().liveEntry(r));
        return alive;
    }

    VirtualMachine vm;
    TestHost host;
    std::vector<VMAddr> recorded;
    std::vector<std::vector<bool>> snapshots;  // one per collection request
    TInt32 queued = -1;

private:
    template <typename F>
    static TInt32 ending(F run) try {
        return run();
    } catch (const ExitRequest&) {
        return -1;
    } catch (const HaltRequest&) {
        return -2;
    }
    TInt32 probe(TInt32 function, TInt32 sp, TInt32* stack) {
        switch (function) {
        case 1: vm.gc(); snapshots.push_back(liveness()); return sp;
        case 2: recorded.push_back(VMAddr(stack[sp])); return sp;
        case 3: vm.heap().addRoot(VMAddr(stack[sp])); return sp - 1;
        case 4: {
            VMMemory& mem = vm.memory();
            auto* v = dynamic_cast<OVectorBase*>(vm.heap().object(mem.readWord(VMAddr(stack[sp - 1]))));
            EXPECT_NE(v, nullptr);
            v->resize(v->size() + 1);
            mem.writeWord(v->elementAddress(v->size() - 1), TUint32(stack[sp]));
            return sp - 1;
        }
        case 5: {
            Vec<int> arguments, levels;
            arguments.append(stack[sp]);
            levels.append(0);
            vm.callMethod(queued, arguments, levels, -1);
            return sp;
        }
        default: return host.unknown(1, function, sp, stack);
        }
    }
};

}  // namespace gctest

}  // namespace mcb
