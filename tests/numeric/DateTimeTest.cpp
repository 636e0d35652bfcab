// Velmar::DateTime: validation order and messages, setters, arithmetic, dates
// the calendar lacks, time-zone conversion in real zones, comparison and text.
#include "NumericTestSupport.h"
#include "natives/DateTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

using Velmar::DateTime;

namespace {
DateTime made(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute, TInt32 second, TInt32 timezone) {
    DateTime dt;
    dt.setFromFields(day, month, year, hour, minute, second, timezone);
    return dt;
}

// Runs the test body with the process's local time in the named zone.
class InZone {
public:
    explicit InZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) iOld = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone() {
        if (iOld) setenv("TZ", iOld->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> iOld;
};
}  // namespace

TEST(DateTimeValidation, ChecksRunInOrderAndTheFirstFailureSpeaks) {
    const struct {
        TInt32 fields[7];  // day, month, year, hour, minute, second, zone
        const char* what;
    } cases[] = {
        {{32, 13, 2000, 0, 0, 0, 0}, "month"},   {{32, 13, 10000, 0, 0, 0, 0}, "year"},
        {{1, 0, -1, 0, 0, 0, 0}, "year"},        {{32, 12, 2000, 24, 0, 0, 0}, "day"},
        {{0, 12, 2000, 24, 0, 0, 0}, "day"},     {{1, 12, 2000, 24, 60, 0, 0}, "hour"},
        {{1, 12, 2000, -1, 0, 0, 0}, "hour"},    {{1, 12, 2000, 23, 60, 60, 0}, "minute"},
        {{1, 12, 2000, 23, 59, 60, 2}, "second"}, {{1, 12, 2000, 23, 59, 59, -1}, "timezone"},
    };
    for (const auto& c : cases) {
        const TInt32* f = c.fields;
        DateTime dt;
        const RaisedError e = raisedBy([&] { dt.setFromFields(f[0], f[1], f[2], f[3], f[4], f[5], f[6]); });
        EXPECT_EQ(e.code, vmerr::InvalidArgument) << c.what;
        EXPECT_EQ(e.text, std::string("InvalidArgumentException: Invalid ") + c.what);
    }
}

TEST(DateTimeValidation, BoundsPassAndAFailureChangesNothing) {
    DateTime dt = made(31, 12, 9999, 23, 59, 59, 1);
    EXPECT_EQ(dt.toString(), "9999-12-31 23:59:59Z");
    EXPECT_EQ(made(1, 1, 0, 0, 0, 0, 1).toString(), "0000-01-01 00:00:00Z");
    EXPECT_EQ(made(5, 1, 7, 8, 3, 9, 0).toString(), "0007-01-05 08:03:09");  // local: no mark
    EXPECT_NE(raisedBy([&] { dt.setFromFields(1, 1, 2000, 0, 0, 0, 7); }).code, 0);
    EXPECT_EQ(dt.toString(), "9999-12-31 23:59:59Z");
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
}

TEST(DateTimeArithmetic, AddAndSubtract) {
    DateTime dt = made(31, 12, 1999, 23, 59, 59, 1);
    dt.add(0, 0, 0, 1);
    EXPECT_EQ(dt.toString(), "2000-01-01 00:00:00Z");
    dt.add(1, -24, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-01-01 00:00:00Z");
    dt.add(59, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-02-29 00:00:00Z");
    dt.subtract(-1, 0, 1, 60);
    EXPECT_EQ(dt.toString(), "2000-02-29 23:58:00Z");
    for (int i = 0; i < 2000; ++i) dt.add(INT32_MAX / 86400, 0, 0, 0);  // many large steps come back
    for (int i = 0; i < 2000; ++i) dt.subtract(INT32_MAX / 86400, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-02-29 23:58:00Z");
}

TEST(DateTimeArithmetic, WrapsInThirtyTwoBitsAndLeavesTheFieldRanges) {
    // 24856 days is 2147558400 seconds, which wraps to -2147408896.
    DateTime dt = made(1, 1, 2000, 0, 0, 0, 1);
    dt.add(24856, 0, 0, 0);
    DateTime expected = made(1, 1, 2000, 0, 0, 0, 1);
    expected.subtract(0, 0, 0, 2147408896);
    EXPECT_EQ(dt.toString(), expected.toString());
    EXPECT_LT(dt.year(), 2000);
    DateTime late = made(31, 12, 9999, 23, 59, 59, 1);
    late.add(0, 0, 0, 1);
    EXPECT_EQ(late.toString(), "10000-01-01 00:00:00Z");
    DateTime early = made(1, 1, 0, 0, 0, 0, 1);
    early.subtract(0, 0, 0, 1);
    EXPECT_EQ((std::vector<TInt32>{early.year(), early.month(), early.day()}), (std::vector<TInt32>{-1, 12, 31}));
    // Year 0 counts as a leap year, as the proleptic calendar has it.
    DateTime leap = made(28, 2, 0, 0, 0, 0, 1);
    leap.add(1, 0, 0, 0);
    EXPECT_EQ(leap.toString(), "0000-02-29 00:00:00Z");
}

TEST(DateTimeCalendar, DaysTheMonthLacksAreKeptAndCountOn) {
    DateTime dt = made(31, 4, 2001, 10, 0, 0, 1);
    EXPECT_EQ(dt.toString(), "2001-04-31 10:00:00Z");
    EXPECT_EQ(dt.compare(made(1, 5, 2001, 0, 0, 0, 1)), -1);
    dt.add(1, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2001-05-02 10:00:00Z");
    DateTime other = made(30, 2, 2001, 0, 0, 0, 1);
    other.add(0, 0, 0, 0);
    EXPECT_EQ(other.toString(), "2001-03-02 00:00:00Z");
    // Fields can pass through such a day while being set one by one.
    DateTime walk = made(31, 1, 2001, 0, 0, 0, 1);
    walk.setMonth(2);
    EXPECT_EQ(walk.toString(), "2001-02-31 00:00:00Z");
    walk.setDay(14);
    EXPECT_EQ(walk.toString(), "2001-02-14 00:00:00Z");
}

TEST(DateTimeCompare, FieldOrderAndCopies) {
    const DateTime a = made(10, 3, 2010, 8, 0, 0, 1);
    EXPECT_EQ(a.compare(a), 0);
    EXPECT_EQ(a.compare(made(10, 3, 2010, 8, 0, 1, 1)), -1);
    EXPECT_EQ(a.compare(made(9, 4, 2010, 8, 0, 0, 1)), -1);
    EXPECT_EQ(a.compare(made(11, 1, 2010, 0, 0, 0, 1)), 1);
    EXPECT_EQ(a.compare(made(1, 1, 2011, 0, 0, 0, 1)), -1);
    DateTime b(a);  // a copy holds the value only
    EXPECT_EQ(b.self(), 0u);
    b.add(1, 0, 0, 0);
    EXPECT_EQ(a.toString(), "2010-03-10 08:00:00Z");
    EXPECT_EQ(b.toString(), "2010-03-11 08:00:00Z");
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

// Local time in a real zone, checked against the host library's conversion.
class DateTimeZones : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!QTimeZone(GetParam()).isValid()) GTEST_SKIP() << GetParam() << " is not installed";
        iZone.emplace(GetParam());
        const QDateTime noon(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
        if (noon.toLocalTime().offsetFromUtc() != noon.toTimeZone(QTimeZone(GetParam())).offsetFromUtc())
            GTEST_SKIP() << "the host does not follow TZ";
    }
    std::optional<InZone> iZone;
};

TEST_P(DateTimeZones, ConvertsBetweenLocalTimeAndUtc) {
    const QDateTime local = QDateTime(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC).toLocalTime();
    DateTime dt = made(15, 1, 2024, 12, 0, 0, 1);
    dt.setTimezone(0);
    EXPECT_EQ(dt.timezone(), 0);
    EXPECT_EQ(dt.hour(), local.time().hour());
    EXPECT_EQ(dt.minute(), local.time().minute());
    EXPECT_EQ(dt.day(), local.date().day());
    EXPECT_EQ(dt.compare(made(15, 1, 2024, 12, 0, 0, 1)), 0);  // the same moment
    EXPECT_EQ(dt.compare(made(15, 1, 2024, 12, 0, 1, 1)), -1);
    dt.setTimezone(1);
    dt.setTimezone(1);  // no change when the zone is the same
    EXPECT_EQ(dt.toString(), "2024-01-15 12:00:00Z");
}

TEST_P(DateTimeZones, RandomMomentsSurviveRoundTrips) {
    std::mt19937 engine(12);
    for (int i = 0; i < 3000; ++i) {
        const TInt32 day = 1 + engine() % 28, month = 1 + engine() % 12, year = 1971 + engine() % 66;
        const TInt32 hour = engine() % 24, minute = engine() % 60, second = engine() % 60;
        DateTime utc = made(day, month, year, hour, minute, second, 1);
        DateTime there = utc;
        there.setTimezone(0);
        there.setTimezone(1);
        ASSERT_EQ(there.toString(), utc.toString());
        // A local time in a gap is moved when it is made; what it became must come back unchanged.
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
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });
