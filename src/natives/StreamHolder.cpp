// StreamHolder: a reader or writer held in the VM heap, the lookup of the
// holder in the first field of a bytecode stream object, and the natives that
// readers and writers share.
#include "natives/StreamHolder.h"

#include "heap/VMHeap.h"

namespace mcb {

namespace {

void checkType(const StreamHolder& holder, TInt32 typeId) {
    if (holder.typeId() != typeId) vmerr::raise(vmerr::msg::InvalidTypeId);
}
}  // namespace

VMAddr StreamHolder::adopt(VMHeap& heap, std::unique_ptr<StreamHolder> holder) {
    const TInt32 typeId = holder->TYPEID;
    VMAddr ref = heap.adoptObject(std::move(holder), kEntrySize, GC_CODE_STREAM_HOLDER, 0);
    heap.memory().writeWord(ref + 4, TUint32(typeId));  // for readers of VM memory only
    return ref;
}

VMAddr StreamHolder::createReader(VMHeap& heap, std::unique_ptr<CAppsFileReader> reader) {
    std::unique_ptr<StreamHolder> h(new StreamHolder(FILE_READER_TYPE_ID));
    h->reader_ = std::move(reader);
    return adopt(heap, std::move(h));
}

VMAddr StreamHolder::createWriter(VMHeap& heap, std::unique_ptr<CAppsFileWriter> writer) {
    std::unique_ptr<StreamHolder> h(new StreamHolder(FILE_WRITER_TYPE_ID));
    h->writer_ = std::move(writer);
    return adopt(heap, std::move(h));
}

CAppsFileReader& StreamHolder::reader() {
    if (TYPEID != FILE_READER_TYPE_ID || !reader_) vmerr::raise(vmerr::msg::HolderIsReader);
    return *reader_;
}

CAppsFileWriter& StreamHolder::writer() {
    if (TYPEID != FILE_WRITER_TYPE_ID || !writer_) vmerr::raise(vmerr::msg::HolderIsWriter);
    return *writer_;
}

bool StreamHolder::isOk() const {
    return TYPEID == FILE_READER_TYPE_ID ? reader_ && reader_->isOk() : writer_ && writer_->isOk();
}

void StreamHolder::close() {
    if (reader_) reader_->close();
    if (writer_) writer_->close();
}

namespace streamfield {

// The object must be a live heap object with room for the field: a smaller one
// would have the holder written over the header of the entry after it.
VMAddr fieldOf(NativeArgs& a, TInt32 i) {
    const VMAddr object = a.address(i);
    const HeapEntry* entry = a.vm().heap().liveEntry(object);
    if (!entry || entry->size < 8) vmerr::raise(vmerr::msg::InvalidTypeId);
    return object + 4;
}

StreamHolder* existingHolder(NativeArgs& a, TInt32 i) {
    VirtualMachine& vm = a.vm();
    const VMAddr ref = vm.memory().readWord(fieldOf(a, i));
    return ref == 0 ? nullptr : dynamic_cast<StreamHolder*>(vm.heap().findObject(ref));
}

StreamHolder* holderOf(NativeArgs& a, TInt32 i) {
    StreamHolder* holder = existingHolder(a, i);
    if (!holder && a.vm().memory().readWord(fieldOf(a, i)) != 0) vmerr::raise(vmerr::msg::InvalidTypeId);
    return holder;
}

void notOpen() { vmerr::raise(vmerr::msg::FileIsNotOpen); }

StreamHolder& holderOfType(NativeArgs& a, TInt32 i, TInt32 typeId) {
    StreamHolder* holder = holderOf(a, i);
    if (!holder) notOpen();
    checkType(*holder, typeId);
    return *holder;
}

StreamHolder& openHolder(NativeArgs& a, TInt32 i, TInt32 typeId) {
    StreamHolder& holder = holderOfType(a, i, typeId);
    if (!holder.isOk()) notOpen();
    return holder;
}

namespace {
template <typename F>
auto onFile(StreamHolder& h, F&& f) {
    return h.typeId() == StreamHolder::FILE_READER_TYPE_ID ? f(h.reader()) : f(h.writer());
}

// The holder of argument 0, tested when there is one.
StreamHolder* testedHolder(NativeArgs& a, TInt32 typeId) {
    StreamHolder* h = holderOf(a, 0);
    if (h) checkType(*h, typeId);
    return h;
}
}  // namespace

void close(VirtualMachine& vm, TInt32 typeId) {
    NativeArgs a(vm, 1);
    if (StreamHolder* h = testedHolder(a, typeId)) h->close();
    a.noResult();
}

void isOpen(VirtualMachine& vm, TInt32 typeId) {
    NativeArgs a(vm, 1);
    StreamHolder* h = testedHolder(a, typeId);
    a.result(h && h->isOk() ? -1 : 0);
}

void seek(VirtualMachine& vm, TInt32 typeId) {
    NativeArgs a(vm, 2);
    const TInt32 to = a.word(1);
    if (to < 0) vmerr::raise(vmerr::msg::NegativePosition, CAppsString().appendDecimal(to));
    if (!onFile(openHolder(a, 0, typeId), [to](auto& file) { return file.seek(to); })) vmerr::raise(vmerr::IO);
    a.noResult();
}

void position(VirtualMachine& vm, TInt32 typeId) {
    NativeArgs a(vm, 1);
    a.result(TInt32(onFile(openHolder(a, 0, typeId), [](auto& file) { return file.position(); })));
}

void size(VirtualMachine& vm, TInt32 typeId) {
    NativeArgs a(vm, 1);
    a.result(TInt32(onFile(openHolder(a, 0, typeId), [](auto& file) { return file.size(); })));
}
}  // namespace streamfield

}  // namespace mcb
