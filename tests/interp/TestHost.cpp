// The test extension: a log for bytecode and the host events that reach back
// into the machine while bytecode runs (queued calls, draw, timers, keys).
#include "TestHost.h"

#include <stdexcept>

namespace {
std::string utf8(const OString& s) {
    Vec<TUint8> bytes = s.toUtf8();
    return std::string(reinterpret_cast<const char*>(bytes.data()), size_t(bytes.getSize()));
}

std::string join(const Vec<int>& v) {
    std::string s;
    for (TInt32 i = 0; i < v.getSize(); ++i) {
        if (i) s += ',';
        s += std::to_string(v[i]);
    }
    return s;
}
}  // namespace

void TestHost::log(const OString& message) { lines.push_back(utf8(message)); }

TInt32 TestHost::arg(TInt32 sp, TInt32 fromTop) const { return vm_.slot(sp - fromTop); }

// (arguments..., count, signature cell): the method found by the signature,
// called with the arguments as values; it runs later when bytecode is running.
TInt32 TestHost::callMethod(TInt32 sp) {
    OString& signature = vm_.stringOf(VMAddr(arg(sp, 0)));
    TInt32 count = arg(sp, 1);
    if (count < 0 || count > sp - 1) vmerr::raise(vmerr::InvalidArgument, "argument count");
    TInt32 handle = vm_.findMethod(CAppsString::fromUtf8(utf8(signature)), 0);
    // Arguments go at the method's own levels, as the host passes objects.
    Vec<int> arguments, levels;
    for (TInt32 i = count; i >= 1; --i) {
        arguments.append(arg(sp, 1 + i));
        TInt32 k = count - i, level = 0;
        if (handle >= 0 && k < vm_.methodHandle(handle).parameterLevels.getSize())
            level = vm_.methodHandle(handle).parameterLevels[k];
        levels.append(level);
    }
    vm_.callMethod(handle, arguments, levels, -1);
    return sp - 2 - count;
}

std::string TestHost::callStacks() const {
    return "descriptors [" + join(vm_.descriptorStack()) + "] frames [" + join(vm_.frameBaseStack()) + "]";
}

std::string TestHost::words(VMAddr address, TInt32 count) {
    if (count < 0 || count > 64) vmerr::raise(vmerr::InvalidArgument, "word count");
    std::string text;
    for (TInt32 i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += std::to_string(TInt32(vm_.memory().readWord(address + TUint32(i) * 4)));
    }
    return text;
}

TInt32 TestHost::callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    if (extension != 99) return FrameworkServices::callDllNative(extension, function, sp, stack);
    switch (function) {
    case 1: lines.push_back(std::to_string(arg(sp, 0))); return sp - 1;
    case 2: lines.push_back(utf8(vm_.stringOf(VMAddr(arg(sp, 0))))); return sp - 1;
    case 3: return callMethod(sp);
    case 4: vm_.draw(VMAddr(arg(sp, 0))); return sp - 1;
    case 5: vm_.systemTimer(VMAddr(arg(sp, 0))); return sp - 1;
    case 6: vm_.setApplicationObject(VMAddr(arg(sp, 0))); return sp - 1;
    case 7: vm_.keyEvent(VMAddr(arg(sp, 1)), arg(sp, 0) != 0); return sp - 2;
    case 8: {
        OString& message = vm_.stringOf(VMAddr(arg(sp, 0)));
        vmerr::raise(arg(sp, 1), CAppsString::fromUtf8(utf8(message)));
    }
    case 9: vmerr::raise(vmerr::Exit);
    case 10: throw std::runtime_error("not a VM error");
    case 18: throw 7;
    case 11: vm_.slot(sp + 1) = vm_.queuedCalls(); return sp + 1;
    case 12: lines.push_back(callStacks()); return sp;
    case 13:
        vm_.pointerEvent(arg(sp, 3), arg(sp, 2), arg(sp, 1), arg(sp, 0));
        return sp - 4;
    case 14:
        lines.push_back(utf8(vm_.stringOf(VMAddr(arg(sp, 1)))) + utf8(vm_.stringOf(VMAddr(arg(sp, 0)))));
        return sp - 2;
    case 15: {  // (label cell, address, count)
        std::string text = utf8(vm_.stringOf(VMAddr(arg(sp, 2))));
        lines.push_back(text + words(VMAddr(arg(sp, 1)), arg(sp, 0)));
        return sp - 3;
    }
    case 16: {  // (words..., count): logs the words below the count, leaves them
        TInt32 count = arg(sp, 0);
        if (count < 0 || count > sp) vmerr::raise(vmerr::InvalidArgument, "word count");
        std::string text = "stack";
        for (TInt32 i = count; i >= 1; --i) text += ' ' + std::to_string(arg(sp, i));
        lines.push_back(text);
        return sp - 1;
    }
    case 17:
        lines.push_back(std::to_string(arg(sp, 1)) + " " + utf8(vm_.stringOf(VMAddr(arg(sp, 0)))));
        return sp - 2;
    default: vmerr::raise(vmerr::VM, "Test extension: no function " + std::to_string(function));
    }
}
