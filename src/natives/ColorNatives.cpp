// The Color native group (13): one-word ARGB colours (alpha in the top byte)
// kept in bytecode's variables, their components, and the named colours.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

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

constexpr NativeBodies kColor = byNumber({
    {1, setWhite}, {2, copy}, {3, set}, {4, get<kRed>}, {5, get<kGreen>}, {6, get<kBlue>},
    {7, get<kAlpha>}, {8, setOne<kRed>}, {9, setOne<kGreen>}, {10, setOne<kBlue>},
    {11, setOne<kAlpha>}, {12, values::equal<1>}, {13, values::notEqual<1>},
    {14, constant<0xFFFF0000>},  // red
    {15, constant<0xFF00FF00>},  // green
    {16, constant<0xFF0000FF>},  // blue
    {17, constant<0xFF000000>},  // black
    {18, constant<0xFFFFFFFF>},  // white
    {19, constant<0xFF00FFFF>},  // cyan
    {20, constant<0xFFFF00FF>},  // magenta
    {21, constant<0xFFFFFF00>},  // yellow
    {22, constant<0xFF808080>},  // gray
    {23, constant<0xFF964B00>},  // brown
    {24, constant<0xFFFF7F00>},  // orange
});
}  // namespace

void colorNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 13, function, kColor); }
