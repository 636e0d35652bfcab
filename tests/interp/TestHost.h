// The host that test applications run under: a machine that remembers its
// last runtime-error report, and a FrameworkServices whose extension 99 gives
// bytecode a log and the host's ways back into the machine.
#pragma once

#include "vm/VirtualMachine.h"

#include <string>
#include <vector>

// Remembers the message of the last runtime-error report (the base prints none).
class RecordingMachine : public VirtualMachine {
public:
    [[noreturn]] void runtimeError(TInt32* out, TInt32 pc, const CAppsString& message) override {
        lastReport = message.toUtf8();
        VirtualMachine::runtimeError(out, pc, message);
    }
    std::string lastReport;
};

// Extension 99: the functions of tests/apps/vm/README.md.
class TestHost : public FrameworkServices {
public:
    explicit TestHost(VirtualMachine& vm) : vm_(vm) {}

    void log(const OString& message) override;
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override;

    std::vector<std::string> lines;

private:
    // The word `fromTop` slots below the top (0 = top), checked against the stack.
    TInt32 arg(TInt32 sp, TInt32 fromTop) const;
    TInt32 callMethod(TInt32 sp);
    std::string callStacks() const;
    std::string words(VMAddr address, TInt32 count);

    VirtualMachine& vm_;
};
