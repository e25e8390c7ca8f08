// The search, filter, copy and sum commands in the main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/CellCommands.h"
#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "app/SearchCommands.h"
#include "dbf/Windows1250.h"
#include "QtTestApp.h"
#include "TestTable.h"

namespace karto {
namespace {

using test::TestField;
using test::TestRecord;

const std::vector<TestField> kFields{{"JMENO", 'C', 12}, {"MESTO", 'C', 12}, {"CENA", 'N', 10, 2},
                                     {"DATUM", 'D', 8}, {"POZN", 'C', 12}};

class WindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        test::clearSettings();
        window = std::make_unique<MainWindow>();
        window->setWriteSettingsOnClose(false);
        MainWindow::Dialogs dialogs = window->dialogs();
        dialogs.error = [this](QWidget*, const QString& message) { errors << message; };
        dialogs.warning = [this](QWidget*, const QString& message) { warnings << message; };
        window->setDialogs(dialogs);
        search = new SearchCommands(*window);
        search->install();
        cells = new CellCommands(*window);
        cells->install();
        cells->setMessageBox([this](QWidget*, const QString& caption, const QString& text) {
            messages << caption + QStringLiteral(" | ") + text;
        });
        window->action(QStringLiteral("aWin"))->trigger();   // the bytes as they are
    }

    QString table(const char* name, const std::vector<TestField>& fields,
                  std::initializer_list<std::vector<const char*>> rows)
    {
        std::vector<TestRecord> records;
        for (const auto& row : rows) {
            TestRecord r;
            for (const char* v : row)
                r.values.push_back(utf8ToWindows1250(v));
            records.push_back(r);
        }
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(test::writeTestTable(path, fields, records));
        return path;
    }
    void open(const QString& path)
    {
        ASSERT_TRUE(window->openTableReporting(path)) << errors.join(QLatin1Char('\n')).toStdString();
    }
    void run(const char* name)
    {
        window->actionListUpdate();
        QAction* a = window->action(QString::fromLatin1(name));
        ASSERT_TRUE(a->isEnabled()) << name;
        a->trigger();
    }
    void moveTo(int row, int column)
    {
        window->grid()->setCurrentIndex(window->gridModel()->index(row, column));
    }
    QPoint cell() const
    {
        const QModelIndex i = window->grid()->currentIndex();
        return {i.column(), i.row()};
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    SearchCommands* search = nullptr;
    CellCommands* cells = nullptr;
    QStringList errors, warnings, messages;
};

TEST_F(WindowCommandsTest, FindInColumnWalksAndWarnsAtTheEnd)
{
    open(table("A.DBF", kFields, {{"NOVÁK"}, {"Dvořák"}, {"Novotná"}, {"Černý"}}));
    window->searchBox()->setText(QStringLiteral("nov"));
    moveTo(1, 0);
    // Each step: the record the grid shows after F7, and whether it warned.
    const struct { int record; bool warned; } steps[] = {{1, false}, {3, false}, {3, true}, {1, false}};
    for (const auto& s : steps) {
        warnings.clear();
        run("aFind");
        EXPECT_EQ(window->dbf().recNo(), s.record);
        EXPECT_EQ(window->gridModel()->recordOfRow(cell().y()), s.record);
        EXPECT_EQ(warnings.size(), s.warned ? 1 : 0);
    }
    EXPECT_TRUE(window->grid()->hasFocus() || !window->isVisible());

    // Typing restarts from the first record.
    run("aFind");
    EXPECT_EQ(window->dbf().recNo(), 3);
    window->searchBox()->setText(QStringLiteral("No"));
    EXPECT_TRUE(search->firstFind());
    run("aFind");
    EXPECT_EQ(window->dbf().recNo(), 1);
}

TEST_F(WindowCommandsTest, FindEverywhereSelectsTheMatchingCells)
{
    open(table("B.DBF", kFields, {{"a", "b"}, {"Nový", "x", "", "", "nová"}, {"c", "Novosedly"}}));
    window->searchBox()->setText(QStringLiteral("NOV"));
    const QPoint expected[] = {{0, 1}, {4, 1}, {1, 2}};
    for (const QPoint& p : expected) {
        window->searchBox()->setFocus();
        QTest::keyClick(window->searchBox(), Qt::Key_Return);   // Enter runs find everywhere
        EXPECT_EQ(cell(), p);
    }
    EXPECT_TRUE(warnings.isEmpty());
    run("aFindAll");
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0], QStringLiteral("Další výskyt hledaného řetězce nenalezen\nHledání bude pokračovat od začátku"));
    EXPECT_EQ(cell(), QPoint(1, 2));
}

