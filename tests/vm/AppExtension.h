// Extension 99 of the test applications (tests/apps/vm/README.md): it gives
// bytecode a log (the host's log lines) and the host's ways back into the machine.
#pragma once

#include "../support/TestHost.h"
#include "objects/OVector.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace mcb {

class AppExtension {
public:
    AppExtension(VirtualMachine& vm, TestHost& host) : vm_(vm), lines(host.logLines) {
        host.vm = &vm;
        host.extensions[99] = [this](TInt32 f, TInt32 sp, TInt32*) { return call(f, sp); };
    }

private:
    TInt32 call(TInt32 function, TInt32 sp) {
        auto arg = [&](TInt32 fromTop) { return vm_.slot(sp - fromTop); };  // 0: the top word
        auto text = [&](TInt32 fromTop) { return utf8(vm_.stringOf(VMAddr(arg(fromTop)))); };
        switch (function) {
        case 1: lines.push_back(std::to_string(arg(0))); return sp - 1;
        case 2: lines.push_back(text(0)); return sp - 1;
        case 3: return callMethod(sp);
        case 4: vm_.draw(VMAddr(arg(0))); return sp - 1;
        case 6: vm_.setApplicationObject(VMAddr(arg(0))); return sp - 1;
        case 7: vm_.keyEvent(VMAddr(arg(1)), arg(0) != 0); return sp - 2;
        case 8: vmerr::raise(arg(1), CAppsString::fromUtf8(text(0)));
        case 9: vmerr::raise(vmerr::Exit);
        case 10: throw std::runtime_error("not a VM error");
        case 11: vm_.slot(sp + 1) = vm_.queuedCalls(); return sp + 1;
        case 12:
            lines.push_back("descriptors [" + join(vm_.descriptorStack(), ",") + "] frames [" +
                            join(vm_.frameBaseStack(), ",") + "]");
            return sp;
        case 16: {  // (words..., count): logs the words below the count and leaves them
            TInt32 count = arg(0);
            if (count < 0 || count > sp) vmerr::raise(vmerr::InvalidArgument, "word count");
            std::string line = "stack";
            for (TInt32 i = count; i >= 1; --i) line += ' ' + std::to_string(arg(i));
            lines.push_back(line);
            return sp - 1;
        }
        case 17: lines.push_back(std::to_string(arg(1)) + " " + text(0)); return sp - 2;
        case 18: throw 7;
        case 19: vm_.gc(); return sp;
        case 20: recorded_.push_back(VMAddr(arg(0))); return sp;
        case 21: vm_.gc(); [[fallthrough]];
        case 22: {
            std::string line = "alive";
            for (VMAddr r : recorded_) line += vm_.heap().liveEntry(r) ? " 1" : " 0";
            lines.push_back(line);
            return sp;
        }
        case 23: {  // (address of a vector handle, word)
            auto* v = dynamic_cast<OVectorBase*>(vm_.heap().object(vm_.memory().readWord(VMAddr(arg(1)))));
            if (!v) vmerr::raise(vmerr::InvalidArgument, "not a vector");
            v->resize(v->size() + 1);
            vm_.memory().writeWord(v->elementAddress(v->size() - 1), TUint32(arg(0)));
            return sp - 1;
        }
        case 24: lines.push_back("entries " + std::to_string(vm_.heap().numberOfEntries())); return sp;
        default: vmerr::raise(vmerr::VM, "Test extension: no function " + std::to_string(function));
        }
    }

    // (arguments..., count, signature cell): the arguments go at the method's own
    // levels, as the host passes objects.
    TInt32 callMethod(TInt32 sp) {
        std::string signature = utf8(vm_.stringOf(VMAddr(vm_.slot(sp))));
        TInt32 count = vm_.slot(sp - 1);
        if (count < 0 || count > sp - 1) vmerr::raise(vmerr::InvalidArgument, "argument count");
        TInt32 handle = vm_.findMethod(CAppsString::fromUtf8(signature), 0);
        Vec<int> arguments, levels;
        for (TInt32 k = 0; k < count; ++k) {
            arguments.append(vm_.slot(sp - 1 - count + k));
            bool known = handle >= 0 && k < vm_.methodHandle(handle).parameterLevels.getSize();
            levels.append(known ? vm_.methodHandle(handle).parameterLevels[k] : 0);
        }
        vm_.callMethod(handle, arguments, levels, -1);
        return sp - 2 - count;
    }

    VirtualMachine& vm_;
    std::vector<std::string>& lines;
    std::vector<VMAddr> recorded_;
};

}  // namespace mcb
