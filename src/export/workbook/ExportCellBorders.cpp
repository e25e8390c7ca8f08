#include "export/workbook/ExportCellBorders.h"

namespace karto {

std::string ExportCellBorders::footprint() const
{
    std::string text;
    for (const ExportCellBorder& line : lines_) {
        text += std::to_string(line.style);
        text += ',';
        text += std::to_string(line.color);
        text += ';';
    }
    return text;
}

int ExportCellBordersList::addUnique(const ExportCellBorders& borders)
{
    std::string key = borders.footprint();
    auto found = index_.find(key);
    if (found != index_.end())
        return found->second;
    const int id = count();
    list_.push_back(std::make_unique<ExportCellBorders>(borders));
    index_.emplace(std::move(key), id);
    return id;
}

const ExportCellBorders& ExportCellBordersList::at(int id) const
{
    static const ExportCellBorders automatic;
    if (id < 0 || id >= count())
        return automatic;
    return *list_[id];
}

} // namespace karto

namespace karto {

int ExportCellBordersList::find(const ExportCellBorders& borders) const
{
    auto found = index_.find(borders.footprint());
    return found == index_.end() ? -1 : found->second;
}

} // namespace karto
