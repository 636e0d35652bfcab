// The FileWriter native group (22): opening a file for writing (emptied, or
// kept with writing continuing at its end) into the writer object's holder, and
// its position and size.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/StreamHolder.h"
#include "io/CAppsFileWriter.h"
#include "vm/FrameworkServices.h"

namespace mcb {

namespace {
using namespace numeric;
constexpr TInt32 kType = StreamHolder::FILE_WRITER_TYPE_ID;

// A writer that is opened again closes its previous file first: left to the
// collector, that file's buffered bytes would land later, over what the new
// writer wrote (and an appending open would not see them).
void closePrevious(NativeArgs& a) {
    StreamHolder* previous = streamfield::existingHolder(a, 0);
    if (previous && previous->typeId() == kType) previous->close();
}

// (writer, file name, append flag)
void open(VirtualMachine& vm) {
    NativeArgs a(vm, 3);
    const VMAddr field = streamfield::fieldOf(a, 0);
    const OString& name = a.string(1);
    const bool append = a.word(2) != 0;
    if (name.isEmpty()) vmerr::raise(vmerr::msg::FilenameIsEmpty);
    closePrevious(a);
    std::unique_ptr<CAppsFileWriter> writer = vm.host() ? vm.host()->openForWriting(name, !append) : nullptr;
    if (!writer) vmerr::raise(vmerr::IO);
    vm.memory().writeWord(field, StreamHolder::createWriter(vm.heap(), std::move(writer)));
    a.noResult();
}

constexpr natives::Function kFileWriter[] = {
    {1, "open", open},
    {2, "seek", streamfield::seek<kType>},
    {3, "position", streamfield::position<kType>},
    {4, "size", streamfield::size<kType>},
};
}  // namespace

std::span<const natives::Function> fileWriterFunctions() { return kFileWriter; }

}  // namespace mcb
