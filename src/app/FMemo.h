#pragma once
// The memo viewer "Tabulon - zobrazení memo položky" (Ctrl+M): a window
// beside the grid that shows the memo of the grid's current record in a
// read-only text box, and follows the grid while it is bound to a field.
// Created once and kept for the run: closing it only unbinds and hides it.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include "app/CommandContext.h"

class QAction;
class QMenu;
class QPlainTextEdit;

namespace karto {

class TableDataset;

// Where a new viewer goes: with the main window maximised its bottom right
// corner on the main window's; otherwise its centre there (halves rounded
// toward zero). Rectangles are outer frames.
QPoint memoViewerPosition(const QRect& mainFrame, const QSize& viewerFrame, bool mainMaximised);

class FMemo : public QWidget {
    Q_OBJECT
public:
    explicit FMemo(QWidget* parent = nullptr);

    QPlainTextEdit* dbRichEdit() const { return dbRichEdit_; }
    QMenu* popupMenu() const { return popup_; }

    // Bound: the viewer shows the named field's memo of a record.
    void bind(TableDataset& dataset, const QString& fieldName);
    // No field, no dataset: the text box is emptied.
    void unbind();
    bool isBound() const { return dataset_ != nullptr; }
    const QString& fieldName() const { return fieldName_; }

    // Shows the bound field of a record (physical number); an empty text for
    // no record, a field the table lacks, or a memo that cannot be read.
    void showRecord(int recNo);

    // The font of the text box, set each time the window is shown: a
    // monospaced font of 10 points in the menu text colour.
    void applyFont();

signals:
    // Closed by its close box (unbound and hidden).
    void closedByUser();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPlainTextEdit* dbRichEdit_;
    QMenu* popup_;
    TableDataset* dataset_ = nullptr;
    QString fieldName_;
};

// The memo viewer command of the main window (aShowMemo) and the viewer's
// following of the grid.
class MemoCommands : public QObject {
    Q_OBJECT
public:
    MemoCommands(CommandContext context, QObject* parent);

    // Attaches the following of the grid's current record and of a new code
    // page. The window attaches aShowMemo and calls closeViewer() before a
    // table is opened.
    void install();

    // Closes a bound viewer; otherwise, on a memo or other blob column,
    // creates the viewer the first time (placed by memoViewerPosition),
    // shows it bound to the current field and gives the grid the focus back.
    void aShowMemoExecute();
    // Unbinds and closes the viewer (before a table is opened).
    void closeViewer();
    // Shows the memo of the grid's current record.
    void follow();

    FMemo* viewer() const { return viewer_; }

private:
    CommandContext window_;
    FMemo* viewer_ = nullptr;
};

} // namespace karto
