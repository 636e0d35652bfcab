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
    for (TInt32 i = 0; i < v.getSize(); ++i) s += (i ? "," : "") + std::to_string(v[i]);
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
    for (TInt32 i = 0; i < count; ++i)
        text += (i ? " " : "") + std::to_string(TInt32(vm_.memory().readWord(address + TUint32(i) * 4)));
    return text;
}

TInt32 TestHost::callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) {
    if (extension != testext::kExtension) return FrameworkServices::callDllNative(extension, function, sp, stack);
    using namespace testext;
    switch (function) {
    case LogInt: lines.push_back(std::to_string(arg(sp, 0))); return sp - 1;
    case LogString: lines.push_back(utf8(vm_.stringOf(VMAddr(arg(sp, 0))))); return sp - 1;
    case CallMethod: return callMethod(sp);
    case Draw: vm_.draw(VMAddr(arg(sp, 0))); return sp - 1;
    case SystemTimer: vm_.systemTimer(VMAddr(arg(sp, 0))); return sp - 1;
    case SetApplication: vm_.setApplicationObject(VMAddr(arg(sp, 0))); return sp - 1;
    case KeyEvent: vm_.keyEvent(VMAddr(arg(sp, 1)), arg(sp, 0) != 0); return sp - 2;
    case Raise: {
        OString& message = vm_.stringOf(VMAddr(arg(sp, 0)));
        vmerr::raise(arg(sp, 1), CAppsString::fromUtf8(utf8(message)));
    }
    case Exit: vmerr::raise(vmerr::Exit);
    case ForeignException: throw std::runtime_error("not a VM error");
    case ForeignInt: throw 7;
    case QueuedCalls: vm_.slot(sp + 1) = vm_.queuedCalls(); return sp + 1;
    case LogCallStacks: lines.push_back(callStacks()); return sp;
    case PointerEvent:
        vm_.pointerEvent(arg(sp, 3), arg(sp, 2), arg(sp, 1), arg(sp, 0));
        return sp - 4;
    case LogConcat:
        lines.push_back(utf8(vm_.stringOf(VMAddr(arg(sp, 1)))) + utf8(vm_.stringOf(VMAddr(arg(sp, 0)))));
        return sp - 2;
    case LogWords: {  // (label cell, address, count)
        std::string text = utf8(vm_.stringOf(VMAddr(arg(sp, 2))));
        lines.push_back(text + words(VMAddr(arg(sp, 1)), arg(sp, 0)));
        return sp - 3;
    }
    case LogStack: {  // (words..., count): logs the words below the count, leaves them
        TInt32 count = arg(sp, 0);
        if (count < 0 || count > sp) vmerr::raise(vmerr::InvalidArgument, "word count");
        std::string text = "stack";
        for (TInt32 i = count; i >= 1; --i) text += " " + std::to_string(arg(sp, i));
        lines.push_back(text);
        return sp - 1;
    }
    case LogCodeAndText:
        lines.push_back(std::to_string(arg(sp, 1)) + " " + utf8(vm_.stringOf(VMAddr(arg(sp, 0)))));
        return sp - 2;
    default: vmerr::raise(vmerr::VM, "Test extension: no function " + std::to_string(function));
    }
}
