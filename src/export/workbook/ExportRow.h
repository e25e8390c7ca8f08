#pragma once
// A row of a worksheet: its cells in column order and its optional own style.

#include <memory>
#include <string>
#include <vector>

#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportCellStyle.h"

namespace karto {

class ExportWorkSheet;

class ExportRow {
public:
    ExportRow(ExportWorkSheet* sheet, int index);
    ExportRow(const ExportRow&) = delete;
    ExportRow& operator=(const ExportRow&) = delete;

    ExportWorkSheet* sheet() const { return sheet_; }
    // Position in the sheet (0-based).
    int index() const { return index_; }

    int cellCount() const { return static_cast<int>(cells_.size()); }
    ExportCell& cell(int i) { return *cells_[i]; }
    const ExportCell& cell(int i) const { return *cells_[i]; }

    // Append a cell (style inheritance: sheet style, kind's alignment, row
    // style when the row has one, then the sheet's new-cell defaults).
    ExportCellString& addCellString(std::string text);
    ExportCellNumber& addCellNumber(int decimalPlaces, double value);
    ExportCellBoolean& addCellBoolean(bool value);
    ExportCellDateTime& addCellDateTime(double value);

    // -1 = computed.
    int height() const { return height_; }
    void setHeight(int pixels) { height_ = pixels; }
    bool hidden() const { return hidden_; }
    void setHidden(bool value) { hidden_ = value; }
    CalculateRowHeight calculateRowHeight() const { return calculateRowHeight_; }
    void setCalculateRowHeight(CalculateRowHeight value) { calculateRowHeight_ = value; }
    bool pageBreakBefore() const { return pageBreakBefore_; }
    int groupLevel() const { return groupLevel_; }

    bool hasStyle() const { return style_ != nullptr; }
    // The row's own style, created on first request as a copy of the sheet style.
    ExportCellStyle& style();
    const ExportCellStyle* styleIfAny() const { return style_.get(); }

    const std::string& excelNumberFormat() const { return excelNumberFormat_; }
    void setExcelNumberFormat(std::string format) { excelNumberFormat_ = std::move(format); }

    // Consolidates the style of every cell (the row's own style is left as
    // it is; the writers consolidate it when they number it).
    void consolidate();

private:
    template <class Cell> Cell& appendCell();

    ExportWorkSheet* sheet_;
    int index_;
    std::vector<std::unique_ptr<ExportCell>> cells_;
    int height_ = -1;
    bool hidden_ = false;
    CalculateRowHeight calculateRowHeight_ = erhSingleLine;
    bool pageBreakBefore_ = false;
    int groupLevel_ = 0;
    std::unique_ptr<ExportCellStyle> style_;
    std::string excelNumberFormat_;
};

} // namespace karto
