#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "dbf/field/NumberText.h"

using namespace karto;

TEST(NumberText, IntegerRule)
{
    struct Case {
        const char* text;
        bool ok;
        int64_t value;
    } cases[] = {
        {"-12", true, -12},        {"  +7", true, 7},          {"12.5", true, 12},
        {"13.5", true, 14},        {"-2.5", true, -2},         {"1e3", true, 1000},
        {"abc", false, 0},         {"", false, 0},             {"- 1", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"99999999999999999999", false, 0},   // beyond 64 bits even when rounded
        {"1,5", false, 0},
    };
    for (const Case& c : cases) {
        int64_t v = 0;
        EXPECT_EQ(parseIntegerRule(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(NumberText, NumberRule)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5},   {"-.5", true, -0.5},  {"5.", true, 5.0},     {"+1E3", true, 1000.0},
        {"2.5e-1", true, 0.25}, {" 7 ", true, 7.0}, {"1,5", false, 0},     {"inf", false, 0},
        {"nan", false, 0},    {"0x10", false, 0},   {"1e", false, 0},      {".", false, 0},
        {"1e999", false, 0},  {"123456789012345678901", false, 0},   // 21 characters
    };
    for (const Case& c : cases) {
        double v = 0;
        EXPECT_EQ(parseNumberRule(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

TEST(NumberText, GeneralFloatText)
{
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {12.5, "12.5"},  {12.50, "12.5"},   {0.0001, "0.0001"}, {1e20, "1E20"},   {1.5e-5, "1.5E-5"},
        {0.0, "0"},      {-0.0, "0"},       {-3.0, "-3"},       {0.1 + 0.2, "0.3"},
        {123456789012345.0, "123456789012345"}, {1e15, "1E15"}, {2.0 / 3.0, "0.666666666666667"},
        {-1.25e-300, "-1.25E-300"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendGeneralFloat(out, c.value);
        EXPECT_EQ(out, c.text) << c.value;
    }
}

TEST(NumberText, NumberTextRule)
{
    struct Case {
        double value;
        int width;
        int decimals;
        const char* text;
    } cases[] = {
        {12.5, 8, 2, "   12.50"},
        {0.0, 4, 2, "0.00"},
        {123456789.0, 5, 0, "1.2E8"},
        {12.5, 4, 2, "12.5"},         // zeros only while the width allows
        {12.5, 3, 2, " 13"},          // fewer digits
        {12345.6, 5, 1, "12346"},     // the integer part fills the width: point and decimals go
        {99999.9, 5, 1, "  1E5"},
        {-1.5, 6, 2, " -1.50"},
        {0.125, 6, 2, "  0.13"},      // half away from zero on the digits
        {2.5, 3, 0, "  3"},
        {1.2345e18, 10, 0, " 1.2345E18"},
        {1e-10, 6, 2, "  0.00"},
        {-0.001, 5, 2, " 0.00"},
        {123456.0, 3, 0, "1E5"},
        {123456.0, 2, 0, "  "},       // nothing fits
        {std::numeric_limits<double>::quiet_NaN(), 4, 0, "    "},
        {1e300, 20, 2, "               1E300"},
    };
    for (const Case& c : cases) {
        std::string field(static_cast<size_t>(c.width), '#');
        formatNumberField(field.data(), c.width, c.decimals, c.value);
        EXPECT_EQ(field, c.text) << c.value << " w" << c.width << " d" << c.decimals;
    }
}

TEST(NumberText, IntegerTextRule)
{
    struct Case {
        int64_t value;
        int width;
        char pad;
        const char* text;
    } cases[] = {
        {12, 10, '0', "0000000012"},
        {5000000000LL, 12, ' ', "  5000000000"},
        {123456789, 5, ' ', "1.2E8"},
        {12345678901LL, 10, '0', "0000000000"},   // a memo block number that does not fit
        {-12, 5, ' ', "  -12"},
        {INT64_MIN, 20, ' ', "-9223372036854775808"},
    };
    for (const Case& c : cases) {
        std::string field(static_cast<size_t>(c.width), '#');
        formatIntegerField(field.data(), c.width, c.value, c.pad);
        EXPECT_EQ(field, c.text) << c.value;
    }
}

TEST(NumberText, ScaledCurrencyText)
{
    struct Case {
        int64_t scaled;
        const char* text;
    } cases[] = {
        {125000, "12.5"}, {-30000, "-3"}, {1, "0.0001"}, {0, "0"}, {-5000, "-0.5"},
        {INT64_MIN, "-922337203685477.5808"}, {INT64_MAX, "922337203685477.5807"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendScaledCurrency(out, c.scaled);
        EXPECT_EQ(out, c.text);
    }
}
