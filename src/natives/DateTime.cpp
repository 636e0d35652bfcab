// VELMAR::DateTime on Qt's date-time types: validation, arithmetic, time-zone
// conversion, comparison and the text form.
#include "natives/DateTime.h"
#include "natives/ClockSource.h"

#include "foundation/VMError.h"

#include <QDateTime>

#include <cstdio>

namespace mcb {

namespace VELMAR {
namespace {
// Bytecode counts a year 0; the host calendar goes from 1 straight to -1.
TInt32 hostYear(TInt32 year) { return year <= 0 ? year - 1 : year; }
TInt32 guestYear(TInt32 year) { return year < 0 ? year + 1 : year; }

Qt::TimeSpec zoneOf(TInt32 timezone) {
    return timezone == DateTime::EUtc ? Qt::UTC : Qt::LocalTime;
}

void check(bool valid, const vmerr::Message& message) {
    if (!valid) vmerr::raise(message);
}

bool inRange(TInt32 value, TInt32 lowest, TInt32 highest) {
    return value >= lowest && value <= highest;
}

TInt32 order(TInt32 a, TInt32 b) { return a < b ? -1 : (a > b ? 1 : 0); }

// A local time that a clock change skipped is read with the offset in force a
// day earlier, which moves it forward by the gap, as the C library's mktime does.
QDateTime hostDateTime(QDate date, QTime time, TInt32 timezone) {
    const QDateTime host(date, time, zoneOf(timezone));
    if (host.isValid() || timezone == DateTime::EUtc) return host;
    const QDateTime wallClock(date, time, Qt::UTC);
    const int offsetBefore = wallClock.addSecs(-86400).toLocalTime().offsetFromUtc();
    return wallClock.addSecs(-offsetBefore).toLocalTime();
}

// The amount wraps in 32 bits, as bytecode's own int arithmetic does.
TInt32 totalSeconds(TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds) {
    const TUint32 total = 86400u * TUint32(days) + 3600u * TUint32(hours) +
                          60u * TUint32(minutes) + TUint32(seconds);
    return TInt32(total);
}
}  // namespace

DateTime& DateTime::operator=(const DateTime& o) {
    iTimezone = o.iTimezone;
    iFields = o.iFields;
    return *this;
}

void DateTime::setNow() { readBack(QDateTime::fromMSecsSinceEpoch(natives::wallClockMillis(), Qt::LocalTime), ELocal); }

void DateTime::setFromFields(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute,
                             TInt32 second, TInt32 timezone) {
    check(inRange(year, 0, 9999), vmerr::msg::InvalidYear);
    check(inRange(month, 1, 12), vmerr::msg::InvalidMonth);
    check(inRange(day, 1, 31), vmerr::msg::InvalidDay);
    check(inRange(hour, 0, 23), vmerr::msg::InvalidHour);
    check(inRange(minute, 0, 59), vmerr::msg::InvalidMinute);
    check(inRange(second, 0, 59), vmerr::msg::InvalidSecond);
    check(timezone == ELocal || timezone == EUtc, vmerr::msg::InvalidTimezone);
    assignThroughHost({day, month, year, hour, minute, second}, timezone);
}

void DateTime::assignThroughHost(const Fields& f, TInt32 timezone) {
    if (QDate::isValid(hostYear(f.year), f.month, f.day)) {
        const QDateTime host = hostDateTime(QDate(hostYear(f.year), f.month, f.day),
                                            QTime(f.hour, f.minute, f.second), timezone);
        if (host.isValid()) {
            readBack(host, timezone);
            return;
        }
    }
    iFields = f;
    iTimezone = timezone;
}

void DateTime::readBack(const QDateTime& host, TInt32 timezone) {
    const QDate date = host.date();
    const QTime time = host.time();
    iFields = {date.day(), date.month(), guestYear(date.year()), time.hour(), time.minute(),
               time.second()};
    iTimezone = timezone;
}

// A day beyond the month's end counts on into the next month, so that
// arithmetic on a date the calendar lacks still has a moment to start from.
QDateTime DateTime::toHost() const {
    const QDate date = QDate(hostYear(iFields.year), iFields.month, 1).addDays(iFields.day - 1);
    return hostDateTime(date, QTime(iFields.hour, iFields.minute, iFields.second), iTimezone);
}

void DateTime::moveBySeconds(TInt64 seconds) {
    const QDateTime host = toHost();
    if (!host.isValid()) return;
    const QDateTime moved = host.addSecs(seconds);
    if (moved.isValid()) readBack(moved, iTimezone);
}

void DateTime::add(TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds) {
    moveBySeconds(totalSeconds(days, hours, minutes, seconds));
}

void DateTime::subtract(TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds) {
    moveBySeconds(-TInt64(totalSeconds(days, hours, minutes, seconds)));
}

template <TInt32 DateTime::Fields::*field>
void DateTime::setField(TInt32 value, TInt32 lowest, TInt32 highest) {
    if (!inRange(value, lowest, highest)) vmerr::raise(vmerr::InvalidArgument);
    Fields changed = iFields;
    changed.*field = value;
    assignThroughHost(changed, iTimezone);
}

void DateTime::setDay(TInt32 value) { setField<&Fields::day>(value, 1, 31); }
void DateTime::setMonth(TInt32 value) { setField<&Fields::month>(value, 1, 12); }
void DateTime::setYear(TInt32 value) { setField<&Fields::year>(value, 0, 9999); }
void DateTime::setHour(TInt32 value) { setField<&Fields::hour>(value, 0, 23); }
void DateTime::setMinute(TInt32 value) { setField<&Fields::minute>(value, 0, 59); }
void DateTime::setSecond(TInt32 value) { setField<&Fields::second>(value, 0, 59); }

void DateTime::setTimezone(TInt32 value) {
    if (value != ELocal && value != EUtc) vmerr::raise(vmerr::InvalidArgument);
    if (value == iTimezone) return;
    const QDateTime host = toHost();
    if (!host.isValid()) return;
    const QDateTime converted = value == EUtc ? host.toUTC() : host.toLocalTime();
    if (converted.isValid()) readBack(converted, value);
}

TInt32 DateTime::compare(const DateTime& other) const {
    DateTime b(other);
    if (b.iTimezone != iTimezone) b.setTimezone(iTimezone);
    const Fields& x = iFields;
    const Fields& y = b.iFields;
    for (TInt32 c : {order(x.year, y.year), order(x.month, y.month), order(x.day, y.day),
                     order(x.hour, y.hour), order(x.minute, y.minute), order(x.second, y.second)}) {
        if (c != 0) return c;
    }
    return 0;
}

std::string DateTime::toString() const {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d%s", iFields.year, iFields.month,
                  iFields.day, iFields.hour, iFields.minute, iFields.second,
                  iTimezone == EUtc ? "Z" : "");
    return text;
}

}  // namespace VELMAR

}  // namespace mcb
