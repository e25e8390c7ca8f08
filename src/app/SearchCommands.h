#pragma once
// The search box's commands in the main window: find in the current column
// (aFind, F7), find everywhere (aFindAll, F3 and Enter in the search box) and
// the filter on the current column (aFilter, Alt+F).
//
// The walks are TableSearch's and ColumnFilter's; this adds the window's
// side: the grid takes the focus, the busy cursor, the grid's column for a
// match, the warning when nothing is found, the grid's rows after the filter
// changes, and the action's check mark. Errors go on to the caller (the
// window's action handlers show them in the error box); only Enter in the
// search box, which runs find everywhere directly, shows them itself.

#include <QObject>

#include "app/CommandContext.h"
#include "commands/TableSearch.h"

class QAction;

namespace karto {

class SearchCommands : public QObject {
    Q_OBJECT
public:
    // The warning when the end of the table is reached.
    static const char* const notFoundMessage;

    // `filterAction` is aFilter, whose check mark follows the filter.
    SearchCommands(CommandContext context, QAction* filterAction, QObject* parent);

    // Attaches the search box's text change (edFindChange) and its Enter
    // key, and the check of the filter's column after each rebuild of the
    // grid's columns. The window attaches aFind, aFindAll and aFilter.
    void install();

    void aFindClick();
    void aFindAllExecute();
    void aFilterExecute();
    // Any change of the search box's text: the next search starts at the
    // first record.
    void edFindChange() { search_.setFirstFind(true); }
    // Enter in the search box: find everywhere, also when the action is
    // disabled; an error goes to the window's error box.
    void edFindReturn();

    // After the grid's columns were rebuilt (another table, another column
    // set): a filter whose column position no longer exists is switched off.
    void checkFilterColumn();

    bool firstFind() const { return search_.firstFind(); }
    // The grid column the filter is on, -1 while it is off.
    int filterColumn() const { return filter_.column(); }
    const ColumnFilter& filter() const { return filter_; }

signals:
    // The filter was switched on (its column) or off (-1): the column's
    // background is the tool-tip background while the filter is on.
    void filterColumnChanged(int column);

private:
    // Switches the filter, rebuilds the grid's rows and sets the check mark.
    void setFilter(bool on);

    CommandContext window_;
    QAction* filterAction_;
    TableSearch search_;
    ColumnFilter filter_;
    bool checkQueued_ = false;
};

} // namespace karto
