// The Position (16) and Size (15) native groups: two-word values {x, y} and
// {width, height} of one shape, kept in bytecode's variables. A Size refuses
// negative values; a Position takes any.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

namespace mcb {

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

// Size and Position share their bodies; only the names of the two fields differ.
template <Kind kind>
constexpr natives::Function kRows[] = {
    {1, "set_zero", setZero},
    {2, "copy", copy},
    {3, "set", set<kind>},
    {4, kind == Kind::Size ? "width" : "x", get<0>},
    {5, kind == Kind::Size ? "height" : "y", get<1>},
    {6, kind == Kind::Size ? "set_width" : "set_x", setOne<kind, 0>},
    {7, kind == Kind::Size ? "set_height" : "set_y", setOne<kind, 1>},
    {8, "eq", values::equal<2>},
    {9, "ne", values::notEqual<2>},
};
}  // namespace

std::span<const natives::Function> sizeFunctions() { return kRows<Kind::Size>; }

std::span<const natives::Function> positionFunctions() { return kRows<Kind::Position>; }

}  // namespace mcb
