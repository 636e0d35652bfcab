// DateTime: validation, arithmetic and local time in real zones against the host library;
// then the natives' argument order, stack effects and errors through the VM.
#include "../support/Outcome.h"
#include "NativeTestSupport.h"

#include "natives/DateTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

namespace mcb {

using VELMAR::DateTime;
using Ints = std::vector<TInt32>;

namespace {
// The process's local time in the named zone while it lives; `usable` is false when the host
// cannot follow the zone (a POSIX rule such as "XST-3" still applies).
struct InZone {
    explicit InZone(const char* zone) : old(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
        const QDateTime noon(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
        usable = QTimeZone(zone).isValid() &&
                 noon.toLocalTime().offsetFromUtc() == noon.toTimeZone(QTimeZone(zone)).offsetFromUtc();
    }
    ~InZone() {
        old.empty() ? unsetenv("TZ") : setenv("TZ", old.c_str(), 1);
        tzset();
    }
    std::string old;
    bool usable;
};

DateTime made(TInt32 day, TInt32 month, TInt32 year, TInt32 hour, TInt32 minute, TInt32 second, TInt32 zone) {
    DateTime dt;
    dt.setFromFields(day, month, year, hour, minute, second, zone);
    return dt;
}
DateTime utc(TInt32 day, TInt32 month, TInt32 year) { return made(day, month, year, 0, 0, 0, 1); }
std::string added(DateTime dt, TInt32 days, TInt32 hours, TInt32 minutes, TInt32 seconds) {
    dt.add(days, hours, minutes, seconds);
    return dt.toString();
}

// Globals 3 and 4 are the cells of date-times a and b.
const char* const kA = "ldglobals\nfielda 3\n";
const char* const kB = "ldglobals\nfielda 4\n";

std::string setFields(const char* cell, std::vector<int> fields) {  // day, month, year, h, m, s, zone
    std::string s = cell;
    for (int v : fields) s += "push " + std::to_string(v) + "\n";
    return s + "native DateTime.set_fields\n";
}

std::string call(const char* cell, std::string_view function) {
    return std::string(cell) + "native DateTime." + std::string(function) + "\n";
}

std::string text(const char* cell, int g) { return storeTo(g, call(cell, "to_string")); }

// Local time is three hours ahead of UTC all year, whatever the machine's zone.
class DateTimeNatives : public ::testing::Test {
    InZone zone_{"XST-3"};
};
}  // namespace

TEST(DateTime, ValidationRunsInOrderTheFirstFailureSpeaksAndSettersCheckTheirRanges) {
    const struct {
        TInt32 f[7];  // day, month, year, hour, minute, second, zone
        const char* what;
    } cases[] = {
        {{32, 13, 2000, 0, 0, 0, 0}, "month"},    {{32, 13, 10000, 0, 0, 0, 0}, "year"},
        {{1, 0, -1, 0, 0, 0, 0}, "year"},         {{32, 12, 2000, 24, 0, 0, 0}, "day"},
        {{0, 12, 2000, 24, 0, 0, 0}, "day"},      {{1, 12, 2000, 24, 60, 0, 0}, "hour"},
        {{1, 12, 2000, -1, 0, 0, 0}, "hour"},     {{1, 12, 2000, 23, 60, 60, 0}, "minute"},
        {{1, 12, 2000, 23, 59, 60, 2}, "second"}, {{1, 12, 2000, 23, 59, 59, -1}, "timezone"},
    };
    DateTime dt = made(31, 12, 9999, 23, 59, 59, 1);
    for (const auto& c : cases) {
        const auto& f = c.f;
        const Outcome e = outcomeOf([&] { dt.setFromFields(f[0], f[1], f[2], f[3], f[4], f[5], f[6]); });
        EXPECT_EQ(e.code, vmerr::InvalidArgument) << c.what;
        EXPECT_EQ(e.text, std::string("InvalidArgumentException: Invalid ") + c.what);
    }
    EXPECT_EQ(dt.toString(), "9999-12-31 23:59:59Z");  // failures change nothing
    EXPECT_EQ(utc(1, 1, 0).toString(), "0000-01-01 00:00:00Z");
    EXPECT_EQ(made(5, 1, 7, 8, 3, 9, 0).toString(), "0007-01-05 08:03:09");  // local: no mark
    // Setters check their ranges and change nothing when they refuse.
    DateTime target = made(10, 6, 2020, 12, 30, 45, 1);
    const struct {
        void (DateTime::*set)(TInt32);
        TInt32 bad[2], good;
    } setters[] = {{&DateTime::setDay, {0, 32}, 31},        {&DateTime::setMonth, {0, 13}, 12},
                   {&DateTime::setYear, {-1, 10000}, 1999}, {&DateTime::setHour, {-1, 24}, 23},
                   {&DateTime::setMinute, {-1, 60}, 59},    {&DateTime::setSecond, {-1, 60}, 58},
                   {&DateTime::setTimezone, {-1, 2}, 1}};
    for (const auto& c : setters) {
        for (TInt32 value : c.bad) {
            const Outcome e = outcomeOf([&] { (target.*c.set)(value); });
            EXPECT_EQ(e.code, vmerr::InvalidArgument) << value;
            EXPECT_EQ(e.text, "InvalidArgumentException") << value;
        }
        EXPECT_EQ(target.toString(), "2020-06-10 12:30:45Z");
    }
    for (const auto& c : setters) (target.*c.set)(c.good);
    EXPECT_EQ(target.toString(), "1999-12-31 23:59:58Z");
}

TEST(DateTime, ArithmeticWrapsKeepsDaysTheMonthLacksComparesInFieldOrderAndCopiesHoldTheValue) {
    EXPECT_EQ(added(made(31, 12, 1999, 23, 59, 59, 1), 0, 0, 0, 1), "2000-01-01 00:00:00Z");
    DateTime dt = utc(1, 1, 2000);
    dt.add(59, 0, 0, 0);
    dt.subtract(-1, 24, 1, 60);
    EXPECT_EQ(dt.toString(), "2000-02-28 23:58:00Z");
    for (int i = 0; i < 2000; ++i) dt.add(INT32_MAX / 86400, 0, 0, 0);  // many large steps come back
    for (int i = 0; i < 2000; ++i) dt.subtract(INT32_MAX / 86400, 0, 0, 0);
    EXPECT_EQ(dt.toString(), "2000-02-28 23:58:00Z");
    dt = utc(1, 1, 2000);
    dt.subtract(0, 0, 0, 2147408896);
    EXPECT_EQ(added(utc(1, 1, 2000), 24856, 0, 0, 0), dt.toString());  // 2147558400 seconds wrap to -2147408896
    EXPECT_EQ(added(made(31, 12, 9999, 23, 59, 59, 1), 0, 0, 0, 1), "10000-01-01 00:00:00Z");
    dt = utc(1, 1, 0);
    dt.subtract(0, 0, 0, 1);
    EXPECT_EQ((Ints{dt.year(), dt.month(), dt.day()}), (Ints{-1, 12, 31}));
    EXPECT_EQ(added(utc(28, 2, 0), 1, 0, 0, 0), "0000-02-29 00:00:00Z");  // year 0 is a leap year
    dt = made(31, 4, 2001, 10, 0, 0, 1);                                  // days the month lacks are kept and count on
    EXPECT_EQ(dt.toString(), "2001-04-31 10:00:00Z");
    EXPECT_EQ(dt.compare(utc(1, 5, 2001)), -1);
    EXPECT_EQ(added(dt, 1, 0, 0, 0), "2001-05-02 10:00:00Z");
    EXPECT_EQ(added(utc(30, 2, 2001), 0, 0, 0, 0), "2001-03-02 00:00:00Z");
    dt = utc(31, 1, 2001);  // fields pass through such a day while set one by one
    dt.setMonth(2);
    EXPECT_EQ(dt.toString(), "2001-02-31 00:00:00Z");
    dt.setDay(14);
    EXPECT_EQ(dt.toString(), "2001-02-14 00:00:00Z");
    // Comparison goes in field order; copies hold the value only.
    const DateTime a = made(10, 3, 2010, 8, 0, 0, 1);
    EXPECT_EQ((Ints{a.compare(a), a.compare(made(10, 3, 2010, 8, 0, 1, 1)), a.compare(made(9, 4, 2010, 8, 0, 0, 1)),
                    a.compare(utc(11, 1, 2010)), a.compare(utc(1, 1, 2011))}),
              (Ints{0, -1, -1, 1, -1}));
    DateTime b(a);
    EXPECT_EQ(b.self(), 0u);
    b.add(1, 0, 0, 0);
    EXPECT_EQ(a.toString(), "2010-03-10 08:00:00Z");
    const QDateTime before = QDateTime::currentDateTime();
    b.setNow();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_EQ(b.timezone(), 0);
    const QDateTime read(QDate(b.year(), b.month(), b.day()), QTime(b.hour(), b.minute(), b.second()), Qt::LocalTime);
    EXPECT_GE(read.toSecsSinceEpoch(), before.toSecsSinceEpoch());
    EXPECT_LE(read.toSecsSinceEpoch(), after.toSecsSinceEpoch());
}

class DateTimeZones : public ::testing::TestWithParam<const char*> {};

TEST_P(DateTimeZones, ConvertsAndRandomMomentsSurviveRoundTrips) {
    InZone zone(GetParam());
    if (!zone.usable) GTEST_SKIP() << GetParam() << " is not installed or not followed";
    const QDateTime local = QDateTime(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC).toLocalTime();
    DateTime dt = made(15, 1, 2024, 12, 0, 0, 1);
    dt.setTimezone(0);
    EXPECT_EQ((Ints{dt.timezone(), dt.day(), dt.hour(), dt.minute()}),
              (Ints{0, local.date().day(), local.time().hour(), local.time().minute()}));
    EXPECT_EQ(dt.compare(made(15, 1, 2024, 12, 0, 0, 1)), 0);  // the same moment
    EXPECT_EQ(dt.compare(made(15, 1, 2024, 12, 0, 1, 1)), -1);
    dt.setTimezone(1);
    dt.setTimezone(1);  // no change when the zone is the same
    EXPECT_EQ(dt.toString(), "2024-01-15 12:00:00Z");
    std::mt19937 engine(12);
    for (int i = 0; i < 3000; ++i) {
        const TInt32 day = 1 + engine() % 28, month = 1 + engine() % 12, year = 1971 + engine() % 66;
        const TInt32 hour = engine() % 24, minute = engine() % 60, second = engine() % 60;
        DateTime there = made(day, month, year, hour, minute, second, 1), back = there;
        back.setTimezone(0);
        back.setTimezone(1);
        ASSERT_EQ(back.toString(), there.toString());
        // A local time in a gap is moved when it is made; what it became must come back unchanged.
        back = there = made(day, month, year, hour, minute, second, 0);
        back.setTimezone(1);
        back.setTimezone(0);
        ASSERT_EQ(back.toString(), there.toString()) << i;
        ASSERT_EQ(there.compare(back), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(RealZones, DateTimeZones, ::testing::Values("America/New_York", "Australia/Lord_Howe"),
                         [](const auto& info) { return std::string(std::strchr(info.param, '/') + 1); });

TEST(DateTime, SkippedLocalTimesMoveForwardByTheGap) {
    InZone zone("Europe/Helsinki");  // clocks went from 03:00 to 04:00 on 27 March 2016
    if (!zone.usable) GTEST_SKIP() << "Europe/Helsinki is not installed or not followed";
    DateTime dt = made(27, 3, 2016, 3, 30, 0, 0);
    EXPECT_EQ(dt.toString(), "2016-03-27 04:30:00");
    dt.setTimezone(1);
    EXPECT_EQ(dt.toString(), "2016-03-27 01:30:00Z");
    dt = made(27, 3, 2016, 2, 30, 0, 0);
    dt.setHour(3);
    EXPECT_EQ(dt.toString(), "2016-03-27 04:30:00");
    dt.subtract(0, 0, 30, 1);
    EXPECT_EQ(dt.toString(), "2016-03-27 02:59:59");
}

TEST_F(DateTimeNatives, FieldsGoInAndComeOutInOrderArithmeticAndZones) {
    std::string body = setFields(kA, {31, 12, 1999, 23, 59, 58, 1});
    int g = 5;
    for (const char* f : {"day", "month", "year", "hour", "minute", "second", "timezone"})
        body += storeTo(g++, call(kA, f));
    body += setFields(kB, {1, 1, 2000, 5, 0, 0, 0});
    for (const char* set : {"push 17\nnative DateTime.set_day\n", "push 3\nnative DateTime.set_month\n",
                            "push 0\nnative DateTime.set_year\n", "push 23\nnative DateTime.set_hour\n",
                            "push 59\nnative DateTime.set_minute\n", "push 1\nnative DateTime.set_second\n"})
        body += kB + std::string(set);
    NativeProgram p(body + text(kB, 2));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(globals(p, 5, 11), (Ints{31, 12, 1999, 23, 59, 58, 1}));
    EXPECT_EQ(p.text(2), "0000-03-17 23:59:01");
    // add and sub take days, hours, minutes, seconds.
    NativeProgram q(setFields(kA, {28, 2, 2000, 12, 0, 0, 0}) + kA +
                    "push 1\npush -24\npush 0\npush 0\nnative DateTime.add\n" + text(kA, 2) + kA +
                    "push 0\npush 0\npush 0\npush 86400\nnative DateTime.add\n" + text(kA, 5) + kA +
                    "push 1\npush 1\npush 1\npush 1\nnative DateTime.sub\n" + text(kA, 6) +
                    setFields(kB, {1, 1, 2000, 1, 30, 0, 0}) + kB + "push 1\nnative DateTime.set_timezone\n" +
                    text(kB, 7) + kB + "push 0\nnative DateTime.set_timezone\n" + text(kB, 8));
    ASSERT_EQ(q.errorCode(), 0) << q.errorText();
    const std::vector<std::string> texts = {q.text(2), q.text(5), q.text(6), q.text(7), q.text(8)};
    EXPECT_EQ(texts, (std::vector<std::string>{"2000-02-28 12:00:00", "2000-02-29 12:00:00", "2000-02-28 10:58:59",
                                               "1999-12-31 22:30:00Z", "2000-01-01 01:30:00"}));
}

TEST_F(DateTimeNatives, ComparisonsOrderTheOperandsAndCopiesAreNewObjects) {
    // The same moment in two zones, then a before b by one second across a year.
    auto relations = [](std::vector<int> a, std::vector<int> b) {
        std::string body = setFields(kA, a) + setFields(kB, b);
        int g = 5;
        for (const char* f : {"eq", "ne", "lt", "le", "gt", "ge"})
            body += storeTo(g++, std::string(kA) + kB + "native DateTime." + f);
        NativeProgram p(body);
        EXPECT_EQ(p.errorCode(), 0) << p.errorText();
        return globals(p, 5, 10);
    };
    EXPECT_EQ(relations({10, 6, 2010, 10, 0, 0, 1}, {10, 6, 2010, 13, 0, 0, 0}), (Ints{1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(relations({31, 12, 2000, 23, 59, 59, 1}, {1, 1, 2001, 0, 0, 0, 1}), (Ints{0, 1, 1, 1, 0, 0}));
    // Copies are new objects.
    NativeProgram q(setFields(kA, {2, 3, 2004, 5, 6, 7, 1}) + kB + kA + "native DateTime.set_copy\n" + kA +
                    "push 9\nnative DateTime.set_day\n" + text(kB, 2) +
                    storeTo(5, std::string(kA) + kA + "native DateTime.same") +
                    storeTo(6, std::string(kA) + kB + "native DateTime.same") +
                    storeTo(7, std::string(kA) + kB + "native DateTime.not_same") + call(kA, "set_now") +
                    storeTo(8, call(kA, "timezone")) + storeTo(9, call(kA, "year")));
    ASSERT_EQ(q.errorCode(), 0) << q.errorText();
    EXPECT_EQ(q.text(2), "2004-03-02 05:06:07Z");
    EXPECT_EQ(globals(q, 5, 7), (Ints{1, 0, 1}));
    EXPECT_EQ(q.integer(8), 0);  // now is local
    EXPECT_GE(q.integer(9), 2020);
}

// Validation errors leave the destination alone (the order of the checks: the unit tests above).
TEST_F(DateTimeNatives, WrongOperandsAndInvalidFields) {
    NativeProgram month(setFields(kA, {32, 13, 2000, 0, 0, 0, 0}));
    EXPECT_EQ(errorOf(month), "6: InvalidArgumentException: Invalid month");
    EXPECT_EQ(month.word(3), 0u);
    NativeProgram hour(setFields(kA, {1, 1, 2000, 5, 0, 0, 0}) + kA + "push 24\nnative DateTime.set_hour\n");
    EXPECT_EQ(hour.errorText(), "InvalidArgumentException");
    EXPECT_EQ(hour.vm.heap().objectAs<DateTime>(hour.word(3))->hour(), 5);
    EXPECT_EQ(NativeProgram(storeTo(2, call(kA, "day"))).errorText(), "NullPointerException: NULL pointer");
    NativeProgram noB(setFields(kA, {1, 1, 2000, 0, 0, 0, 0}) +
                      storeTo(2, std::string(kA) + kB + "native DateTime.eq"));
    EXPECT_EQ(noB.errorCode(), 1);
    EXPECT_EQ(NativeProgram(storeTo(2, "ldstr s\nnative DateTime.day"), ".string s \"x\"\n").errorText(),
              "VMException: Invalid TYPEID");
}

}  // namespace mcb
