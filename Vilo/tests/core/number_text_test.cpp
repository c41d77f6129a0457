// Numbers as texts: the real form of the files and edits, the value texts of the table, and
// the conversions back, also under a locale whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>

#include "project/NumberText.h"

namespace {

using vilo::FormatFixed;
using vilo::FormatReal;
using vilo::ParseBool;
using vilo::ParseInt;
using vilo::ParseReal;

TEST(NumberText, RealForm) {
    const std::pair<double, const char *> cases[] = {
        {0, "0"},
        {0.1, "0.1"},
        {100000, "100000"},
        {1e-6, "1E-6"},
        {1.5e20, "1.5E20"},
        {-2.5, "-2.5"},
        {0.00001, "0.00001"},
        {0.25, "0.25"},
        {static_cast<double>(0.1f), "0.100000001490116"},
        {123456789012345.0, "123456789012345"},   // 15 digits before the point
        {1234567890123456.0, "1.23456789012346E15"},
        {-1e-7, "-1E-7"},
        {1000000, "1000000"},
        {101.325, "101.325"},
    };
    for (const auto &[value, text] : cases) EXPECT_EQ(FormatReal(value), text) << text;
}

TEST(NumberText, FixedValueTexts) {
    EXPECT_EQ(FormatFixed(23.45671, 4, 10), "   23.4567");
    EXPECT_EQ(FormatFixed(-1.5, 4, 10), "   -1.5000");
    EXPECT_EQ(FormatFixed(-1000000, 4, 10), "-1000000.0000");  // not cut
    EXPECT_EQ(FormatFixed(0, 4, 10), "    0.0000");
}

TEST(NumberText, ParsesStrictly) {
    const std::pair<const char *, std::optional<double>> cases[] = {
        {"12.5", 12.5},    {"-3", -3},     {"+4.25", 4.25},  {" 7 ", 7},       {"1E-6", 1e-6}, {"1.5e20", 1.5e20},
        {".5", 0.5},       {"5.", 5},      {"12,5", {}},     {"", {}},         {"+", {}},      {".", {}},
        {"-.", {}},        {"1e", {}},     {"abc", {}},      {"1.2.3", {}},    {"inf", {}},    {"nan", {}},
        {"0x10", {}},      {"1e999", {}},
    };
    for (const auto &[text, expected] : cases) {
        double value = -99;
        EXPECT_EQ(ParseReal(text, value), expected.has_value()) << text;
        if (expected) {
            EXPECT_DOUBLE_EQ(value, *expected) << text;
        }
    }
    std::int32_t number = 0;
    EXPECT_TRUE(ParseInt(" -12 ", number));
    EXPECT_EQ(number, -12);
    EXPECT_FALSE(ParseInt("", number));
    EXPECT_FALSE(ParseInt("1.5", number));
    EXPECT_FALSE(ParseInt("99999999999", number));
    bool flag = false;
    for (const char *yes : {"-1", "1", "True", "TRUE", "true", "7"}) EXPECT_TRUE(ParseBool(yes, flag) && flag) << yes;
    for (const char *no : {"0", "False", "fAlSe"}) EXPECT_TRUE(ParseBool(no, flag) && !flag) << no;
    for (const char *bad : {"yes", "", "1.0"}) EXPECT_FALSE(ParseBool(bad, flag)) << bad;
}

TEST(NumberText, IgnoresADecimalCommaLocale) {
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) GTEST_SKIP() << "ru_RU.UTF-8 is not generated on this machine";
    double value = 0;
    EXPECT_TRUE(ParseReal("12.5", value));
    EXPECT_EQ(value, 12.5);
    EXPECT_FALSE(ParseReal("12,5", value));
    EXPECT_EQ(FormatReal(12.5), "12.5");
    EXPECT_EQ(FormatFixed(12.5, 4, 10), "   12.5000");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
