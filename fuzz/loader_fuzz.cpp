// libFuzzer target for the image loader: any input must load or fail cleanly,
// alone, twice under the same name, and on top of itself as a second image.
#include "foundation/VMError.h"
#include "heap/VMHeap.h"
#include "vm/ImageLoader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mcb;
    VMMemory memory(TUint64(256) << 20);
    VMHeap heap(memory);
    ProgramTables tables;
    ImageLoader loader(tables, heap);
    TInt32 index = -1;
    if (!loader.load(CAppsString("a"), data, size, index)) {
        (void)loader.lastError().describe();
        return 0;
    }
    // The same image again appends nothing; under another name it is linked
    // after the first, with every base non-zero.
    const TInt32 code = tables.code.getSize();
    loader.load(CAppsString("a"), data, size, index);
    if (tables.code.getSize() != code) __builtin_trap();
    loader.load(CAppsString("b"), data, size, index);
    if (vmerr::pendingErrorCode() != 0) __builtin_trap();
    return 0;
}
