// The native groups reached by instruction 78, as the interpreter sees them: per group its
// number, assembler name, error prefix and one table of rows binding each function's number,
// name and body. The groups' files own their tables; the natives library hands them to the
// registry at start-up, and a library above the core fills in the groups it owns.
#pragma once

#include "foundation/Types.h"
#include "foundation/VMError.h"

#include <array>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>

namespace mcb {

class OString;
class VirtualMachine;

namespace natives {

// A vector element read that the interpreter may run itself when its operands
// are sound (a vector of this element size behind the handle, an index inside
// it); anything else still reaches the body, which raises what it raises.
struct InlineAccess {
    enum Kind : TUint8 { None, ElementAddress, ElementValue };
    Kind kind = None;
    TUint8 elementBytes = 0;
    bool references = false;
};

// An access in one byte, which the prepared code keeps beside the function number.
constexpr TUint8 packAccess(InlineAccess a) { return TUint8(a.kind | (a.references ? 4 : 0) | (a.elementBytes << 3)); }
constexpr InlineAccess unpackAccess(TUint8 code) {
    return {InlineAccess::Kind(code & 3), TUint8(code >> 3), (code & 4) != 0};
}
static_assert(unpackAccess(packAccess({InlineAccess::ElementValue, 16, true})).elementBytes == 16);

// One row: a function's number (second operand of instruction 78), its assembler name
// (Group.name), its body, the value that tells the body which of its rows it runs for,
// and its operand words as "(arguments) -> results" where recorded.
struct Function {
    using Body = void (*)(VirtualMachine& vm);
    using VariantBody = void (*)(VirtualMachine& vm, TInt32 variant);

    constexpr Function(int n, std::string_view text, Body b, std::string_view operands = {})
        : number(n), name(text), body(b), shape(operands) {}
    constexpr Function(int n, std::string_view text, VariantBody b, TInt32 v, std::string_view operands = {})
        : number(n), name(text), variantBody(b), variant(v), shape(operands) {}

    void call(VirtualMachine& vm) const { body ? body(vm) : variantBody(vm, variant); }

    int number;
    std::string_view name;
    Body body = nullptr;
    VariantBody variantBody = nullptr;
    TInt32 variant = 0;
    std::string_view shape;
    InlineAccess access;
};

constexpr Function inlined(Function f, InlineAccess access) {
    f.access = access;
    return f;
}

struct Group {
    int number;                    // first operand of instruction 78
    std::string_view name;         // assembler spelling
    std::string_view errorPrefix;  // start of the message for an unknown function; empty: no operation
    std::span<const Function> functions;
    // The unknown-function message ends with the function number instead of the pc.
    bool unknownNamesFunction = false;
};

inline constexpr int kFirstGroup = 1;
inline constexpr int kLastGroup = 36;

// Hands the registry every group of the core; a group's functions may still be empty.
void registerGroups(std::span<const Group> groups);
// Gives a group registered without functions the table of a library above the core (the
// graphics groups live with the host); an empty table takes them away again.
void installFunctions(int group, std::span<const Function> functions);

// The object a key press or release becomes (the KeyEvent group's), made for the host's
// input by VirtualMachine::keyEvent; the core groups register it with themselves.
using KeyEventMaker = VMAddr (*)(VirtualMachine& vm, TInt32 keyCode, TInt32 scanCode, TInt32 modifiers,
                                 const OString& text);
void registerKeyEventMaker(KeyEventMaker maker);
KeyEventMaker keyEventMaker();

// The registered group of a number, with its installed functions; nullptr if none.
const Group* findGroup(int number);
// Function numbers stay below this; instruction 78 gives them one byte.
inline constexpr int kFunctionLimit = 256;
// Per group number, its rows by function number (the registry keeps it).
extern std::array<std::array<const Function*, kFunctionLimit>, kLastGroup + 1> gRowsByNumber;

// The row of a group's function by number, in constant time; nullptr if the group lacks it.
// Inline: every native call looks its row up.
inline const Function* findFunction(int group, int function) {
    if (group < kFirstGroup || group > kLastGroup || function < 0 || function >= kFunctionLimit) return nullptr;
    return gRowsByNumber[size_t(group)][size_t(function)];
}

// Whether instruction 78 may call into a group at all; group 2 never may.
constexpr bool callableGroup(int group) { return group >= kFirstGroup && group <= kLastGroup && group != 2; }

// The row that instruction 78 runs for a group and function, or nullptr when the call
// fails (VirtualMachine::callNative says why).
inline const Function* callableFunction(int group, int function) {
    return callableGroup(group) ? findFunction(group, function) : nullptr;
}

// Runs a row; the host running out of memory below it is the VM's out-of-memory error.
// Inline, so that the interpreter calls the body directly.
inline void invoke(const Function& f, VirtualMachine& vm) {
    try {
        f.call(vm);
    } catch (const std::bad_alloc&) {
        vmerr::raiseOutOfMemory();
    } catch (const std::length_error&) {
        vmerr::raiseOutOfMemory();
    }
}

}  // namespace natives

}  // namespace mcb
