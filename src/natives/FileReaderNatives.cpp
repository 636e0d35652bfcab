// The FileReader native group (24): opening a file for reading into the reader
// object's holder, and its position and size.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/StreamHolder.h"
#include "vm/FrameworkServices.h"

namespace mcb {

namespace {
using namespace numeric;
constexpr TInt32 kType = StreamHolder::FILE_READER_TYPE_ID;

CAppsString couldNotOpen(const OString& name) {
    CAppsString message("Could not open file: ");
    return message.appendUnits(name.data(), name.length());
}

// (reader, file name)
void open(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const VMAddr field = streamfield::fieldOf(a, 0);
    const OString& name = a.string(1);
    if (name.isEmpty()) vmerr::raise(vmerr::msg::FilenameIsEmpty);
    std::unique_ptr<CAppsFileReader> reader = vm.host() ? vm.host()->openForReading(name, 0) : nullptr;
    if (!reader) vmerr::raise(vmerr::IO, couldNotOpen(name));
    vm.memory().writeWord(field, StreamHolder::createReader(vm.heap(), std::move(reader)));
    a.noResult();
}

constexpr natives::Function kFileReader[] = {
    {1, "open", open},
    {2, "seek", streamfield::seek<kType>},
    {3, "position", streamfield::position<kType>},
    {4, "size", streamfield::size<kType>},
};
}  // namespace

std::span<const natives::Function> fileReaderFunctions() { return kFileReader; }

}  // namespace mcb
