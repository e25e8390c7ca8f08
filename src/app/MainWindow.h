#pragma once
// The main window: the table in a grid, the tool bar with the code page box,
// the status bar, the menus and every command of the program as an action.
//
// The window owns the one table dataset of the run (dbf()) and the Czech
// conversion table installed on it as its translate hook. Opening a table
// closes the previous one. Actions are enabled, checked and shown by one
// function, actionListUpdate(), run on a zero-timer after every change of the
// window's state. An action that has no handler stays disabled. The command
// groups (search and filter, copy and sum, memo viewer, exports) get what
// they need of the window as a CommandContext, and the window attaches their
// handlers to its actions.
//
// Every menu and menu item has an underlined letter of its own within its
// menu (Alt with a menu's letter opens it, F10 opens the first). A table
// file dropped on the window is opened (the first of several).

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTimer>

#include "app/Actions.h"
#include "app/ExportCommands.h"
#include "app/Settings.h"
#include "app/WindowDialogs.h"
#include "convert/CodePageConverter.h"
#include "convert/CodePageDetection.h"
#include "dbf/table/TableDataset.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QToolBar;

namespace karto {

class CellCommands;
class DbfGrid;
class DbfGridModel;
class MemoCommands;
class SearchCommands;
class StatusPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The dialogs the window asks; tests put their own in place.
    using Dialogs = WindowDialogs;
    static Dialogs defaultDialogs();

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void setDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }
    const Dialogs& dialogs() const { return dialogs_; }

    // Settings (organisation "Brennic", application "KartoView"): reading
    // applies placement, grid font, last folder, code page box position and
    // the recent tables; it does not apply the code page (cbCPChange does).
    void readSettings();
    void applySettings(const MainSettings& settings);
    MainSettings currentSettings() const;
    // The close query: writes the settings. Closing the window runs it unless
    // setWriteSettingsOnClose(false).
    void formCloseQuery();
    void setWriteSettingsOnClose(bool write) { writeSettingsOnClose_ = write; }

    // Opens a table in the dataset and updates the window: status bar,
    // title, recent tables; then warns once of what is wrong with a table
    // that opened all the same (records missing, memo file missing). Errors
    // are thrown (AbortError for a silent abort); a table that cannot be
    // opened leaves the open one, its status bar and the title as they were.
    void openTable(const QString& fileName);
    // openTable that shows an error in the error box; returns whether the
    // table is open.
    bool openTableReporting(const QString& fileName);

    // --- Editing (MainWindowEditing.cpp) -----------------------------------------
    // Edit mode: the table is reopened writable ("Editace") or read-only
    // ("Prohlížení") at the same record and column. A table that cannot be
    // opened writable stays open in view mode with the message
    // editRefusedText; a changed record is asked about first.
    void aEditExecute();
    // A new empty record at the grid's row, written when the row is left.
    void aInsertExecute();
    // Marks the current record deleted, or recalls it when it is.
    void aDeleteExecute();
    // Appends a copy of the current record (TableDataset::duplicateRecord).
    void aCopyExecute();
    // Ctrl+N: a file name, the structure dialog, the table created and
    // opened in edit mode.
    void aNewExecute();
    // Before a record still in editing would be discarded: the cell being
    // typed into goes into the record, a changed record is asked about
    // (Ano: written, Ne: dropped, Storno: stays), an unchanged one is
    // dropped silently. Returns whether to go on.
    bool confirmRecordChanges();
    // Ends the editing of the record: written when changed, else dropped.
    // A write that fails is shown and leaves the record in editing (false).
    bool endRecordEdit();
    static const char* const editRefusedText;
    static const char* const saveChangesQuestion;

    // The code page box's choice applied: conversion table rebuilt, the
    // matching action checked, the open table shown again. With
    // "Automaticky" (automaticCodePageChoice) the open table, and every
    // table opened after it, is read in the code page it holds
    // (detectCodePage); the status bar's last panel says which, as
    // "Latin 2 (automaticky)". Writing uses the same code page.
    void cbCPChange();
    // Handler of aLat, aKam, aWin and aAuto: moves the box, then cbCPChange.
    void aWinExecute(QAction* sender);
    // Whether "Automaticky" is chosen, and what it found for the open table.
    bool automaticCodePage() const;
    const DetectedCodePage& detectedCodePage() const { return detected_; }

    // Sets every action's state from the window's state.
    void actionListUpdate();
    // Runs actionListUpdate on the next turn of the event loop.
    void scheduleActionUpdate();

    // Puts a table at the top of the recent tables when it exists, and
    // rebuilds the recent block of the File menu.
    void updateRecentFiles(const QString& fileName = QString());
    const QStringList& recentFiles() const { return recentFiles_; }
    QList<QAction*> recentMenuItems() const;

    // The export command of an export action: save dialog, busy cursor,
    // progress bar in the status bar, the exporter, and the window put back
    // as it was, also when the export fails.
    void aToXLSExecute(QAction* sender);
    // Whether the action's exporter is present in this build.
    bool exportAvailable(QAction* action) const;

    // Attaches a handler to an action; the action is then enabled by the
    // rules of actionListUpdate.
    void setActionHandler(ActionId id, std::function<void()> handler);

    TableDataset& dbf() { return dbf_; }
    CodePageConverter& converter() { return converter_; }
    DbfGrid* grid() const { return grid_; }
    DbfGridModel* gridModel() const { return model_; }
    QComboBox* codePageBox() const { return cbCP_; }
    QLineEdit* searchBox() const { return edFind_; }
    QMenu* fileMenu() const { return mFile_; }
    QMenu* popupMenu() const { return popup_; }
    QAction* action(ActionId id) const { return actions_.at(static_cast<std::size_t>(id)); }
    // The first local file among dropped URLs: the table a drop opens.
    static QString droppedTable(const QMimeData* data);
    // Text of a status bar panel 0-4.
    QString panelText(int panel) const;
    // True while an export shows its progress bar in place of the panels.
    bool statusBarSinglePanel() const { return exportBar_ != nullptr; }
    QProgressBar* exportProgressBar() const { return exportBar_; }
    // The dataset field of the grid's current column, -1 when none.
    int currentField() const;
    // The fields of the grid's columns, in column order: what the CSV, TXT
    // and HTML exports write.
    std::vector<int> gridColumns() const;
    // The column chooser's result applied to the grid (empty: every field);
    // the grid stays on its record and, when it is still shown, its field.
    void setGridColumns(const std::vector<int>& fields);
    // aColumns: the column chooser over the open table.
    void aColumnsExecute();
    QFont gridFont() const;
    void setGridFont(const QFont& font);

    // The grid's current row moved to the dataset's current record.
    void syncGridToDataset();

    // The window's command groups (search and filter, copy and sum, memo
    // viewer), installed by the constructor.
    SearchCommands* searchCommands() const { return search_; }
    CellCommands* cellCommands() const { return cells_; }
    MemoCommands* memoCommands() const { return memo_; }

