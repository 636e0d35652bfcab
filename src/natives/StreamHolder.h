// StreamHolder: the heap object through which a bytecode reader or writer holds
// its open file, and the lookups the file natives share to find it. The holder's
// file is closed when the collector frees it.
#pragma once

#include "heap/GCObject.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"
#include "natives/NativeArgs.h"

#include <memory>

namespace mcb {

class StreamHolder : public GCObject {
public:
    static constexpr TInt32 FILE_READER_TYPE_ID = 5;
    static constexpr TInt32 FILE_WRITER_TYPE_ID = 6;
    // Entry size of a holder in the heap: the handle word and the TYPEID word.
    static constexpr TUint32 kEntrySize = 8;

    // A new holder in the heap around an open reader or writer; returns its reference.
    static VMAddr createReader(VMHeap& heap, std::unique_ptr<CAppsFileReader> reader);
    static VMAddr createWriter(VMHeap& heap, std::unique_ptr<CAppsFileWriter> writer);

    ~StreamHolder() override { close(); }

    TInt32 typeId() const { return TYPEID; }
    // The holder's file. Asking for the other kind is an internal error (the
    // natives test the TYPEID first).
    CAppsFileReader& reader();
    CAppsFileWriter& writer();
    // Open and usable.
    bool isOk() const;
    // Closes the file but keeps the holder, so that later use reports "not open".
    void close();

private:
    explicit StreamHolder(TInt32 typeId) : TYPEID(typeId) {}
    static VMAddr adopt(VMHeap& heap, std::unique_ptr<StreamHolder> holder);

    const TInt32 TYPEID;
    std::unique_ptr<CAppsFileReader> reader_;
    std::unique_ptr<CAppsFileWriter> writer_;
};

// The bytecode reader, writer and stream objects keep their holder in their
// first field (word 1; word 0 is the class index).
namespace streamfield {
// The field's address; an argument that is no heap object of at least two
// words is VM error 10 "Invalid TYPEID" (null: "NULL pointer").
VMAddr fieldOf(NativeArgs& a, TInt32 i);
// The holder in the field, or null when it holds none (whatever else it holds).
StreamHolder* existingHolder(NativeArgs& a, TInt32 i);
// The holder of the object at argument i; null when the field is null. A field
// that holds anything but a holder is VM error 10 "Invalid TYPEID".
StreamHolder* holderOf(NativeArgs& a, TInt32 i);
// The holder, which must exist ("File is not open") and be of `typeId` ("Invalid TYPEID").
StreamHolder& holderOfType(NativeArgs& a, TInt32 i, TInt32 typeId);
// As holderOfType, and its stream must be open ("File is not open").
StreamHolder& openHolder(NativeArgs& a, TInt32 i, TInt32 typeId);
[[noreturn]] void notOpen();

// Seek, position and size behave alike for readers and writers, whose groups
// list them as seek<TYPEID>: (stream object, position) and (stream object).
void seek(VirtualMachine& vm, TInt32 typeId);
void position(VirtualMachine& vm, TInt32 typeId);
void size(VirtualMachine& vm, TInt32 typeId);
// Close and is-open of the stream groups: (stream object); no holder is closed.
void close(VirtualMachine& vm, TInt32 typeId);
void isOpen(VirtualMachine& vm, TInt32 typeId);
template <TInt32 typeId> void close(VirtualMachine& vm) { close(vm, typeId); }
template <TInt32 typeId> void isOpen(VirtualMachine& vm) { isOpen(vm, typeId); }
template <TInt32 typeId> void seek(VirtualMachine& vm) { seek(vm, typeId); }
template <TInt32 typeId> void position(VirtualMachine& vm) { position(vm, typeId); }
template <TInt32 typeId> void size(VirtualMachine& vm) { size(vm, typeId); }
}  // namespace streamfield

}  // namespace mcb
