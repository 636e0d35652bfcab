// The Long native group (12): boxed signed 64-bit integers, each a reference to
// an 8-byte plain heap block. Arithmetic wraps in two's complement; results are
// new blocks, the "into" forms change the first operand's block.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

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

constexpr natives::Function kLong[] = {
    {1, "set_zero", setZero},
    {2, "assign", assign},
    {3, "assign2", assign},
    {5, "add", binary<sum>},
    {6, "sub", binary<difference>},
    {7, "mul", binary<product>},
    {8, "div", binary<quotient>},
    {9, "rem", binary<remainder>},
    {10, "neg", negate},
    {11, "inc", step<sum>},
    {12, "dec", step<difference>},
    {13, "add_into", into<sum>},
    {14, "sub_into", into<difference>},
    {15, "mul_into", into<product>},
    {16, "div_into", into<quotient>},
    {17, "rem_into", into<remainder>},
    {18, "eq", compare<eq>},
    {19, "lt", compare<lt>},
    {20, "le", compare<le>},
    {21, "ne", compare<ne>},
    {22, "gt", compare<gt>},
    {23, "ge", compare<ge>},
    {24, "and", binary<bitAnd>},
    {25, "or", binary<bitOr>},
    {26, "xor", binary<bitXor>},
    {27, "shl", binary<shiftLeft>},
    {28, "shr", binary<shiftRight>},
    {29, "and_into", into<bitAnd>},
    {30, "or_into", into<bitOr>},
    {31, "xor_into", into<bitXor>},
    {32, "shl_into", into<shiftLeft>},
    {33, "shr_into", into<shiftRight>},
    {34, "to_string", toString},
    {35, "nop", nop},
    {36, "nop2", nop},
    {37, "to_int", toInt},
    {38, "from_int", fromInt},
};
}  // namespace

std::span<const natives::Function> longFunctions() { return kLong; }

}  // namespace mcb
