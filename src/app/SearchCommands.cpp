#include "app/SearchCommands.h"

#include <QAction>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTimer>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/WindowDialogs.h"
#include "dbf/table/TableDataset.h"
#include "commands/UpperCase.h"
#include "dbf/Error.h"

namespace karto {

const char* const SearchCommands::notFoundMessage =
    "Další výskyt hledaného řetězce nenalezen\nHledání bude pokračovat od začátku";

namespace {

// The busy cursor for a scope, also when an error leaves it.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

SearchCommands::SearchCommands(CommandContext context, QAction* filterAction, QObject* parent)
    : QObject(parent), window_(std::move(context)), filterAction_(filterAction),
      search_(window_.dbf()), filter_(window_.dbf(), qtUpperCase())
{
    DbfGridModel* model = window_.gridModel();
    filter_.setFieldOfColumn([model](int column) { return model->fieldOfColumn(column); });
}

void SearchCommands::install()
{
    QLineEdit* box = window_.searchBox();
    connect(box, &QLineEdit::textChanged, this, [this] { edFindChange(); });
    connect(box, &QLineEdit::returnPressed, this, [this] { edFindReturn(); });
    // Checked on the next turn of the event loop: the grid may be rebuilt
    // several times in one command.
    connect(window_.gridModel(), &QAbstractItemModel::modelReset, this, [this] {
        if (checkQueued_)
            return;
        checkQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            checkQueued_ = false;
            checkFilterColumn();
        });
    });
}

void SearchCommands::aFindClick()
{
    window_.grid()->setFocus();
    TextMatcher matcher(window_.searchBox()->text().toStdString(), qtUpperCase());
    bool found;
    {
        BusyCursor busy;
        found = search_.findInField(window_.currentField(), matcher);
    }
    window_.syncGridToDataset();
    if (!found && window_.dialogs().warning)
        window_.dialogs().warning(window_.widget(), QString::fromUtf8(notFoundMessage));
}

void SearchCommands::aFindAllExecute()
{
    window_.grid()->setFocus();
    TextMatcher matcher(window_.searchBox()->text().toStdString(), qtUpperCase());
    int field;
    {
        BusyCursor busy;
        field = search_.findEverywhere(window_.currentField(), window_.gridColumns(), matcher);
    }
    window_.syncGridToDataset();
    if (field >= 0) {
        // The match's column becomes the grid's current column.
        DbfGrid* grid = window_.grid();
        DbfGridModel* model = window_.gridModel();
        const int column = model->columnOfField(field);
        const int row = grid->currentIndex().row();
        if (column >= 0 && row >= 0) {
            const QModelIndex index = model->index(row, column);
            grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            grid->scrollTo(index);
        }
    } else if (window_.dialogs().warning) {
        window_.dialogs().warning(window_.widget(), QString::fromUtf8(notFoundMessage));
    }
}

void SearchCommands::edFindReturn()
{
    try {
        aFindAllExecute();
    } catch (const AbortError&) {
    } catch (const std::exception& e) {
        if (window_.dialogs().error)
            window_.dialogs().error(window_.widget(), QString::fromUtf8(e.what()));
    }
    window_.scheduleActionUpdate();
}

void SearchCommands::aFilterExecute()
{
    setFilter(!filter_.on());
}

void SearchCommands::setFilter(bool on)
{
    TableDataset& dbf = window_.dbf();
    DbfGridModel* model = window_.gridModel();
    int column = -1;
    {
        // The grid is told of the new current record once its rows are rebuilt.
        ControlsDisabled detached(dbf);
        try {
            if (on) {
                column = std::max(window_.grid()->currentIndex().column(), 0);
                filter_.switchOn(window_.searchBox()->text().toStdString(), column);
            } else {
                filter_.switchOff();
            }
        } catch (...) {
            model->reload();
            if (filterAction_)
                filterAction_->setChecked(filter_.on());
            emit filterColumnChanged(filter_.column());
            throw;
        }
        model->reload();
    }
    window_.syncGridToDataset();
    if (filterAction_)
        filterAction_->setChecked(filter_.on());
    emit filterColumnChanged(filter_.column());
}

void SearchCommands::checkFilterColumn()
{
    if (filter_.on() && filter_.column() >= window_.gridModel()->columnCount())
        setFilter(false);
}

} // namespace karto
