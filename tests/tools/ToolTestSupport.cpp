// Helpers for the image tool tests.
#include "ToolTestSupport.h"

#include "mcbasm/Assembler.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tooltest {

std::vector<fs::path> corpusFiles()
{
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(fs::path(MCB_SOURCE_DIR) / "tests/apps/asm"))
        if (entry.path().extension() == ".s")
            out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> readBytes(const fs::path& path)
{
    const std::string s = readText(path);
    return {s.begin(), s.end()};
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<uint8_t> assembleFile(const fs::path& path) { return mcbasm::assemble(readText(path)); }

fs::path toolPath(const char* name) { return fs::path(MCB_BINARY_DIR) / "bin" / name; }

fs::path scratchDir()
{
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("mcb_tools_test_" + std::to_string(getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

CommandResult run(const std::string& commandLine)
{
    static int counter = 0;
    const fs::path outFile = scratchDir() / ("out" + std::to_string(counter));
    const fs::path errFile = scratchDir() / ("err" + std::to_string(counter++));
    const std::string full = "(" + commandLine + ") >" + outFile.string() + " 2>" + errFile.string();
    const int raw = std::system(full.c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readText(outFile);
    r.err = readText(errFile);
    return r;
}

}  // namespace tooltest
