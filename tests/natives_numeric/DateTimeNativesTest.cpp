#include "NativeProgram.h"

#include "natives/DateTime.h"

#include <cstdlib>
#include <optional>
#include <ctime>

// Global 3 and 4 are the cells of date-times a and b.
namespace {
const char* const kA = "ldglobals\nfielda 3\n";
const char* const kB = "ldglobals\nfielda 4\n";

std::string setFields(const char* cell, int day, int month, int year, int hour, int minute, int second, int zone) {
    std::string s = cell;
    for (int v : {day, month, year, hour, minute, second, zone}) s += "push " + std::to_string(v) + "\n";
    return s + "native DateTime.set_fields\n";
}

std::string call(const char* cell, std::string_view function) {
    return std::string(cell) + "native DateTime." + std::string(function) + "\n";
}

// Local time is three hours ahead of UTC all year, whatever the machine's zone.
class DateTimeNatives : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "XST-3", 1);
        tzset();
    }
    void TearDown() override {
        if (saved_) setenv("TZ", saved_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};
}  // namespace

TEST_F(DateTimeNatives, ValidationRunsYearMonthDayInOrder) {
    NativeProgram month(setFields(kA, 32, 13, 2000, 0, 0, 0, 0));
    EXPECT_EQ(month.errorText(), "InvalidArgumentException: Invalid month");
    EXPECT_EQ(month.word(3), 0u);  // the destination keeps what it had
    NativeProgram year(setFields(kA, 32, 13, 10000, 0, 0, 0, 0));
    EXPECT_EQ(year.errorText(), "InvalidArgumentException: Invalid year");
    NativeProgram day(setFields(kA, 0, 12, 2000, 0, 0, 0, 0));
    EXPECT_EQ(day.errorText(), "InvalidArgumentException: Invalid day");
    NativeProgram hour(setFields(kA, 1, 1, 2000, 24, 60, 60, 2));
    EXPECT_EQ(hour.errorText(), "InvalidArgumentException: Invalid hour");
    NativeProgram minute(setFields(kA, 1, 1, 2000, 23, 60, 60, 2));
    EXPECT_EQ(minute.errorText(), "InvalidArgumentException: Invalid minute");
    NativeProgram second(setFields(kA, 1, 1, 2000, 23, 59, 60, 2));
    EXPECT_EQ(second.errorText(), "InvalidArgumentException: Invalid second");
    NativeProgram zone(setFields(kA, 1, 1, 2000, 23, 59, 59, 2));
    EXPECT_EQ(zone.errorText(), "InvalidArgumentException: Invalid timezone");
}

