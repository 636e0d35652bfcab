// DateTime natives: argument order, stack effects and errors through the VM (the
// calendar itself is tested in NumericTest.cpp).
#include "../support/NativeProgram.h"

#include "InZone.h"
#include "natives/DateTime.h"

namespace mcb {

// Globals 3 and 4 are the cells of date-times a and b.
namespace {
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

TEST_F(DateTimeNatives, ValidationErrorsLeaveTheDestinationAlone) {
    NativeProgram month(setFields(kA, {32, 13, 2000, 0, 0, 0, 0}));
    EXPECT_EQ(month.errorCode(), 6);
    EXPECT_EQ(month.errorText(), "InvalidArgumentException: Invalid month");
    EXPECT_EQ(month.word(3), 0u);
    NativeProgram hour(setFields(kA, {1, 1, 2000, 5, 0, 0, 0}) + kA + "push 24\nnative DateTime.set_hour\n");
    EXPECT_EQ(hour.errorText(), "InvalidArgumentException");
    EXPECT_EQ(hour.vm.heap().objectAs<VELMAR::DateTime>(hour.word(3))->hour(), 5);
}

TEST_F(DateTimeNatives, FieldsGoInAndComeOutInOrder) {
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
    std::vector<TInt32> fields;
    for (int i = 5; i < 12; ++i) fields.push_back(p.integer(i));
    EXPECT_EQ(fields, (std::vector<TInt32>{31, 12, 1999, 23, 59, 58, 1}));
    EXPECT_EQ(p.text(2), "0000-03-17 23:59:01");
}

TEST_F(DateTimeNatives, ArithmeticAndZones) {
    // add and sub take days, hours, minutes, seconds.
    NativeProgram p(setFields(kA, {28, 2, 2000, 12, 0, 0, 0}) + kA + "push 1\npush -24\npush 0\npush 0\nnative DateTime.add\n" +
                    text(kA, 2) + kA + "push 0\npush 0\npush 0\npush 86400\nnative DateTime.add\n" + text(kA, 5) + kA +
                    "push 1\npush 1\npush 1\npush 1\nnative DateTime.sub\n" + text(kA, 6) +
                    setFields(kB, {1, 1, 2000, 1, 30, 0, 0}) + kB + "push 1\nnative DateTime.set_timezone\n" + text(kB, 7) +
                    kB + "push 0\nnative DateTime.set_timezone\n" + text(kB, 8));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "2000-02-28 12:00:00");
    EXPECT_EQ(p.text(5), "2000-02-29 12:00:00");
    EXPECT_EQ(p.text(6), "2000-02-28 10:58:59");
    EXPECT_EQ(p.text(7), "1999-12-31 22:30:00Z");
    EXPECT_EQ(p.text(8), "2000-01-01 01:30:00");
}

TEST_F(DateTimeNatives, ComparisonsOrderTheOperands) {
    // The same moment in two zones, then a before b by one second across a year.
    auto relations = [](std::vector<int> a, std::vector<int> b) {
        std::string body = setFields(kA, a) + setFields(kB, b);
        int g = 5;
        for (const char* f : {"eq", "ne", "lt", "le", "gt", "ge"})
            body += storeTo(g++, std::string(kA) + kB + "native DateTime." + f);
        NativeProgram p(body);
        EXPECT_EQ(p.errorCode(), 0) << p.errorText();
        std::vector<TInt32> out;
        for (int i = 5; i < 11; ++i) out.push_back(p.integer(i));
        return out;
    };
    EXPECT_EQ(relations({10, 6, 2010, 10, 0, 0, 1}, {10, 6, 2010, 13, 0, 0, 0}), (std::vector<TInt32>{1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(relations({31, 12, 2000, 23, 59, 59, 1}, {1, 1, 2001, 0, 0, 0, 1}), (std::vector<TInt32>{0, 1, 1, 1, 0, 0}));
}

TEST_F(DateTimeNatives, CopiesAreNewObjects) {
    NativeProgram p(setFields(kA, {2, 3, 2004, 5, 6, 7, 1}) + kB + kA + "native DateTime.set_copy\n" + kA +
                    "push 9\nnative DateTime.set_day\n" + text(kB, 2) +
                    storeTo(5, std::string(kA) + kA + "native DateTime.same") +
                    storeTo(6, std::string(kA) + kB + "native DateTime.same") +
                    storeTo(7, std::string(kA) + kB + "native DateTime.not_same") + call(kA, "set_now") +
                    storeTo(8, call(kA, "timezone")) + storeTo(9, call(kA, "year")));
    ASSERT_EQ(p.errorCode(), 0) << p.errorText();
    EXPECT_EQ(p.text(2), "2004-03-02 05:06:07Z");
    EXPECT_NE(p.word(3), p.word(4));
    EXPECT_EQ((std::vector<TInt32>{p.integer(5), p.integer(6), p.integer(7)}), (std::vector<TInt32>{1, 0, 1}));
    EXPECT_EQ(p.integer(8), 0);  // now is local
    EXPECT_GE(p.integer(9), 2020);
}

TEST_F(DateTimeNatives, WrongOperands) {
    EXPECT_EQ(NativeProgram("push 0\nnative DateTime.set_now\n").errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram(storeTo(2, call(kA, "day"))).errorText(), "NullPointerException: NULL pointer");
    EXPECT_EQ(NativeProgram(setFields(kA, {1, 1, 2000, 0, 0, 0, 0}) + storeTo(2, std::string(kA) + kB +
                                                                          "native DateTime.eq")).errorCode(), 1);
    EXPECT_EQ(NativeProgram(storeTo(2, "ldstr s\nnative DateTime.day"), ".string s \"x\"\n").errorText(),
              "VMException: Invalid TYPEID");
}

}  // namespace mcb
