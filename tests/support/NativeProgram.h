// Runs a snippet of assembly as the body of "main" on a fresh machine with a host
// that records what it is asked (TestHost). A VM error's code and text cell go to globals 0
// and 1 and end the body through a catch-all handler; results go to globals 2 up.
// The body may use the macros of expandMacros(). Extension 20: see Probes.
#pragma once

#include "TestHost.h"
#include "foundation/ORaw.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "natives/NumericArgs.h"
#include "objects/OVector.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace mcb {

// Assembly with these macros expanded, one a line: "@store N" pops the top word into
// global N, "@keep N" stores it and keeps it, "@load N" pushes global N, "@addr N"
// pushes its address, "@vec SIZE" pushes a new primitive vector handle and "@objvec"
// a new object vector handle.
inline std::string expandMacros(std::string_view source) {
    std::istringstream in{std::string(source)};
    std::string line, out;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string macro, n;
        words >> macro >> n;
        const std::string address = "ldglobals\nfielda " + n + "\n";
        if (macro == "@store" || macro == "@keep")
            out += address + "ldloc -2\nstore\n" + (macro == "@store" ? "adjsp -1\n" : "");
        else if (macro == "@load" || macro == "@addr")
            out += address + (macro == "@load" ? "deref\n" : "");
        else if (macro == "@vec")
            out += "alloc 6, 2\ndup\nnewvec " + n + "\n";
        else if (macro == "@objvec")
            out += "alloc 7, 2\ndup\nnewvec 4\n";
        else
            out += line + "\n";
    }
    return out;
}

// Extension 20 of a test program: "extcall 20, 99" pushes the word `handOver`
// gives (an object made in C++); "20, 1" pops a word to watch; "20, 2" collects
// and records which watched entries live (a row of `alive` per call); "20, 3"
// only collects.
struct Probes {
    std::function<TInt32()> handOver;
    std::vector<VMAddr> watched;
    std::vector<std::vector<bool>> alive;

    void install(TestHost& h, VirtualMachine& v) {
        host_ = &h;
        vm_ = &v;
        h.vm = &v;
        h.extensions[20] = [this](TInt32 f, TInt32 sp, TInt32* stack) { return probe(f, sp, stack); };
    }

private:
    TInt32 probe(TInt32 function, TInt32 sp, TInt32* stack) {
        if (function == 99 && handOver && sp + 1 < kStackWords) {
            stack[sp + 1] = handOver();
            return sp + 1;
        }
        if (function < 1 || function > 3) return host_->unknown(20, function, sp, stack);
        if (function == 1) {
            watched.push_back(VMAddr(stack[sp]));
            return sp - 1;
        }
        vm_->gc();
        if (function == 2) {
            std::vector<bool> row;
            for (VMAddr a : watched) {
                HeapEntry* he = vm_->heap().belongsToPools(a - kHeaderSize);
                row.push_back(he && vm_->heap().liveEntry(vm_->heap().referenceOf(he)) != nullptr);
            }
            alive.push_back(row);
        }
        return sp;
    }
    TestHost* host_ = nullptr;
    VirtualMachine* vm_ = nullptr;
};

// How the run of "main" ended.
enum class Ended { Returned, Exited, Halted };

class NativeProgram : public Probes {
public:
    static constexpr int kGlobals = 24;

    explicit NativeProgram(std::string_view body, std::string_view extra = {},
                           const std::function<void(NativeProgram&)>& setup = {})
        : NativeProgram(body, extra, kDeferred) {
        if (setup) setup(*this);
        run();
    }

