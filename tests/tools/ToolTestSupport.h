// Helpers for the image tool tests: the assembly corpus, files and running the tool binaries.
#pragma once

#include "../support/Scratch.h"
#include "common/ImageReader.h"
#include "mcbasm/Assembler.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace mcb {

namespace tooltest {

namespace fs = std::filesystem;

// Every *.s file below these folders of the source tree, sorted by path.
inline std::vector<fs::path> sourcesBelow(std::initializer_list<const char*> folders) {
    std::vector<fs::path> out;
    for (const char* folder : folders)
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(MCB_SOURCE_DIR) / folder))
            if (entry.path().extension() == ".s") out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}
inline std::vector<fs::path> corpusFiles() { return sourcesBelow({"tests/apps/asm"}); }  // the assembly corpus

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> assembleFile(const fs::path& path) { return mcbasm::assemble(readText(path)); }

inline std::vector<uint8_t> codeOf(const std::string& source) {
    return mcbtools::readImage(mcbasm::assemble(source)).code;
}

inline std::string tool(const char* name) { return (fs::path(MCB_BINARY_DIR) / "bin" / name).string(); }

// One scratch folder per test process, removed when the process ends.
inline fs::path scratchDir() {
    static const Scratch scratch;
    return scratch.root();
}

struct CommandResult {
    int status;
    std::string out, err;
};

// Runs a shell command line, capturing standard output and error.
inline CommandResult run(const std::string& commandLine) {
    static int counter = 0;
    const std::string out = (scratchDir() / ("out" + std::to_string(counter))).string();
    const std::string err = (scratchDir() / ("err" + std::to_string(counter++))).string();
    const int raw = std::system(("(" + commandLine + ") >" + out + " 2>" + err).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
}

}  // namespace tooltest

}  // namespace mcb
