// The OutputStream native group (21): closing, testing and writing the stream of
// a writer's holder. Every opcode tests the holder's TYPEID, so a reader's
// holder never reaches a write.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/StreamHolder.h"
#include "natives/VectorOperands.h"

namespace mcb {

namespace {
using namespace numeric;
constexpr TInt32 kType = StreamHolder::FILE_WRITER_TYPE_ID;

void writeElements(VirtualMachine& vm, StreamHolder& h, const OVectorBase& bytes, ElementRange r) {
    if (!h.isOk()) streamfield::notOpen();
    if (r.count == 0) return;
    const TUint8* from = vm.memory().ptr(bytes.storage() + TUint32(r.start), TUint32(r.count));
    if (!h.writer().writeByteBufferToFile(from, r.count)) vmerr::raise(vmerr::IO);
}

// (stream, bytes)
void write(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    StreamHolder& h = streamfield::holderOfType(a, 0, kType);
    const OVectorBase& bytes = vectorops::vectorAt(vm, a.address(1), kByteVector);
    if (!bytes.isEmpty()) writeElements(vm, h, bytes, {0, bytes.size()});
    a.noResult();
}

// (stream, offset, count, bytes)
void writePart(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    StreamHolder& h = streamfield::holderOfType(a, 0, kType);
    const OVectorBase& bytes = vectorops::vectorAt(vm, a.address(3), kByteVector);
    writeElements(vm, h, bytes, vectorops::normalisedRange(a.word(1), a.word(2), bytes.size()));
    a.noResult();
}

constexpr natives::Function kOutputStream[] = {
    {1, "close", streamfield::close<kType>},
    {2, "is_open", streamfield::isOpen<kType>},
    {3, "write", write},
    {4, "write_part", writePart},
};
}  // namespace

std::span<const natives::Function> outputStreamFunctions() { return kOutputStream; }

}  // namespace mcb
