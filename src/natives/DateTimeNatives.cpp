// The DateTime native group (29): creating, reading, changing, comparing and
// formatting Velmar::DateTime objects. Operands are cells that refer to the
// objects; a destination cell receives a new object. Every check runs before
// anything changes.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace {
using namespace numeric;
using Velmar::DateTime;

// Makes the value in full first, so that a failed check leaves the cell as it was.
void storeNew(NativeArgs& a, VMAddr cell, const DateTime& value) {
    a.vm().memory().writeWord(cell, adoptDateTime(a.vm(), value));
    a.noResult();
}

void setNow(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    const VMAddr cell = destinationArg(a, 0);
    DateTime value;
    value.setNow();
    storeNew(a, cell, value);
}

void setCopy(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const VMAddr cell = destinationArg(a, 0);
    storeNew(a, cell, DateTime(dateTimeArg(a, 1)));
}

void setFields(VirtualMachine& vm) {
    NativeArgs a(vm, 8);
    const VMAddr cell = destinationArg(a, 0);
    DateTime value;
    value.setFromFields(a.word(1), a.word(2), a.word(3), a.word(4), a.word(5), a.word(6), a.word(7));
    storeNew(a, cell, value);
}

template <void (DateTime::*move)(TInt32, TInt32, TInt32, TInt32)>
void moveBy(VirtualMachine& vm) {
    NativeArgs a(vm, 5);
    (dateTimeArg(a, 0).*move)(a.word(1), a.word(2), a.word(3), a.word(4));
    a.noResult();
}

template <TInt32 (DateTime::*field)() const>
void get(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result((dateTimeArg(a, 0).*field)());
}

template <void (DateTime::*setter)(TInt32)>
void set(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    (dateTimeArg(a, 0).*setter)(a.word(1));
    a.noResult();
}

void toString(VirtualMachine& vm) {
    NativeArgs a(vm, 1);
    a.result(TInt32(vm.newString(OString(dateTimeArg(a, 0).toString().c_str()))));
}

// Identity of the operand words themselves; no object is looked at.
template <bool same>
void identity(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    a.result((a.word(0) == a.word(1)) == same ? 1 : 0);
}

template <bool (*holds)(TInt32)>
void compare(VirtualMachine& vm) {
    NativeArgs a(vm, 2);
    const DateTime& x = dateTimeArg(a, 0);
    const DateTime& y = dateTimeArg(a, 1);
    a.result(holds(x.compare(y)) ? 1 : 0);
}

constexpr bool isEqual(TInt32 c) { return c == 0; }
constexpr bool isNotEqual(TInt32 c) { return c != 0; }
constexpr bool isEarlier(TInt32 c) { return c < 0; }
constexpr bool isEarlierOrEqual(TInt32 c) { return c <= 0; }
constexpr bool isLater(TInt32 c) { return c > 0; }
constexpr bool isLaterOrEqual(TInt32 c) { return c >= 0; }

constexpr NativeBodies kDateTime = byNumber({
    {1, setNow}, {2, setCopy}, {3, setCopy}, {4, setFields},
    {5, moveBy<&DateTime::add>}, {6, moveBy<&DateTime::subtract>},
    {7, get<&DateTime::day>}, {8, get<&DateTime::month>}, {9, get<&DateTime::year>},
    {10, get<&DateTime::hour>}, {11, get<&DateTime::minute>}, {12, get<&DateTime::second>},
    {13, get<&DateTime::timezone>},
    {14, set<&DateTime::setDay>}, {15, set<&DateTime::setMonth>}, {16, set<&DateTime::setYear>},
    {17, set<&DateTime::setHour>}, {18, set<&DateTime::setMinute>},
    {19, set<&DateTime::setSecond>}, {20, set<&DateTime::setTimezone>},
    {21, toString}, {22, identity<true>}, {23, identity<false>},
    {24, compare<isEqual>}, {25, compare<isNotEqual>}, {26, compare<isEarlier>},
    {27, compare<isEarlierOrEqual>}, {28, compare<isLater>}, {29, compare<isLaterOrEqual>},
});
}  // namespace

void dateTimeNative(VirtualMachine& vm, TInt32 function) { dispatch(vm, 29, function, kDateTime); }
