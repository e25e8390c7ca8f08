#include "structure/FrmStrukt.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "dbf/table/TableDataset.h"
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
    EXPECT_EQ(window.listView()->topLevelItem(1)->text(3), QStringLiteral("0"));
    EXPECT_EQ(window.sizeLabel()->text(), QStringLiteral("Délka struktury:  30"));
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
