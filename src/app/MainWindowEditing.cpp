// The main window's record editing: edit mode, in-place editing in the grid,
// insert, delete and recall, duplicate, the question before a changed record
// is discarded, and the new table command (MainWindow.h).
#include "app/MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "dbf/Error.h"
#include "dbf/table/TableCreation.h"
#include "structure/FNewStru.h"

namespace karto {

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

QString fromLocal(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

const char* const newTableFilter = "Tabulka DBF (*.dbf)|*.dbf|Všechny soubory (*.*)|*.*";
const char* const unknownFormatText = "Neznámý formát tabulky";

// The language driver of a new table: that of the code page chosen in the
// box (Latin 2 0x64, Kamenický 0x68, Windows 1250 0xC8; Latin 2 when the
// choice names none).
uint8_t languageIdForCodePage(int chosen)
{
    switch (chosen) {
    case cpKamenicky:
        return 0x68;
    case cpWindows1250:
        return 0xC8;
    default:
        return 0x64;
    }
}

} // namespace

// "\r" of the program's messages is a line break in the box.
const char* const MainWindow::editRefusedText = "Tabulku nejde otevřít pro editaci\nJe vyžadován výhradní přístup";
const char* const MainWindow::saveChangesQuestion = "Záznam byl změněn. Uložit změny?";

void MainWindow::installEditingCommands()
{
    setActionHandler(aEdit, [this] { aEditExecute(); });
    setActionHandler(aInsert, [this] { aInsertExecute(); });
    setActionHandler(aDelete, [this] { aDeleteExecute(); });
    setActionHandler(aCopy, [this] { aCopyExecute(); });
    setActionHandler(aNew, [this] { aNewExecute(); });
    grid_->setBeforeEdit([this](const QModelIndex& index) { return startCellEdit(index); });
    // A new record left empty is dropped when the grid loses the focus.
    grid_->setOnFocusLeft([this] {
        if (dbf_.active() && dbf_.state() == dsInsert && !dbf_.modified() && !grid_->openEditor())
            QTimer::singleShot(0, this, [this] {
                if (dbf_.active() && dbf_.state() == dsInsert && !dbf_.modified())
                    cancelRecordEdit();
            });
    });
    connect(model_, &DbfGridModel::editRefused, this,
            [this](const QModelIndex& index, const QString& message) { cellEditRefused(index, message); });
}

// --- ending an edit ----------------------------------------------------------------

bool MainWindow::endRecordEdit()
{
    if (!dbf_.active() || !isEditingState(dbf_.state()))
        return true;
    const bool inserting = dbf_.state() == dsInsert;
    const int recNo = inserting ? 0 : dbf_.recNo();
    const bool changed = dbf_.modified();
    syncing_ = true;
    try {
        if (changed)
            dbf_.post();
        else
            dbf_.cancel();
    } catch (const std::exception& e) {
        syncing_ = false;
        if (dialogs_.error)
            dialogs_.error(this, QString::fromUtf8(e.what()));
        scheduleActionUpdate();
        return false;
    }
    syncing_ = false;
    if (inserting)
        model_->newRecordEnded(changed ? dbf_.recNo() : 0);
    else
        model_->recordWritten(recNo);
    scheduleActionUpdate();
    return true;
}

void MainWindow::cancelRecordEdit()
{
    if (!dbf_.active() || !isEditingState(dbf_.state()))
        return;
    const bool inserting = dbf_.state() == dsInsert;
    const int recNo = inserting ? 0 : dbf_.recNo();
    syncing_ = true;
    try {
        dbf_.cancel();
    } catch (...) {
    }
    syncing_ = false;
    if (inserting)
        model_->newRecordEnded(0);
    else
        model_->recordWritten(recNo);
    syncGridToDataset();
    dataSourceDataChange();
    scheduleActionUpdate();
}

bool MainWindow::confirmRecordChanges()
{
    if (!dbf_.active())
        return true;
    // What is being typed into a cell goes into the record first.
    grid_->commitOpenEditor();
    if (!refusal_.isEmpty()) {
        showPendingRefusal();
        return false;
    }
    if (!isEditingState(dbf_.state()))
        return true;
    if (!dbf_.modified()) {
        cancelRecordEdit();   // a new record left empty goes without a word
        return true;
    }
    const SaveChangesAnswer answer =
        dialogs_.saveChanges ? dialogs_.saveChanges(this, u(saveChangesQuestion)) : SaveChangesAnswer::Stay;
    switch (answer) {
    case SaveChangesAnswer::Save:
        if (!endRecordEdit())
            return false;
        syncGridToDataset();
        dataSourceDataChange();
        return true;
    case SaveChangesAnswer::Discard:
        cancelRecordEdit();
        return true;
    case SaveChangesAnswer::Stay:
        break;
    }
    return false;
}

// --- cells -----------------------------------------------------------------------

bool MainWindow::startCellEdit(const QModelIndex& index)
{
    if (!dbf_.active() || dbf_.readOnly())
        return false;
    if (index.row() == model_->newRecordRow())
        return dbf_.state() == dsInsert;
    const int recNo = model_->recordOfRow(index.row());
    if (recNo <= 0)
        return false;
    if (dbf_.state() == dsEdit && dbf_.recNo() == recNo)
        return true;
    if (isEditingState(dbf_.state()) && !endRecordEdit())
        return false;
    // The record is locked (and read afresh) when the user starts typing:
    // another program editing it is told at once.
    syncing_ = true;
    try {
        if (dbf_.recNo() != recNo)
            dbf_.setRecNo(recNo);
        dbf_.edit();
    } catch (const std::exception& e) {
        syncing_ = false;
        if (dialogs_.error)
            dialogs_.error(this, QString::fromUtf8(e.what()));
        scheduleActionUpdate();
        return false;
    }
    syncing_ = false;
    model_->recordWritten(recNo);   // shows what the file holds now
    scheduleActionUpdate();
    return true;
}

void MainWindow::cellEditRefused(const QModelIndex& index, const QString& message)
{
    refusedCell_ = index;
    refusal_ = message;
    QTimer::singleShot(0, this, [this] { showPendingRefusal(); });
}

void MainWindow::showPendingRefusal()
{
    if (refusal_.isEmpty())
        return;
    const QString message = refusal_;
    const QModelIndex cell = refusedCell_;
    refusal_.clear();
    refusedCell_ = QModelIndex();
    if (cell.isValid() && cell != grid_->currentIndex()) {
        syncing_ = true;
        grid_->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
        syncing_ = false;
    }
    if (dialogs_.error)
        dialogs_.error(this, message);
    scheduleActionUpdate();
}

void MainWindow::goToRecord(int recNo, int column)
{
    if (!dbf_.active())
        return;
    if (recNo > 0 && !dbf_.isEmpty()) {
        syncing_ = true;
        try {
            dbf_.setRecNo(recNo);
        } catch (...) {
            // A record no longer there: the dataset stays where it is.
        }
        syncing_ = false;
    }
    syncGridToDataset();
    setCurrentColumn(column);
    dataSourceDataChange();
}

// --- commands ----------------------------------------------------------------------

void MainWindow::aEditExecute()
{
    const bool on = dbf_.readOnly();
    // The check mark shows the mode in force, whatever the click made of it.
    action(aEdit)->setChecked(!on);
    if (!dbf_.active())
        return;
    if (!confirmRecordChanges())
        return;
    const int recNo = dbf_.isEmpty() ? 0 : dbf_.recNo();
    const int column = grid_->currentIndex().column();
    const QString path = fromLocal(dbf_.tablePath());
    try {
        openTableIn(path, !on, true);
    } catch (const AbortError&) {
        throw;
    } catch (const std::exception&) {
        if (!on)
            throw;   // back to view mode failed: the engine's error is shown
        if (!dbf_.active()) {
            // Closed before the writable open failed: back in view mode.
            try {
                openTableIn(path, true);
            } catch (const std::exception&) {
                if (dialogs_.error)
                    dialogs_.error(this, u(unknownFormatText));
                return;
            }
            goToRecord(recNo, column);
        }
        if (dialogs_.error)
            dialogs_.error(this, u(editRefusedText));
        return;
    }
    action(aEdit)->setChecked(on);
    goToRecord(recNo, column);
}

void MainWindow::aInsertExecute()
{
    if (!dbf_.active() || dbf_.readOnly())
        return;
    grid_->commitOpenEditor();
    if (!refusal_.isEmpty() || !endRecordEdit())
        return;
    const int row = std::max(grid_->currentIndex().row(), 0);
    const int column = std::max(grid_->currentIndex().column(), 0);
    syncing_ = true;
    try {
        dbf_.insert();
    } catch (...) {
        syncing_ = false;
        throw;
    }
    syncing_ = false;
    model_->showNewRecord(row);
    syncing_ = true;
    const QModelIndex index = model_->index(model_->newRecordRow(), std::min(column, model_->columnCount() - 1));
    grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    grid_->scrollTo(index);
    syncing_ = false;
    if (isVisible())
        grid_->setFocus();
    dataSourceDataChange();
}

void MainWindow::aDeleteExecute()
{
    if (!dbf_.active() || dbf_.readOnly())
        return;
    grid_->commitOpenEditor();
    if (!refusal_.isEmpty())
        return;
    if (dbf_.state() == dsInsert) {
        cancelRecordEdit();   // a new record is simply dropped
        return;
    }
    if (!endRecordEdit() || dbf_.isEmpty())
        return;
    const int recNo = dbf_.recNo();
    syncing_ = true;
    try {
        if (dbf_.isDeleted())
            dbf_.undelete();
        else
            dbf_.deleteRecord();
    } catch (...) {
        syncing_ = false;
        model_->recordWritten(recNo);
        throw;
    }
    syncing_ = false;
    // A deleted record leaves the grid unless deleted records are shown.
    model_->recordWritten(recNo);
    syncGridToDataset();
    dataSourceDataChange();
}

void MainWindow::aCopyExecute()
{
    if (!dbf_.active() || dbf_.readOnly())
        return;
    grid_->commitOpenEditor();
    if (!refusal_.isEmpty() || !endRecordEdit() || dbf_.isEmpty())
        return;
    syncing_ = true;
    try {
        dbf_.duplicateRecord();
    } catch (...) {
        syncing_ = false;
        syncGridToDataset();
        throw;
    }
    syncing_ = false;
    model_->recordAppended(dbf_.recNo());
    syncGridToDataset();
    dataSourceDataChange();
}

void MainWindow::aNewExecute()
{
    if (!confirmRecordChanges() || !dialogs_.saveFileName)
        return;
    const QString fileName = dialogs_.saveFileName(this, u(newTableFilter), lastDir_, QString());
    if (fileName.isEmpty())
        return;
    const std::string path = QFile::encodeName(fileName).toStdString();
    auto refuseExisting = [this, &fileName] {
        if (dialogs_.error)
            dialogs_.error(this, u("Soubor %1 už existuje.\nNová tabulka se přes existující tabulku nevytváří, "
                                   "zvolte jiný název.")
                                     .arg(QFileInfo(fileName).fileName()));
    };
    if (QFileInfo::exists(fileName)) {
        refuseExisting();
        return;
    }

    FNewStru dialog(this);
    dialog.setErrorBox([this](QWidget* parent, const QString& message) {
        if (dialogs_.error)
            dialogs_.error(parent, message);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;

    NewTableOptions options;
    options.tableLevel = 4;
    options.languageId = languageIdForCodePage(converter_.chosenCodePage());
    try {
        createTable(path, dialog.fieldDefs(), options);
    } catch (const TableExistsError&) {
        refuseExisting();
        return;
    } catch (const std::exception& e) {
        if (dialogs_.error)
            dialogs_.error(this, u("Tabulku nejde vytvořit.\n") + QString::fromUtf8(e.what()));
        return;
    }
    openTableIn(fileName, false);
    action(aEdit)->setChecked(true);
}

} // namespace karto
