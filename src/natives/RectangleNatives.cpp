// The Rectangle native group (17): four-word values {x, y, width, height}, a
// Position followed by a Size, kept in bytecode's variables. Only the setters
// of width and height (directly or through right and bottom) refuse values;
// right and bottom read back wrapping as int addition does.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

#include <limits>

namespace mcb {

namespace {
using namespace numeric;
using values::Var;
using Rect = Var<4>;

enum Field { X, Y, Width, Height };

void setZero(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    Rect r(a, 0);
    for (int k = X; k <= Height; ++k) r.set(k, 0);
    a.noResult();
}

void copy(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Rect r(a, 0);
    r.assign(Rect(a, 1));
    a.noResult();
}

// The position and size words follow the target; `first` is the first field they set.
void setFields(VirtualMachine& vm, TInt32 words, int first) {
    NativeArgs a(vm, 1 + words);
    Rect r(a, 0);
    for (int k = 0; k < words; ++k) r.set(first + k, a.word(1 + k));
    a.noResult();
}

void setAll(VirtualMachine& vm) { setFields(vm, 4, X); }
void setPosition(VirtualMachine& vm) { setFields(vm, 2, X); }
void setSize(VirtualMachine& vm) { setFields(vm, 2, Width); }

template <int first>
void pair(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    Rect r(a, 0);
    values::resultPair(a, r[first], r[first + 1]);
}

template <int k>
void get(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(Rect(a, 0)[k]);
}

// x + width (or y + height) as int addition wraps.
template <int start>
void end(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    Rect r(a, 0);
    a.result(TInt32(TUint32(r[start]) + TUint32(r[start + 2])));
}

template <int k>
void setCoordinate(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Rect r(a, 0);
    r.set(k, a.word(1));
    a.noResult();
}

template <int k>
void setExtent(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Rect r(a, 0);
    values::require(a.word(1) >= 0);
    r.set(k, a.word(1));
    a.noResult();
}

// The extent from the start to `end`, in 64 bits: a difference that is negative
// or does not fit an int is a fault.
template <int start>
void setEnd(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    Rect r(a, 0);
    const TInt64 extent = TInt64(a.word(1)) - TInt64(r[start]);
    values::require(extent >= 0 && extent <= std::numeric_limits<TInt32>::max());
    r.set(start + 2, TInt32(extent));
    a.noResult();
}

constexpr natives::Function kRectangle[] = {
    {1, "set_zero", setZero},
    {2, "copy", copy},
    {3, "set", setAll},
    {4, "position", pair<X>},
    {5, "size", pair<Width>},
    {6, "x", get<X>},
    {7, "y", get<Y>},
    {8, "width", get<Width>},
    {9, "height", get<Height>},
    {10, "right", end<X>},
    {11, "bottom", end<Y>},
    {12, "set_position", setPosition},
    {13, "set_size", setSize},
    {14, "set_x", setCoordinate<X>},
    {15, "set_y", setCoordinate<Y>},
    {16, "set_width", setExtent<Width>},
    {17, "set_height", setExtent<Height>},
    {18, "set_right", setEnd<X>},
    {19, "set_bottom", setEnd<Y>},
    {20, "eq", values::equal<4>},
    {21, "ne", values::notEqual<4>},
};
}  // namespace

std::span<const natives::Function> rectangleFunctions() { return kRectangle; }

}  // namespace mcb
