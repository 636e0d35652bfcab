// The DateTime native group (29): creating, reading, changing, comparing and
// formatting VELMAR::DateTime objects. Operands are cells that refer to the
// objects; a destination cell receives a new object. Every check runs before
// anything changes.
#include "natives/NativeGroupOps.h"
#include "natives/NumericArgs.h"

namespace mcb {

namespace {
using namespace numeric;
using VELMAR::DateTime;

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

constexpr natives::Function kDateTime[] = {
    {1, "set_now", setNow},
    {2, "set_copy", setCopy},
    {3, "set_copy2", setCopy},
    {4, "set_fields", setFields},
    {5, "add", moveBy<&DateTime::add>},
    {6, "sub", moveBy<&DateTime::subtract>},
    {7, "day", get<&DateTime::day>},
    {8, "month", get<&DateTime::month>},
    {9, "year", get<&DateTime::year>},
    {10, "hour", get<&DateTime::hour>},
    {11, "minute", get<&DateTime::minute>},
    {12, "second", get<&DateTime::second>},
    {13, "timezone", get<&DateTime::timezone>},
    {14, "set_day", set<&DateTime::setDay>},
    {15, "set_month", set<&DateTime::setMonth>},
    {16, "set_year", set<&DateTime::setYear>},
    {17, "set_hour", set<&DateTime::setHour>},
    {18, "set_minute", set<&DateTime::setMinute>},
    {19, "set_second", set<&DateTime::setSecond>},
    {20, "set_timezone", set<&DateTime::setTimezone>},
    {21, "to_string", toString},
    {22, "same", identity<true>},
    {23, "not_same", identity<false>},
    {24, "eq", compare<isEqual>},
    {25, "ne", compare<isNotEqual>},
    {26, "lt", compare<isEarlier>},
    {27, "le", compare<isEarlierOrEqual>},
    {28, "gt", compare<isLater>},
    {29, "ge", compare<isLaterOrEqual>},
};
}  // namespace

std::span<const natives::Function> dateTimeFunctions() { return kDateTime; }

}  // namespace mcb
