#pragma once
// The column sum (Ctrl+U): a numeric field added up over the records the
// dataset shows, as currency values (fixed point, four decimal places), and
// the message that shows the result.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "dbf/Error.h"

namespace karto {

class TableDataset;

// A value or the sum outside the currency range (about ±9.2e14).
class ColumnSumError : public KartoError {
public:
    using KartoError::KartoError;
};

// Adds up a field over the visible records, in units of 1/10000 (an empty
// value counts as 0), with the dataset's bound views suspended, and goes back
// to the record that was current. When reading a value fails the walk stops:
// the sum of the records read so far is returned, the dataset is put back
// just the same, and the error is handed out in `error` for the caller to
// raise after it has shown the sum. Closed dataset: throws.
int64_t sumColumn(TableDataset& dataset, int field, std::exception_ptr& error);

// A sum in units of 1/10000 as "%.4n": four decimals after ".", the thousands
// grouped by `groupSeparator` ("1 200 000.5000"), a minus sign in front of
// negative sums.
std::string formatCurrency(int64_t units, std::string_view groupSeparator);

// "Sloupec \"CENA\" celkem:   " followed by the sum formatted as above and
// filled on the left with spaces to 14 characters.
std::string columnSumMessage(std::string_view fieldName, int64_t units, std::string_view groupSeparator);

} // namespace karto
