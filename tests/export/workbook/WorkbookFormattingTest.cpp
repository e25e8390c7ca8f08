#include "export/workbook/WorkbookFormatting.h"

#include <gtest/gtest.h>

using namespace karto;

TEST(WorkbookFormatting, XmlNumbers)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {120, "120"}, {2.5, "2.5"}, {44010, "44010"}, {-0.5, "-0.5"}, {0, "0"}, {12, "12"},
        {80.0 / 7, "11.4285714285714"}, {2 * 0.393700787401574825, "0.78740157480315"},
        {0.393700787401574825, "0.393700787401575"}, {1e20, "1E20"}, {1.5e-7, "1.5E-7"},
        {0.0001, "0.0001"}, {0.00001, "1E-5"}, {999999999999999, "999999999999999"}, {1e15, "1E15"},
        {0.1 + 0.2, "0.3"}, {9007199254740993.0, "9.00719925474099E15"}, {-1234.5678, "-1234.5678"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatXmlNumber(c.value), c.text) << c.value;
}

TEST(WorkbookFormatting, NumberFormatsOfNumberCells)
{
    EXPECT_EQ(buildNumberFormat(-1, 1, false, false), "");
    EXPECT_EQ(buildNumberFormat(0, 1, false, false), "0;\\-0");
    EXPECT_EQ(buildNumberFormat(2, 1, false, false), "0.00;\\-0.00");
    EXPECT_EQ(buildNumberFormat(1, 1, true, true), "#,##0.0;[Red]\\-#,##0.0");
}

TEST(WorkbookFormatting, DateDisplay)
{
    const double serial = dateToSerial(2020, 6, 28);
    EXPECT_EQ(serial, 44010);
    EXPECT_EQ(formatDateTime(serial, dateTimeDisplayFormat("dd.mm.yyyy")), "28.06.2020");
    EXPECT_EQ(formatDateTime(serial + 0.5 + 5.0 / 1440, dateTimeDisplayFormat("d.m.yy h:mm")), "28.6.20 12:05");
    EXPECT_EQ(dateTimeDisplayFormat("[$-405]DD.MM.YYYY;@"), "dd.mm.yyyy");
    EXPECT_EQ(resolveFormatPlaceholders("%sysdatetime%"), "dd.mm.yyyy h:mm:ss");
    EXPECT_EQ(resolveFormatPlaceholders("0;\\-0"), "0;\\-0");
    EXPECT_EQ(formatFixedDecimals(1234567.891, 2, true), "1,234,567.89");
    EXPECT_EQ(formatFixedDecimals(-0.001, 2, false), "0.00");
}
