// The Number native group (27): absolute values of bytes and ints, and
// unsigned radix text of an int.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

namespace {
using namespace numeric;

// The low byte decides: below 1 it is negated; a positive byte leaves the
// whole word as it came.
void absByte(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const TInt32 b = TInt8(a.word(0));
    a.result(b < 1 ? -b : a.word(0));
}

void absInt(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const TInt32 n = a.word(0);
    a.result(n == INT32_MIN ? INT32_MAX : (n < 0 ? -n : n));
}

void toStringRadix(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result(TInt32(vm.newString(OString::fromUnsigned(TUint32(a.word(0)), a.word(1)))));
}

constexpr natives::Function kNumber[] = {
    {1, "abs_byte", absByte, "(i) -> i"},
    {2, "abs_int", absInt, "(i) -> i"},
    {3, "to_string_radix", toStringRadix, "(i, i) -> s"},
};
}  // namespace

std::span<const natives::Function> numberFunctions() { return kNumber; }

}  // namespace mcb
