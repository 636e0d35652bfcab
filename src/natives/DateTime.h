// VELMAR::DateTime: the calendar date and time of bytecode programs, seven
// integer fields kept host-side in a native heap object. Calendar arithmetic,
// time-zone conversion and the clock are the host library's.
#pragma once

#include "foundation/Types.h"
#include "heap/GCObject.h"

#include <string>

class QDateTime;

namespace mcb {

namespace VELMAR {

class DateTime : public GCObject {
public:
    enum Timezone : TInt32 { ELocal = 0, EUtc = 1 };
    // Size of the heap entry (GC_CODE_DATETIME) that holds a date-time.
    static constexpr TUint32 KHeapEntryBytes = 32;

    // 1 January 1970, 00:00:00 UTC.
    DateTime() = default;
    // Copies the value only: a copy is a new heap object once adopted.
    DateTime(const DateTime& o) : GCObject(), iTimezone(o.iTimezone), iFields(o.iFields) {}
    DateTime& operator=(const DateTime& o);

    // The current local date and time, timezone 0.
    void setNow();
    // Validates in the order year, month, day, hour, minute, second, timezone and
    // raises error 6 with the first failure's message. A day the month does not
    // have passes and is kept as given.
    void setFromFields(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute,
                       TInt32 second, TInt32 timezone);

    // Moves by 86400·days + 3600·hours + 60·minutes + seconds, summed in 32 bits.
    void add(TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds);
    void subtract(TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds);

    TInt32 day() const { return iFields.day; }
    TInt32 month() const { return iFields.month; }
    TInt32 year() const { return iFields.year; }
    TInt32 hour() const { return iFields.hour; }
    TInt32 minute() const { return iFields.minute; }
    TInt32 second() const { return iFields.second; }
    TInt32 timezone() const { return iTimezone; }

    // A value outside the field's range raises error 6 and changes nothing.
    void setDay(TInt32 value);
    void setMonth(TInt32 value);
    void setYear(TInt32 value);
    void setHour(TInt32 value);
    void setMinute(TInt32 value);
    void setSecond(TInt32 value);
    // Converts the moment to UTC (1) or local time (0); other values raise 6.
    void setTimezone(TInt32 value);

    // -1, 0 or 1; other is taken in this value's timezone first.
    TInt32 compare(const DateTime& other) const;
    // "YYYY-MM-DD hh:mm:ss", with "Z" appended in UTC.
    std::string toString() const;

private:
    struct Fields {
        TInt32 day = 1, month = 1, year = 1970, hour = 0, minute = 0, second = 0;
    };
    // Rebuilds the fields through the host's date-time; a date the calendar does
    // not have keeps the fields as given.
    void assignThroughHost(const Fields& f, TInt32 timezone);
    void readBack(const QDateTime& host, TInt32 timezone);
    QDateTime toHost() const;
    void moveBySeconds(TInt64 seconds);
    template <TInt32 Fields::*field>
    void setField(TInt32 value, TInt32 lowest, TInt32 highest);

    TInt32 iTimezone = EUtc;
    Fields iFields;
};

}  // namespace VELMAR

}  // namespace mcb
