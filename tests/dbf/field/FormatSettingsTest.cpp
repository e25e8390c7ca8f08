#include <gtest/gtest.h>

#include <string>

#include "support/FieldTable.h"
#include "dbf/field/FormatSettings.h"

using namespace karto;
using test::pinnedSettings;

TEST(FormatSettings, DateAndTimePatterns)
{
    FormatSettings s = pinnedSettings();
    struct Case {
        const char* date;
        const char* time;
        const char* expected;
    } cases[] = {
        {"dd.MM.yyyy", "HH:mm:ss", "05.03.0987 07:08:09"},
        {"d/M/yy", "h:mm AP", "5/3/87 7:08 dop."},
        {"dddd d. MMMM yyyy", "H:mm:ss.zzz", "pond\xC4\x9Bl\xC3\xAD 5. b\xC5\x99" "ezen 0987 7:08:09.045"},
        {"'den' d 'o''clock'", "H 'h' t", "den 5 o'clock 7 h"},
        {"yyyy-MM-dd", "hh:mm:ss ap", "0987-03-05 07:08:09 dop."},
    };
    for (const Case& c : cases) {
        s.setShortDateFormat(c.date);
        s.setLongTimeFormat(c.time);
        std::string out;
        s.appendDate(out, 987, 3, 5);
        out.push_back(' ');
        s.appendTime(out, 7, 8, 9, 45);
        EXPECT_EQ(out, c.expected) << c.date << " / " << c.time;
    }
    s.setLongTimeFormat("h:mm a");
    std::string out;
    s.appendTime(out, 0, 5, 0, 0);
    s.appendTime(out, 13, 5, 0, 0);
    EXPECT_EQ(out, "12:05 dop.1:05 odp.");
}

TEST(FormatSettings, GroupedNumber)
{
    FormatSettings s = pinnedSettings();
    struct Case {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{1200000.5, 4, "1 200 000.5000"}, {-999.99999, 2, "-1 000.00"}, {0.0, 4, "0.0000"},
                 {123.0, 0, "123"}, {-0.00001, 2, "0.00"}};
    for (const Case& c : cases) {
        std::string out;
        s.appendGroupedNumber(out, c.value, c.decimals);
        EXPECT_EQ(out, c.text);
    }
}
