// The Fixed native group (11): fixed-point values (ORaw) on the stack as two
// words, fraction below integer. Arithmetic saturates; conversions to text,
// rounding and parsing are ORaw's.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace {
using namespace numeric;

void load(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    resultFixed(a, fixedAt(a, 0));
}

void fromByte(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    resultFixed(a, ORaw::fromInt(TInt8(a.word(0))));
}

void fromInt(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    resultFixed(a, ORaw::fromInt(a.word(0)));
}

void fromString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const OString& text = a.string(0);
    resultFixed(a, ORaw::parse(text.data(), text.length()));
}

// (variable address, b): the variable becomes variable op b.
template <ORaw (*op)(ORaw, ORaw)>
void into(VirtualMachine& vm) {
    NativeArgs a(vm, 3);
    storeFixedAt(a, 0, op(fixedAt(a, 0), fixedArg(a, 1)));
    a.noResult();
}

template <ORaw (*op)(ORaw, ORaw)>
void step(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    storeFixedAt(a, 0, op(fixedAt(a, 0), ORaw::ONE));
    a.noResult();
}

template <bool (*holds)(ORaw, ORaw)>
void compare(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    a.result(holds(fixedArg(a, 0), fixedArg(a, 2)) ? 1 : 0);
}

// Decimals below -1 have no meaning; -1 itself asks for every digit.
void toStringDecimals(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const TInt32 decimals = a.word(1);
    if (decimals < -1) vmerr::raise(vmerr::InvalidArgument);
    a.result(TInt32(vm.newString(OString(fixedAt(a, 0).format(decimals).c_str()))));
}

void toString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(vm.newString(OString(fixedAt(a, 0).format(-1).c_str()))));
}

template <TInt32 (ORaw::*toInt)() const>
void integer(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result((fixedArg(a, 0).*toInt)());
}

ORaw absolute(ORaw x) { return x.abs(); }
ORaw negated(ORaw x) { return -x; }
ORaw sum(ORaw x, ORaw y) { return x + y; }
ORaw difference(ORaw x, ORaw y) { return x - y; }
ORaw product(ORaw x, ORaw y) { return x * y; }
bool eq(ORaw x, ORaw y) { return x == y; }
bool ne(ORaw x, ORaw y) { return x != y; }
bool lt(ORaw x, ORaw y) { return x < y; }
bool le(ORaw x, ORaw y) { return x <= y; }
bool gt(ORaw x, ORaw y) { return x > y; }
bool ge(ORaw x, ORaw y) { return x >= y; }

constexpr NativeBodies kFixed = byNumber({
    {1, load}, {2, fromByte}, {3, fromInt}, {4, fromString}, {5, fixedUnary<absolute>},
    {6, fixedUnary<negated>}, {7, fixedBinary<sum>}, {8, fixedBinary<difference>}, {9, fixedBinary<product>},
    {10, fixedBinary<ORaw::divide>}, {11, fixedBinary<ORaw::pow>}, {12, into<sum>},
    {13, into<difference>}, {14, into<product>}, {15, into<ORaw::divide>}, {16, step<sum>},
    {17, step<difference>}, {18, compare<eq>}, {19, compare<ne>}, {20, compare<lt>},
    {21, compare<le>}, {22, compare<gt>}, {23, compare<ge>}, {24, toStringDecimals},
    {25, toString}, {26, integer<&ORaw::round>}, {27, integer<&ORaw::ceiling>},
    {28, integer<&ORaw::floor>}, {29, fixedConstant<ORaw::MIN>}, {30, fixedConstant<ORaw::MAX>},
});
}  // namespace

void fixedNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 11, function, kFixed); }
