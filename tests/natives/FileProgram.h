// Runs a small assembly program against the test host serving files below a fresh scratch root
// (the player's own path rule). "vminternalthrow" stores a VM error's code and text in
// globals 0 and 1; a catch-all handler in main ends the run. Class Stream stands for the reader,
// writer and stream objects: its word 1 is a reference field holding the StreamHolder.
#pragma once

#include "io/AppFiles.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "../support/NativeProgram.h"  // gtest, the VM, the host and the assembler
#include "../support/Scratch.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace mcb {

// The folder a file program's host serves: "root", beside "outside.txt", which no path may reach.
class FileRoot {
public:
    FileRoot() {
        scratch_.makeDir("root");
        scratch_.write("outside.txt", "outside");
    }
    const std::string& base() const { return scratch_.root(); }
    std::string root() const { return scratch_.path("root"); }
    std::string path(const std::string& rel) const { return scratch_.path("root/" + rel); }
    void put(const std::string& rel, const std::string& bytes) const { scratch_.write("root/" + rel, bytes); }
    std::string contents(const std::string& rel) const { return scratch_.read("root/" + rel, "<missing>"); }
    bool exists(const std::string& rel) const { return scratch_.exists("root/" + rel); }
    void makeDirectory(const std::string& rel) const { scratch_.makeDir("root/" + rel); }

private:
    Scratch scratch_;
};

class FileProgram : public Probes {
public:
    // Macros in `body`: "@store N", "@load N" as in the string tests; "@new" pushes
    // a new Stream object; "@bytes TEXT" a new byte vector holding TEXT (the rest of the line).
    // `strings` become .string constants, "$ROOT" replaced by the name of the host's root.
    FileProgram(const std::string& body, const std::map<std::string, std::string>& strings = {}) {
        std::string source = ".globals 24\n.method \"main\", main, frame\n"
                             ".method \"vminternalthrow<int>,<*string>\", vmthrow, frame\n.class Throwable\n"
                             ".class Stream\n .fieldwidth 1\n .reffields 1\n.descriptor frame\n .lengths 0, 0, 0\n";
        const std::string rootName = std::filesystem::path(files.root()).filename().string();
        for (auto [name, text] : strings) {
            for (size_t at; (at = text.find("$ROOT")) != std::string::npos;) text.replace(at, 5, rootName);
            source += ".string " + name + " \"" + text + "\"\n";
        }
        source += ".code\nmain:\n try -1, caught\n" + expand(body) +
                  " droph -1\n ret 0, 1\ncaught:\n adjsp -1\n ret 0, 1\nvmthrow:\n ldglobals\n ldloc -4\n store\n"
                  " ldglobals\n fielda 1\n ldloc -3\n store\n alloc 1, 1\n dup\n setclass Throwable\n throw\n";
        image_ = mcbasm::assemble(source);
        install(host, vm);
        host.serveFiles(files.root());
    }

    // "ok" after a clean run, "code: text" after a caught VM error, "halted" otherwise.
    std::string outcome() {
        VELMAR::MemoryInputStream stream(image_);
        try {
            vm.load(CAppsString("index.mcb"), stream, &host);
        } catch (...) {
            return "halted";
        }
        if (global(0) == 0) return "ok";
        return std::to_string(global(0)) + ": " + (global(1) ? utf8(vm.stringOf(VMAddr(global(1)))) : std::string());
    }

    TInt32 global(int i) { return TInt32(vm.memory().readWord(vm.globals() + TUint32(i) * 4)); }
    // The bytes of the byte vector, or the strings of the object vector, whose handle global i holds.
    std::string bytes(int i) {
        OVectorBase& v = vector(i);
        std::string out;
        for (TInt32 k = 0; k < v.size(); ++k) out.push_back(char(*vm.memory().ptr(v.storage() + TUint32(k), 1)));
        return out;
    }
    std::vector<std::string> strings(int i) {
        OVectorBase& v = vector(i);
        std::vector<std::string> out;
        for (TInt32 k = 0; k < v.size(); ++k)
            out.push_back(utf8(vm.stringOf(vm.memory().readWord(v.storage() + TUint32(k) * 4))));
        return out;
    }

    FileRoot files;
    VirtualMachine vm;
    TestHost host;

private:
    OVectorBase& vector(int i) { return *vm.heap().objectAs<OVectorBase>(vm.memory().readWord(VMAddr(global(i)))); }

    static std::string expand(const std::string& body) {
        std::istringstream in(body);
        std::string line, out;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string macro, n;
            words >> macro >> n;
            if (macro == "@store")
                out += " ldglobals\n fielda " + n + "\n ldloc -2\n store\n adjsp -1\n";
            else if (macro == "@load")
                out += " ldglobals\n fielda " + n + "\n deref\n";
            else if (macro == "@new")
                out += " alloc 1, 2\n dup\n setclass Stream\n";
            else if (macro == "@bytes") {
                out += " alloc 6, 2\n dup\n newvec 1\n";
                for (unsigned char c : line.substr(std::min(line.size(), line.find("@bytes") + 7)))
                    out += " dup\n push " + std::to_string(int(c)) + "\n native 1, 19\n";
            } else
                out += line + "\n";
        }
        return out;
    }

    std::vector<uint8_t> image_;
};

}  // namespace mcb
