#include "export/workbook/ExportCellStyle.h"

#include <cstdio>

#include "export/workbook/Workbook.h"

namespace karto {

void ExportCellStyle::assign(const ExportCellStyle& other)
{
    if (this == &other)
        return;
    workbook_ = other.workbook_;
    alignment_ = other.alignment_;
    indent_ = other.indent_;
    vAlignment_ = other.vAlignment_;
    wrapText_ = other.wrapText_;
    bgColor_ = other.bgColor_;
    orientation_ = other.orientation_;
    rotation_ = other.rotation_;
    protection_ = other.protection_;
    fontId_ = other.fontId_;
    bordersId_ = other.bordersId_;
    font_ = other.font_ ? std::make_unique<ExportFont>(*other.font_) : nullptr;
    borders_ = other.borders_ ? std::make_unique<ExportCellBorders>(*other.borders_) : nullptr;
}

const ExportFont& ExportCellStyle::font() const
{
    if (font_)
        return *font_;
    if (workbook_)
        return workbook_->fonts().at(fontId_);
    static const ExportFont standard = standardExportFont();
    return standard;
}

ExportFont& ExportCellStyle::editFont()
{
    if (!font_)
        font_ = std::make_unique<ExportFont>(font());
    return *font_;
}

const ExportCellBorders& ExportCellStyle::borders() const
{
    if (borders_)
        return *borders_;
    if (workbook_)
        return workbook_->borders().at(bordersId_);
    static const ExportCellBorders automatic;
    return automatic;
}

ExportCellBorders& ExportCellStyle::editBorders()
{
    if (!borders_)
        borders_ = std::make_unique<ExportCellBorders>(borders());
    return *borders_;
}

void ExportCellStyle::consolidate()
{
    if (!workbook_)
        return;
    if (font_) {
        fontId_ = workbook_->fonts().addUnique(*font_);
        font_.reset();
    }
    if (borders_) {
        bordersId_ = workbook_->borders().addUnique(*borders_);
        borders_.reset();
    }
}

namespace {

std::string formatFootprint(const ExportCellStyle& s, int fontId, int bordersId, const std::string& numberFormat)
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%d;%d;%d;%s;%d;%d;%d;%d;%d;%d;", s.alignment(), s.indent(),
                  s.vAlignment(), s.wrapText() ? "1" : "0", static_cast<int>(s.bgColor()), s.rotation(),
                  s.orientation(), fontId, bordersId, s.protection());
    return buffer + numberFormat;
}

} // namespace

std::string ExportCellStyle::footprint(const std::string& numberFormat)
{
    consolidate();
    return formatFootprint(*this, fontId_, bordersId_, numberFormat);
}

bool ExportCellStyle::peekFootprint(const std::string& numberFormat, std::string& footprint) const
{
    int fontId = fontId_, bordersId = bordersId_;
    if (font_) {
        if (!workbook_ || (fontId = workbook_->fonts().find(*font_)) < 0)
            return false;
    }
    if (borders_) {
        if (!workbook_ || (bordersId = workbook_->borders().find(*borders_)) < 0)
            return false;
    }
    footprint = formatFootprint(*this, fontId, bordersId, numberFormat);
    return true;
}

} // namespace karto
