// The Rectangle native group (17): four-word values {x, y, width, height}, a
// Position followed by a Size, kept in bytecode's variables. Only the setters
// of width and height (directly or through right and bottom) refuse values;
// right and bottom read back wrapping as int addition does.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"
#include "natives/ValueOperands.h"

#include <limits>

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

constexpr NativeBodies kRectangle = byNumber({
    {1, setZero}, {2, copy}, {3, setAll}, {4, pair<X>}, {5, pair<Width>}, {6, get<X>},
    {7, get<Y>}, {8, get<Width>}, {9, get<Height>}, {10, end<X>}, {11, end<Y>},
    {12, setPosition}, {13, setSize}, {14, setCoordinate<X>}, {15, setCoordinate<Y>}, {16, setExtent<Width>},
    {17, setExtent<Height>}, {18, setEnd<X>}, {19, setEnd<Y>}, {20, values::equal<4>},
    {21, values::notEqual<4>},
});
}  // namespace

void rectangleNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 17, function, kRectangle); }
