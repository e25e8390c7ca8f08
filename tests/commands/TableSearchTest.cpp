#include "commands/TableSearch.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "commands/UpperCase.h"
#include "convert/CodePageConverter.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "dbf/text/Windows1250.h"
#include "support/DbfBuilder.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::ValueRecord;

// Fields NAME, TOWN, NUM, NOTE; the texts in Windows 1250.
std::vector<ValueRecord> records(std::initializer_list<std::vector<const char*>> rows,
                                std::initializer_list<int> deleted = {})
{
    std::vector<ValueRecord> out;
    for (const auto& row : rows) {
        ValueRecord r;
        for (const char* v : row)
            r.values.push_back(utf8ToWindows1250(v));
        out.push_back(r);
    }
    for (int d : deleted)
        out[static_cast<std::size_t>(d - 1)].deleted = true;
    return out;
}

class TableSearchTest : public ::testing::Test {
protected:
    void open(const std::vector<ValueRecord>& rows)
    {
        const QString path = dir.filePath(QStringLiteral("t.dbf"));
        ASSERT_TRUE(test::writeTable(path.toStdString(), {{"NAME", 'C', 12}, {"TOWN", 'C', 10}, {"NUM", 'N', 6, 1},
                                                {"NOTE", 'C', 12}},
                                         rows));
        dbf.setTableName(path.toStdString());
        dbf.open();
    }
    TextMatcher matcher(const char* text) { return TextMatcher(text, qtUpperCase()); }

    QTemporaryDir dir;
    TableDataset dbf;
};

TEST_F(TableSearchTest, FindInColumnWalksTheMatchesThenReturnsToTheStart)
{
    open(records({{"NOVÁK", "Praha"}, {"Dvořák", "Brno"}, {"Novotná", "Ostrava"}, {"Černý", "Plzeň"}}));
    TableSearch search(dbf);
    TextMatcher nov = matcher("nov");
    EXPECT_TRUE(search.firstFind());
    EXPECT_TRUE(search.findInField(0, nov));
    EXPECT_EQ(dbf.recNo(), 1);
    EXPECT_FALSE(search.firstFind());
    EXPECT_TRUE(search.findInField(0, nov));
    EXPECT_EQ(dbf.recNo(), 3);
    // After the last match: back on the record current before, from the start next time.
    EXPECT_FALSE(search.findInField(0, nov));
    EXPECT_EQ(dbf.recNo(), 3);
    EXPECT_TRUE(search.firstFind());
    EXPECT_TRUE(search.findInField(0, nov));
    EXPECT_EQ(dbf.recNo(), 1);

    // Č finds č; a new text from the start (the search box changed).
    TextMatcher upperC = matcher("Č");
    search.setFirstFind(true);
    EXPECT_TRUE(search.findInField(0, upperC));
    EXPECT_EQ(dbf.recNo(), 4);
    EXPECT_FALSE(dbf.controlsDisabled());
}

TEST_F(TableSearchTest, FindInColumnSkipsHiddenRecordsAndOtherColumns)
{
    open(records({{"A", "Praha"}, {"B", "praha"}, {"C", "Brno", "", "praha"}, {"D", "PRAHA 4"}}, {2}));
    TableSearch search(dbf);
    TextMatcher praha = matcher("praha");
    dbf.setRecNo(3);
    search.setFirstFind(false);
    EXPECT_TRUE(search.findInField(1, praha));
    EXPECT_EQ(dbf.recNo(), 4);
    EXPECT_FALSE(search.findInField(1, praha));
    EXPECT_EQ(dbf.recNo(), 4);
    // Deleted records shown: record 2 is found too.
    dbf.setShowDeleted(true);
    EXPECT_TRUE(search.findInField(1, praha));
    EXPECT_TRUE(search.findInField(1, praha));
    EXPECT_EQ(dbf.recNo(), 2);
}

TEST_F(TableSearchTest, FindEverywhereWalksCellByCell)
{
    open(records({{"x", "y", "1.5"}, {"nov", "z", "", "NOVÝ"}, {"q", "q"}, {"Nováček", "", "", ""}}));
    TableSearch search(dbf);
    const std::vector<int> all{0, 1, 2, 3};
    TextMatcher nov = matcher("NOV");
    // Each search starts after the field the previous one found (the grid's
    // current column): both matches of record 2, then record 4, then the end.
    const std::vector<std::pair<int, int>> expected{{2, 0}, {2, 3}, {4, 0}};
    int current = 0;
    for (const auto& [rec, field] : expected) {
        current = search.findEverywhere(current, all, nov);
        EXPECT_EQ(current, field);
        EXPECT_EQ(dbf.recNo(), rec);
    }
    EXPECT_EQ(search.findEverywhere(current, all, nov), -1);
    EXPECT_EQ(dbf.recNo(), 4);
    EXPECT_TRUE(search.firstFind());
    // The current column is the last one: the search goes on with the next record.
    search.setFirstFind(false);
    dbf.setRecNo(2);
    EXPECT_EQ(search.findEverywhere(3, all, nov), 0);
    EXPECT_EQ(dbf.recNo(), 4);

    // Numbers compare by their text form.
    TextMatcher number = matcher("1.5");
    search.setFirstFind(true);
    EXPECT_EQ(search.findEverywhere(0, all, number), 2);
    EXPECT_EQ(dbf.recNo(), 1);
}

