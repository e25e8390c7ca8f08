#include "commands/CsvAppend.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "commands/CsvReader.h"
#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

std::string lineText(int64_t line)
{
    return "Řádek " + std::to_string(line);
}

// Sets a line's values on the dataset's new record; a refused value names
// the line and the field.
void setValues(TableDataset& dataset, const CsvRecord& record, const std::vector<int>& columns)
{
    for (std::size_t c = 0; c < columns.size() && c < record.values.size(); ++c) {
        Field& field = dataset.field(columns[c]);
        const std::string& value = record.values[c];
        // An empty value leaves the new record's own (an autoincrement
        // field's next value, a default).
        if (value.empty() && (field.readOnly() || field.dataType() == ftAutoInc))
            continue;
        try {
            if (value.empty())
                field.clear();
            else
                field.setAsString(value);
        } catch (const TableError& e) {
            throw CsvAppendError(lineText(record.line) + ", pole " + field.fieldName() + ": " + e.what(), 0);
        }
    }
}

// The distinct index keys of the lines read so far: per tag, each key and
// the line that has it.
using SeenKeys = std::unordered_map<std::string, std::unordered_map<std::string, int64_t>>;

// A line's new record against the distinct tags of the table's index: a key
// already in the index (the engine's key violation), or one an earlier line
// of the file has.
void checkKeys(TableDataset& dataset, int64_t line, int ahead, SeenKeys& seen)
{
    std::vector<DistinctTagKey> keys;
    try {
        dataset.checkNewRecordKeys(ahead);
        keys = dataset.distinctKeysOfNewRecord(ahead);
    } catch (const KartoError& e) {
        throw CsvAppendError(lineText(line) + ": " + e.what(), 0);
    }
    for (const DistinctTagKey& k : keys) {
        const auto [at, added] = seen[k.tag].emplace(k.key, line);
        if (!added)
            throw CsvAppendError(lineText(line) + ": klíč '" + k.text + "' značky " + k.tag + " už má řádek " +
                                     std::to_string(at->second),
                                 0);
    }
}

std::vector<std::string> fieldNames(const TableDataset& dataset)
{
    std::vector<std::string> names;
    for (int i = 0; i < dataset.fieldCount(); ++i)
        names.push_back(dataset.field(i).fieldName());
    return names;
}

} // namespace

int64_t appendCsvFile(TableDataset& dataset, const std::string& csvPath, const CsvAppendProgress& progress)
{
    if (!dataset.canModify())
        throw CsvAppendError("Tabulku nelze měnit: Cannot modify a read-only dataset", 0);
    const char delimiter = csvDelimiterFor(csvPath);
    std::vector<int> columns;
    int64_t total = 0;

    // First pass: every line parsed and set on a new record that is then
    // dropped; nothing reaches the table.
    try {
        CsvReader reader(csvPath, delimiter);
        columns = mapCsvColumns(reader.header(), fieldNames(dataset));
        // Only a table whose index has a distinct tag pays for the keys.
        bool distinct = false;
        for (const IndexTagInfo& tag : dataset.indexTags())
            distinct = distinct || tag.uniqueMode == iuDistinct;
        SeenKeys seen;
        CsvRecord record;
        while (reader.next(record)) {
            dataset.append();
            try {
                setValues(dataset, record, columns);
                if (distinct)
                    checkKeys(dataset, record.line, static_cast<int>(std::min<int64_t>(total, INT32_MAX)), seen);
            } catch (...) {
                dataset.cancel();
                throw;
            }
            dataset.cancel();
            ++total;
        }
    } catch (const CsvError& e) {
        throw CsvAppendError(e.what(), 0);
    }

    // Second pass: the same lines appended for real.
    int64_t appended = 0;
    try {
        CsvReader reader(csvPath, delimiter);
        CsvRecord record;
        if (progress)
            progress(0, total);
        while (reader.next(record)) {
            dataset.append();
            setValues(dataset, record, columns);
            dataset.post();
            ++appended;
            if (progress)
                progress(appended, total);
        }
    } catch (const std::exception& e) {
        if (isEditingState(dataset.state())) {
            try {
                dataset.cancel();
            } catch (...) {
            }
        }
        throw CsvAppendError("Přidáno " + std::to_string(appended) + " záznamů, pak přidávání selhalo: " + e.what(),
                             appended);
    }
    return appended;
}

} // namespace karto
