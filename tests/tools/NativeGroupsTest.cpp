// The native group table: every group 1 to 36 in its place, unique function numbers and
// names within each group, and the error prefixes the dispatcher reports.
#include "vm/NativeGroups.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(NativeGroups, EveryGroupSitsAtItsNumber)
{
    for (int g = natives::kFirstGroup; g <= natives::kLastGroup; ++g) {
        ASSERT_NE(natives::findGroup(g), nullptr);
        EXPECT_EQ(natives::findGroup(g)->number, g);
        EXPECT_EQ(natives::findGroup(natives::findGroup(g)->name), natives::findGroup(g));
    }
    EXPECT_EQ(natives::findGroup(0), nullptr);
    EXPECT_EQ(natives::findGroup(37), nullptr);
}

TEST(NativeGroups, FunctionNumbersAndNamesAreUniquePerGroup)
{
    auto check = [](std::string_view owner, std::span<const natives::Function> fs) {
        std::set<int> numbers;
        std::set<std::string_view> names;
        for (const auto& f : fs) {
            EXPECT_TRUE(numbers.insert(f.number).second) << owner << " " << f.number;
            EXPECT_TRUE(names.insert(f.name).second) << owner << " " << f.name;
            EXPECT_TRUE(f.number >= 0 && f.number <= 255) << owner << " " << f.number;
            EXPECT_EQ(f.name.find('.'), std::string_view::npos);
        }
    };
    for (const auto& g : natives::kGroups)
        check(g.name, g.functions);
    for (const auto& e : natives::kExtensions)
        check(e.name, e.functions);
}

TEST(NativeGroups, PrefixesOfUnknownFunctionMessages)
{
    EXPECT_EQ(natives::findGroup(1)->errorPrefix, "Vector:");
    EXPECT_EQ(natives::findGroup(7)->errorPrefix, "Vector:");
    EXPECT_EQ(natives::findGroup(27)->errorPrefix, "Number:");
    EXPECT_EQ(natives::findGroup(35)->errorPrefix, "KeyEvent: invalid opcode ");
    EXPECT_EQ(natives::findGroup(36)->errorPrefix, "Float: invalid opcode: ");
    EXPECT_EQ(natives::findGroup(2)->errorPrefix, "");
}

TEST(NativeGroups, SpotChecksOfFunctionNumbers)
{
    const auto number = [](std::string_view group, std::string_view name) {
        const auto* f = natives::findFunction(natives::findGroup(group)->functions, name);
        return f ? f->number : -1;
    };
    EXPECT_EQ(number("String", "length"), 10);
    EXPECT_EQ(number("String", "find_first_crf"), 23);
    EXPECT_EQ(number("String", "replace_all_before_f"), 160);
    EXPECT_EQ(number("IntVector", "join_parts"), 84);
    EXPECT_EQ(number("Float", "from_fixed"), 0);
    EXPECT_EQ(number("Color", "const_orange"), 24);
    EXPECT_EQ(number("KeyEvent", "text"), 4);
    EXPECT_EQ(natives::findFunction(natives::findExtension("Accelerometer")->functions, "x")->number, 11);
    EXPECT_EQ(natives::findExtension(37)->name, "Maemo");
    EXPECT_EQ(natives::findExtension(21), nullptr);
}
