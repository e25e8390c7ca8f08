// The search, filter, copy, sum and column chooser commands in the main
// window, through its actions and their keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/CellCommands.h"
#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/FColumns.h"
#include "app/MainWindow.h"
#include "app/SearchCommands.h"
#include "dbf/text/Windows1250.h"
#include "support/WindowFixture.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::ValueRecord;

const std::vector<FieldSpec> kFields{{"JMENO", 'C', 12}, {"MESTO", 'C', 12}, {"CENA", 'N', 10, 2},
                                     {"DATUM", 'D', 8}, {"POZN", 'C', 12}};

class WindowCommandsTest : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        search = window->searchCommands();
        cells = window->cellCommands();
        window->action(aWin)->trigger();   // the bytes as they are
    }

    QString table(const char* name, const std::vector<FieldSpec>& fields,
                  std::initializer_list<std::vector<const char*>> rows)
    {
        return tableOfTexts(name, fields, rows);
    }
    void run(ActionId id) { runEnabled(id); }
    void moveTo(int row, int column)
    {
        window->grid()->setCurrentIndex(window->gridModel()->index(row, column));
    }
    // The window shown and active, so that its shortcuts work.
    void showWindow()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // A key pressed in a widget, which first gets the focus.
    void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (!window->isActiveWindow())
            showWindow();   // again after a dialog
        target->setFocus();
        window->actionListUpdate();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    // Answers the next column chooser: the named items unchecked ("*" checks
    // all first), then OK.
    void answerChooser(QStringList uncheck)
    {
        auto* timer = new QTimer(window.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [timer, uncheck] {
            auto* dialog = qobject_cast<FColumns*>(QApplication::activeModalWidget());
            if (!dialog)
                return;   // not open yet
            timer->stop();
            timer->deleteLater();
            if (uncheck.contains(QStringLiteral("*")))
                dialog->bAll()->click();
            for (int i = 0; i < dialog->lbCols()->count(); ++i) {
                QListWidgetItem* item = dialog->lbCols()->item(i);
                if (uncheck.contains(item->text()))
                    item->setCheckState(Qt::Unchecked);
            }
            dialog->bOk()->click();
        });
        timer->start();
    }
    QString cellText(int row, int column) const
    {
        return window->gridModel()->data(window->gridModel()->index(row, column)).toString();
    }
    QPoint cell() const
    {
        const QModelIndex i = window->grid()->currentIndex();
        return {i.column(), i.row()};
    }

    SearchCommands* search = nullptr;
    CellCommands* cells = nullptr;
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
        run(aFind);
        EXPECT_EQ(window->dbf().recNo(), s.record);
        EXPECT_EQ(window->gridModel()->recordOfRow(cell().y()), s.record);
        EXPECT_EQ(warnings.size(), s.warned ? 1 : 0);
    }
    EXPECT_TRUE(window->grid()->hasFocus() || !window->isVisible());

    // Typing restarts from the first record.
    run(aFind);
    EXPECT_EQ(window->dbf().recNo(), 3);
    window->searchBox()->setText(QStringLiteral("No"));
    EXPECT_TRUE(search->firstFind());
    run(aFind);
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
    run(aFindAll);
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
    run(aFilter);
    EXPECT_TRUE(window->action(aFilter)->isChecked());
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
    run(aFilter);
    EXPECT_FALSE(window->action(aFilter)->isChecked());
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
    run(aFilter);
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
    EXPECT_FALSE(window->action(aFilter)->isChecked());
    EXPECT_EQ(search->filterColumn(), -1);
    window->gridModel()->finishScan();
    EXPECT_EQ(window->gridModel()->rowCount(), 3);
}

