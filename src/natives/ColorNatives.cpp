// The Color native group (13): one-word ARGB colours (alpha in the top byte)
// kept in bytecode's variables, their components, and the named colours.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

namespace mcb {

namespace {
using namespace numeric;
using values::Var;

// Bit positions of the components.
constexpr int kRed = 16, kGreen = 8, kBlue = 0, kAlpha = 24;

// A component is 0 to 255; a negative one counts as too large.
TUint32 component(TInt32 v) {
    values::require(TUint32(v) <= 255u);
    return TUint32(v);
}

void setWhite(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    Var<1>(a, 0).set(0, TInt32(0xFFFFFFFFu));
    a.noResult();
}

void copy(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Var<1>(a, 0).set(0, a.word(1));
    a.noResult();
}

void set(VirtualMachine& vm) {
    NativeArgs a(vm, 5);
    Var<1> c(a, 0);
    const TUint32 r = component(a.word(1)), g = component(a.word(2)), b = component(a.word(3));
    const TUint32 alpha = component(a.word(4));
    c.set(0, TInt32(alpha << kAlpha | r << kRed | g << kGreen | b << kBlue));
    a.noResult();
}

template <int shift>
void get(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(TUint32(Var<1>(a, 0)[0]) >> shift & 0xFFu));
}

template <int shift>
void setOne(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Var<1> c(a, 0);
    const TUint32 v = component(a.word(1));
    c.set(0, TInt32((TUint32(c[0]) & ~(0xFFu << shift)) | v << shift));
    a.noResult();
}

template <TUint32 argb>
void constant(VirtualMachine& vm) {
    NativeArgs a(vm, 0);
    a.result(TInt32(argb));
}

constexpr natives::Function kColor[] = {
    {1, "set_white", setWhite},
    {2, "copy", copy},
    {3, "set", set},
    {4, "red", get<kRed>},
    {5, "green", get<kGreen>},
    {6, "blue", get<kBlue>},
    {7, "alpha", get<kAlpha>},
    {8, "set_red", setOne<kRed>},
    {9, "set_green", setOne<kGreen>},
    {10, "set_blue", setOne<kBlue>},
    {11, "set_alpha", setOne<kAlpha>},
    {12, "eq", values::equal<1>},
    {13, "ne", values::notEqual<1>},
    {14, "const_red", constant<0xFFFF0000>},
    {15, "const_green", constant<0xFF00FF00>},
    {16, "const_blue", constant<0xFF0000FF>},
    {17, "const_black", constant<0xFF000000>},
    {18, "const_white", constant<0xFFFFFFFF>},
    {19, "const_cyan", constant<0xFF00FFFF>},
    {20, "const_magenta", constant<0xFFFF00FF>},
    {21, "const_yellow", constant<0xFFFFFF00>},
    {22, "const_gray", constant<0xFF808080>},
    {23, "const_brown", constant<0xFF964B00>},
    {24, "const_orange", constant<0xFFFF7F00>},
};
}  // namespace

std::span<const natives::Function> colorFunctions() { return kColor; }

}  // namespace mcb
