// Editing in the main window, driven by keys as a user does: edit mode,
// typing into cells, insert, delete and recall, duplicate, the question
// before a changed record is discarded, two programs on one record. Every
// table changed is read back with dbfread.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "dbf/table/TableDataset.h"
#include "dbf/index/MdxTestTable.h"
#include "support/DbfReadBack.h"
#include "structure/FNewStru.h"
#include "support/WindowFixture.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::ValueRecord;

const std::vector<FieldSpec> kFields{{"NAZEV", 'C', 12}, {"CENA", 'N', 8, 2}, {"DATUM", 'D', 8}};

class EditingTest : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        window->action(aWin)->trigger();   // the bytes as they are
    }

    QString fiveRecords()
    {
        std::vector<ValueRecord> records;
        for (int i = 1; i <= 5; ++i)
            records.push_back({{"zbozi" + std::to_string(i), std::to_string(i) + ".50", "20240101"}});
        return table("T.DBF", kFields, records);
    }
    void showWindow()
    {
        if (window->isVisible() && window->isActiveWindow())
            return;
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // The widget with the keyboard focus (the grid, or a cell's editor); the
    // grid when the window has just got back from a dialog.
    QWidget* focusTarget() const
    {
        QWidget* w = QApplication::focusWidget();
        return w ? w : window->grid();
    }
    // Keys pressed where the keyboard focus is (the grid, or the cell's editor).
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        window->actionListUpdate();
        QTest::keyClick(focusTarget(), static_cast<Qt::Key>(key), modifiers);
        QCoreApplication::processEvents();   // the editor commits on the next turn
    }
    void typeText(const QString& text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, focusTarget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // Moves to the cell and types the text into it (the cell's editor opens).
    void typeInto(int row, int column, const QString& text)
    {
        showWindow();
        moveTo(row, column);
        window->grid()->setFocus();
        typeText(text);
    }
    QString cell(int row, int column) const
    {
        return window->gridModel()->index(row, column).data().toString();
    }
    QPoint current() const
    {
        const QModelIndex i = window->grid()->currentIndex();
        return {i.column(), i.row()};
    }
    test::ReadBackTable readBack(const QString& path, const char* encoding = "cp1250")
    {
        return test::readBackTable(path.toStdString(), encoding);
    }
    void editMode()
    {
        runEnabled(aEdit);
        ASSERT_EQ(window->panelText(1), QStringLiteral("Editace")) << errors.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_F(EditingTest, ModeSwitchKeepsTheRecordAndColumn)
{
    open(fiveRecords());
    moveTo(3, 2);
    for (const bool on : {true, false, true}) {
        SCOPED_TRACE(on);
        runEnabled(aEdit);
        EXPECT_EQ(window->panelText(1), on ? QStringLiteral("Editace") : QStringLiteral("Prohlížení"));
        EXPECT_EQ(act(aEdit)->isChecked(), on);
        EXPECT_EQ(window->dbf().readOnly(), !on);
        EXPECT_EQ(current(), QPoint(2, 3));
        EXPECT_EQ(window->dbf().recNo(), 4);
        EXPECT_EQ(window->panelText(0), QStringLiteral("4/5"));
        for (const ActionId id : {aInsert, aDelete, aCopy})
            EXPECT_EQ(enabled(id), on) << actionName(id);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

// A table the engine will not write stays open in view mode, at the same
// place, with the message; edit mode stays off.
TEST_F(EditingTest, TableThatCannotBeWrittenStaysInViewMode)
{
    test::DbfSpec narrow;   // a dBase 7 integer field too narrow for its binary form
    narrow.version = 0x04;
    narrow.fields = {{"NAME", 'C', 4}, {"CISLO", 'I', 2}};
    narrow.records = {" abcd\x80\x01", " efgh\x80\x02", " ijkl\x80\x03"};
    std::vector<QString> tables{dir.filePath(QStringLiteral("N.DBF"))};
    {
        const std::vector<uint8_t> bytes = test::buildDbf(narrow);
        QFile f(tables[0]);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    if (::geteuid() != 0) {
        tables.push_back(fiveRecords());
        ::chmod(QFile::encodeName(tables[1]).constData(), 0444);
    }
    for (const QString& path : tables) {
        SCOPED_TRACE(path.toStdString());
        if (window->dbf().readOnly() == false)
            runEnabled(aEdit);
        open(path);
        moveTo(2, 1);
        const QByteArray before = [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        errors.clear();
        runEnabled(aEdit);
        EXPECT_EQ(errors, QStringList{QStringLiteral("Tabulku nejde otevřít pro editaci\nJe vyžadován výhradní přístup")});
        EXPECT_TRUE(window->dbf().active());
        EXPECT_TRUE(window->dbf().readOnly());
        EXPECT_FALSE(act(aEdit)->isChecked());
        EXPECT_EQ(window->panelText(1), QStringLiteral("Prohlížení"));
        EXPECT_EQ(current(), QPoint(1, 2));
        EXPECT_FALSE(enabled(aInsert));
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        EXPECT_EQ(f.readAll(), before) << "nothing written";
    }
}

TEST_F(EditingTest, InsertAndDeleteKeysDoNothingInViewMode)
{
    open(fiveRecords());
    showWindow();
    window->grid()->setFocus();
    moveTo(1, 0);
    for (const ActionId id : {aInsert, aDelete, aCopy})
        EXPECT_FALSE(enabled(id)) << actionName(id);
    press(Qt::Key_Insert, Qt::ControlModifier);
    press(Qt::Key_Delete, Qt::ControlModifier);
    press(Qt::Key_F5);
    EXPECT_EQ(window->gridModel()->rowCount(), 5);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    window->grid()->setContextMenuPolicy(Qt::CustomContextMenu);
    const QList<QAction*> items = window->popupMenu()->actions();
    for (const char* name : {"mInsert", "mDelete", "mCopy"}) {
        const auto it = std::find_if(items.begin(), items.end(),
                                     [name](QAction* a) { return a->objectName() == QLatin1String(name); });
        ASSERT_NE(it, items.end()) << name;
        EXPECT_FALSE((*it)->isVisible()) << name;
    }
    editMode();
    window->actionListUpdate();
    for (QAction* a : items) {
        if (a->objectName().startsWith(QLatin1Char('m')))
            EXPECT_TRUE(a->isVisible()) << a->objectName().toStdString();
    }
    // Typing into a cell in view mode edits nothing.
    runEnabled(aEdit);
    typeInto(0, 0, QStringLiteral("x"));
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_EQ(cell(0, 0), QStringLiteral("zbozi1"));
}

TEST_F(EditingTest, TypedValuesArePostedWhenTheRowIsLeft)
{
    const QString path = fiveRecords();
    window->codePageBox()->setCurrentIndex(0);   // Latin 2: Czech text stored in 852
    window->cbCPChange();
    open(path);
    editMode();
    // Enter ends a cell's typing, the arrows move on.
    typeInto(1, 0, QStringLiteral("Žluťoučký"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("12.5"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("29.2.2024"));
    EXPECT_EQ(window->dbf().state(), dsEdit);
    press(Qt::Key_Down);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_EQ(current(), QPoint(2, 2));
    EXPECT_EQ(cell(1, 0), QStringLiteral("Žluťoučký"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("12.5"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = readBack(path, "cp852");
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 5u);
    EXPECT_EQ(back.records[1].values, (std::vector<std::optional<std::string>>{"Žluťoučký", "12.5", "2024-02-29"}));
    EXPECT_EQ(back.records[2].values[0], "zbozi3");
}

// Values that do not fit: a Czech message, the record stays in editing with
// the cursor on it, nothing is written.
TEST_F(EditingTest, RefusedValuesKeepTheRecordInEditing)
{
    const QString path = fiveRecords();
    const QByteArray before = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    open(path);
    editMode();
    const struct {
        int column;
        const char* text;
        const char* words;
    } cases[] = {
        {1, "123456789", "se do pole CENA (N 8,2) nevejde"},
        {1, "12a", "není číslo"},
        {0, "abcdefghijklmn", "Text je delší než pole NAZEV: má 14 znaků, pole jich pojme 12."},
        {2, "30.2.2024", "není platné datum"},
        {0, "Ωmega", "Znak „Ω“ nelze v kódové stránce tabulky uložit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        errors.clear();
        typeInto(2, c.column, QString::fromUtf8(c.text));
        press(Qt::Key_Down);
        QTRY_COMPARE(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(QString::fromUtf8(c.words))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].endsWith(QStringLiteral("Záznam zůstává v editaci."))) << errors[0].toStdString();
        EXPECT_EQ(current(), QPoint(c.column, 2)) << "the cursor stays on the cell";
        EXPECT_EQ(window->dbf().state(), dsEdit);
        EXPECT_EQ(window->dbf().recNo(), 3);
    }
    // A good value after them is written; nothing else was.
    typeInto(2, 1, QStringLiteral("7"));
    press(Qt::Key_Up);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_EQ(cell(2, 1), QStringLiteral("7"));
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray after = f.readAll();
    EXPECT_EQ(after.size(), before.size());
    const int headerSize = 32 + 3 * 32 + 1;
    const int recordSize = 1 + 12 + 8 + 8;
    EXPECT_EQ(after.mid(headerSize + 2 * recordSize, recordSize),
              QByteArray(" zbozi3          7.0020240101"));
}

// Escape with a changed record asks; each answer does what it says.
TEST_F(EditingTest, EscapeWithAChangeAsksAndEachAnswerHolds)
{
    const struct {
        SaveChangesAnswer answer;
        bool closed;
        const char* stored;
    } cases[] = {{SaveChangesAnswer::Stay, false, "zbozi2"},
                 {SaveChangesAnswer::Discard, true, "zbozi2"},
                 {SaveChangesAnswer::Save, true, "novy"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        WindowFixture::SetUp();   // a window of its own
        window->action(aWin)->trigger();
        const QString path = fiveRecords();
        open(path);
        editMode();
        saveAnswer = c.answer;
        typeInto(1, 0, QStringLiteral("novy"));
        press(Qt::Key_Escape);   // with the cell's editor still open
        EXPECT_EQ(questions, QStringList{QStringLiteral("Záznam byl změněn. Uložit změny?")});
        questions.clear();
        EXPECT_EQ(window->isVisible(), !c.closed);
        if (!c.closed) {
            EXPECT_EQ(window->dbf().state(), dsEdit);
            EXPECT_EQ(cell(1, 0), QStringLiteral("novy")) << "the change is still there";
            saveAnswer = SaveChangesAnswer::Discard;
            window->close();
            EXPECT_EQ(questions.size(), 1);
            questions.clear();
        }
        window.reset();
        if (test::independentReaderAvailable()) {
            const test::ReadBackTable back = readBack(path);
            ASSERT_TRUE(back.ok) << back.error;
            EXPECT_EQ(back.records[1].values[0], c.stored);
        }
    }
}

// Switching edit mode off, opening another table and Ctrl+N ask too;
// Storno keeps the record as it is, in editing.
TEST_F(EditingTest, OtherWaysOfDiscardingAskAsWell)
{
    const QString path = fiveRecords();
    const QString other = table("O.DBF", kFields, {{{"jiny"}}});
    open(path);
    editMode();
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"edit mode off", [&] { run(aEdit); }},
        {"another table", [&] { window->openTableReporting(other); }},
        {"new table", [&] { run(aNew); }},
    };
    for (const auto& [what, way] : ways) {
        SCOPED_TRACE(what);
        typeInto(0, 0, QStringLiteral("zmena"));
        saveAnswer = SaveChangesAnswer::Stay;
        saveAs.clear();
        way();
        EXPECT_EQ(questions.size(), 1);
        questions.clear();
        EXPECT_EQ(window->dbf().tablePath(), QFile::encodeName(path).toStdString());
        EXPECT_EQ(window->panelText(1), QStringLiteral("Editace"));
        EXPECT_EQ(window->dbf().state(), dsEdit);
        EXPECT_TRUE(askedFilter.isEmpty()) << "no save dialog after Storno";
    }
    // Ne: the change is dropped and the mode switches.
    saveAnswer = SaveChangesAnswer::Discard;
    run(aEdit);
    EXPECT_EQ(questions.size(), 1);
    questions.clear();
    EXPECT_EQ(window->panelText(1), QStringLiteral("Prohlížení"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("zbozi1"));
    // An unchanged record goes without a question.
    editMode();
    showWindow();
    window->grid()->setFocus();
    moveTo(1, 0);
    run(aInsert);
    EXPECT_EQ(window->dbf().state(), dsInsert);
    run(aEdit);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(window->dbf().recordCount(), 5);
    // ... and when the grid loses the focus to another control.
    editMode();
    showWindow();
    window->grid()->setFocus();
    run(aInsert);
    EXPECT_EQ(window->gridModel()->rowCount(), 6);
    window->searchBox()->setFocus();
    QTRY_COMPARE(window->dbf().state(), dsBrowse);
    EXPECT_EQ(window->gridModel()->rowCount(), 5);
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(EditingTest, DeleteHidesTheRecordShowDeletedBringsItBackInRed)
{
    const QString path = fiveRecords();
    open(path);
    editMode();
    moveTo(1, 1);
    runEnabled(aDelete);
    DbfGridModel* model = window->gridModel();
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(cell(1, 0), QStringLiteral("zbozi3"));
    EXPECT_EQ(current(), QPoint(1, 1)) << "the next record, same column";
    EXPECT_EQ(window->panelText(0), QStringLiteral("3/5")) << "the count stays";

    runEnabled(aDeleted);
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_TRUE(model->index(1, 0).data(DbfGridModel::DeletedRole).toBool());
    moveTo(1, 0);
    runEnabled(aDelete);   // recalls it
    EXPECT_FALSE(model->index(1, 0).data(DbfGridModel::DeletedRole).toBool());
    moveTo(3, 0);
    runEnabled(aDelete);
    EXPECT_TRUE(model->index(3, 0).data(DbfGridModel::DeletedRole).toBool());
    EXPECT_EQ(model->rowCount(), 5);
    runEnabled(aEdit);   // the recall's lock ends with the mode
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = readBack(path);
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(back.records[static_cast<size_t>(i)].deleted, i == 3) << i;
}

TEST_F(EditingTest, NewRecordAndDuplicate)
{
    const QString path = fiveRecords();
    open(path);
    editMode();
    showWindow();
    moveTo(1, 0);
    window->grid()->setFocus();
    press(Qt::Key_Insert, Qt::ControlModifier);
    DbfGridModel* model = window->gridModel();
    EXPECT_EQ(window->dbf().state(), dsInsert);
    EXPECT_EQ(model->rowCount(), 6);
    EXPECT_EQ(current(), QPoint(0, 1)) << "an empty row where the cursor was";
    EXPECT_EQ(cell(1, 0), QString());
    EXPECT_EQ(cell(2, 0), QStringLiteral("zbozi2"));
    typeText(QStringLiteral("novy"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("3.25"));
    press(Qt::Key_Down);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_EQ(model->rowCount(), 6);
    EXPECT_EQ(window->dbf().recNo(), 6) << "appended at the end, and current";
    EXPECT_EQ(current().y(), 5);
    EXPECT_EQ(cell(5, 0), QStringLiteral("novy"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("zbozi2"));

    // F5: a copy of the current record, the count grows by one.
    moveTo(2, 0);
    press(Qt::Key_F5);
    EXPECT_EQ(window->dbf().recordCount(), 7);
    EXPECT_EQ(window->panelText(0), QStringLiteral("7/7"));
    EXPECT_EQ(current().y(), 6);
    EXPECT_EQ(cell(6, 0), QStringLiteral("zbozi3"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();

    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = readBack(path);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.headerCount, 7);
    ASSERT_EQ(back.records.size(), 7u);
    EXPECT_EQ(back.records[5].values, (std::vector<std::optional<std::string>>{"novy", "3.25", std::nullopt}));
    EXPECT_EQ(back.records[6].values, back.records[2].values);
}

// Another program holds the lock of record 2: typing into it is refused
// with "Record locked.", the other records can be edited.
TEST_F(EditingTest, SecondProgramGetsRecordLocked)
{
    const QString path = fiveRecords();
    int locked[2], release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other program: the engine alone, editing record 2 until told.
        char c = 0;
        TableDataset other;
        try {
            other.setTableName(QFile::encodeName(path).toStdString());
            other.setReadOnly(false);
            other.open();
            other.setRecNo(2);
            other.edit();
            c = 'L';
        } catch (...) {
            c = 'E';
        }
        (void)!::write(locked[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char state = 0;
    ASSERT_EQ(::read(locked[0], &state, 1), 1);
    ASSERT_EQ(state, 'L');
    open(path);
    editMode();
    typeInto(1, 0, QStringLiteral("x"));
    EXPECT_EQ(errors, QStringList{QStringLiteral("Record locked.")});
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_EQ(cell(1, 0), QStringLiteral("zbozi2"));
    typeInto(2, 0, QStringLiteral("volny"));
    press(Qt::Key_Up);
    EXPECT_EQ(cell(2, 0), QStringLiteral("volny"));
    EXPECT_EQ(errors.size(), 1);
    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {locked[0], locked[1], release[0], release[1]})
        ::close(fd);
}

// Ctrl+N: a file name, the structure typed into the dialog, the table and
// its memo file created, open in edit mode and ready for its first record.
TEST_F(EditingTest, NewTableIsCreatedAndOpenedInEditMode)
{
    window->codePageBox()->setCurrentIndex(1);   // Kamenický: language driver 0x68
    window->cbCPChange();
    showWindow();
    saveAs = dir.filePath(QStringLiteral("NOVA.dbf"));
    bool answered = false;
    auto* timer = new QTimer(window.get());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        auto* dialog = qobject_cast<FNewStru*>(QApplication::activeModalWidget());
        if (!dialog || !QApplication::focusWidget() || QApplication::focusWidget()->window() != dialog)
            return;   // not open yet
        timer->stop();
        answered = true;
        auto at = [dialog] {
            QWidget* w = QApplication::focusWidget();
            return w && w->window() == dialog ? w : dialog->gridStru();
        };
        auto enter = [&at](const char* text) {
            for (const char* p = text; *p; ++p)
                QTest::keyClick(at(), *p);
            QTest::keyClick(at(), Qt::Key_Return);
        };
        for (const char* key : {"nazev", "c", "300", "cena", "n", "10", "2", "pozn", "m"})
            enter(key);
        dialog->okButton()->click();
    });
    timer->start();
    window->grid()->setFocus();
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(askedFilter, QStringLiteral("Tabulka DBF (*.dbf)|*.dbf|Všechny soubory (*.*)|*.*"));

    QFile file(saveAs);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 32 + 3 * 32 + 1) << "the header alone";
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x8B);
    EXPECT_EQ(static_cast<uint8_t>(bytes[29]), 0x68);
    EXPECT_EQ(static_cast<uint8_t>(bytes[8]) + 256 * static_cast<uint8_t>(bytes[9]), 129);
    EXPECT_EQ(static_cast<uint8_t>(bytes[10]) + 256 * static_cast<uint8_t>(bytes[11]), 1 + 255 + 10 + 10);
    EXPECT_EQ(bytes.mid(32, 11), QByteArray("NAZEV\0\0\0\0\0\0", 11));
    EXPECT_EQ(bytes.mid(64 + 11, 1), QByteArray("N"));
    EXPECT_EQ(static_cast<uint8_t>(bytes[64 + 17]), 2);
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("NOVA.dbt"))).size(), 512);

    EXPECT_EQ(window->panelText(1), QStringLiteral("Editace"));
    EXPECT_TRUE(act(aEdit)->isChecked());
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("NOVA.dbf"));
    EXPECT_EQ(window->recentFiles().value(0), saveAs);
    EXPECT_EQ(window->dbf().recordCount(), 0);

    // Its first record.
    showWindow();   // active again after the dialog
    window->grid()->setFocus();
    press(Qt::Key_Insert, Qt::ControlModifier);
    typeText(QStringLiteral("první"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("9.99"));
    press(Qt::Key_Return);
    saveAnswer = SaveChangesAnswer::Save;
    run(aEdit);
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(window->dbf().recordCount(), 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    if (test::independentReaderAvailable()) {
        const test::ReadBackTable back = readBack(saveAs, "hex");
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.fields, (std::vector<std::string>{"NAZEV", "CENA", "POZN"}));
        ASSERT_EQ(back.records.size(), 1u);
        EXPECT_EQ(back.records[0].values[0], "7072766ea1") << "první in Kamenický";
        EXPECT_EQ(back.records[0].values[1], "9.99");
    }

    // An existing file is not created over: a Czech message, nothing changed.
    errors.clear();
    const QString existing = fiveRecords();
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();
    saveAs = existing;
    run(aNew);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Soubor T.DBF už existuje."))) << errors[0].toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    EXPECT_EQ(window->dbf().tableName(), "NOVA.dbf") << "the open table stays";
}

} // namespace
} // namespace karto

namespace karto {
namespace {

// A table with a production index: typed changes, new records and copies
// keep every tag right; a key a distinct tag already holds is refused with
// the record kept in editing, and nothing of it reaches the files.
TEST_F(EditingTest, ProductionIndexIsKeptByEveryChange)
{
    test::MdxTestTable table(kFields);
    std::vector<ValueRecord> records;
    for (int i = 1; i <= 5; ++i)
        records.push_back({{"zbozi" + std::to_string(i), std::to_string(i) + ".50", "20240101"}});
    table.make(records, {{"NAZEV", "NAZEV", false, iuDistinct},
                         {"CENA", "CENA", true, iuNormal},
                         {"DATUM", "DTOS(DATUM)+NAZEV", false, iuNormal}});
    const QString path = QString::fromStdString(table.path());
    open(path);
    editMode();

    typeInto(1, 0, QStringLiteral("jine"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("99"));
    press(Qt::Key_Down);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(table.checked());

    // The name of record 1 again: the distinct tag refuses it.
    const std::vector<uint8_t> tableBefore = table.tableBytes();
    const std::vector<uint8_t> indexBefore = table.mdxBytes();
    errors.clear();
    typeInto(3, 0, QStringLiteral("zbozi1"));
    press(Qt::Key_Down);
    QTRY_COMPARE(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Key violation"))) << errors[0].toStdString();
    EXPECT_EQ(window->dbf().state(), dsEdit);
    EXPECT_EQ(table.tableBytes(), tableBefore);
    EXPECT_EQ(table.mdxBytes(), indexBefore);

    // Another name is taken; F5 copies a record whose name the distinct tag
    // holds: refused, and no half record remains.
    typeInto(3, 0, QStringLiteral("ctvrte"));
    press(Qt::Key_Up);
    EXPECT_EQ(window->dbf().state(), dsBrowse);
    errors.clear();
    moveTo(0, 0);
    press(Qt::Key_F5);
    EXPECT_EQ(window->dbf().recordCount(), 5);
    EXPECT_FALSE(errors.isEmpty());
    EXPECT_NE(window->dbf().state(), dsInsert);

    // A new record, then a deletion (the mark changes no key).
    errors.clear();
    moveTo(4, 0);
    press(Qt::Key_Insert, Qt::ControlModifier);
    typeText(QStringLiteral("nove"));
    press(Qt::Key_Return);
    press(Qt::Key_Right);
    typeText(QStringLiteral("1"));
    press(Qt::Key_Down);
    EXPECT_EQ(window->dbf().recordCount(), 6);
    moveTo(2, 0);
    press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(table.checked());
    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = readBack(path);
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 6u);
    EXPECT_EQ(back.records[1].values[0], "jine");
    EXPECT_EQ(back.records[3].values[0], "ctvrte");
    EXPECT_EQ(back.records[5].values[0], "nove");
}

} // namespace
} // namespace karto
