#pragma once
// A spreadsheet written while the rows arrive, for exports of any length
// (XLSXStreamWriter, XLSStreamWriter).
//
// The caller builds in the model only the rows that decide the column widths
// (the header and the first records, with their column-width requests),
// begins the sheet with the total row count and pushes every further row as
// typed cells. Memory is that of the distinct texts plus a few MiB. A writer
// made for a file name writes a temporary file beside it and renames it over
// the file in finish(); destroyed without finish() (an error), it removes the
// temporary file and leaves an existing file untouched.

#include <cstdint>
#include <string_view>

namespace karto {

class ExportWorkSheet;

class SheetStreamWriter {
public:
    virtual ~SheetStreamWriter() = default;

    // Begins the next sheet of the document (sheets in document order). The
    // rows the sheet holds now are measured (column widths, row heights) and
    // written; rowCount is the number of rows the sheet will have in all
    // (held and pushed). Rows past the format's limit are not written.
    virtual void beginSheet(ExportWorkSheet& sheet, int64_t rowCount) = 0;

    // One pushed row: cells in column order, then endRow(). They are what
    // ExportRow::addCell* would give in a row without its own style and
    // without column-width requests.
    virtual void addString(std::string_view text) = 0;              // "" for an empty cell
    virtual void addNumber(int decimalPlaces, double value) = 0;    // 0: integers, -1: as needed
    virtual void addBoolean(bool value) = 0;
    virtual void addDateTime(double serial, std::string_view numberFormat) = 0;
    // Writes the row; false when it lay past the row limit (left out).
    virtual bool endRow() = 0;

    // Completes the sheet.
    virtual void endSheet() = 0;
    // Writes the rest of the document (and commits the file when writing to
    // a file name).
    virtual void finish() = 0;

    // Rows held or pushed past the format's row limit.
    virtual int64_t rowsLeftOut() const = 0;
    // Cells of the widest row past the format's column limit.
    virtual int fieldsLeftOut() const { return 0; }
};

} // namespace karto
