// Helpers for the image tool tests: the assembly corpus, files and running the tool binaries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tooltest {

// Every *.s file of tests/apps/asm, sorted by name.
std::vector<std::filesystem::path> corpusFiles();

std::string readText(const std::filesystem::path& path);
std::vector<uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void writeText(const std::filesystem::path& path, const std::string& text);

// Assembles a corpus file through the library.
std::vector<uint8_t> assembleFile(const std::filesystem::path& path);

std::filesystem::path toolPath(const char* name);  // <build>/bin/<name>
std::filesystem::path scratchDir();                // a fresh folder per test process

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs a shell command line, capturing standard output and error.
CommandResult run(const std::string& commandLine);

}  // namespace tooltest
