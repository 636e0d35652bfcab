// mcbdis: prints a bytecode image as mcbasm assembly source.
// Usage: mcbdis IMAGE ("-" reads standard input).
#include "Disassembler.h"
#include "common/ImageReader.h"
#include "common/InputFile.h"

#include <cstdio>
#include <string>
#include <vector>

namespace mcb {

namespace {

const char* kUsage =
    "usage: mcbdis IMAGE\n"
    "Prints the bytecode image IMAGE (\"-\" reads standard input) as assembly source for mcbasm;\n"
    "`mcbdis IMAGE | mcbasm - -o COPY` rebuilds the same bytes. A malformed image is reported\n"
    "with its byte offset and section, and the exit status is then 1.\n";

}  // namespace

}  // namespace mcb

int main(int argc, char** argv)
{
    using namespace mcb;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!path.empty() || (arg[0] == '-' && arg != "-")) {
            std::fprintf(stderr, "mcbdis: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return 1;
        }
        path = arg;
    }
    if (path.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    std::vector<TUint8> bytes;
    if (!mcbtools::readInput(path, bytes)) {
        std::fprintf(stderr, "mcbdis: cannot read '%s'\n", path.c_str());
        return 1;
    }
    try {
        const std::string text = mcbdis::disassembleBytes(bytes);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const mcbtools::ImageFormatError& e) {
        std::fprintf(stderr, "mcbdis: %s: malformed image at %s\n", path.c_str(), e.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