signals:
    // A table is about to be opened (the open one closes first): views bound
    // to the table's fields, such as a memo viewer, let go of them here.
    void tableOpening();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createExportCommands();
    QAction* makeAction(ActionId id, const char* caption, const char* hint, const char* shortcut,
                        int iconSlot);
    // What the command groups need of the window.
    CommandContext commandContext();
    void setHandler(QAction* action, std::function<void()> handler);
    bool hasHandler(QAction* action) const;

    // Runs a command; an error goes to the error box (a silent abort shows
    // nothing).
    void guarded(const std::function<void()>& command);

    // The application title (task bar, boxes) and the window's caption with it.
    void setApplicationTitle(const QString& title);
    // Opens the table on a dataset of its own and closes it again; throws
    // when it cannot be opened.
    void checkTableOpens(const QString& fileName, bool readOnly) const;
    // openTable in the given mode, asking nothing. sameTable: the open table
    // again (a mode switch), whose grid rows are kept when they still hold.
    void openTableIn(const QString& fileName, bool readOnly, bool sameTable = false);
    void installEditingCommands();
    // Asked before a cell's editor opens: the record locked for editing.
    bool startCellEdit(const QModelIndex& index);
    // The model refused a cell's text: the cursor goes back to the cell and
    // the message is shown.
    void cellEditRefused(const QModelIndex& index, const QString& message);
    void showPendingRefusal();
    void cancelRecordEdit();
    void goToRecord(int recNo, int column);
    void aOpenExecute();
    void aFontExecute();
    void aStructExecute();
    void aDeletedExecute();
    void recentFileClick(QAction* item);
    void moveToRow(int row);
    // The grid's current cell moved to another column of its row.
    void setCurrentColumn(int column);
    // The commands of the other parts of the window attached to their actions.
    void installCommands();
    // Column widths from the fields' display widths in the grid font.
    void fitColumns();
    void gridCurrentChanged();
    void dataSourceDataChange();
    void datasetChanged();
    void refreshDataset(const std::function<void()>& updateGrid);
    void tableClosed();
    // With "Automaticky" chosen and a table open: its code page told, chosen
    // and shown in the last panel; otherwise that panel emptied.
    void applyAutomaticCodePage();
    void runExport(const ExportCommand& command, const QString& fileName);

    TableDataset dbf_;
    CodePageConverter converter_;
    Dialogs dialogs_;

    DbfGrid* grid_ = nullptr;
    DbfGridModel* model_ = nullptr;
    SearchCommands* search_ = nullptr;
    CellCommands* cells_ = nullptr;
    MemoCommands* memo_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLineEdit* edFind_ = nullptr;
    QComboBox* cbCP_ = nullptr;
    StatusPanel* panels_[5] = {};
    QProgressBar* exportBar_ = nullptr;

    QMenu* mFile_ = nullptr;
    QAction* fileEndSeparator_ = nullptr;
    QMenu* popup_ = nullptr;
    QMenu* popupFiltr_ = nullptr;
    QActionGroup* codePageGroup_ = nullptr;
    QAction* mInsert_ = nullptr;
    QAction* mDelete_ = nullptr;
    QAction* mCopy_ = nullptr;

    std::array<QAction*, ActionCount> actions_{};
    std::vector<QAction*> handled_;
    std::vector<ExportCommand> exportCommands_;
    QTimer updateTimer_;

    DetectedCodePage detected_;
    QStringList recentFiles_;
    QString lastDir_;
    QFont fontDialogFont_;
    int fontCharset_ = 238;
    bool writeSettingsOnClose_ = true;
    bool syncing_ = false;
    bool opening_ = false;
    QPersistentModelIndex refusedCell_;
    QString refusal_;
};

} // namespace karto
