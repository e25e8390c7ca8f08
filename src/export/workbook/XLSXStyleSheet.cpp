#include "export/workbook/XLSXStyleSheet.h"

#include "export/workbook/ExportCellStyle.h"
#include "export/workbook/Workbook.h"

namespace karto {

namespace {

const XLSXNumberFormat kBuiltInFormats[] = {
    {0, ""}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}, {9, "0%"}, {10, "0.00%"},
    {11, "0.00E+00"}, {12, "# ?/?"}, {13, "# ?\?/??"}, {14, "%sysdate%"}, {15, "d-mmm-yy"},
    {16, "d-mmm"}, {17, "mmm-yy"}, {18, "h:mm am/pm"}, {19, "h:mm:ss am/pm"}, {20, "h:mm"},
    {21, "h:mm:ss"}, {22, "%sysdatetimews%"}, {37, "#,##0 ;(#,##0)"}, {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"}, {40, "#,##0.00;[Red](#,##0.00)"}, {45, "mm:ss"}, {46, "[h]:mm:ss"},
    {47, "mmss.0"}, {48, "##0.0E+0"}, {49, "@"},
};

const char* const kDefaultFootprint = "<<<default>>>";

} // namespace

XLSXStyleSheet::XLSXStyleSheet(Workbook& workbook) : workbook_(workbook)
{
    for (const XLSXNumberFormat& format : kBuiltInFormats) {
        numberFormats_.push_back(format);
        numberFormatIndex_.emplace(format.text, format.id);
        if (format.id > highestNumberFormatId_)
            highestNumberFormatId_ = format.id;
    }
    fills_.push_back({XLSXFill::None, clExportNone});
    fills_.push_back({XLSXFill::Gray125, clExportNone});
    styles_.push_back(XLSXStyle{});
    footprints_.emplace(kDefaultFootprint, 0);
}

int XLSXStyleSheet::numberFormatId(const std::string& text)
{
    auto found = numberFormatIndex_.find(text);
    if (found != numberFormatIndex_.end())
        return found->second;
    const int id = highestNumberFormatId_ < 164 ? 165 : highestNumberFormatId_ + 1;
    highestNumberFormatId_ = id;
    numberFormats_.push_back({id, text});
    numberFormatIndex_.emplace(text, id);
    return id;
}

int XLSXStyleSheet::fillId(ExportColor color)
{
    if (color == clExportNone)
        return 0;
    auto found = fillIndex_.find(color);
    if (found != fillIndex_.end())
        return found->second;
    const int id = static_cast<int>(fills_.size());
    fills_.push_back({XLSXFill::Solid, color});
    fillIndex_.emplace(color, id);
    return id;
}

int XLSXStyleSheet::createAddStyleUnique(ExportCellStyle& style, const std::string& numberFormat)
{
    std::string footprint = style.footprint(numberFormat);
    auto found = footprints_.find(footprint);
    if (found != footprints_.end())
        return found->second;
    XLSXStyle xf;
    xf.fontId = style.fontId();
    xf.borderId = style.bordersId();
    xf.fillId = fillId(style.bgColor());
    xf.numFmtId = numberFormatId(numberFormat);
    xf.alignment = style.alignment();
    xf.indent = style.indent();
    xf.vAlignment = style.vAlignment();
    xf.wrapText = style.wrapText();
    xf.orientation = style.orientation();
    xf.rotation = style.rotation();
    xf.protection = style.protection();
    const int index = static_cast<int>(styles_.size());
    styles_.push_back(xf);
    footprints_.emplace(std::move(footprint), index);
    return index;
}

int XLSXStyleSheet::findStyle(ExportCellStyle& style, const std::string& numberFormat)
{
    std::string footprint;
    if (!style.peekFootprint(numberFormat, footprint))
        return -1;
    auto found = footprints_.find(footprint);
    return found == footprints_.end() ? -1 : found->second;
}

std::vector<XLSXNumberFormat> XLSXStyleSheet::customNumberFormats() const
{
    std::vector<XLSXNumberFormat> result;
    for (const XLSXNumberFormat& format : numberFormats_)
        if (format.id > 163 || (format.id >= 5 && format.id <= 8) || (format.id >= 41 && format.id <= 44))
            result.push_back(format);
    return result;
}

} // namespace karto
