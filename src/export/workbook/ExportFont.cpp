#include "export/workbook/ExportFont.h"

#include <cstdio>

namespace karto {

void ExportFont::setStyles(FontStyles styles)
{
    style_.bold = (styles & fsBold) ? efsYes : efsNo;
    style_.italic = (styles & fsItalic) ? efsYes : efsNo;
    style_.strikeOut = (styles & fsStrikeOut) ? efsYes : efsNo;
    style_.underline = (styles & fsUnderline) ? efuSingle : efuNo;
    style_.escapement = efeNo;
}

std::string ExportFont::footprint() const
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%d;%u;%d;%d;%d;%d;%d;", size_, static_cast<unsigned>(color_),
                  style_.bold, style_.italic, style_.strikeOut, style_.underline, style_.escapement);
    return buffer + name_;
}

ExportFont standardExportFont()
{
    ExportFont font;
    font.setName("Arial");
    font.setSize(10);
    font.setColor(clExportBlack);
    font.style() = ExportFontStyle{efsNo, efsNo, efsNo, efuNo, efeNo};
    return font;
}

int ExportFontList::addUnique(const ExportFont& font)
{
    std::string key = font.footprint();
    auto found = index_.find(key);
    if (found != index_.end())
        return found->second;
    const int id = count();
    fonts_.push_back(std::make_unique<ExportFont>(font));
    index_.emplace(std::move(key), id);
    return id;
}

const ExportFont& ExportFontList::at(int id) const
{
    static const ExportFont standard = standardExportFont();
    if (id < 0 || id >= count())
        return standard;
    return *fonts_[id];
}

} // namespace karto

namespace karto {

int ExportFontList::find(const ExportFont& font) const
{
    auto found = index_.find(font.footprint());
    return found == index_.end() ? -1 : found->second;
}

} // namespace karto
