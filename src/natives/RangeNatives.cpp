// The Range native group (14): the two-word range value, start then length.
// Opcodes that change a range take the address of a range variable; a negative
// length stands for "to the end".
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

namespace {
using namespace numeric;

// The two words of the range variable at argument i, checked before any is written.
struct RangeVar {
    TUint32* start;
    TUint32* length;
};

RangeVar rangeAt(NativeArgs& a, TInt32 i) {
    const VMAddr r = a.address(i);
    return {a.vm().memory().wordPtr(r), a.vm().memory().wordPtr(r + 4)};
}

void require(bool valid) {
    if (!valid) vmerr::raise(vmerr::InvalidArgument);
}

void set(RangeVar r, TInt32 start, TInt32 length) {
    *r.start = TUint32(start);
    *r.length = TUint32(length);
}

void setEmpty(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    set(rangeAt(a, 0), 0, 0);
    a.noResult();
}

void assign(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const RangeVar to = rangeAt(a, 0);
    const RangeVar from = rangeAt(a, 1);
    set(to, TInt32(*from.start), TInt32(*from.length));
    a.noResult();
}

// last = INT_MAX from 0 wraps to a negative length, which reads as "to the end".
void setFirstLast(VirtualMachine& vm) {
    NativeArgs a(vm, 3);
    const RangeVar r = rangeAt(a, 0);
    const TInt32 first = a.word(1), last = a.word(2);
    require(first >= 0 && first <= last);
    set(r, first, TInt32(TUint32(last) - TUint32(first) + 1u));
    a.noResult();
}

void setStartLength(VirtualMachine& vm) {
    NativeArgs a(vm, 3);
    const RangeVar r = rangeAt(a, 0);
    require(a.word(1) >= 0 && a.word(2) >= 0);
    set(r, a.word(1), a.word(2));
    a.noResult();
}

void start(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(*rangeAt(a, 0).start));
}

void length(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(*rangeAt(a, 0).length));
}

void setStart(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const RangeVar r = rangeAt(a, 0);
    require(a.word(1) >= 0);
    *r.start = TUint32(a.word(1));
    a.noResult();
}

void setLength(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const RangeVar r = rangeAt(a, 0);
    require(a.word(1) >= 0);
    *r.length = TUint32(a.word(1));
    a.noResult();
}

bool sameRange(NativeArgs& a) { return a.word(0) == a.word(2) && a.word(1) == a.word(3); }

void equal(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    a.result(sameRange(a) ? 1 : 0);
}

void notEqual(VirtualMachine& vm) {
    NativeArgs a(vm, 4);
    a.result(sameRange(a) ? 0 : 1);
}

void setToEnd(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const RangeVar r = rangeAt(a, 0);
    require(a.word(1) >= 0);
    set(r, a.word(1), -1);
    a.noResult();
}

constexpr natives::Function kRange[] = {
    {1, "set_empty", setEmpty},
    {2, "assign", assign},
    {3, "set_first_last", setFirstLast},
    {4, "set_start_length", setStartLength},
    {5, "start", start},
    {6, "length", length},
    {7, "set_start", setStart},
    {8, "set_length", setLength},
    {9, "eq", equal},
    {10, "ne", notEqual},
    {11, "set_to_end", setToEnd},
    {12, "set_to_end2", setToEnd},
};
}  // namespace

std::span<const natives::Function> rangeFunctions() { return kRange; }

}  // namespace mcb
