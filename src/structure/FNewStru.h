#pragma once
// The new table dialog "Struktura nové tabulky": one row per field with its
// name, type letter, length and decimals, checked and brought into shape as
// the user moves through the grid, and validated as a whole on OK.
//
//  - Keys: a name takes letters A-Z and a-z, digits and the underscore; a
//    type one of C, D, F, L, M, N in either case; length and decimals
//    digits. Other printable keys are dropped. Enter moves to the next
//    column (from the decimals to the name of the next row); Escape closes
//    the dialog with Cancel.
//  - Entering a row's type cell brings its name into shape (upper case, an
//    "A" before a name that does not start with a letter, only letters,
//    digits and underscores, at most 10 characters). Leaving a row brings
//    its type, length and decimals into shape (normalizeRow). The length
//    cell can be entered only for C, F and N, the decimals only for F and N;
//    a cell that cannot be entered sends the cursor to the name of the next
//    row.
//  - OK brings every row into shape again, then refuses a name used twice
//    (the later row becomes current), a row with a name but a missing type,
//    length or decimals, and a structure without any field; otherwise
//    fieldDefs() holds one definition per named row, in row order, with its
//    name, type letter, length and decimals, and the dialog closes with OK.
//    Rows without a name are skipped wherever they are.

#include <functional>

#include <QDialog>
#include <QTableWidget>

#include "dbf/field/FieldDef.h"

class QPushButton;

namespace karto {

class FNewStru;

// The structure grid: the dialog's rules on keys and on moving between cells.
class NewStruGrid : public QTableWidget {
    Q_OBJECT
public:
    NewStruGrid(FNewStru* dialog, int rows);
    // Puts the text of an open cell editor into its cell.
    void commitEditor();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    FNewStru* dialog_;
    bool moving_ = false;
};

class FNewStru : public QDialog {
    Q_OBJECT
public:
    enum Column { ColName, ColType, ColLength, ColDecimals };
    static constexpr int fieldRows = 253;

    explicit FNewStru(QWidget* parent = nullptr);

    QTableWidget* gridStru() const { return grid_; }
    QPushButton* okButton() const { return bOk_; }
    QPushButton* cancelButton() const { return bCancel_; }
    // The error box (no caption of its own, error icon); tests put their own.
    void setErrorBox(std::function<void(QWidget* parent, const QString& message)> box) { errorBox_ = std::move(box); }

    // FDef: after OK, one definition per named row.
    const FieldDefs& fieldDefs() const { return fDef_; }

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);

    // The name as the type column makes it (see above); empty stays empty.
    static QString normalizedName(const QString& name);
    // A row's type, length and decimals by the rules of its type letter;
    // nothing when the type is empty. A number out of range becomes the
    // nearer end of the range, a text that is no number the default.
    static void normalizeRow(QString& type, QString& length, QString& decimals);
    // Whether a printable character may be typed into a column.
    static bool keyAccepted(int column, QChar c);

    // OK: the checks above; closes with OK when they pass.
    void bOKClick();

private:
    friend class NewStruGrid;
    // Enter and Escape in the grid or in its editor; true when handled.
    bool gridStruKeyPress(int key);
    // The rules of moving to a cell; returns the cell to be current instead,
    // or the same cell.
    QModelIndex gridStruSelectCell(const QModelIndex& to, const QModelIndex& from);
    void normalizeRowAt(int row);
    void showError(const QString& message);

    NewStruGrid* grid_;
    QPushButton* bOk_;
    QPushButton* bCancel_;
    FieldDefs fDef_{xBaseIV};
    std::function<void(QWidget*, const QString&)> errorBox_;
};

} // namespace karto
