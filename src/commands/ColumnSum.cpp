#include "commands/ColumnSum.h"

#include <cmath>

#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

constexpr const char* kOverflow = "Arithmetic overflow";

// The currency value of a number: rounded to four decimal places, half to
// even as a conversion of a float to a fixed-point number rounds.
int64_t currencyUnits(double value)
{
    const double scaled = std::nearbyint(value * 10000.0);
    if (!(scaled > -9.2e18 && scaled < 9.2e18))
        throw ColumnSumError(kOverflow);
    return static_cast<int64_t>(scaled);
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

int64_t sumColumn(TableDataset& dataset, int field, std::exception_ptr& error)
{
    dataset.checkActive();
    error = nullptr;
    const int start = dataset.recNo();
    int64_t sum = 0;
    ControlsDisabled detached(dataset);
    try {
        const Field& f = dataset.field(field);
        for (dataset.first(); !dataset.eof(); dataset.next()) {
            const int64_t value = currencyUnits(f.asCurrency());
            if (__builtin_add_overflow(sum, value, &sum))
                throw ColumnSumError(kOverflow);
        }
    } catch (...) {
        error = std::current_exception();
    }
    dataset.setRecNo(start);
    return sum;
}

std::string formatCurrency(int64_t units, std::string_view groupSeparator)
{
    const bool negative = units < 0;
    // The magnitude without overflow for the smallest int64.
    const uint64_t magnitude = negative ? uint64_t(0) - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    const std::string whole = std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');

    std::string out;
    if (negative)
        out += '-';
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += groupSeparator;
        out += whole[i];
    }
    out += '.';
    out += fraction;
    return out;
}

std::string columnSumMessage(std::string_view fieldName, int64_t units, std::string_view groupSeparator)
{
    const std::string number = formatCurrency(units, groupSeparator);
    std::string out = "Sloupec \"";
    out += fieldName;
    out += "\" celkem:   ";
    const std::size_t length = utf8Length(number);
    if (length < 14)
        out.append(14 - length, ' ');
    out += number;
    return out;
}

} // namespace karto
