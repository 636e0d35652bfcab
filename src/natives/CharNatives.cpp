// The Char native group (10): case and classes of single UTF-16 code units,
// by the host library's Unicode tables. A char is the low 16 bits of a word.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

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

constexpr NativeBodies kChar = byNumber({
    {1, mapInto<OString::toLowerChar>}, {2, mapInto<OString::toUpperChar>},
    {3, mapped<OString::toLowerChar>}, {4, mapped<OString::toUpperChar>},
    {5, classTest<OString::isLetter>}, {6, classTest<OString::isDigit>},
    {7, classTest<OString::isSpace>}, {8, toString}, {9, fromInt},
});
}  // namespace

void charNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 10, function, kChar); }
