#include "structure/FrmStrukt.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "dbf/table/TableDataset.h"
#include "dbf/index/MdxTestTable.h"
#include "support/QtTestApp.h"
#include "support/DbfBuilder.h"

namespace karto {
namespace {

class FrmStruktTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        const QString path = dir.filePath(QStringLiteral("CENIK.DBF"));
        ASSERT_TRUE(test::writeTable(path.toStdString(), {{"NAZEV", 'C', 30}, {"CENA", 'N', 10, 2}},
                                         {{{"a", "1.00"}}}));
        dbf.setTableName(QFile::encodeName(path).toStdString());
        dbf.open();
    }
    QTemporaryDir dir;
    TableDataset dbf;
};

TEST_F(FrmStruktTest, ListsTheFieldsAndTheTotal)
{
    FrmStrukt window(dbf);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("  Struktura tabulky"));
    ASSERT_EQ(window.listView()->topLevelItemCount(), 2);
    const QTreeWidgetItem* first = window.listView()->topLevelItem(0);
    EXPECT_EQ(first->text(0), QStringLiteral("1"));
    EXPECT_EQ(first->text(1), QStringLiteral("NAZEV"));
    EXPECT_EQ(first->text(2), QStringLiteral("String"));
    EXPECT_EQ(first->text(3), QStringLiteral("30"));
    EXPECT_TRUE(first->text(4).isEmpty());
    EXPECT_EQ(window.listView()->topLevelItem(1)->text(2), QStringLiteral("Float"));
    EXPECT_EQ(window.listView()->topLevelItem(1)->text(3), QStringLiteral("10"));
    EXPECT_EQ(window.listView()->topLevelItem(1)->text(4), QStringLiteral("2"));
    // The total is the record's length: the fields and the deletion flag.
    EXPECT_EQ(window.sizeLabel()->text(), QStringLiteral("Délka struktury:  41"));
    EXPECT_TRUE(window.sizeLabel()->toolTip().contains(QStringLiteral("příznaku smazání")));
}

TEST_F(FrmStruktTest, EveryFieldShowsItsStoredLengthAndDecimals)
{
    test::DbfSpec spec;
    spec.version = 0x83;
    spec.fields = {{"NAZEV", 'C', 30},   {"CENA", 'N', 10, 2}, {"POCET", 'N', 5},  {"DATUM", 'D', 8},
                   {"PLATNY", 'L', 1},   {"POZN", 'M', 10},    {"KURZ", 'F', 12, 4}};
    test::TempDir tables;
    TableDataset table;
    table.setTableName(tables.write("T.DBF", test::buildDbf(spec)));
    table.open();
    FrmStrukt window(table);
    const struct { const char* type; const char* length; const char* decimals; } rows[] = {
        {"String", "30", ""}, {"Float", "10", "2"}, {"Integer", "5", "0"}, {"Date", "8", ""},
        {"Boolean", "1", ""}, {"Memo", "10", ""},   {"Float", "12", "4"},
    };
    ASSERT_EQ(window.listView()->topLevelItemCount(), 7);
    for (int i = 0; i < 7; ++i) {
        const QTreeWidgetItem* item = window.listView()->topLevelItem(i);
        EXPECT_EQ(item->text(2), QString::fromLatin1(rows[i].type)) << i;
        EXPECT_EQ(item->text(3), QString::fromLatin1(rows[i].length)) << i;
        EXPECT_EQ(item->text(4), QString::fromLatin1(rows[i].decimals)) << i;
    }
    EXPECT_EQ(window.sizeLabel()->text(), QStringLiteral("Délka struktury:  77"));
    const QStringList listing = window.listing();
    EXPECT_EQ(listing.at(5), QStringLiteral("   2  CENA                 Float    10   2"));
    EXPECT_EQ(listing.last(), QStringLiteral("      Celkem:                     77    "));
}

TEST(FrmStruktSample, TheTotalOfCenikIsItsRecordLength)
{
    test::qtApp();
    TableDataset cenik;
    cenik.setTableName(KARTO_SOURCE_DIR "/samples/CENIK.DBF");
    cenik.open();
    FrmStrukt window(cenik);
    EXPECT_EQ(window.sizeLabel()->text(), QStringLiteral("Délka struktury:  106"));
}

TEST_F(FrmStruktTest, SavesTheListingInWindows1250WithCrLf)
{
    FrmStrukt window(dbf);
    QString proposed, folder;
    const QString target = dir.filePath(QStringLiteral("out.txt"));
    window.setSaveFileAsker([&](const QString&, const QString& f, const QString& p) {
        folder = f;
        proposed = p;
        return target;
    });
    window.save();
    EXPECT_EQ(proposed, QStringLiteral("CENIK.TXT"));
    EXPECT_EQ(folder, dir.path() + QLatin1Char('/'));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.split('\n');
    EXPECT_EQ(lines.size(), 2 + 6 + 1);   // the last CR LF ends the last line
    EXPECT_EQ(lines[2], QByteArray("      Jm\xE9no               Typ    D\xE9lka Des\r"));
    EXPECT_EQ(lines[4], QByteArray("   1  NAZEV                String    30    \r"));
}

TEST_F(FrmStruktTest, EscapeClosesWithoutSaving)
{
    FrmStrukt window(dbf);
    bool asked = false;
    window.setSaveFileAsker([&](const QString&, const QString&, const QString&) {
        asked = true;
        return QString();
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(asked);
}

} // namespace
} // namespace karto

namespace karto {
namespace {

TEST(FrmStruktIndex, NamesTheProductionIndexAndItsTags)
{
    test::qtApp();
    test::MdxTestTable table({{"NAZEV", 'C', 12, 0}, {"CENA", 'N', 8, 2}});
    table.make({{{"a", "1.00"}}, {{"b", "2.00"}}},
               {{"NAZEV", "UPPER(NAZEV)", false, iuNormal}, {"CENA", "CENA", true, iuDistinct}});
    TableDataset dbf;
    dbf.setTableName(table.path());
    dbf.open();
    FrmStrukt window(dbf);
    EXPECT_FALSE(window.indexLabel()->isHidden());
    EXPECT_EQ(window.indexLabel()->text(), QStringLiteral("Index t.mdx: NAZEV, CENA"));
    EXPECT_EQ(window.indexLabel()->toolTip(),
              QString::fromUtf8("NAZEV: UPPER(NAZEV)\nCENA: CENA, sestupně, bez duplicit"));
    dbf.close();

    // An index that cannot be read is named as such.
    std::vector<uint8_t> bytes = table.mdxBytes();
    bytes[25] = 0;   // no tag slots: not an index this engine can read
    bytes[22] = 0;
    bytes[23] = 0;
    table.writeMdx(bytes);
    dbf.open();
    FrmStrukt damaged(dbf);
    EXPECT_EQ(damaged.indexLabel()->text(), QString::fromUtf8("Index t.mdx nelze použít"));
}

TEST_F(FrmStruktTest, NoIndexNoIndexLine)
{
    FrmStrukt window(dbf);
    EXPECT_TRUE(window.indexLabel()->isHidden());
}

} // namespace
} // namespace karto
