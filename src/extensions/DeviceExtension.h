// DeviceExtension: the base of the device extensions reached by instruction 97.
// Each works on the value stack as a native group does, names its functions in one
// table of rows (number, assembler name, body), reports an unknown function through
// the machine's runtime-error report with its own text, and reads its arguments
// through ExtensionStack.
#pragma once

#include "foundation/CAppsString.h"
#include "objects/OString.h"
#include "foundation/VMError.h"
#include "heap/VMHeap.h"
#include "vm/Callbacks.h"

#include <span>
#include <string_view>

namespace mcb {

// An extension's entry: its number (first operand of instruction 97), its assembler
// name and the runtime-error report text for an unknown function.
struct ExtensionEntry {
    int number;
    std::string_view name;
    std::string_view unknownText;
};

// One function of extension class E: its number, its assembler name (Extension.name),
// its body, the value that tells the body which of its rows it runs for, and its
// operand words where recorded. A body takes the stack and returns the new stack pointer.
template <typename E>
struct ExtensionFunction {
    using Body = TInt32 (E::*)(TInt32 sp, TInt32* stack);
    using VariantBody = TInt32 (E::*)(TInt32 variant, TInt32 sp, TInt32* stack);

    constexpr ExtensionFunction(int n, std::string_view text, Body b, std::string_view operands = {})
        : number(n), name(text), body(b), shape(operands) {}
    constexpr ExtensionFunction(int n, std::string_view text, VariantBody b, TInt32 v,
                                std::string_view operands = {})
        : number(n), name(text), variantBody(b), variant(v), shape(operands) {}

    TInt32 call(E& e, TInt32 sp, TInt32* stack) const {
        return body ? (e.*body)(sp, stack) : (e.*variantBody)(variant, sp, stack);
    }

    int number;
    std::string_view name;
    Body body = nullptr;
    VariantBody variantBody = nullptr;
    TInt32 variant = 0;
    std::string_view shape;
};

class DeviceExtension {
public:
    virtual ~DeviceExtension() = default;
    DeviceExtension(const DeviceExtension&) = delete;
    DeviceExtension& operator=(const DeviceExtension&) = delete;

    // Calls `function` on the words below `sp`; returns the new stack pointer.
    virtual TInt32 callDllNative(TInt32 function, TInt32 sp, TInt32* stack) = 0;
    // The handle of a bytecode method (virtual methods of any image), or -1.
    TInt32 findMethod(const char* signature) { return vm_.findMethod(CAppsString(signature), -1); }

protected:
    DeviceExtension(MVMCallbackInterface& vm, const ExtensionEntry& entry) : vm_(vm), entry_(entry) {}
    // The runtime-error report: ends the current entry call; the text is kept
    // for whoever reads the report, not shown.
    [[noreturn]] void report(const CAppsString& message) {
        vm_.runtimeError(nullptr, -1, message);
        vmerr::raise(vmerr::Halt);  // for an interface that returned after all
    }
    [[noreturn]] void unknownFunction() { report(CAppsString(std::string(entry_.unknownText).c_str())); }
    // Runs the row of `function` from the extension's table, or reports it unknown.
    template <typename E>
    TInt32 callRow(std::span<const ExtensionFunction<E>> rows, TInt32 function, TInt32 sp, TInt32* stack) {
        for (const ExtensionFunction<E>& row : rows)
            if (row.number == function) return row.call(static_cast<E&>(*this), sp, stack);
        unknownFunction();
    }
    // Bodies of the functions that only take their `words` arguments, leaving nothing or 0.
    TInt32 ignore(TInt32 words, TInt32 sp, TInt32* stack);
    TInt32 zero(TInt32 words, TInt32 sp, TInt32* stack);

    MVMCallbackInterface& vm_;

private:
    const ExtensionEntry& entry_;
};

// The arguments of one extension call: the top `words` words of the stack, the
// last on top. Every access is checked; a result is left where the arguments
// began and the new stack pointer returned.
class ExtensionStack {
public:
    ExtensionStack(MVMCallbackInterface& vm, TInt32 sp, TInt32* stack, TInt32 words);

    TInt32& word(TInt32 i);
    // A 64-bit argument starting at word i: the low word in the lower slot.
    TInt64 long64(TInt32 i) { return TInt64(TUint64(TUint32(word(i + 1))) << 32 | TUint32(word(i))); }
    // A non-null reference (null: VM error 1 "NULL pointer").
    VMAddr address(TInt32 i);
    // The string behind a cell argument.
    OString& string(TInt32 i);
    // The object behind a cell or array-handle argument (null: VM error 1; another
    // kind of object: VM error 10 "Invalid TYPEID").
    template <typename T>
    T& objectAt(TInt32 i) {
        const VMAddr object = memory().readWord(address(i));
        if (object == 0) vmerr::raise(vmerr::msg::NullPointer);
        return *vm_.heap().objectAs<T>(object);
    }
    // The native object in the first field of the bytecode object at argument i
    // (null object: VM error 1; anything else in the field: VM error 10 "Invalid TYPEID").
    template <typename T>
    T& field(TInt32 i) {
        T* t = dynamic_cast<T*>(vm_.heap().findObject(memory().readWord(fieldAddress(i))));
        if (!t) vmerr::raise(vmerr::msg::InvalidTypeId);
        return *t;
    }
    VMAddr fieldAddress(TInt32 i) { return address(i) + 4; }
    void setField(TInt32 i, VMAddr ref) { memory().writeWord(fieldAddress(i), ref); }
    // VM error 1 or 10 now, when the field could not be written later.
    void checkField(TInt32 i) { memory().wordPtr(fieldAddress(i)); }

    // Drops the arguments and leaves `n` words (whose values the caller wrote or
    // writes through word()); returns the new stack pointer.
    TInt32 leave(TInt32 n);
    TInt32 noResult() { return leave(0); }
    TInt32 result(TInt32 v);
    // A 64-bit result: the low word in the lower slot.
    TInt32 result64(TInt64 v);

private:
    VMMemory& memory() { return vm_.heap().memory(); }

    MVMCallbackInterface& vm_;
    TInt32* stack_;
    TInt32 base_;
};

}  // namespace mcb
