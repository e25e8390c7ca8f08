#pragma once
// The border set of a cell style and the document's list of unique sets.

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "export/workbook/WorkbookTypes.h"

namespace karto {

struct ExportCellBorder {
    CellBorderStyle style = ebAuto;
    ExportColor color = clExportNone;

    bool operator==(const ExportCellBorder&) const = default;
};

// Six lines, indexed by CellBorderPosition; new lines are ebAuto with colour "none".
class ExportCellBorders {
public:
    const ExportCellBorder& line(CellBorderPosition position) const { return lines_[position]; }
    ExportCellBorder& line(CellBorderPosition position) { return lines_[position]; }

    std::string footprint() const;
    bool operator==(const ExportCellBorders&) const = default;

private:
    std::array<ExportCellBorder, kCellBorderCount> lines_{};
};

// Unique border sets in order of first consolidation; ids are positions.
class ExportCellBordersList {
public:
    int addUnique(const ExportCellBorders& borders);
    // Id of an equal set, or -1.
    int find(const ExportCellBorders& borders) const;
    // The set of an id; an all-ebAuto set for ids out of range.
    const ExportCellBorders& at(int id) const;
    int count() const { return static_cast<int>(list_.size()); }

private:
    std::vector<std::unique_ptr<ExportCellBorders>> list_;
    std::unordered_map<std::string, int> index_;
};

} // namespace karto