    // A body that finishes must leave the stack balanced (global 23: the stack top after it).
    ~NativeProgram() {
        if (ran_ && checkBalance && word(kGlobals - 1) != 0) {
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
    bool returned() const { return ended == Ended::Returned; }

    OVectorBase& vector(int g) { return *vm.heap().objectAs<OVectorBase>(vm.memory().readWord(word(g))); }
    std::vector<TInt32> words(int g) {  // of the vector whose handle global g holds
        OVectorBase& v = vector(g);
        std::vector<TInt32> out;
        for (TUint32 k = 0; k < TUint32(v.size()) * v.elementBytes() / 4; ++k)
            out.push_back(TInt32(vm.memory().readWord(v.storage() + k * 4)));
        return out;
    }
    std::vector<TInt32> bytes(int g) {
        OVectorBase& v = vector(g);
        std::vector<TInt32> out;
        for (TInt32 k = 0; k < v.size(); ++k) out.push_back(TInt8(*vm.memory().ptr(v.storage() + TUint32(k), 1)));
        return out;
    }
    std::vector<std::string> strings(int g) {  // of the object vector behind global g
        std::vector<std::string> out;
        for (TInt32 cell : words(g)) out.push_back(utf8(vm.stringOf(VMAddr(cell))));
        return out;
    }

    VirtualMachine vm;
    TestHost host;
    Ended ended = Ended::Returned;
    std::string escaped;  // the text of an error that escaped the run

protected:
    // Assembles the program; run() loads it and runs "main".
    struct Deferred {};
    static constexpr Deferred kDeferred{};
    NativeProgram(std::string_view body, std::string_view extra, Deferred)
        : image_(mcbasm::assemble(source(expandMacros(body), extra))) {
        install(host, vm);
    }
    void run() {
        ran_ = true;
        VELMAR::MemoryInputStream stream(image_);
        try {
            vm.load(CAppsString("index.mcb"), stream, &host);
        } catch (const ExitRequest&) {
            ended = Ended::Exited;
        } catch (const HaltRequest&) {
            ended = Ended::Halted;
        } catch (const ErrorHandlingException&) {
            ended = Ended::Halted;
            escaped = vmerr::pendingErrorTextUtf8();
        }
    }
    bool checkBalance = true;

private:
    std::vector<uint8_t> image_;
    bool ran_ = false;

    static std::string source(std::string_view body, std::string_view extra) {
        std::string s = R"(
.globals 24
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", on_error, frame
.class Throwable
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
    setclass Throwable
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
    return "push64 " + std::to_string(TUint32(TUint64(v))) + ", " + std::to_string(TUint32(TUint64(v) >> 32)) +
           "\npack 2\n";
}

// Assembly that stores the `words` words that `code` leaves into global g on.
inline std::string storeTo(int g, std::string_view code, int words = 1) {
    return "ldglobals\nfielda " + std::to_string(g) + "\n" + std::string(code) + "\nstoren " + std::to_string(words) +
           "\n";
}

// A setup that makes "extcall 20, 99" push a new byte vector holding `bytes`.
inline std::function<void(NativeProgram&)> handingBytes(std::vector<TUint8> bytes) {
    return [bytes](NativeProgram& p) {
        p.handOver = [&p, bytes] { return TInt32(numeric::newByteVector(p.vm, bytes.data(), TInt32(bytes.size()))); };
    };
}

// The bytes of the byte vector whose handle global g holds.
inline std::vector<TUint8> bytesAt(NativeProgram& p, int g) {
    const std::vector<TInt32> b = p.bytes(g);
    return std::vector<TUint8>(b.begin(), b.end());
}

// The error a failing program left: "code: text".
inline std::string errorOf(NativeProgram& p) {
    return p.returned() ? std::to_string(p.errorCode()) + ": " + p.errorText() : "halted";
}

// Calls functions `first` to `last` of `group` on the words `pushes` leaves, each in
// its own catch-all handler; a deliberate throw after each call unwinds what it left.
inline std::string everyFunction(int group, int first, int last, const std::string& pushes) {
    std::string out;
    for (int f = first; f <= last; ++f) {
        std::string label = "after" + std::to_string(f);
        out += "try -1, " + label + "\n" + pushes + "native " + std::to_string(group) + ", " + std::to_string(f) +
               "\nalloc 1, 1\ndup\nsetclass Throwable\nthrow\n" + label + ":\nadjsp -1\n";
    }
    return out;
}

// Push lines, one per word: "s" a new string cell, "g" global 5, a number itself.
inline std::string pushesOf(std::initializer_list<const char*> words) {
    std::string out;
    for (std::string w : words) out += w == "s" ? "ldstr text\n" : w == "g" ? "@load 5\n" : "push " + w + "\n";
    return out;
}

}  // namespace mcb
