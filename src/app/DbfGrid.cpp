#include "app/DbfGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include "app/DbfGridModel.h"

namespace karto {

DbfGrid::DbfGrid(QWidget* parent)
    : QTableView(parent), cellDelegate_(new GridCellDelegate(this)), plainDelegate_(new GridEditDelegate(this))
{
    setObjectName(QStringLiteral("DBGrid"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(cellDelegate_);
}

void DbfGrid::setOwnCellDrawing(bool own)
{
    QStyledItemDelegate* wanted = own ? cellDelegate_ : plainDelegate_;
    if (itemDelegate() != wanted) {
        setItemDelegate(wanted);
        viewport()->update();
    }
}

void DbfGrid::setEditable(bool editable)
{
    setEditTriggers(editable ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                                   QAbstractItemView::EditKeyPressed
                             : QAbstractItemView::NoEditTriggers);
}

bool DbfGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only a start of editing is asked about (the view also calls this for
    // clicks that start nothing).
    const bool starts = (editTriggers() & trigger) && index.isValid() && state() != EditingState &&
                        (index.flags() & Qt::ItemIsEditable);
    if (starts && beforeEdit_ && !beforeEdit_(index))
        return false;
    return QTableView::edit(index, trigger, event);
}

QWidget* DbfGrid::openEditor() const
{
    if (state() != EditingState)
        return nullptr;
    const QModelIndex current = currentIndex();
    QWidget* editor = current.isValid() ? indexWidget(current) : nullptr;
    if (editor)
        return editor;
    for (QWidget* child : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            return child;
    }
    return nullptr;
}

bool DbfGrid::commitOpenEditor()
{
    QWidget* editor = openEditor();
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool GridEditDelegate::eventFilter(QObject* editor, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        return false;   // the window's Escape
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        return false;
    return QStyledItemDelegate::eventFilter(editor, event);
}

void DbfGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void DbfGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
    if (!onFocusLeft_ || event->reason() == Qt::PopupFocusReason || event->reason() == Qt::MenuBarFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason)
        return;
    // A cell's editor is part of the grid.
    QWidget* now = QApplication::focusWidget();
    if (now && (now == this || isAncestorOf(now)))
        return;
    onFocusLeft_();
}

void DbfGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // The whole row of the current record changes its background.
    viewport()->update();
}

GridCellDelegate::GridCellDelegate(QTableView* grid) : GridEditDelegate(grid), grid_(grid) {}

GridCellDelegate::Colours GridCellDelegate::cellColours(const QModelIndex& index, const QPalette& palette) const
{
    Colours c;
    c.text = palette.color(QPalette::Text);
    const QModelIndex current = grid_->currentIndex();
    const bool selectedCell = current.isValid() && index == current;
    if (current.isValid() && index.row() == current.row())
        c.background = palette.color(QPalette::Button);
    if (!selectedCell && index.data(DbfGridModel::DeletedRole).toBool())
        c.text = QColor(255, 0, 0);
    if (selectedCell) {
        if (grid_->hasFocus()) {
            c.background = palette.color(QPalette::Highlight);
            c.text = palette.color(QPalette::HighlightedText);
        } else {
            c.background = palette.color(QPalette::Dark);
        }
    }
    return c;
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const Colours c = cellColours(index, opt.palette);
    // The colours above replace the style's own selection and focus marks.
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    if (c.background.isValid())
        opt.backgroundBrush = c.background;
    opt.palette.setColor(QPalette::Text, c.text);
    opt.palette.setColor(QPalette::WindowText, c.text);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

} // namespace karto
