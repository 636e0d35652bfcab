// Velmar::DateTime: validation order and messages, setters, arithmetic, dates
// the calendar lacks, time-zone conversion in real zones, comparison and text.
#include "NumericTestSupport.h"
#include "natives/DateTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using Velmar::DateTime;

namespace {
DateTime made(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute, TInt32 second,
              TInt32 timezone) {
    DateTime dt;
    dt.setFromFields(day, month, year, hour, minute, second, timezone);
    return dt;
}

std::string validationError(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute,
                            TInt32 second, TInt32 timezone) {
    DateTime dt;
    return raisedBy([&] { dt.setFromFields(day, month, year, hour, minute, second, timezone); }).text;
}

// Runs the test body with the process's local time in the named zone.
class InZone {
public:
    explicit InZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) iOld = old, iHadOld = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone() {
        if (iHadOld) {
            setenv("TZ", iOld.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::string iOld;
    bool iHadOld = false;
};

// Local offset in seconds that the host library sees for a UTC moment.
int localOffsetAt(const QDateTime& utc) { return utc.toLocalTime().offsetFromUtc(); }
}  // namespace

TEST(DateTimeValidation, ChecksRunInOrderAndTheFirstFailureSpeaks) {
    EXPECT_EQ(validationError(32, 13, 2000, 0, 0, 0, 0), "InvalidArgumentException: Invalid month");
    EXPECT_EQ(validationError(32, 13, 10000, 0, 0, 0, 0), "InvalidArgumentException: Invalid year");
    EXPECT_EQ(validationError(32, 12, 2000, 24, 0, 0, 0), "InvalidArgumentException: Invalid day");
    EXPECT_EQ(validationError(0, 12, 2000, 24, 0, 0, 0), "InvalidArgumentException: Invalid day");
    EXPECT_EQ(validationError(1, 12, 2000, 24, 60, 0, 0), "InvalidArgumentException: Invalid hour");
    EXPECT_EQ(validationError(1, 12, 2000, -1, 0, 0, 0), "InvalidArgumentException: Invalid hour");
    EXPECT_EQ(validationError(1, 12, 2000, 23, 60, 60, 0), "InvalidArgumentException: Invalid minute");
    EXPECT_EQ(validationError(1, 12, 2000, 23, 59, 60, 2), "InvalidArgumentException: Invalid second");
    EXPECT_EQ(validationError(1, 12, 2000, 23, 59, 59, 2), "InvalidArgumentException: Invalid timezone");
    EXPECT_EQ(validationError(1, 12, 2000, 23, 59, 59, -1), "InvalidArgumentException: Invalid timezone");
    EXPECT_EQ(validationError(1, 0, -1, 0, 0, 0, 0), "InvalidArgumentException: Invalid year");
    EXPECT_EQ(vmerr::pendingErrorCode(), vmerr::InvalidArgument);
}

TEST(DateTimeValidation, BoundsPassAndAFailureChangesNothing) {
    DateTime dt = made(31, 12, 9999, 23, 59, 59, 1);
    EXPECT_EQ(dt.toString(), "9999-12-31 23:59:59Z");
    EXPECT_EQ(made(1, 1, 0, 0, 0, 0, 1).toString(), "0000-01-01 00:00:00Z");
    EXPECT_NE(raisedBy([&] { dt.setFromFields(1, 1, 2000, 0, 0, 0, 7); }).code, 0);
    EXPECT_EQ(dt.toString(), "9999-12-31 23:59:59Z");
}

TEST(DateTimeText, PaddedFieldsAndTheUtcMark) {
    EXPECT_EQ(made(5, 1, 7, 8, 3, 9, 0).toString(), "0007-01-05 08:03:09");
    EXPECT_EQ(made(5, 1, 7, 8, 3, 9, 1).toString(), "0007-01-05 08:03:09Z");
    EXPECT_EQ(made(25, 11, 2026, 13, 45, 10, 1).toString(), "2026-11-25 13:45:10Z");
}

TEST(DateTimeFields, SettersCheckTheirRanges) {
    DateTime dt = made(10, 6, 2020, 12, 30, 45, 1);
    const struct {
        void (DateTime::*set)(TInt32);
        TInt32 bad[2];
    } cases[] = {{&DateTime::setDay, {0, 32}},      {&DateTime::setMonth, {0, 13}},
                 {&DateTime::setYear, {-1, 10000}}, {&DateTime::setHour, {-1, 24}},
                 {&DateTime::setMinute, {-1, 60}},  {&DateTime::setSecond, {-1, 60}},
                 {&DateTime::setTimezone, {-1, 2}}};
    for (const auto& c : cases) {
        for (TInt32 value : c.bad) {
            const RaisedError e = raisedBy([&] { (dt.*c.set)(value); });
            EXPECT_EQ(e.code, vmerr::InvalidArgument) << value;
            EXPECT_EQ(e.text, "InvalidArgumentException") << value;
        }
    }
    EXPECT_EQ(dt.toString(), "2020-06-10 12:30:45Z");
    dt.setDay(31);
    dt.setMonth(12);
    dt.setYear(1999);
    dt.setHour(23);
    dt.setMinute(59);
    dt.setSecond(58);
    EXPECT_EQ(dt.toString(), "1999-12-31 23:59:58Z");
    EXPECT_EQ(dt.day(), 31);
    EXPECT_EQ(dt.month(), 12);
    EXPECT_EQ(dt.year(), 1999);
    EXPECT_EQ(dt.hour(), 23);
    EXPECT_EQ(dt.minute(), 59);
    EXPECT_EQ(dt.second(), 58);
    EXPECT_EQ(dt.timezone(), 1);
}

TEST(DateTimeArithmetic, AddAndSubtract) {
    DateTime dt = made(31, 12, 1999, 23, 59, 59, 1);
    dt.add(0, 0, 0, 1);
    EXPECT_EQ(dt.toString(), "2000-01-01 00:00:00Z");
    dt.add(1, -24, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-01-01 00:00:00Z");
    dt.add(59, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-02-29 00:00:00Z");
    dt.subtract(0, 0, 1, 0);
    EXPECT_EQ(dt.toString(), "2000-02-28 23:59:00Z");
    dt.subtract(-1, 0, 0, 60);
    EXPECT_EQ(dt.toString(), "2000-02-29 23:58:00Z");
}

TEST(DateTimeArithmetic, TheAmountWrapsInThirtyTwoBits) {
    // 24856 days is 2147558400 seconds, which wraps to -2147408896.
    DateTime dt = made(1, 1, 2000, 0, 0, 0, 1);
    dt.add(24856, 0, 0, 0);
    DateTime expected = made(1, 1, 2000, 0, 0, 0, 1);
    expected.subtract(0, 0, 0, 2147408896);
    EXPECT_EQ(dt.toString(), expected.toString());
    EXPECT_LT(dt.year(), 2000);
}

TEST(DateTimeArithmetic, LeavesTheFieldRangesWithoutHarm) {
    DateTime dt = made(31, 12, 9999, 23, 59, 59, 1);
    dt.add(0, 0, 0, 1);
    EXPECT_EQ(dt.toString(), "10000-01-01 00:00:00Z");
    DateTime early = made(1, 1, 0, 0, 0, 0, 1);
    early.subtract(0, 0, 0, 1);
    EXPECT_EQ(early.year(), -1);
    EXPECT_EQ(early.month(), 12);
    EXPECT_EQ(early.day(), 31);
    // Year 0 counts as a leap year, as the proleptic calendar has it.
    DateTime leap = made(28, 2, 0, 0, 0, 0, 1);
    leap.add(1, 0, 0, 0);
    EXPECT_EQ(leap.toString(), "0000-02-29 00:00:00Z");
}

TEST(DateTimeArithmetic, ManyLargeStepsComeBack) {
    DateTime dt = made(15, 6, 2000, 12, 0, 0, 1);
    for (int i = 0; i < 2000; ++i) dt.add(INT32_MAX / 86400, 0, 0, 0);
    for (int i = 0; i < 2000; ++i) dt.subtract(INT32_MAX / 86400, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-06-15 12:00:00Z");
}

TEST(DateTimeCalendar, DaysTheMonthLacksAreKeptAsGiven) {
    DateTime dt = made(31, 4, 2001, 10, 0, 0, 1);
    EXPECT_EQ(dt.toString(), "2001-04-31 10:00:00Z");
    EXPECT_EQ(made(29, 2, 2001, 0, 0, 0, 0).toString(), "2001-02-29 00:00:00");
    EXPECT_EQ(made(29, 2, 2000, 0, 0, 0, 1).toString(), "2000-02-29 00:00:00Z");
    // Fields can pass through such a day while being set one by one.
    DateTime walk = made(31, 1, 2001, 0, 0, 0, 1);
    walk.setMonth(2);
    EXPECT_EQ(walk.toString(), "2001-02-31 00:00:00Z");
    walk.setDay(14);
    EXPECT_EQ(walk.toString(), "2001-02-14 00:00:00Z");
}

TEST(DateTimeCalendar, ArithmeticCountsOnIntoTheNextMonth) {
    DateTime dt = made(31, 4, 2001, 10, 0, 0, 1);
    dt.add(1, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2001-05-02 10:00:00Z");
    DateTime other = made(30, 2, 2001, 0, 0, 0, 1);
    other.add(0, 0, 0, 0);
    EXPECT_EQ(other.toString(), "2001-03-02 00:00:00Z");
    EXPECT_EQ(made(31, 4, 2001, 0, 0, 0, 1).compare(made(1, 5, 2001, 0, 0, 0, 1)), -1);
}

TEST(DateTimeCompare, FieldOrder) {
    const DateTime a = made(10, 3, 2010, 8, 0, 0, 1);
    EXPECT_EQ(a.compare(a), 0);
    EXPECT_EQ(a.compare(made(10, 3, 2010, 8, 0, 1, 1)), -1);
    EXPECT_EQ(a.compare(made(9, 4, 2010, 8, 0, 0, 1)), -1);
    EXPECT_EQ(a.compare(made(11, 1, 2010, 0, 0, 0, 1)), 1);
    EXPECT_EQ(a.compare(made(1, 1, 2011, 0, 0, 0, 1)), -1);
    EXPECT_EQ(a.compare(made(10, 3, 2010, 7, 59, 59, 1)), 1);
}

TEST(DateTimeCopy, CopiesTheValueOnly) {
    const DateTime a = made(10, 3, 2010, 8, 0, 0, 1);
    DateTime b(a);
    EXPECT_EQ(b.toString(), a.toString());
    EXPECT_EQ(b.self(), 0u);
    b.add(1, 0, 0, 0);
    EXPECT_EQ(a.toString(), "2010-03-10 08:00:00Z");
    b = a;
    EXPECT_EQ(b.compare(a), 0);
}

TEST(DateTimeNow, ReadsTheLocalClock) {
    const QDateTime before = QDateTime::currentDateTime();
    DateTime dt;
    dt.setNow();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_EQ(dt.timezone(), 0);
    const QDateTime read(QDate(dt.year(), dt.month(), dt.day()),
                         QTime(dt.hour(), dt.minute(), dt.second()), Qt::LocalTime);
    EXPECT_GE(read.toSecsSinceEpoch(), before.toSecsSinceEpoch());
    EXPECT_LE(read.toSecsSinceEpoch(), after.toSecsSinceEpoch());
}

class DateTimeZones : public ::testing::TestWithParam<const char*> {};

TEST_P(DateTimeZones, ConvertsBetweenLocalTimeAndUtc) {
    if (!QTimeZone(GetParam()).isValid()) GTEST_SKIP() << GetParam() << " is not installed";
    InZone zone(GetParam());
    const QDateTime winterNoonUtc(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
    const int offset = localOffsetAt(winterNoonUtc);
    const QDateTime nyZone = winterNoonUtc.toTimeZone(QTimeZone(GetParam()));
    if (offset != nyZone.offsetFromUtc()) GTEST_SKIP() << "the host does not follow TZ";

    DateTime dt = made(15, 1, 2024, 12, 0, 0, 1);
    dt.setTimezone(0);
    const QDateTime local = winterNoonUtc.toLocalTime();
    EXPECT_EQ(dt.timezone(), 0);
    EXPECT_EQ(dt.hour(), local.time().hour());
    EXPECT_EQ(dt.minute(), local.time().minute());
    EXPECT_EQ(dt.day(), local.date().day());
    dt.setTimezone(1);
    EXPECT_EQ(dt.toString(), "2024-01-15 12:00:00Z");
    dt.setTimezone(1);  // no change when the zone is the same
    EXPECT_EQ(dt.toString(), "2024-01-15 12:00:00Z");
}

TEST_P(DateTimeZones, SameMomentComparesEqualAcrossZones) {
    if (!QTimeZone(GetParam()).isValid()) GTEST_SKIP() << GetParam() << " is not installed";
    InZone zone(GetParam());
    DateTime utc = made(20, 7, 2023, 10, 0, 0, 1);
    DateTime local = utc;
    local.setTimezone(0);
    EXPECT_EQ(utc.compare(local), 0);
    EXPECT_EQ(local.compare(utc), 0);
    DateTime later = local;
    later.add(0, 0, 0, 1);
    EXPECT_EQ(utc.compare(later), -1);
    EXPECT_EQ(later.compare(utc), 1);
}

TEST_P(DateTimeZones, RandomMomentsSurviveRoundTrips) {
    if (!QTimeZone(GetParam()).isValid()) GTEST_SKIP() << GetParam() << " is not installed";
    InZone zone(GetParam());
    std::mt19937 engine(12);
    for (int i = 0; i < 3000; ++i) {
        const TInt32 day = 1 + engine() % 28, month = 1 + engine() % 12, year = 1971 + engine() % 66;
        const TInt32 hour = engine() % 24, minute = engine() % 60, second = engine() % 60;
        DateTime utc = made(day, month, year, hour, minute, second, 1);
        DateTime there = utc;
        there.setTimezone(0);
        there.setTimezone(1);
        ASSERT_EQ(there.toString(), utc.toString());
        // A local time in a gap is moved by the host when it is made; what it
        // became must come back unchanged.
        DateTime local = made(day, month, year, hour, minute, second, 0);
        DateTime back = local;
        back.setTimezone(1);
        back.setTimezone(0);
        ASSERT_EQ(back.toString(), local.toString()) << i;
        ASSERT_EQ(local.compare(back), 0);
    }
}

TEST(DateTimeLocalGap, SkippedLocalTimesMoveForwardByTheGap) {
    if (!QTimeZone("Europe/Helsinki").isValid()) GTEST_SKIP() << "Europe/Helsinki is not installed";
    InZone zone("Europe/Helsinki");
    if (QDateTime(QDate(2016, 3, 27), QTime(1, 0), Qt::UTC).toLocalTime().time().hour() != 4) {
        GTEST_SKIP() << "the host does not follow TZ";
    }
    // Clocks went from 03:00 to 04:00 on 27 March 2016.
    DateTime dt = made(27, 3, 2016, 3, 30, 0, 0);
    EXPECT_EQ(dt.toString(), "2016-03-27 04:30:00");
    dt.setTimezone(1);
    EXPECT_EQ(dt.toString(), "2016-03-27 01:30:00Z");
    DateTime walk = made(27, 3, 2016, 2, 30, 0, 0);
    walk.setHour(3);
    EXPECT_EQ(walk.toString(), "2016-03-27 04:30:00");
    walk.subtract(0, 0, 30, 1);
    EXPECT_EQ(walk.toString(), "2016-03-27 02:59:59");
}

INSTANTIATE_TEST_SUITE_P(RealZones, DateTimeZones,
                         ::testing::Values("Europe/Helsinki", "America/New_York", "Asia/Kolkata",
                                           "Australia/Lord_Howe"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '/') c = '_';
                             }
                             return name;
                         });
