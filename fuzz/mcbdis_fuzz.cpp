// libFuzzer target for the disassembler: any input is either rejected with a located error
// or printed as source that assembles back to the very same bytes.
#include "common/ImageReader.h"
#include "mcbasm/Assembler.h"
#include "mcbdis/Disassembler.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mcb;
    const std::span<const uint8_t> bytes(data, size);
    std::string text;
    try {
        text = mcbdis::disassembleBytes(bytes);
    } catch (const mcbtools::ImageFormatError& e) {
        if (e.offset() > size)
            std::abort();
        return 0;
    }
    const std::vector<uint8_t> again = mcbasm::assemble(text);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        std::abort();
    return 0;
}
