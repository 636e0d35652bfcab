// The Long native group (12): boxed signed 64-bit integers, each a reference to
// an 8-byte plain heap block. Arithmetic wraps in two's complement; results are
// new blocks, the "into" forms change the first operand's block.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace {
using namespace numeric;

// A zero divisor is VM error 3, as it is for ints; the one overflowing
// quotient wraps and its remainder is 0, also as for ints.
TInt64 quotient(TInt64 x, TInt64 y) {
    if (y == 0) vmerr::raise(vmerr::DivisionByZero);
    return y == -1 ? TInt64(0 - TUint64(x)) : x / y;
}

TInt64 remainder(TInt64 x, TInt64 y) {
    if (y == 0) vmerr::raise(vmerr::DivisionByZero);
    return y == -1 ? 0 : x % y;
}

TInt64 sum(TInt64 x, TInt64 y) { return TInt64(TUint64(x) + TUint64(y)); }
TInt64 difference(TInt64 x, TInt64 y) { return TInt64(TUint64(x) - TUint64(y)); }
TInt64 product(TInt64 x, TInt64 y) { return TInt64(TUint64(x) * TUint64(y)); }
TInt64 bitAnd(TInt64 x, TInt64 y) { return x & y; }
TInt64 bitOr(TInt64 x, TInt64 y) { return x | y; }
TInt64 bitXor(TInt64 x, TInt64 y) { return x ^ y; }

// The count is the low 8 bits of the low word; 64 and more shift everything out.
TInt32 shiftCount(TInt64 m) { return TInt32(TUint64(m) & 0xFF); }
TInt64 shiftLeft(TInt64 x, TInt64 m) {
    const TInt32 n = shiftCount(m);
    return n >= 64 ? 0 : TInt64(TUint64(x) << n);
}
TInt64 shiftRight(TInt64 x, TInt64 m) {
    const TInt32 n = shiftCount(m);
    return x >> (n >= 64 ? 63 : n);
}

void setZero(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    storeLong(a, 0, 0);
    a.noResult();
}

void assign(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    storeLong(a, 0, longArg(a, 1));
    a.noResult();
}

template <TInt64 (*op)(TInt64, TInt64)>
void binary(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const TInt64 v = op(longArg(a, 0), longArg(a, 1));
    a.result(TInt32(newLong(vm, v)));
}

template <TInt64 (*op)(TInt64, TInt64)>
void into(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    storeLong(a, 0, op(longArg(a, 0), longArg(a, 1)));
    a.noResult();
}

template <TInt64 (*op)(TInt64, TInt64)>
void step(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    storeLong(a, 0, op(longArg(a, 0), 1));
    a.noResult();
}

// The long named by the word below the top; the new one goes into the top
// slot and the stack keeps its height, the layout compiled code was built for.
void negate(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const TInt64 v = longArg(a, 0);
    a.word(1) = TInt32(newLong(vm, TInt64(0 - TUint64(v))));
}

template <bool (*holds)(TInt64, TInt64)>
void compare(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(holds(longArg(a, 0), longArg(a, 1)) ? 1 : 0);
}

bool eq(TInt64 x, TInt64 y) { return x == y; }
bool ne(TInt64 x, TInt64 y) { return x != y; }
bool lt(TInt64 x, TInt64 y) { return x < y; }
bool le(TInt64 x, TInt64 y) { return x <= y; }
bool gt(TInt64 x, TInt64 y) { return x > y; }
bool ge(TInt64 x, TInt64 y) { return x >= y; }

void toString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(vm.newString(OString::fromInt64(longArg(a, 0)))));
}

void nop(VirtualMachine&) {}

void toInt(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(TUint32(TUint64(longArg(a, 0)))));
}

void fromInt(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(newLong(vm, a.word(0))));
}

constexpr NativeBodies kLong = byNumber({
    {1, setZero}, {2, assign}, {3, assign}, {5, binary<sum>}, {6, binary<difference>},
    {7, binary<product>}, {8, binary<quotient>}, {9, binary<remainder>}, {10, negate},
    {11, step<sum>}, {12, step<difference>}, {13, into<sum>}, {14, into<difference>},
    {15, into<product>}, {16, into<quotient>}, {17, into<remainder>}, {18, compare<eq>},
    {19, compare<lt>}, {20, compare<le>}, {21, compare<ne>}, {22, compare<gt>},
    {23, compare<ge>}, {24, binary<bitAnd>}, {25, binary<bitOr>}, {26, binary<bitXor>},
    {27, binary<shiftLeft>}, {28, binary<shiftRight>}, {29, into<bitAnd>}, {30, into<bitOr>},
    {31, into<bitXor>}, {32, into<shiftLeft>}, {33, into<shiftRight>}, {34, toString},
    {35, nop}, {36, nop}, {37, toInt}, {38, fromInt},
});
}  // namespace

void longNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 12, function, kLong); }
