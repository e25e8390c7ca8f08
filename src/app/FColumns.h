#pragma once
// The column chooser "Výběr sloupců" (Ctrl+B): a check list of the table's
// fields; the checked ones become the grid's columns, in table order, and so
// the columns the CSV and HTML exports write.

#include <vector>

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace karto {

class TableDataset;

class FColumns : public QDialog {
    Q_OBJECT
public:
    // One item per name, checked where `checked` says so.
    FColumns(const QStringList& names, const std::vector<bool>& checked, QWidget* parent = nullptr);

    QListWidget* lbCols() const { return lbCols_; }
    QPushButton* bAll() const { return bAll_; }
    QPushButton* bInvert() const { return bInvert_; }
    QPushButton* bOk() const { return bOk_; }
    QPushButton* bCancel() const { return bCancel_; }

    // "&Vše": checks every item; "&Opačně": turns every check over.
    void bAllClick();
    void bInvertClick();

    std::vector<bool> checked() const;

    // The columns the checks ask for: the positions of the checked items in
    // order; empty (the grid's default columns, every field) when all or none
    // are checked.
    static std::vector<int> chosenColumns(const std::vector<bool>& checked);

    // The grid's default columns: every field the grid can show, in table
    // order (the engine's hidden null-flags field is none of them).
    static std::vector<int> defaultColumns(const TableDataset& dataset);

    // Runs the chooser over the default columns of an open table, with the
    // items of `current` (the grid's fields) checked. On OK returns true and
    // sets `result` to the fields to show, in table order; empty for the
    // default columns. The dialog is made for this one use.
    static bool choose(QWidget* parent, const TableDataset& dataset, const std::vector<int>& current,
                       std::vector<int>& result);

private:
    QListWidget* lbCols_;
    QPushButton* bAll_;
    QPushButton* bInvert_;
    QPushButton* bOk_;
    QPushButton* bCancel_;
};

} // namespace karto
