// NumericArgs: what the numeric, date-time and small native groups share: operand
// readers and result makers for fixed values, longs, date-times and byte vectors.
#pragma once

#include "foundation/ORaw.h"
#include "objects/OVector.h"
#include "natives/DateTime.h"
#include "natives/NativeArgs.h"
#include "vm/NativeRegistry.h"

#include <cstring>

namespace mcb {

namespace numeric {

// --- two-word values in VM memory ----------------------------------------------

// A fixed or long variable: the low word at the address, the high word after it.
inline TInt64 read64(VMMemory& m, VMAddr a) {
    const TUint32 low = m.readWord(a);
    const TUint32 high = m.readWord(a + 4);
    return TInt64(TUint64(high) << 32 | low);
}

inline void write64(VMMemory& m, VMAddr a, TInt64 v) {
    TUint32* low = m.wordPtr(a);
    TUint32* high = m.wordPtr(a + 4);  // both checked before either is written
    *low = TUint32(TUint64(v));
    *high = TUint32(TUint64(v) >> 32);
}

// --- fixed values ------------------------------------------------------------

inline ORaw fixedArg(NativeArgs& a, TInt32 i) { return ORaw::fromRaw(a.long64(i)); }
inline ORaw fixedAt(NativeArgs& a, TInt32 i) { return ORaw::fromRaw(read64(a.vm().memory(), a.address(i))); }
inline void storeFixedAt(NativeArgs& a, TInt32 i, ORaw v) { write64(a.vm().memory(), a.address(i), v.raw()); }
inline void resultFixed(NativeArgs& a, ORaw v) { a.result64(v.raw()); }

// Natives of one or two fixed operands, or of none, with a fixed result.
template <ORaw (*op)(ORaw)>
void fixedUnary(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    resultFixed(a, op(fixedArg(a, 0)));
}

template <ORaw (*op)(ORaw, ORaw)>
void fixedBinary(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    resultFixed(a, op(fixedArg(a, 0), fixedArg(a, 2)));
}

template <const ORaw& value>
void fixedConstant(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    resultFixed(a, value);
}

// --- longs: references to 8-byte plain blocks ----------------------------------

inline TInt64 longArg(NativeArgs& a, TInt32 i) { return read64(a.vm().memory(), a.address(i)); }
inline void storeLong(NativeArgs& a, TInt32 i, TInt64 v) { write64(a.vm().memory(), a.address(i), v); }
inline VMAddr newLong(VirtualMachine& vm, TInt64 v) {
    const VMAddr block = vm.heap().allocate(8, 0, GC_CODE_PLAIN);
    write64(vm.memory(), block, v);
    return block;
}

// --- objects behind cells ------------------------------------------------------

// The object that the cell argument i refers to (null cell or null object:
// VM error 1 "NULL pointer"; another kind of object: VM error 10).
template <typename T>
T& objectArg(NativeArgs& a, TInt32 i) {
    const VMAddr object = a.vm().memory().readWord(a.address(i));
    if (object == 0) vmerr::raise(vmerr::msg::NullPointer);
    return *a.vm().heap().objectAs<T>(object);
}

inline VELMAR::DateTime& dateTimeArg(NativeArgs& a, TInt32 i) { return objectArg<VELMAR::DateTime>(a, i); }
// A byte vector argument: a reference to its array handle (or a cell).
inline OVector<TInt8>& byteVectorArg(NativeArgs& a, TInt32 i) { return objectArg<OVector<TInt8>>(a, i); }

// A destination argument: a non-null cell, checked writable before anything is made.
inline VMAddr destinationArg(NativeArgs& a, TInt32 i) { return a.destination(i); }

// A new date-time object holding `value`; returns its reference.
inline VMAddr adoptDateTime(VirtualMachine& vm, const VELMAR::DateTime& value) {
    return vm.heap().createObject<VELMAR::DateTime>(VELMAR::DateTime::KHeapEntryBytes,
                                                    GC_CODE_DATETIME, value);
}

// A new byte vector with its array handle, holding a copy of the bytes; returns the handle.
inline VMAddr newByteVector(VirtualMachine& vm, const TUint8* bytes, TInt32 n) {
    const VMAddr handle = vm.newByteArray(n);
    auto& vector = *vm.heap().objectAs<OVector<TInt8>>(vm.memory().readWord(handle));
    if (n > 0) std::memcpy(vector.data(), bytes, size_t(n));
    return handle;
}

}  // namespace numeric

}  // namespace mcb
