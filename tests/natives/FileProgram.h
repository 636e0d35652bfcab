// Runs a small assembly program against the test host serving files below a fresh scratch root
// (the player's own path rule). "vminternalthrow" stores a VM error's code and text in
// globals 0 and 1; a catch-all handler in main ends the run. Class Stream stands for the reader,
// writer and stream objects: its word 1 is a reference field holding the StreamHolder.
#pragma once

#include "../support/NativeProgram.h"  // gtest, the VM, the host and the assembler
#include "../support/Scratch.h"

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

// A NativeProgram whose host serves `files` and whose run waits for outcome(). Macros besides
// NativeProgram's: "@new" pushes a new Stream object; "@bytes TEXT" a new byte vector holding
// TEXT (the rest of the line). `strings` become .string constants, "$ROOT" standing for the name
// of the host's root. Bodies may leave words on the stack.
class FileProgram : public NativeProgram {
public:
    FileProgram(const std::string& body, const std::map<std::string, std::string>& strings = {})
        : NativeProgram(expandFileMacros(body), constants(strings), kDeferred) {
        checkBalance = false;
        host.serveFiles(files.root());
    }

    // "ok" after a clean run, "code: text" after a caught VM error, "halted" otherwise.
    std::string outcome() {
        run();
        if (!returned()) return "halted";
        return errorCode() == 0 ? "ok" : std::to_string(errorCode()) + ": " + errorText();
    }
    // The bytes of the byte vector whose handle global i holds.
    std::string bytes(int i) {
        std::string out;
        for (TInt32 b : NativeProgram::bytes(i)) out.push_back(char(b));
        return out;
    }

    FileRoot files;

private:
    static std::string constants(const std::map<std::string, std::string>& strings) {
        std::string out = ".class Stream\n .fieldwidth 1\n .reffields 1\n";
        for (auto [name, text] : strings) {
            for (size_t at; (at = text.find("$ROOT")) != std::string::npos;) text.replace(at, 5, "root");
            out += ".string " + name + " \"" + text + "\"\n";
        }
        return out;
    }
    static std::string expandFileMacros(const std::string& body) {
        std::istringstream in(body);
        std::string line, out;
        while (std::getline(in, line)) {
            std::string macro;
            std::istringstream(line) >> macro;
            if (macro == "@new") {
                out += " alloc 1, 2\n dup\n setclass Stream\n";
            } else if (macro == "@bytes") {
                out += " alloc 6, 2\n dup\n newvec 1\n";
                for (unsigned char c : line.substr(std::min(line.size(), line.find("@bytes") + 7)))
                    out += " dup\n push " + std::to_string(int(c)) + "\n native 1, 19\n";
            } else {
                out += line + "\n";
            }
        }
        return out;
    }
};

}  // namespace mcb