TEST_F(WindowCommandsTest, EnterWithAnEmptyBoxOrWithoutATable)
{
    window->searchBox()->setText(QString());
    QTest::keyClick(window->searchBox(), Qt::Key_Return);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Cannot perform this operation on a closed dataset")});

    open(table("C.DBF", kFields, {{"a"}, {"b"}}));
    moveTo(1, 2);
    QTest::keyClick(window->searchBox(), Qt::Key_Return);
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(cell(), QPoint(2, 1));
}

TEST_F(WindowCommandsTest, FilterShowsTheMatchingRecordsOfTheColumn)
{
    open(table("D.DBF", kFields,
               {{"a", "Praha"}, {"b", "Brno"}, {"c", "PRAHA 4"}, {"praha", "Kolín"}, {"e", "praha"}}));
    QSignalSpy tint(search, &SearchCommands::filterColumnChanged);
    window->searchBox()->setText(QStringLiteral("PRAHA"));
    moveTo(1, 1);
    run("aFilter");
    EXPECT_TRUE(window->action(QStringLiteral("aFilter"))->isChecked());
    EXPECT_EQ(search->filterColumn(), 1);
    window->gridModel()->finishScan();
    ASSERT_EQ(window->gridModel()->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window->gridModel()->recordOfRow(row), (std::vector<int>{1, 3, 5}[row]));
    EXPECT_EQ(window->dbf().recNo(), 3);
    ASSERT_EQ(tint.size(), 1);
    EXPECT_EQ(tint[0][0].toInt(), 1);

    // The box's text no longer matters to the filter.
    window->searchBox()->setText(QStringLiteral("x"));
    run("aFilter");
    EXPECT_FALSE(window->action(QStringLiteral("aFilter"))->isChecked());
    EXPECT_EQ(window->gridModel()->rowCount(), 5);
    EXPECT_EQ(window->dbf().recNo(), 3);
    ASSERT_EQ(tint.size(), 2);
    EXPECT_EQ(tint[1][0].toInt(), -1);
}

TEST_F(WindowCommandsTest, FilterFollowsAnotherTableAndStopsWithoutItsColumn)
{
    open(table("E.DBF", kFields, {{"a", "Praha"}, {"b", "Brno"}}));
    window->searchBox()->setText(QStringLiteral("praha"));
    moveTo(0, 4);
    run("aFilter");
    EXPECT_EQ(window->gridModel()->rowCount(), 0);

    // Column 4 of the next table: the filter goes on.
    open(table("F.DBF", kFields, {{"a", "", "", "", "x"}, {"b", "", "", "", "Praha 6"}}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->dbf().filtered());
    window->gridModel()->finishScan();
    EXPECT_EQ(window->gridModel()->rowCount(), 1);

    // A table of two columns: switched off, every record shown.
    open(table("G.DBF", {{"A", 'C', 5}, {"B", 'C', 5}}, {{"a"}, {"b"}, {"c"}}));
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->dbf().filtered());
    EXPECT_FALSE(window->action(QStringLiteral("aFilter"))->isChecked());
    EXPECT_EQ(search->filterColumn(), -1);
    window->gridModel()->finishScan();
    EXPECT_EQ(window->gridModel()->rowCount(), 3);
}

TEST_F(WindowCommandsTest, CopyTheCellAndSumTheColumn)
{
    open(table("H.DBF", kFields, {{"Šťastný", "", "1.5", "20240131"}, {"b", "", "2.25"}, {"c", "", ""}}));
    moveTo(1, 3);
    run("aCopyField");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    moveTo(0, 3);
    run("aCopyField");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              window->gridModel()->data(window->gridModel()->index(0, 3)).toString());
    EXPECT_FALSE(QGuiApplication::clipboard()->text().isEmpty());
    moveTo(0, 0);
    run("aCopyField");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Šťastný"));

    moveTo(1, 2);
    run("aSum");
    EXPECT_EQ(messages, QStringList{QGuiApplication::applicationDisplayName() +
                                    QStringLiteral(" | Sloupec \"CENA\" celkem:           3.7500")});
    EXPECT_EQ(window->dbf().recNo(), 2);
    EXPECT_EQ(cell(), QPoint(2, 1));
}

} // namespace
} // namespace karto
