#pragma once
// A worksheet of the workbook model: title, rows, sheet style and the
// defaults new cells take.

#include <memory>
#include <string>
#include <vector>

#include "export/workbook/ExportCellBorders.h"
#include "export/workbook/ExportCellStyle.h"
#include "export/workbook/ExportFont.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/WorkbookTypes.h"

namespace karto {

class Workbook;

// Values a new cell takes from its sheet (after the sheet and row styles).
struct NewCellDefaults {
    CellHAlignment stringAlignment = cahAuto;
    bool stringUseSharedStrings = true;
    std::string stringFormat;
    CellHAlignment dateTimeAlignment = cahCenter;
    std::string dateFormat;  // copies of workbookDateFormat()/workbookTimeFormat()
    std::string timeFormat;
    CellHAlignment numberAlignment = cahRight;
    bool numberEmptyIfZero = false;
    CellVAlignment vAlignment = cavAuto;
    ExportCellBorders borders;  // six ebAuto lines: nothing applied
    bool wrapText = false;
    ExportFont font;            // name empty, size -1, colour "none", styles "auto": nothing applied
    ExportColor bgColor = clExportNone;

    NewCellDefaults();
};

class ExportWorkSheet {
public:
    ExportWorkSheet(Workbook* workbook, const std::string& title);
    ExportWorkSheet(const ExportWorkSheet&) = delete;
    ExportWorkSheet& operator=(const ExportWorkSheet&) = delete;

    Workbook* workbook() const { return workbook_; }

    const std::string& title() const { return title_; }
    // Replaces each of \ / : * ? and the double quote by a hyphen.
    void setTitle(const std::string& title);

    // The sheet style (created with the style defaults, then the document's
    // default font name and size 10).
    ExportCellStyle& style() { return style_; }
    const ExportCellStyle& style() const { return style_; }

    const std::string& excelNumberFormat() const { return excelNumberFormat_; }
    void setExcelNumberFormat(std::string format) { excelNumberFormat_ = std::move(format); }
    WorksheetVisibility visibility() const { return visibility_; }
    void setVisibility(WorksheetVisibility value) { visibility_ = value; }

    NewCellDefaults& newCell() { return newCell_; }
    const NewCellDefaults& newCell() const { return newCell_; }

    int rowCount() const { return static_cast<int>(rows_.size()); }
    ExportRow& row(int i) { return *rows_[i]; }
    const ExportRow& row(int i) const { return *rows_[i]; }
    // Consolidates the cell styles of the current last row, then appends a row.
    ExportRow& addRow();
    // Highest cell count of a row.
    int maxCellCount() const;

    // Row and column defaults of the sheet, -1 = automatic.
    int rowsDefaultHeight() const { return rowsDefaultHeight_; }
    void setRowsDefaultHeight(int pixels) { rowsDefaultHeight_ = pixels; }
    int colsDefaultWidth() const { return colsDefaultWidth_; }
    void setColsDefaultWidth(int pixels) { colsDefaultWidth_ = pixels; }

    // Style inheritance of a new cell of the given row (used by ExportRow).
    void initNewCell(ExportCell& cell, const ExportRow& row) const;

private:
    Workbook* workbook_;
    std::string title_;
    ExportCellStyle style_;
    std::string excelNumberFormat_;
    WorksheetVisibility visibility_ = ewvVisible;
    NewCellDefaults newCell_;
    std::vector<std::unique_ptr<ExportRow>> rows_;
    int rowsDefaultHeight_ = -1;
    int colsDefaultWidth_ = -1;
};

} // namespace karto
