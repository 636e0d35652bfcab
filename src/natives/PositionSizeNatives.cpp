// The Position (16) and Size (15) native groups: two-word values {x, y} and
// {width, height} of one shape, kept in bytecode's variables. A Size refuses
// negative values; a Position takes any.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

namespace {
using namespace numeric;
using values::Var;

enum class Kind { Position, Size };

template <Kind kind>
void check(TInt32 v) {
    if constexpr (kind == Kind::Size) values::require(v >= 0);
}

void setZero(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    Var<2> t(a, 0);
    t.set(0, 0);
    t.set(1, 0);
    a.noResult();
}

void copy(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Var<2> t(a, 0);
    t.assign(Var<2>(a, 1));
    a.noResult();
}

template <Kind kind>
void set(VirtualMachine& vm) {
    NativeArgs a(vm, 3);
    Var<2> t(a, 0);
    check<kind>(a.word(1));
    check<kind>(a.word(2));
    t.set(0, a.word(1));
    t.set(1, a.word(2));
    a.noResult();
}

template <int k>
void get(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(Var<2>(a, 0)[k]);
}

template <Kind kind, int k>
void setOne(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Var<2> t(a, 0);
    check<kind>(a.word(1));
    t.set(k, a.word(1));
    a.noResult();
}

template <Kind kind>
constexpr NativeBodies kBodies = byNumber({
    {1, setZero}, {2, copy}, {3, set<kind>}, {4, get<0>}, {5, get<1>}, {6, setOne<kind, 0>},
    {7, setOne<kind, 1>}, {8, values::equal<2>}, {9, values::notEqual<2>},
});
}  // namespace

void sizeNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 15, function, kBodies<Kind::Size>); }

void positionNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 16, function, kBodies<Kind::Position>); }