TEST_F(WindowCommandsTest, CopyTheCellAndSumTheColumn)
{
    open(table("H.DBF", kFields, {{"Šťastný", "", "1.5", "20240131"}, {"b", "", "2.25"}, {"c", "", ""}}));
    moveTo(1, 3);
    run(aCopyField);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    moveTo(0, 3);
    run(aCopyField);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              window->gridModel()->data(window->gridModel()->index(0, 3)).toString());
    EXPECT_FALSE(QGuiApplication::clipboard()->text().isEmpty());
    moveTo(0, 0);
    run(aCopyField);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Šťastný"));

    moveTo(1, 2);
    run(aSum);
    EXPECT_EQ(messages, QStringList{QGuiApplication::applicationDisplayName() +
                                    QStringLiteral(" | Sloupec \"CENA\" celkem:           3.7500")});
    EXPECT_EQ(window->dbf().recNo(), 2);
    EXPECT_EQ(cell(), QPoint(2, 1));
}

} // namespace
} // namespace karto

namespace karto {
namespace {

// F3 in the grid and Enter in the search box walk every matching cell, F7
// one column; the text is matched in any letter case, Czech letters too.
TEST_F(WindowCommandsTest, SearchKeysMoveTheGridToTheMatches)
{
    open(table("K.DBF", kFields, {{"Dvořák", "Brno"}, {"NOVÁK", "Nová Ves"}, {"Novotná", "Praha"},
                                  {"x", "Novákov"}}));
    showWindow();
    window->searchBox()->setText(QStringLiteral("nová"));
    moveTo(0, 0);
    // Each step: the key, whether the search box has the focus, the column to
    // move to first (-1: none), then the grid's cell and whether it warned.
    const struct { int key; bool inBox; int column; QPoint cell; bool warned; } steps[] = {
        {Qt::Key_F3, false, -1, {0, 1}, false},
        {Qt::Key_Return, true, -1, {1, 1}, false},
        {Qt::Key_F3, false, -1, {1, 3}, false},
        {Qt::Key_F3, false, -1, {1, 3}, true},
        {Qt::Key_F7, false, 1, {1, 1}, false},
        {Qt::Key_F7, false, -1, {1, 3}, false},
        {Qt::Key_F7, false, -1, {1, 3}, true},
    };
    int step = 0;
    for (const auto& s : steps) {
        if (s.column >= 0)
            moveTo(cell().y(), s.column);
        warnings.clear();
        press(s.inBox ? static_cast<QWidget*>(window->searchBox()) : window->grid(), s.key);
        EXPECT_EQ(cell(), s.cell) << "step " << step;
        EXPECT_EQ(window->dbf().recNo(), s.cell.y() + 1) << "step " << step;
        EXPECT_EQ(warnings.size(), s.warned ? 1 : 0) << "step " << step;
        EXPECT_TRUE(window->grid()->hasFocus()) << "step " << step;
        ++step;
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

// Alt+F shows the matching records of the column and tints it; a column set
// without that column position switches the filter off.
TEST_F(WindowCommandsTest, FilterKeyTintsTheColumnUntilTheColumnSetDropsIt)
{
    open(table("L.DBF", kFields,
               {{"a", "Praha"}, {"b", "Brno"}, {"c", "PRAHA 4"}, {"d", "Kolín"}, {"e", "praha"}}));
    showWindow();
    window->searchBox()->setText(QStringLiteral("Praha"));
    moveTo(0, 1);
    press(window->grid(), Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(window->action(aFilter)->isChecked());
    DbfGridModel* model = window->gridModel();
    model->finishScan();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(cellText(1, 1).trimmed(), QStringLiteral("PRAHA 4"));

    // The tint: the column's cells (and only those) on the tool-tip
    // background, as the grid paints them outside the current row.
    const QColor tint = window->grid()->palette().color(QPalette::ToolTipBase);
    const QColor base = window->grid()->palette().color(QPalette::Base);
    ASSERT_NE(tint, base);
    EXPECT_EQ(model->data(model->index(2, 1), Qt::BackgroundRole).value<QBrush>().color(), tint);
    EXPECT_FALSE(model->data(model->index(2, 0), Qt::BackgroundRole).isValid());
    window->grid()->setFocus();
    QApplication::processEvents();
    const QImage shot = window->grid()->viewport()->grab().toImage();
    auto pixel = [&](int row, int column) {
        const QRect r = window->grid()->visualRect(model->index(row, column));
        return QColor(shot.pixel(r.right() - 3, r.center().y()));
    };
    EXPECT_EQ(pixel(2, 1), tint);
    EXPECT_EQ(pixel(2, 0), base);

    // Only JMENO left: column 1 is gone, and so is the filter.
    answerChooser({QStringLiteral("MESTO"), QStringLiteral("CENA"), QStringLiteral("DATUM"), QStringLiteral("POZN")});
    press(window->grid(), Qt::Key_B, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(window->gridColumns(), std::vector<int>{0});
    EXPECT_FALSE(window->action(aFilter)->isChecked());
    EXPECT_FALSE(window->dbf().filtered());
    EXPECT_EQ(model->tintedColumn(), -1);
    model->finishScan();
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

// Ctrl+U and Ctrl+C on the grid; Ctrl+C in the search box copies its own
// selection.
TEST_F(WindowCommandsTest, SumAndCopyKeys)
{
    open(table("M.DBF", kFields, {{"Žluťoučký", "", "1.5"}, {"b", "", "2.25"}, {"c", "", ""}}));
    showWindow();
    moveTo(2, 2);
    press(window->grid(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(messages, QStringList{QGuiApplication::applicationDisplayName() +
                                    QStringLiteral(" | Sloupec \"CENA\" celkem:           3.7500")});
    EXPECT_EQ(cell(), QPoint(2, 2));

    moveTo(0, 0);
    press(window->grid(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Žluťoučký"));

    window->searchBox()->setText(QStringLiteral("hledaný text"));
    window->searchBox()->setSelection(8, 4);
    press(window->searchBox(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("text"));
    EXPECT_EQ(cell(), QPoint(0, 0));
}

// Ctrl+B: the chosen columns in the grid (drawn the standard way) and in the
// CSV export; the choice carries over to another table by field name, and
// "Vše" brings back every column.
TEST_F(WindowCommandsTest, ChosenColumnsInTheGridAndTheExport)
{
    open(table("N.DBF", kFields, {{"Novák", "Brno", "10", "20240131", "p"}, {"Dvořák", "Praha", "2.5"}}));
    QString saveAs = dir.filePath(QStringLiteral("n.csv"));
    MainWindow::Dialogs dialogs = window->dialogs();
    dialogs.saveFileName = [&saveAs](QWidget*, const QString&, const QString&, const QString&) { return saveAs; };
    window->setDialogs(dialogs);
    showWindow();
    moveTo(1, 2);
    ASSERT_TRUE(window->grid()->ownCellDrawing());

    answerChooser({QStringLiteral("MESTO"), QStringLiteral("DATUM")});
    press(window->grid(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(window->gridColumns(), (std::vector<int>{0, 2, 4}));
    EXPECT_FALSE(window->grid()->ownCellDrawing());
    EXPECT_EQ(window->gridModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("CENA"));
    EXPECT_EQ(cell(), QPoint(1, 1));   // still on CENA of the same record
    EXPECT_GT(window->grid()->columnWidth(0), 0);

    run(aToCSV);
    QFile csv(saveAs);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.mid(3).toStdString(), "\"JMENO\";\"CENA\";\"POZN\"\r\n"
                                          "\"Novák\";\"10\";\"p\"\r\n"
                                          "\"Dvořák\";\"2.5\";\"\"\r\n");

    // Another table has JMENO and CENA but no POZN; it is dropped from the choice.
    open(table("O.DBF", {{"CENA", 'N', 5}, {"X", 'C', 3}, {"JMENO", 'C', 8}, {"Y", 'C', 3}}, {{"1", "x", "j"}}));
    EXPECT_EQ(window->gridColumns(), (std::vector<int>{0, 2}));
    open(table("P.DBF", kFields, {{"a"}}));
    EXPECT_EQ(window->gridColumns(), (std::vector<int>{0, 2}));

    answerChooser({QStringLiteral("*")});
    press(window->grid(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(window->gridColumns(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(window->grid()->ownCellDrawing());
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace karto