TEST_F(DateTimeNatives, TextPadsEveryField) {
    NativeProgram p(setFields(kA, 5, 1, 7, 8, 3, 9, 0) + storeTo(2, call(kA, "to_string")) +
                    setFields(kB, 5, 1, 7, 8, 3, 9, 1) + storeTo(5, call(kB, "to_string")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "0007-01-05 08:03:09");
    EXPECT_EQ(p.text(5), "0007-01-05 08:03:09Z");
}

TEST_F(DateTimeNatives, FieldsReadBack) {
    NativeProgram p(setFields(kA, 31, 12, 1999, 23, 59, 58, 1) + storeTo(5, call(kA, "day")) +
                    storeTo(6, call(kA, "month")) + storeTo(7, call(kA, "year")) +
                    storeTo(8, call(kA, "hour")) + storeTo(9, call(kA, "minute")) +
                    storeTo(10, call(kA, "second")) + storeTo(11, call(kA, "timezone")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(std::vector<TInt32>({p.integer(5), p.integer(6), p.integer(7), p.integer(8), p.integer(9),
                                   p.integer(10), p.integer(11)}),
              std::vector<TInt32>({31, 12, 1999, 23, 59, 58, 1}));
}

TEST_F(DateTimeNatives, AddingADayAndTakingItBackInHours) {
    NativeProgram p(setFields(kA, 28, 2, 2000, 12, 0, 0, 0) + std::string(kA) +
                    "push 1\npush -24\npush 0\npush 0\nnative DateTime.add\n" + storeTo(2, call(kA, "to_string")) +
                    kA + "push 0\npush 0\npush 0\npush 86400\nnative DateTime.add\n" +
                    storeTo(5, call(kA, "to_string")) + kA +
                    "push 1\npush 1\npush 1\npush 1\nnative DateTime.sub\n" + storeTo(6, call(kA, "to_string")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "2000-02-28 12:00:00");
    EXPECT_EQ(p.text(5), "2000-02-29 12:00:00");
    EXPECT_EQ(p.text(6), "2000-02-28 10:58:59");
}

TEST_F(DateTimeNatives, TimezoneRoundTrip) {
    NativeProgram p(setFields(kA, 1, 1, 2000, 1, 30, 0, 0) + kA + "push 1\nnative DateTime.set_timezone\n" +
                    storeTo(2, call(kA, "to_string")) + kA + "push 0\nnative DateTime.set_timezone\n" +
                    storeTo(5, call(kA, "to_string")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "1999-12-31 22:30:00Z");
    EXPECT_EQ(p.text(5), "2000-01-01 01:30:00");
}

TEST_F(DateTimeNatives, SameMomentInTwoZonesCompareEqual) {
    NativeProgram p(setFields(kA, 10, 6, 2010, 10, 0, 0, 1) + setFields(kB, 10, 6, 2010, 13, 0, 0, 0) +
                    storeTo(2, std::string(kA) + kB + "native DateTime.eq") +
                    storeTo(5, std::string(kB) + kA + "native DateTime.ne") +
                    storeTo(6, std::string(kA) + kB + "native DateTime.le") +
                    storeTo(7, std::string(kA) + kB + "native DateTime.lt"));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(5), 0);
    EXPECT_EQ(p.integer(6), 1);
    EXPECT_EQ(p.integer(7), 0);
}

TEST_F(DateTimeNatives, OrderingByYearThenTime) {
    NativeProgram p(setFields(kA, 1, 1, 2001, 0, 0, 0, 1) + setFields(kB, 31, 12, 2000, 23, 59, 59, 1) +
                    storeTo(2, std::string(kA) + kB + "native DateTime.gt") +
                    storeTo(5, std::string(kA) + kB + "native DateTime.ge") +
                    storeTo(6, std::string(kB) + kA + "native DateTime.lt") +
                    storeTo(7, std::string(kB) + kA + "native DateTime.gt"));
    EXPECT_EQ(p.integer(2), 1);
    EXPECT_EQ(p.integer(5), 1);
    EXPECT_EQ(p.integer(6), 1);
    EXPECT_EQ(p.integer(7), 0);
}

TEST_F(DateTimeNatives, SettersCheckTheirRange) {
    NativeProgram hour(setFields(kA, 1, 1, 2000, 5, 0, 0, 0) + kA + "push 24\nnative DateTime.set_hour\n");
    EXPECT_EQ(hour.errorText(), "InvalidArgumentException");
    EXPECT_EQ(hour.vm.heap().objectAs<Velmar::DateTime>(hour.word(3))->hour(), 5);
    NativeProgram zone(setFields(kA, 1, 1, 2000, 5, 0, 0, 0) + kA + "push 2\nnative DateTime.set_timezone\n");
    EXPECT_EQ(zone.errorText(), "InvalidArgumentException");
    NativeProgram ok(setFields(kA, 1, 1, 2000, 5, 0, 0, 0) + kA + "push 17\nnative DateTime.set_day\n" + kA +
                     "push 3\nnative DateTime.set_month\n" + kA + "push 0\nnative DateTime.set_year\n" + kA +
                     "push 23\nnative DateTime.set_hour\n" + kA + "push 59\nnative DateTime.set_minute\n" + kA +
                     "push 1\nnative DateTime.set_second\n" + storeTo(2, call(kA, "to_string")));
    EXPECT_EQ(ok.text(2), "0000-03-17 23:59:01");
}

TEST_F(DateTimeNatives, CopiesAreNewObjects) {
    NativeProgram p(setFields(kA, 2, 3, 2004, 5, 6, 7, 1) + kB + kA + "native DateTime.set_copy\n" + kA +
                    "push 9\nnative DateTime.set_day\n" + storeTo(2, call(kB, "to_string")) +
                    storeTo(5, std::string(kA) + kA + "native DateTime.same") +
                    storeTo(6, std::string(kA) + kB + "native DateTime.same") +
                    storeTo(7, std::string(kA) + kB + "native DateTime.not_same"));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "2004-03-02 05:06:07Z");
    EXPECT_NE(p.word(3), p.word(4));
    EXPECT_EQ(p.integer(5), 1);
    EXPECT_EQ(p.integer(6), 0);
    EXPECT_EQ(p.integer(7), 1);
}

TEST_F(DateTimeNatives, NowIsLocal) {
    NativeProgram p(call(kA, "set_now") + storeTo(2, call(kA, "timezone")) + storeTo(5, call(kA, "year")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.integer(2), 0);
    EXPECT_GE(p.integer(5), 2020);
}

// 31 April passes validation; the value it reads back as is ours to choose,
// as long as arithmetic on it keeps working.
TEST_F(DateTimeNatives, DayTheMonthLacksKeepsTheMachineRunning) {
    NativeProgram p(setFields(kA, 31, 4, 2001, 0, 0, 0, 1) + storeTo(2, call(kA, "to_string")) + kA +
                    "push 1\npush 0\npush 0\npush 0\nnative DateTime.add\n" + storeTo(5, call(kA, "to_string")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "2001-04-31 00:00:00Z");
    EXPECT_EQ(p.text(5), "2001-05-02 00:00:00Z");
}

TEST_F(DateTimeNatives, NullOperands) {
    NativeProgram p("push 0\nnative DateTime.set_now\n");
    EXPECT_EQ(p.errorText(), "NullPointerException: NULL pointer");
    NativeProgram q(storeTo(2, call(kA, "day")));  // a cell that refers to nothing
    EXPECT_EQ(q.errorText(), "NullPointerException: NULL pointer");
    NativeProgram r(setFields(kA, 1, 1, 2000, 0, 0, 0, 0) + storeTo(2, std::string(kA) + kB + "native DateTime.eq"));
    EXPECT_EQ(r.errorCode(), 1);
}

TEST_F(DateTimeNatives, AStringIsNotADateTime) {
    NativeProgram p(storeTo(2, "ldstr s\nnative DateTime.day"), ".string s \"x\"\n");
    EXPECT_EQ(p.errorText(), "VMException: Invalid TYPEID");
}

TEST_F(DateTimeNatives, UnknownFunction) {
    NativeProgram p("native DateTime, 30\n");
    EXPECT_EQ(p.errorText(), "VMException: DateTime:11");
}