TEST_F(TableSearchTest, FindEverywhereSkipsFieldsWithoutAColumn)
{
    open(records({{"a", "nov"}, {"b", "", "", "nov"}, {"nov"}}));
    TableSearch search(dbf);
    TextMatcher nov = matcher("nov");
    const std::vector<int> shown{3, 0};   // TOWN and NUM have no column
    EXPECT_EQ(search.findEverywhere(0, shown, nov), 3);
    EXPECT_EQ(dbf.recNo(), 2);
    EXPECT_EQ(search.findEverywhere(3, shown, nov), 0);
    EXPECT_EQ(dbf.recNo(), 3);
}

TEST_F(TableSearchTest, NothingToFindKeepsThePlace)
{
    open(records({{"a"}, {"b"}, {"c"}}));
    TableSearch search(dbf);
    dbf.setRecNo(2);
    search.setFirstFind(false);
    TextMatcher empty = matcher("");
    EXPECT_EQ(search.findEverywhere(0, {0, 1, 2, 3}, empty), -1);
    EXPECT_EQ(dbf.recNo(), 2);
    EXPECT_TRUE(search.firstFind());
    TextMatcher none = matcher("zzz");
    EXPECT_FALSE(search.findInField(0, none));
    EXPECT_EQ(dbf.recNo(), 2);

    dbf.close();
    try {
        search.findEverywhere(0, {0}, none);
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
    }
}

// The code page conversion through the hook's byte table and through the
// hook's translate() alone.
class TranslateOnly : public TranslateHook {
public:
    explicit TranslateOnly(TranslateHook& inner) : inner_(inner) {}
    int translate(uint8_t* src, uint8_t* dst, bool toOem) override { return inner_.translate(src, dst, toOem); }

private:
    TranslateHook& inner_;
};

TEST_F(TableSearchTest, SearchesTheConvertedText)
{
    // 0xA6 0x9F: "Žč" in Latin 2.
    ValueRecord r;
    r.values = {"abc"};
    ValueRecord latin2;
    latin2.values = {"x\xA6\x9Fy"};
    open({r, latin2});
    CodePageConverter converter;
    converter.chooseCodePage(cpLatin2);
    TranslateOnly plain(converter);
    for (TranslateHook* hook : std::initializer_list<TranslateHook*>{&converter, &plain}) {
        dbf.setOnTranslate(hook);
        TableSearch search(dbf);
        TextMatcher needle = matcher("žČ");
        EXPECT_TRUE(search.findInField(0, needle));
        EXPECT_EQ(dbf.recNo(), 2);
        ColumnFilter filter(dbf, qtUpperCase());
        filter.switchOn("ŽČY", 0);
        dbf.first();
        EXPECT_EQ(dbf.recNo(), 2);
        dbf.next();
        EXPECT_TRUE(dbf.eof());
        filter.switchOff();
    }
}

TEST_F(TableSearchTest, ColumnFilterShowsTheMatchingRecords)
{
    open(records({{"a", "Praha"}, {"b", "Brno"}, {"c", "PRAHA 5"}, {"d", "praha"}, {"e", "Kolín"}}, {4}));
    ColumnFilter filter(dbf, qtUpperCase());
    // Grid columns: TOWN first, then NAME.
    filter.setFieldOfColumn([](int column) { return column == 0 ? 1 : column == 1 ? 0 : -1; });
    auto visible = [this] {
        std::vector<int> out;
        for (dbf.first(); !dbf.eof(); dbf.next())
            out.push_back(dbf.recNo());
        return out;
    };
    dbf.setRecNo(2);
    filter.switchOn("praha", 0);
    EXPECT_TRUE(filter.on());
    EXPECT_EQ(filter.text(), "PRAHA");
    EXPECT_EQ(filter.column(), 0);
    EXPECT_EQ(dbf.recNo(), 3);   // the first accepted record from where it was
    EXPECT_EQ(visible(), (std::vector<int>{1, 3}));
    // A column that shows no field accepts everything.
    filter.switchOn("praha", 5);
    EXPECT_EQ(visible(), (std::vector<int>{1, 2, 3, 5}));
    filter.switchOff();
    EXPECT_FALSE(dbf.filtered());
    EXPECT_EQ(filter.column(), -1);
    EXPECT_EQ(visible(), (std::vector<int>{1, 2, 3, 5}));
}

TEST_F(TableSearchTest, ColumnFilterOutlivedByTheDataset)
{
    open(records({{"a"}, {"b"}}));
    {
        ColumnFilter filter(dbf, qtUpperCase());
        filter.switchOn("a", 0);
        EXPECT_EQ(dbf.recNo(), 1);
    }
    // The filter object is gone; its callback accepts every record.
    dbf.refresh();
    dbf.last();
    EXPECT_EQ(dbf.recNo(), 2);
}

} // namespace
} // namespace karto
