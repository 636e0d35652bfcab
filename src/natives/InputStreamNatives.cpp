// The InputStream native group (23): closing, testing and reading the stream of
// a reader's holder. Every opcode tests the holder's TYPEID, so a writer's
// holder never reaches a read.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/StreamHolder.h"
#include "natives/VectorOperands.h"

namespace mcb {

namespace {
using namespace numeric;
constexpr TInt32 kType = StreamHolder::FILE_READER_TYPE_ID;

// (stream, count) -> a new byte vector. A count beyond the bytes left fails
// before the vector is made, so no count can ask for more memory than the file holds.
void read(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const TInt32 count = a.word(1);
    if (count < 0) vmerr::raise(vmerr::msg::NegativeByteCount);
    CAppsFileReader& reader = streamfield::openHolder(a, 0, kType).reader();
    if (count > 0 && TUint32(count) > reader.bytesLeft()) vmerr::raise(vmerr::IO);
    const VMAddr handle = vm.newByteArray(count);
    if (count > 0) {
        OVectorBase& bytes = vectorops::vectorAt(vm, handle, kByteVector);
        if (!reader.read(vm.memory().ptr(bytes.storage(), TUint32(count)), count)) vmerr::raise(vmerr::IO);
    }
    a.result(TInt32(handle));
}

constexpr natives::Function kInputStream[] = {
    {1, "close", streamfield::close<kType>},
    {2, "is_open", streamfield::isOpen<kType>},
    {3, "read", read},
};
}  // namespace

std::span<const natives::Function> inputStreamFunctions() { return kInputStream; }

}  // namespace mcb
