// The Char native group (10): case and classes of single UTF-16 code units,
// by the host library's Unicode tables. A char is the low 16 bits of a word.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

namespace {
using namespace numeric;

TUint16 charArg(NativeArgs& a, TInt32 i) { return TUint16(a.word(i)); }

// (any word, char): the mapped char replaces the first word.
template <TUint16 (*map)(TUint16)>
void mapInto(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(map(charArg(a, 1)));
}

template <TUint16 (*map)(TUint16)>
void mapped(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(map(charArg(a, 0)));
}

template <bool (*test)(TUint16)>
void classTest(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(test(charArg(a, 0)) ? 1 : 0);
}

void toString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(vm.newString(OString(charArg(a, 0), 1))));
}

void fromInt(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(charArg(a, 0));
}

constexpr natives::Function kChar[] = {
    {1, "lower_into", mapInto<OString::toLowerChar>, "(i, c) -> c"},
    {2, "upper_into", mapInto<OString::toUpperChar>, "(i, c) -> c"},
    {3, "to_lower", mapped<OString::toLowerChar>, "(c) -> c"},
    {4, "to_upper", mapped<OString::toUpperChar>, "(c) -> c"},
    {5, "is_letter", classTest<OString::isLetter>, "(c) -> i"},
    {6, "is_digit", classTest<OString::isDigit>, "(c) -> i"},
    {7, "is_space", classTest<OString::isSpace>, "(c) -> i"},
    {8, "to_string", toString, "(c) -> s"},
    {9, "from_int", fromInt, "(i) -> c"},
};
}  // namespace

std::span<const natives::Function> charFunctions() { return kChar; }

}  // namespace mcb
