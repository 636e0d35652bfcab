// The Float native group (36): IEEE single-precision values in one stack word.
// Its unknown-function message names the function number, not the position
// (the group is registered so).
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

#include <QString>

#include <bit>

namespace mcb {

namespace {
using namespace numeric;

float floatOf(TInt32 word) { return std::bit_cast<float>(word); }
TInt32 wordOf(float f) { return std::bit_cast<TInt32>(f); }

void fromFixed(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(wordOf(float(fixedArg(a, 0).toReal())));
}

template <float (*op)(float, float)>
void binary(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(wordOf(op(floatOf(a.word(0)), floatOf(a.word(1)))));
}

void negate(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(wordOf(-floatOf(a.word(0))));
}

// (variable address, g): the variable becomes variable op g.
template <float (*op)(float, float)>
void into(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    TUint32& variable = a.target(0);
    variable = TUint32(wordOf(op(floatOf(TInt32(variable)), floatOf(a.word(1)))));
    a.noResult();
}

// The host library's general format with six significant digits.
void toString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const QString text = QString::number(double(floatOf(a.word(0))), 'g', 6);
    a.result(TInt32(vm.newString(OString::fromQString(text))));
}

float sum(float x, float y) { return x + y; }
float difference(float x, float y) { return x - y; }
float product(float x, float y) { return x * y; }
float quotient(float x, float y) { return x / y; }

constexpr natives::Function kFloat[] = {
    {0, "from_fixed", fromFixed, "(f) -> w"},
    {1, "add", binary<sum>, "(w, w) -> w"},
    {2, "sub", binary<difference>, "(w, w) -> w"},
    {3, "mul", binary<product>, "(w, w) -> w"},
    {4, "div", binary<quotient>, "(w, w) -> w"},
    {5, "neg", negate, "(w) -> w"},
    {6, "add_into", into<sum>, "(&w, w) -> ()"},
    {7, "sub_into", into<difference>, "(&w, w) -> ()"},
    {8, "mul_into", into<product>, "(&w, w) -> ()"},
    {9, "div_into", into<quotient>, "(&w, w) -> ()"},
    {10, "to_string", toString, "(w) -> s"},
};
}  // namespace

std::span<const natives::Function> floatFunctions() { return kFloat; }

}  // namespace mcb
