// The Fixed native group (11): fixed-point values (ORaw) on the stack as two
// words, fraction below integer. Arithmetic saturates; conversions to text,
// rounding and parsing are ORaw's.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

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

constexpr natives::Function kFixed[] = {
    {1, "load", load},
    {2, "from_byte", fromByte},
    {3, "from_int", fromInt},
    {4, "from_string", fromString},
    {5, "abs", fixedUnary<absolute>},
    {6, "neg", fixedUnary<negated>},
    {7, "add", fixedBinary<sum>},
    {8, "sub", fixedBinary<difference>},
    {9, "mul", fixedBinary<product>},
    {10, "div", fixedBinary<ORaw::divide>},
    {11, "pow", fixedBinary<ORaw::pow>},
    {12, "add_into", into<sum>},
    {13, "sub_into", into<difference>},
    {14, "mul_into", into<product>},
    {15, "div_into", into<ORaw::divide>},
    {16, "inc", step<sum>},
    {17, "dec", step<difference>},
    {18, "eq", compare<eq>},
    {19, "ne", compare<ne>},
    {20, "lt", compare<lt>},
    {21, "le", compare<le>},
    {22, "gt", compare<gt>},
    {23, "ge", compare<ge>},
    {24, "to_string_decimals", toStringDecimals},
    {25, "to_string", toString},
    {26, "round", integer<&ORaw::round>},
    {27, "ceil", integer<&ORaw::ceiling>},
    {28, "floor", integer<&ORaw::floor>},
    {29, "min_value", fixedConstant<ORaw::MIN>},
    {30, "max_value", fixedConstant<ORaw::MAX>},
};
}  // namespace

std::span<const natives::Function> fixedFunctions() { return kFixed; }

}  // namespace mcb
