#pragma once
// `karto --append`: the records of a CSV or TXT file (CsvReader.h) added to
// a table through the dataset's writing (TableDataset.h). Plain C++.
//
// Every line is checked before the first record is written: a first pass
// reads the file, sets each line's values on a new record and cancels it
// (nothing is written), so that a bad line leaves the table byte for byte as
// it was; only then a second pass reads the file again and appends for real.
// When the table's production index has a distinct tag, the first pass also
// asks the index about each line's record and keeps the lines' keys of
// those tags, so that a key already in the index or shared by two lines is
// refused before anything is written.
// Memory stays bounded by the reader's block and the longest record, except
// for a table with distinct tags, whose keys of every line are kept until
// the first pass ends. The first line names the fields (any subset, any
// order, any letter case); every other field of a new record keeps the
// table's empty record (autoincrement fields get their next values; a value
// for one is refused).
//
// Messages are Czech and name the line, and the field when there is one:
//   Řádek 7, pole CENA: 'abc' is not a number for field 'CENA'.
//   Řádek 9: Key violation. (Key already present in file). ...
//   Řádek 9: klíč 'NOVAK' značky NAZEV už má řádek 4
// (the reason is the engine's own English message, or for a key two lines
// share, the earlier line). A failure that shows
// only while writing (a lock held too long, a full disk) says how many
// records were appended before it.

#include <cstdint>
#include <functional>
#include <string>

#include "dbf/Error.h"

namespace karto {

class TableDataset;

// A file that cannot be appended. appended() records were added before the
// failure (0 when it was found by the first pass: the table is unchanged).
class CsvAppendError : public KartoError {
public:
    CsvAppendError(const std::string& message, int64_t appended) : KartoError(message), appended_(appended) {}
    int64_t appended() const { return appended_; }

private:
    int64_t appended_;
};

// Progress of the appending pass: records appended so far, of total.
using CsvAppendProgress = std::function<void(int64_t done, int64_t total)>;

// Appends every record of the file to the open, writable dataset and returns
// how many were appended. The delimiter follows the file's name
// (csvDelimiterFor). Throws CsvAppendError.
int64_t appendCsvFile(TableDataset& dataset, const std::string& csvPath, const CsvAppendProgress& progress = {});

} // namespace karto
