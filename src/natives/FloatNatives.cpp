// The Float native group (36): IEEE single-precision values in one stack word.
// Its unknown-function message names the function number, not the position.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

#include <QString>

#include <bit>
#include <string>

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

constexpr NativeBodies kFloat = byNumber({
    {0, fromFixed}, {1, binary<sum>}, {2, binary<difference>}, {3, binary<product>},
    {4, binary<quotient>}, {5, negate}, {6, into<sum>}, {7, into<difference>},
    {8, into<product>}, {9, into<quotient>}, {10, toString},
});
}  // namespace

void floatNative(VirtualMachine& vm, TInt32 function) {
    if (function < 0 || function >= TInt32(kFloat.size()) || !kFloat[size_t(function)])
        vmerr::raise(vmerr::VM, "Float: invalid opcode: " + std::to_string(function));
    kFloat[size_t(function)](vm);
}
