#include "commands/TableSearch.h"

#include <algorithm>
#include <cstring>

#include "dbf/table/TableDataset.h"

namespace karto {

// --- TableSearch -----------------------------------------------------------------

namespace {

// Whether the text of a field of the current record contains the matcher's
// text; `scratch` is the caller's buffer.
bool fieldContains(TableDataset& dataset, int field, TextMatcher& matcher, std::string& scratch)
{
    const uint8_t* record = dataset.currentRecord();
    const Field& f = dataset.field(field);
    if (f.dataType() == ftString) {
        // A character field's text as the dataset gives it (its bytes through
        // the translate hook, read as Windows 1250), without the decoding.
        const TableDataset::Windows1250Text text = dataset.windows1250Text(field, record);
        return text.size > 0 && matcher.matchesWindows1250(text.bytes, text.size, text.byteMap);
    }
    scratch.clear();
    dataset.appendFieldText(scratch, field, record);
    return matcher.matches(scratch);
}

} // namespace

bool TableSearch::fieldMatches(int field, TextMatcher& matcher)
{
    return fieldContains(dataset_, field, matcher, text_);
}

bool TableSearch::findInField(int field, TextMatcher& matcher)
{
    dataset_.checkActive();
    const int start = dataset_.recNo();
    {
        ControlsDisabled detached(dataset_);
        if (firstFind_) {
            dataset_.first();
            firstFind_ = false;
        } else {
            dataset_.next();
        }
        if (!matcher.empty() && field >= 0 && field < dataset_.fieldCount()) {
            for (; !dataset_.eof(); dataset_.next()) {
                if (fieldMatches(field, matcher))
                    return true;
            }
        }
        dataset_.setRecNo(start);
        firstFind_ = true;
    }
    return false;
}

int TableSearch::findEverywhere(int currentField, const std::vector<int>& shownFields, TextMatcher& matcher)
{
    dataset_.checkActive();
    // The shown fields in table order.
    std::vector<int> fields;
    for (int f : shownFields) {
        if (f >= 0 && f < dataset_.fieldCount())
            fields.push_back(f);
    }
    std::sort(fields.begin(), fields.end());
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());

    const int start = dataset_.recNo();
    ControlsDisabled detached(dataset_);
    std::size_t from = 0;
    if (firstFind_) {
        dataset_.first();
        firstFind_ = false;
    } else {
        from = static_cast<std::size_t>(std::upper_bound(fields.begin(), fields.end(), currentField) -
                                        fields.begin());
        if (from == fields.size()) {
            dataset_.next();
            from = 0;
        }
    }
    if (!matcher.empty() && !fields.empty()) {
        for (; !dataset_.eof(); dataset_.next()) {
            for (std::size_t i = from; i < fields.size(); ++i) {
                if (fieldMatches(fields[i], matcher))
                    return fields[i];
            }
            from = 0;
        }
    }
    dataset_.setRecNo(start);
    firstFind_ = true;
    return -1;
}

// --- ColumnFilter ------------------------------------------------------------------

struct ColumnFilter::State {
    bool on = false;
    int column = -1;
    FieldOfColumn fieldOfColumn;
    std::unique_ptr<TextMatcher> matcher;
    std::string value;

    void filterRecord(TableDataset& dataset, bool& accept)
    {
        if (!on || !matcher)
            return;
        const int field = fieldOfColumn ? fieldOfColumn(column) : column;
        if (field < 0 || field >= dataset.fieldCount())
            return;
        accept = fieldContains(dataset, field, *matcher, value);
    }
};

ColumnFilter::ColumnFilter(TableDataset& dataset, TextMatcher::UpperCase upperCase)
    : dataset_(dataset), upperCase_(std::move(upperCase)), state_(std::make_shared<State>())
{
    dataset_.setOnFilterRecord([state = state_](TableDataset& ds, bool& accept) {
        state->filterRecord(ds, accept);
    });
}

ColumnFilter::~ColumnFilter()
{
    state_->on = false;
    state_->fieldOfColumn = nullptr;
}

void ColumnFilter::setFieldOfColumn(FieldOfColumn fieldOfColumn)
{
    state_->fieldOfColumn = std::move(fieldOfColumn);
}

bool ColumnFilter::on() const { return state_->on; }

int ColumnFilter::column() const { return state_->on ? state_->column : -1; }

std::string ColumnFilter::text() const
{
    return state_->on && state_->matcher ? state_->matcher->upperNeedle() : std::string();
}

void ColumnFilter::switchOn(std::string_view text, int column)
{
    state_->matcher = std::make_unique<TextMatcher>(text, upperCase_);
    state_->column = column;
    state_->on = true;
    if (dataset_.filtered() && dataset_.active())
        dataset_.refresh();
    else
        dataset_.setFiltered(true);
}

void ColumnFilter::switchOff()
{
    state_->on = false;
    state_->matcher.reset();
    state_->column = -1;
    dataset_.setFiltered(false);
}

} // namespace karto
