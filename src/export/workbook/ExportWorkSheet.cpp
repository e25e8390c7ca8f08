#include "export/workbook/ExportWorkSheet.h"

#include <algorithm>

#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"

namespace karto {

NewCellDefaults::NewCellDefaults()
    : dateFormat(workbookDateFormat()), timeFormat(workbookTimeFormat())
{
    font.setSize(-1);
}

ExportWorkSheet::ExportWorkSheet(Workbook* workbook, const std::string& title)
    : workbook_(workbook), style_(workbook)
{
    setTitle(title);
    style_.setFontName(workbook ? workbook->defaultFontName() : std::string("Arial"));
    style_.setFontSize(10);
}

void ExportWorkSheet::setTitle(const std::string& title)
{
    title_ = title;
    for (char& c : title_)
        if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"')
            c = '-';
}

ExportRow& ExportWorkSheet::addRow()
{
    if (!rows_.empty())
        rows_.back()->consolidate();
    rows_.push_back(std::make_unique<ExportRow>(this, rowCount()));
    return *rows_.back();
}

int ExportWorkSheet::maxCellCount() const
{
    int result = 0;
    for (const auto& row : rows_)
        result = std::max(result, row->cellCount());
    return result;
}

void ExportWorkSheet::initNewCell(ExportCell& cell, const ExportRow& row) const
{
    ExportCellStyle& style = cell.style();
    // The sheet style was copied when the cell was made; then the kind's alignment.
    const ExportCellType type = cell.cellType();
    if (type == ectNumber)
        style.setAlignment(cahRight);
    else if (type == ectDateTime)
        style.setAlignment(cahCenter);
    if (const ExportCellStyle* rowStyle = row.styleIfAny())
        style.assign(*rowStyle);

    // The sheet's new-cell defaults: only the values that are not defaults.
    const NewCellDefaults& d = newCell_;
    const ExportFont& f = d.font;
    if (f.size() >= 0)
        style.editFont().setSize(f.size());
    if (f.color() != clExportNone)
        style.editFont().setColor(f.color());
    if (!f.name().empty())
        style.editFont().setName(f.name());
    if (f.style().bold != efsAuto)
        style.editFont().style().bold = f.style().bold;
    if (f.style().italic != efsAuto)
        style.editFont().style().italic = f.style().italic;
    if (f.style().strikeOut != efsAuto)
        style.editFont().style().strikeOut = f.style().strikeOut;
    if (f.style().underline != efuAuto)
        style.editFont().style().underline = f.style().underline;
    if (f.style().escapement != efeAuto)
        style.editFont().style().escapement = f.style().escapement;
    for (int i = 0; i < kCellBorderCount; ++i) {
        const auto position = static_cast<CellBorderPosition>(i);
        if (d.borders.line(position).style != ebAuto)
            style.editBorders().line(position) = d.borders.line(position);
    }
    if (d.vAlignment != cavAuto)
        style.setVAlignment(d.vAlignment);
    style.setWrapText(d.wrapText);
    if (d.bgColor != clExportNone)
        style.setBGColor(d.bgColor);

    switch (type) {
    case ectString: {
        auto& text = static_cast<ExportCellString&>(cell);
        if (d.stringAlignment != cahAuto)
            style.setAlignment(d.stringAlignment);
        text.setUseSharedStrings(d.stringUseSharedStrings);
        if (!d.stringFormat.empty())
            text.setExcelNumberFormat(d.stringFormat);
        break;
    }
    case ectNumber: {
        auto& number = static_cast<ExportCellNumber&>(cell);
        number.setEmptyIfZero(d.numberEmptyIfZero);
        if (d.numberAlignment != cahAuto)
            style.setAlignment(d.numberAlignment);
        break;
    }
    case ectBoolean:
        static_cast<ExportCellBoolean&>(cell).setEmptyIfZero(d.numberEmptyIfZero);
        break;
    case ectDateTime: {
        auto& date = static_cast<ExportCellDateTime&>(cell);
        date.setEmptyIfZero(d.numberEmptyIfZero);
        if (d.dateTimeAlignment != cahAuto)
            style.setAlignment(d.dateTimeAlignment);
        if (d.dateFormat == "%sysdate%" && d.timeFormat == "%systime%")
            date.setExcelNumberFormat("%sysdatetime%");
        else
            date.setExcelNumberFormat(d.dateFormat + " " + d.timeFormat);
        break;
    }
    }
}

} // namespace karto
