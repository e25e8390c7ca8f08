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
//
// Editing: while setEditable(true) a cell is edited in place when the user
// types into it, presses F2 or double-clicks it; the window may refuse the
// start (setBeforeEdit: the record cannot be locked). Escape is not taken
// by the cell's editor: it stays the window's key (it closes the window,
// which first asks about a changed record).

#include <functional>

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

    // Cells edited in place (the table open writable) or not.
    void setEditable(bool editable);
    // Asked before a cell's editor opens; false keeps it closed.
    void setBeforeEdit(std::function<bool(const QModelIndex&)> check) { beforeEdit_ = std::move(check); }
    // The editor of the cell being typed into, nullptr when none is open.
    QWidget* openEditor() const;
    // Puts the open editor's text into the model and closes the editor;
    // false when no editor was open.
    bool commitOpenEditor();
    // Told when the keyboard focus has gone to another control of the window
    // (not to a cell's editor, a menu or a pop-up).
    void setOnFocusLeft(std::function<void()> handler) { onFocusLeft_ = std::move(handler); }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QStyledItemDelegate* cellDelegate_;
    QStyledItemDelegate* plainDelegate_;
    std::function<bool(const QModelIndex&)> beforeEdit_;
    std::function<void()> onFocusLeft_;
};

// The grid's cell editors: as the toolkit's, but Escape is left to the
// window's shortcut.
class GridEditDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool eventFilter(QObject* editor, QEvent* event) override;
};

// Paints one data cell with the colours above (DBGridDrawDataCell).
class GridCellDelegate : public GridEditDelegate {
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
