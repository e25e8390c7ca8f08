#pragma once
// Two commands on the grid's current cell and column: copy the cell's text
// to the clipboard (aCopyField, Ctrl+C) and show the column's sum
// (aSum, Ctrl+U).

#include <functional>

#include <QObject>
#include <QString>

#include "app/CommandContext.h"

class QWidget;

namespace karto {

class TableDataset;

// The text of a field of the dataset's current record as the grid shows it
// (after the code page conversion); empty for no record or no such field.
QString currentFieldText(const TableDataset& dataset, int field);

class CellCommands : public QObject {
    Q_OBJECT
public:
    // A plain message box: no icon, an OK button.
    using MessageBox = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

    CellCommands(CommandContext context, QObject* parent);
    // Tests put their own box in place.
    void setMessageBox(MessageBox box) { messageBox_ = std::move(box); }

    // The current cell's text on the clipboard as plain text.
    void aCopyFieldExecute();
    // The current column summed over the shown records, shown in a plain box
    // captioned with the application title; the grid stays on its record. A
    // read error shows the sum so far and then goes on to the caller.
    void aSumExecute();

private:
    CommandContext window_;
    MessageBox messageBox_;
};

} // namespace karto
