// Runs a small assembly program against the temporary-root test host. As in the
// string tests, "vminternalthrow" stores a VM error's code and text in globals 0
// and 1 and a catch-all handler in main ends the run. Class Stream stands for the
// bytecode reader, writer and stream objects: its word 1 is a reference field
// that holds the StreamHolder.
#pragma once

#include "TestHost.h"

#include <map>

class FileProgram {
public:
    static constexpr int kGlobals = 24;

    // Macros in `body`: "@store N", "@keep N", "@load N" as in the string tests;
    // "@new" pushes a new Stream object; "@bytes TEXT" pushes a new byte vector
    // holding TEXT (the rest of the line). `strings` become .string constants, with
    // "$ROOT" replaced by the name of the host's root directory.
    FileProgram(const std::string& body, const std::map<std::string, std::string>& strings = {});

    // Runs main; false when the run halted or an error escaped it.
    bool run();

    TInt32 global(int i) { return TInt32(vm.memory().readWord(vm.globals() + TUint32(i) * 4)); }
    TInt32 code() { return global(0); }
    std::string text() { return global(1) ? utf8(vm.stringOf(VMAddr(global(1)))) : std::string(); }
    // The bytes of the byte vector whose handle global i holds.
    std::string bytes(int i);
    // The strings of the object vector whose handle global i holds.
    std::vector<std::string> strings(int i);

    static std::string utf8(const OString& s);

    VirtualMachine vm;
    FileHost host;
    std::string escaped;

private:
    static std::string expand(const std::string& body);
    std::vector<uint8_t> image_;
};

// "ok" after a clean run, "code: text" after a caught VM error, "halted" otherwise.
std::string outcome(FileProgram& p);
