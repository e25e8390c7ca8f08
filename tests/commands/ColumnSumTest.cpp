#include "commands/ColumnSum.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "commands/TableSearch.h"
#include "commands/UpperCase.h"
#include "dbf/table/TableDataset.h"
#include "support/DbfBuilder.h"

namespace karto {
namespace {

struct FormatCase {
    int64_t units;
    const char* separator;
    const char* text;
};

TEST(ColumnSum, CurrencyText)
{
    const FormatCase cases[] = {
        {37500, " ", "3.7500"},
        {0, " ", "0.0000"},
        {12000005000, " ", "1 200 000.5000"},
        {12000005000, "\u00a0", "1\u00a0200\u00a0000.5000"},
        {-9990001, ",", "-999.0001"},
        {-10000000, ",", "-1,000.0000"},
        {INT64_MIN, " ", "-922 337 203 685 477.5808"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(formatCurrency(c.units, c.separator), c.text) << c.units;
}

TEST(ColumnSum, MessageFillsTheNumberToFourteenCharacters)
{
    EXPECT_EQ(columnSumMessage("CENA", 37500, " "), "Sloupec \"CENA\" celkem:           3.7500");
    // A separator of two bytes counts as one character.
    EXPECT_EQ(columnSumMessage("CENA", 12000005000, "\u00a0"),
              "Sloupec \"CENA\" celkem:   1\u00a0200\u00a0000.5000");
    EXPECT_EQ(columnSumMessage("X", 123456789012345678, " "), "Sloupec \"X\" celkem:   12 345 678 901 234.5678");
}

class ColumnSumTable : public ::testing::Test {
protected:
    void open(const std::vector<test::ValueRecord>& rows)
    {
        const QString path = dir.filePath(QStringLiteral("sum.dbf"));
        ASSERT_TRUE(test::writeTable(path.toStdString(), {{"NAME", 'C', 4}, {"CENA", 'N', 20, 2}}, rows));
        dbf.setTableName(path.toStdString());
        dbf.open();
    }
    QTemporaryDir dir;
    TableDataset dbf;
};

TEST_F(ColumnSumTable, SumsTheVisibleRecordsAndReturnsToTheRecord)
{
    open({{{"a", "1.5"}}, {{"b", "2.25"}}, {{"c", ""}}, {{"d", "100"}, true}, {{"e", "-0.01"}}});
    dbf.setRecNo(3);
    std::exception_ptr error;
    EXPECT_EQ(sumColumn(dbf, 1, error), 37400);
    EXPECT_FALSE(error);
    EXPECT_EQ(dbf.recNo(), 3);
    EXPECT_FALSE(dbf.controlsDisabled());

    dbf.setShowDeleted(true);
    EXPECT_EQ(sumColumn(dbf, 1, error), 1037400);
    // With the filter on, only the accepted records.
    ColumnFilter filter(dbf, qtUpperCase());
    filter.switchOn("b", 0);
    EXPECT_EQ(sumColumn(dbf, 1, error), 22500);
}

TEST_F(ColumnSumTable, AnOverflowStopsWithTheSumSoFar)
{
    open({{{"a", "1.5"}}, {{"b", "99999999999999999.99"}}, {{"c", "1"}}});
    dbf.setRecNo(3);
    std::exception_ptr error;
    EXPECT_EQ(sumColumn(dbf, 1, error), 15000);
    ASSERT_TRUE(error);
    EXPECT_EQ(dbf.recNo(), 3);
    EXPECT_FALSE(dbf.controlsDisabled());
    try {
        std::rethrow_exception(error);
    } catch (const ColumnSumError& e) {
        EXPECT_STREQ(e.what(), "Arithmetic overflow");
    }
}

} // namespace
} // namespace karto
