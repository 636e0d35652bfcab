// mcbasm: assembles a text image description into a bytecode image file.
// Usage: mcbasm SOURCE -o IMAGE ("-" reads standard input).
#include "Assembler.h"
#include "common/InputFile.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace mcb {

namespace {

const char* kUsage =
    "usage: mcbasm SOURCE -o IMAGE\n"
    "Assembles SOURCE (\"-\" reads standard input) into the bytecode image IMAGE.\n"
    "Errors are reported as FILE:LINE:COLUMN: MESSAGE; the exit status is then 1.\n"
    "The language is described in docs/assembly.md.\n";

bool writeImage(const std::string& path, const std::vector<TUint8>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

}  // namespace mcb

int main(int argc, char** argv)
{
    using namespace mcb;
    std::string source;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "-o" && i + 1 < argc) {
            output = argv[++i];
        } else if (source.empty() && (arg == "-" || arg[0] != '-')) {
            source = arg;
        } else {
            std::fprintf(stderr, "mcbasm: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return 1;
        }
    }
    if (source.empty() || output.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    std::string text;
    if (!mcbtools::readInput(source, text)) {
        std::fprintf(stderr, "mcbasm: cannot read '%s'\n", source.c_str());
        return 1;
    }
    const std::string shownName = source == "-" ? "<stdin>" : source;
    std::vector<TUint8> bytes;
    try {
        bytes = mcbasm::assemble(text);
    } catch (const mcbasm::AsmError& e) {
        std::fprintf(stderr, "%s:%d:%d: %s\n", shownName.c_str(), e.pos().line, e.pos().column, e.what());
        return 1;
    }
    if (!writeImage(output, bytes)) {
        std::fprintf(stderr, "mcbasm: cannot write '%s'\n", output.c_str());
        return 1;
    }
    return 0;
}
