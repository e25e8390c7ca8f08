#pragma once
// Column widths and row heights of a worksheet, in pixels, as both
// spreadsheet writers compute them at the start of each sheet.

#include <vector>

namespace karto {

class ExportCell;
class ExportRow;
class ExportWorkSheet;

struct SheetLayout {
    // One per column up to the highest column holding a cell; -1 = the
    // default width (no cell asked for measurement). At most 2301.
    std::vector<int> colWidths;
    // One per row of the sheet.
    std::vector<int> rowHeights;
    int defaultColWidth = 80;   // the columns' default width when positive, else 80
    int defaultRowHeight = 0;   // the rows' default height when positive, else
                                // the font row height of the sheet style's font
};

// Measures the rows the sheet holds. colWidthPadding is the writer's
// (7 for XLSX and XLS).
SheetLayout calculateSheetLayout(const ExportWorkSheet& sheet, int colWidthPadding);

// Needed width of one cell (formatted text in the cell's font + padding), or
// -1 when the cell does not ask for measurement.
int measuredCellWidth(const ExportCell& cell, int colWidthPadding);

// Height of one row: fixed height (0 when hidden) or the larger of the
// default row height and the font row heights of its cells.
int rowHeightOf(const ExportRow& row, int defaultRowHeight);

constexpr int kMaxColumnWidthPixels = 2301;

} // namespace karto
