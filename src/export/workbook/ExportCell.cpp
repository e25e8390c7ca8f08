#include "export/workbook/ExportCell.h"

#include "export/workbook/WorkbookFormatting.h"

namespace karto {

ExportCell& ExportCell::setCalculateColWidth(bool value)
{
    if (value && (style_.orientation() != 0 || style_.rotation() != 0 || colSpan_ > 1))
        return *this;
    calculateColWidth_ = value;
    return *this;
}

ExportCell& ExportCell::setExcelNumberFormat(std::string format, bool /*parse*/)
{
    excelNumberFormat_ = std::move(format);
    return *this;
}

void ExportCellString::setText(std::string text)
{
    text_ = std::move(text);
    valueAssigned_ = true;
    if (text_.find("\r\n") != std::string::npos)
        style_.setWrapText(true);
}

std::string ExportCellNumber::numberFormat() const
{
    if (!excelNumberFormat_.empty() && excelNumberFormat_ != "@")
        return excelNumberFormat_;
    return buildNumberFormat(decimalPlaces_, integerDigits_, thousandSep_, negativeRed_);
}

std::string ExportCellNumber::formattedText() const
{
    if (decimalPlaces_ < 0)
        return formatXmlNumber(value_);
    return formatFixedDecimals(value_, decimalPlaces_, thousandSep_);
}

std::string ExportCellDateTime::formattedText() const
{
    if (!valueAssigned_)
        return std::string();
    return formatDateTime(value_, dateTimeDisplayFormat(excelNumberFormat_));
}

} // namespace karto
