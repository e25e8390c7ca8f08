#include "export/workbook/ExportRow.h"

#include "export/workbook/ExportWorkSheet.h"

namespace karto {

ExportRow::ExportRow(ExportWorkSheet* sheet, int index)
    : sheet_(sheet), index_(index), excelNumberFormat_(sheet ? sheet->excelNumberFormat() : std::string())
{
}

ExportCellStyle& ExportRow::style()
{
    if (!style_)
        style_ = std::make_unique<ExportCellStyle>(sheet_->style());
    return *style_;
}

template <class Cell>
Cell& ExportRow::appendCell()
{
    auto cell = std::make_unique<Cell>(sheet_->style());
    cell->index_ = cellCount();
    cell->row_ = this;
    sheet_->initNewCell(*cell, *this);
    Cell& result = *cell;
    cells_.push_back(std::move(cell));
    return result;
}

ExportCellString& ExportRow::addCellString(std::string text)
{
    ExportCellString& cell = appendCell<ExportCellString>();
    cell.setText(std::move(text));
    return cell;
}

ExportCellNumber& ExportRow::addCellNumber(int decimalPlaces, double value)
{
    ExportCellNumber& cell = appendCell<ExportCellNumber>();
    cell.setDecimalPlaces(decimalPlaces);
    cell.setValue(value);
    return cell;
}

ExportCellBoolean& ExportRow::addCellBoolean(bool value)
{
    ExportCellBoolean& cell = appendCell<ExportCellBoolean>();
    cell.setValue(value);
    return cell;
}

ExportCellDateTime& ExportRow::addCellDateTime(double value)
{
    ExportCellDateTime& cell = appendCell<ExportCellDateTime>();
    cell.setValue(value);
    return cell;
}

void ExportRow::consolidate()
{
    for (auto& cell : cells_)
        cell->style().consolidate();
}

} // namespace karto
