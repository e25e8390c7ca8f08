#include "export/workbook/SheetLayout.h"

#include <algorithm>

#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/TextMeasure.h"

namespace karto {

int measuredCellWidth(const ExportCell& cell, int colWidthPadding)
{
    if (!cell.calculateColWidth())
        return -1;
    return textWidth(cell.style().font(), cell.formattedText()) + colWidthPadding;
}

int rowHeightOf(const ExportRow& row, int defaultRowHeight)
{
    if (row.height() >= 0)
        return row.hidden() ? 0 : row.height();
    int height = defaultRowHeight;
    for (int i = 0; i < row.cellCount(); ++i)
        height = std::max(height, fontRowHeight(row.cell(i).style().font()));
    return height;
}

SheetLayout calculateSheetLayout(const ExportWorkSheet& sheet, int colWidthPadding)
{
    SheetLayout layout;
    layout.defaultColWidth = sheet.colsDefaultWidth() > 0 ? sheet.colsDefaultWidth() : 80;
    layout.defaultRowHeight =
        sheet.rowsDefaultHeight() > 0 ? sheet.rowsDefaultHeight() : fontRowHeight(sheet.style().font());

    layout.colWidths.assign(static_cast<std::size_t>(sheet.maxCellCount()), -1);
    for (int r = 0; r < sheet.rowCount(); ++r) {
        const ExportRow& row = sheet.row(r);
        for (int c = 0; c < row.cellCount(); ++c) {
            const int width = measuredCellWidth(row.cell(c), colWidthPadding);
            if (width > layout.colWidths[c])
                layout.colWidths[c] = width;
        }
    }
    for (int& width : layout.colWidths)
        if (width > kMaxColumnWidthPixels)
            width = kMaxColumnWidthPixels;

    layout.rowHeights.reserve(static_cast<std::size_t>(sheet.rowCount()));
    for (int r = 0; r < sheet.rowCount(); ++r)
        layout.rowHeights.push_back(rowHeightOf(sheet.row(r), layout.defaultRowHeight));
    return layout;
}

} // namespace karto
