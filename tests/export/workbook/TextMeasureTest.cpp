#include "export/workbook/TextMeasure.h"

#include <gtest/gtest.h>

using namespace karto;

namespace {

ExportFont font(const char* name, int size, bool bold = false)
{
    ExportFont f;
    f.setName(name);
    f.setSize(size);
    if (bold)
        f.style().bold = efsYes;
    return f;
}

} // namespace

TEST(TextMeasure, ArialDigitsAsOnWindows)
{
    if (!arialMetricsAvailable())
        GTEST_SKIP() << "Liberation Sans (Arial metrics) is not installed";
    EXPECT_EQ(textWidth(font("Arial", 10), "0123456789"), 70);
    EXPECT_EQ(characterWidth("Arial", 10), 7);
    EXPECT_EQ(characterWidth("Arial", 10), 7);  // cached
    // The widest line counts; "&" is literal.
    const int wide = textWidth(font("Arial", 9), "WWWWWWWW");
    EXPECT_EQ(textWidth(font("Arial", 9), "ab\r\nWWWWWWWW\nx"), wide);
    EXPECT_GT(textWidth(font("Arial", 9, true), "NAZEV"), 0);
    EXPECT_GT(textWidth(font("Arial", 9), "A&B"), textWidth(font("Arial", 9), "AB"));
    EXPECT_EQ(textWidth(font("Arial", 9), ""), 0);
}

TEST(TextMeasure, FontRowHeights)
{
    const struct {
        const char* name;
        int size;
        int height;
    } cases[] = {
        {"Arial", 9, 16}, {"Arial", 10, 17}, {"Calibri", 9, 15}, {"Calibri", 10, 17}, {"Tahoma", 9, 15},
        {"Tahoma", 10, 17}, {"Arial", 11, 19}, {"Arial", 1, 2}, {"Verdana", 10, 17}, {"arial", 9, 15},
        {"Arial", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fontRowHeight(c.name, c.size), c.height) << c.name << " " << c.size;
    EXPECT_EQ(fontRowHeight("Arial", 9, true), 20);
}
