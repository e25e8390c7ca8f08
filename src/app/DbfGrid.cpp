#include "app/DbfGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>

#include "app/DbfGridModel.h"

namespace karto {

DbfGrid::DbfGrid(QWidget* parent)
    : QTableView(parent), cellDelegate_(new GridCellDelegate(this)), plainDelegate_(new QStyledItemDelegate(this))
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

void DbfGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void DbfGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void DbfGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // The whole row of the current record changes its background.
    viewport()->update();
}

GridCellDelegate::GridCellDelegate(QTableView* grid) : QStyledItemDelegate(grid), grid_(grid) {}

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
