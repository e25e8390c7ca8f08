#pragma once
// The data grid of the main window and the drawing of its cells.
//
// Cell colours: the row of the current record has the button-face
// background; a deleted record's text is red except in the selected cell; the
// selected cell has the selection colours while the grid has the focus and
// the button-shadow background without it. These colours are the grid's own
// drawing of its default columns; a chosen column set is drawn the toolkit's
// standard way. Either way a column tinted by the model (the filter's column)
// keeps its tint where no colour above covers it.

#include <QStyledItemDelegate>
#include <QTableView>

namespace karto {

class DbfGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbfGrid(QWidget* parent = nullptr);

    // The grid's own cell colours (true, default columns) or the toolkit's
    // standard drawing (false, a chosen column set).
    void setOwnCellDrawing(bool own);
    bool ownCellDrawing() const { return itemDelegate() == cellDelegate_; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QStyledItemDelegate* cellDelegate_;
    QStyledItemDelegate* plainDelegate_;
};

// Paints one data cell with the colours above (DBGridDrawDataCell).
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridCellDelegate(QTableView* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The background and text colours of a cell, as paint() uses them; an
    // invalid background leaves the view's own.
    struct Colours {
        QColor background;
        QColor text;
    };
    Colours cellColours(const QModelIndex& index, const QPalette& palette) const;

private:
    QTableView* grid_;
};

} // namespace karto
