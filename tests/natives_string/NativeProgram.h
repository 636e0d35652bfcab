// Test support for the string and vector natives: runs a small assembly program
// whose "vminternalthrow" method stores the code and text of a VM error in globals
// 0 and 1 and throws, so that a catch-all handler in main ends the run in order.
// A test host turns `extcall 20, N` into collector probes (see GcHost).
#pragma once

#include "foundation/OVector.h"
#include "io/MemoryInputStream.h"
#include "mcbasm/Assembler.h"
#include "vm/FrameworkServices.h"
#include "vm/VirtualMachine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

// extcall 20, 1: pops the top word and watches the heap entry that holds it.
// extcall 20, 2: collects, then records for each watched word whether its entry lives.
// extcall 20, 3: collects.
class GcHost : public FrameworkServices {
public:
    VirtualMachine* vm = nullptr;
    std::vector<VMAddr> watched;
    std::vector<std::vector<bool>> alive;  // one row per extcall 20, 2

    TInt32 callDllNative(TInt32 extension, TInt32 function, TInt32 sp, TInt32* stack) override {
        if (extension != 20) return FrameworkServices::callDllNative(extension, function, sp, stack);
        if (function == 1) {
            watched.push_back(VMAddr(stack[sp]));
            return sp - 1;
        }
        vm->gc();
        if (function == 2) {
            std::vector<bool> row;
            for (VMAddr a : watched) row.push_back(lives(a));
            alive.push_back(row);
        }
        return sp;
    }

    bool lives(VMAddr word) {
        HeapEntry* he = vm->heap().belongsToPools(word - kHeaderSize);
        return he && vm->heap().liveEntry(vm->heap().referenceOf(he)) != nullptr;
    }
};

class NativeProgram {
public:
    static constexpr int kGlobals = 24;

    // `body` runs inside main's catch-all handler; `strings` holds .string lines.
    // Macros: "@store N" pops the top word into global N, "@keep N" stores it and
    // keeps it;
    // "@load N" pushes global N; "@vec SIZE" pushes a new primitive vector handle,
    // "@objvec" a new object vector handle.
    NativeProgram(const std::string& body, const std::string& strings = "") {
        std::string source = ".globals " + std::to_string(kGlobals) + R"(
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame
.class Throwable
.descriptor frame
    .lengths 0, 0, 0
)" + strings + R"(
.code
main:
    try -1, caught
)" + expand(body) + R"(
    droph -1
    ret 0, 1
caught:
    adjsp -1
    ret 0, 1
vmthrow:
    ldglobals
    ldloc -4
    store
    ldglobals
    fielda 1
    ldloc -3
    store
    alloc 1, 1
    dup
    setclass Throwable
    throw
)";
        bytes_ = mcbasm::assemble(source);
        host.vm = &vm;
    }

    // Runs main (and the collection after it); false when the run halted or an
    // error escaped it, whose text is then in `escaped`.
    bool run() {
        VELMAR::MemoryInputStream stream(bytes_);
        try {
            vm.load(CAppsString("index.mcb"), stream, &host);
        } catch (TInt32) {
            return false;
        } catch (const ErrorHandlingException&) {
            escaped = vmerr::pendingErrorTextUtf8();
            return false;
        }
        return true;
    }

    TInt32 global(int i) { return TInt32(vm.memory().readWord(vm.globals() + TUint32(i) * 4)); }
    TInt32 code() { return global(0); }
    std::string text() { return global(1) ? utf8(vm.stringOf(VMAddr(global(1)))) : std::string(); }
    // The string in the cell held by global i.
    std::string str(int i) { return utf8(vm.stringOf(VMAddr(global(i)))); }
    // The vector behind the handle held by global i.
    OVectorBase& vector(int i) {
        VMAddr object = vm.memory().readWord(VMAddr(global(i)));
        return *vm.heap().objectAs<OVectorBase>(object);
    }
    std::vector<TInt32> words(int i) {
        OVectorBase& v = vector(i);
        std::vector<TInt32> out;
        TUint32 n = TUint32(v.size()) * v.elementBytes() / 4;
        for (TUint32 k = 0; k < n; ++k) out.push_back(TInt32(vm.memory().readWord(v.storage() + k * 4)));
        return out;
    }
    std::vector<TInt32> bytes(int i) {
        OVectorBase& v = vector(i);
        std::vector<TInt32> out;
        for (TInt32 k = 0; k < v.size(); ++k) out.push_back(TInt8(*vm.memory().ptr(v.storage() + TUint32(k), 1)));
        return out;
    }
    // The strings held by the object vector behind global i.
    std::vector<std::string> strings(int i) {
        std::vector<std::string> out;
        for (TInt32 cell : words(i)) out.push_back(utf8(vm.stringOf(VMAddr(cell))));
        return out;
    }

    static std::string utf8(const OString& s) {
        Vec<TUint8> b = s.toUtf8();
        return std::string(b.begin(), b.end());
    }

    VirtualMachine vm;
    GcHost host;
    std::string escaped;

private:
    static std::string expand(const std::string& body) {
        std::istringstream in(body);
        std::string line, out;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string macro, n;
            words >> macro >> n;
            if (macro == "@store" || macro == "@keep")
                out += "    ldglobals\n    fielda " + n + "\n    ldloc -2\n    store\n" +
                       (macro == "@store" ? "    adjsp -1\n" : "");
            else if (macro == "@load")
                out += "    ldglobals\n    fielda " + n + "\n    deref\n";
            else if (macro == "@vec")
                out += "    alloc 6, 2\n    dup\n    newvec " + n + "\n";
            else if (macro == "@objvec")
                out += "    alloc 7, 2\n    dup\n    newvec 4\n";
            else
                out += line + "\n";
        }
        return out;
    }

    std::vector<uint8_t> bytes_;
};

// The error a failing program left: "code: text".
inline std::string errorOf(NativeProgram& p) {
    if (!p.run()) return "halted";
    return std::to_string(p.code()) + ": " + p.text();
}

// Calls every function number from `first` to `last` of `group` on the words that
// `pushes` leaves, each inside its own catch-all handler; a deliberate throw after
// each call unwinds whatever the call left. The program ends normally unless a
// call halted the run.
inline std::string everyFunction(int group, int first, int last, const std::string& pushes) {
    std::string out;
    for (int f = first; f <= last; ++f) {
        std::string label = "after" + std::to_string(f);
        out += "    try -1, " + label + "\n" + pushes + "    native " + std::to_string(group) + ", " +
               std::to_string(f) + "\n    alloc 1, 1\n    dup\n    setclass Throwable\n    throw\n" + label +
               ":\n    adjsp -1\n";
    }
    return out;
}

// Push lines, one per word: "s" a new string cell, "g" global 5, a number itself.
inline std::string pushesOf(std::initializer_list<const char*> words) {
    std::string out;
    for (std::string w : words) {
        if (w == "s") out += "    ldstr text\n";
        else if (w == "g") out += "    @load 5\n";
        else out += "    push " + w + "\n";
    }
    return out;
}
