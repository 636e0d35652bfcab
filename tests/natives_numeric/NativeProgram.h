// Test harness for native groups: runs a snippet of assembly as the body of
// "main" on a fresh machine with a host that records what it is asked. A VM
// error becomes a bytecode exception: the image's "vminternalthrow" stores the
// code in global 0 and the text's cell in global 1, then throws to a catch-all
// handler around the body. Results go to globals 2 and up.
#pragma once

#include "foundation/ORaw.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "natives/NumericArgs.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline std::string utf8(const OString& s) {
    const Vec<TUint8> bytes = s.toUtf8();
    return std::string(bytes.begin(), bytes.end());
}

class RecordingHost : public FrameworkServices {
public:
    std::vector<std::string> logLines;
    std::vector<std::string> openedLogs;
    std::vector<std::string> exitMessages;
    TInt32 exits = 0;
    TInt32 millis = 1234567, elapsed = 4321, value12 = 12, value13 = 13;

    void log(const OString& message) override { logLines.push_back(utf8(message)); }
    bool openLog(const OString& path) override {
        openedLogs.push_back(utf8(path));
        return true;
    }
    TInt32 exitMessage(const OString& message) override {
        exitMessages.push_back(utf8(message));
        return 0;
    }
    void exit() override { ++exits; }  // returns: the native must still end the run
    TInt32 currentMillis() override { return millis; }
    TInt32 elapsedMillis() override { return elapsed; }
    TInt32 service12() override { return value12; }
    TInt32 service13() override { return value13; }

    // "extcall 20, 99" pushes whatever word this gives (the test's way of
    // handing bytecode an object made in C++).
    std::function<TInt32()> handOver;
    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 20 || function != 99 || !handOver || sp + 1 >= kStackWords)
            return FrameworkServices::callDllNative(extension, function, sp, stack);
        stack[sp + 1] = handOver();
        return sp + 1;
    }
};

// How the run of "main" ended.
enum class Ended { Returned, Exited, Halted };

class NativeProgram {
public:
    static constexpr int kGlobals = 24;

    explicit NativeProgram(std::string_view body, std::string_view extra = {},
                           const std::function<void(NativeProgram&)>& setup = {}) {
        if (setup) setup(*this);
        const std::vector<uint8_t> image = mcbasm::assemble(source(body, extra));
        VELMAR::MemoryInputStream stream(image);
        try {
            vm.load(CAppsString("index.mcb"), stream, &host);
        } catch (TInt32 code) {
            ended = code == -1 ? Ended::Exited : Ended::Halted;
        }
    }

    // Every body that finishes must leave the stack as it found it: global 23
    // receives the address two slots above main's base, taken after the body.
    ~NativeProgram() {
        if (word(kGlobals - 1) != 0) {
            EXPECT_EQ(word(kGlobals - 1), vm.stackAddress() + 8) << "the body left the stack unbalanced";
        }
    }

    TUint32 word(int g) { return vm.memory().readWord(vm.globals() + 4u * TUint32(g)); }
    TInt32 integer(int g) { return TInt32(word(g)); }
    TInt64 wide(int g) { return TInt64(TUint64(word(g + 1)) << 32 | word(g)); }
    ORaw fixed(int g) { return ORaw::fromRaw(wide(g)); }
    float real(int g) { return std::bit_cast<float>(word(g)); }
    // The string in the cell that global g holds.
    std::string text(int g) { return utf8(vm.stringOf(word(g))); }

    TInt32 errorCode() { return integer(0); }
    std::string errorText() { return word(1) ? text(1) : std::string(); }

    VirtualMachine vm;
    RecordingHost host;
    Ended ended = Ended::Returned;

private:
    static std::string source(std::string_view body, std::string_view extra) {
        std::string s = R"(
.globals 24
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", on_error, frame
.class Thrown
.descriptor frame
    .lengths 0, 0, 0
)";
        s += extra;
        s += "\n.code\nmain:\n    try -1, caught\n";
        s += body;
        s += R"(
    ldglobals
    fielda 23
    ldloca 0
    store
    droph -1
    ret 0, 1
caught:
    adjsp -1
    ret 0, 1
on_error:                 ; code, text cell, return address
    ldglobals
    ldloc -4
    store
    ldglobals
    fielda 1
    ldloc -3
    store
    alloc 2, 1
    dup
    setclass Thrown
    throw
)";
        return s;
    }
};

// Assembly that pushes a fixed value (fraction word first).
inline std::string pushFixed(ORaw v) {
    return "push64 " + std::to_string(v.lowWord()) + ", " + std::to_string(v.highWord()) + "\n";
}

// Assembly that pushes a reference to a new long holding v.
inline std::string pushLong(TInt64 v) {
    return "push64 " + std::to_string(TUint32(TUint64(v))) + ", " +
           std::to_string(TUint32(TUint64(v) >> 32)) + "\npack 2\n";
}

// Assembly that stores the `words` words that `code` leaves into global g on.
inline std::string storeTo(int g, std::string_view code, int words = 1) {
    return "ldglobals\nfielda " + std::to_string(g) + "\n" + std::string(code) + "\nstoren " +
           std::to_string(words) + "\n";
}

// A setup that makes "extcall 20, 99" push a new byte vector holding `bytes`.
inline std::function<void(NativeProgram&)> handingBytes(std::vector<TUint8> bytes) {
    return [bytes](NativeProgram& p) {
        p.host.handOver = [&p, bytes] {
            return TInt32(numeric::newByteVector(p.vm, bytes.data(), TInt32(bytes.size())));
        };
    };
}

// The bytes of the byte vector whose handle global g holds.
inline std::vector<TUint8> bytesAt(NativeProgram& p, int g) {
    auto& v = *p.vm.heap().objectAs<OVector<TInt8>>(p.vm.memory().readWord(p.word(g)));
    std::vector<TUint8> out;
    for (TInt32 i = 0; i < v.size(); ++i) out.push_back(TUint8(v[i]));
    return out;
}
