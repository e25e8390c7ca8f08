#pragma once
// The search box's commands on the table dataset: find in one column, find
// everywhere, and the column filter.
//
// Both searches walk the visible records (the order, filter and deleted-record
// visibility the grid shows) with the dataset's bound views suspended, stay on
// the record they found, and go back to the record that was current when they
// find nothing. They compare each field's text form (after the code page
// conversion) with a TextMatcher. Plain C++: the window adds the busy cursor,
// the warning and the grid's column (see SearchCommands).

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands/TextMatcher.h"

namespace karto {

class TableDataset;

class TableSearch {
public:
    explicit TableSearch(TableDataset& dataset) : dataset_(dataset) {}

    // True: the next search starts at the first record. True at start, after
    // every change of the search text and after a search that found nothing.
    bool firstFind() const { return firstFind_; }
    void setFirstFind(bool firstFind) { firstFind_ = firstFind; }

    // Find in one field (F7): from the first record when firstFind(), else
    // from the record after the current one. Returns true and stays on the
    // found record; returns false back on the record that was current, with
    // firstFind() true. An error stops the walk where it happened.
    bool findInField(int field, TextMatcher& matcher);

    // Find everywhere (F3): the fields in `shownFields` (those the grid has a
    // column for; any order) are compared in table order, record by record.
    // From the first record's first field when firstFind(); else from the
    // field after `currentField` in the current record, or from the next
    // record when no field follows. Returns the matching field and stays on
    // its record; -1 when nothing matched: back on the record that was
    // current, firstFind() true.
    int findEverywhere(int currentField, const std::vector<int>& shownFields, TextMatcher& matcher);

private:
    bool fieldMatches(int field, TextMatcher& matcher);

    TableDataset& dataset_;
    bool firstFind_ = true;
    std::string text_;
};

// The record filter on one grid column: while on, the dataset shows only the
// records whose field in that column contains the filter text (compared as
// the searches compare). The text and the column position are taken when the
// filter is switched on and kept until it is switched off; the field is looked
// up by the column position each time (fieldOfColumn), so the filter follows
// the grid's columns and a table opened while it is on. A position that shows
// no field accepts every record: the owner then switches the filter off.
//
// The constructor installs the dataset's record filter callback. The
// callback keeps what it needs alive by itself, so the dataset may outlive
// this object and the other way round; a callback whose filter object is gone
// accepts every record.
class ColumnFilter {
public:
    // The dataset field shown in a grid column, -1 for none.
    using FieldOfColumn = std::function<int(int column)>;

    ColumnFilter(TableDataset& dataset, TextMatcher::UpperCase upperCase);
    ~ColumnFilter();
    ColumnFilter(const ColumnFilter&) = delete;
    ColumnFilter& operator=(const ColumnFilter&) = delete;

    // Without one, column positions are field numbers.
    void setFieldOfColumn(FieldOfColumn fieldOfColumn);

    bool on() const;
    int column() const;
    // The upper-cased filter text, empty while off.
    std::string text() const;

    // Switches the dataset's filter on for the text and the column position
    // (the dataset is refreshed: its current record becomes the first accepted
    // one from where it was).
    void switchOn(std::string_view text, int column);
    // Switches the dataset's filter off (refreshed as well).
    void switchOff();

private:
    struct State;
    TableDataset& dataset_;
    TextMatcher::UpperCase upperCase_;
    std::shared_ptr<State> state_;
};

} // namespace karto
