#pragma once
// A font of the workbook model and the document's list of unique fonts.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "export/workbook/WorkbookTypes.h"

namespace karto {

struct ExportFontStyle {
    ExportFontStyleBIS bold = efsAuto;
    ExportFontStyleBIS italic = efsAuto;
    ExportFontStyleBIS strikeOut = efsAuto;
    ExportFontStyleUnderline underline = efuAuto;
    ExportFontStyleEscapement escapement = efeAuto;

    bool operator==(const ExportFontStyle&) const = default;
};

// Name, size in whole points, colour and style values. A new font has size
// 10, colour "none", an empty name and every style value "auto".
class ExportFont {
public:
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    int size() const { return size_; }
    void setSize(int size) { size_ = size; }
    ExportColor color() const { return color_; }
    void setColor(ExportColor color) { color_ = color; }
    const ExportFontStyle& style() const { return style_; }
    ExportFontStyle& style() { return style_; }
    // From a toolkit style set: bold, italic, strike-out efsYes/efsNo,
    // underline efuSingle/efuNo, escapement efeNo.
    void setStyles(FontStyles styles);

    bool bold() const { return style_.bold == efsYes; }
    bool italic() const { return style_.italic == efsYes; }

    // Text that is equal for equal fonts; the unique list is keyed by it.
    std::string footprint() const;

    bool operator==(const ExportFont&) const = default;

private:
    int size_ = 10;
    ExportColor color_ = clExportNone;
    std::string name_;
    ExportFontStyle style_;
};

// The standard font, entry 0 of every document's list: Arial 10, black, bold,
// italic and strike-out efsNo, underline efuNo, escapement efeNo.
ExportFont standardExportFont();

// Unique fonts in order of first consolidation; ids are positions.
class ExportFontList {
public:
    // Id of an equal font, adding a copy when none exists.
    int addUnique(const ExportFont& font);
    // Id of an equal font, or -1.
    int find(const ExportFont& font) const;
    // The font of an id; the standard font for ids out of range.
    const ExportFont& at(int id) const;
    int count() const { return static_cast<int>(fonts_.size()); }

private:
    std::vector<std::unique_ptr<ExportFont>> fonts_;
    std::unordered_map<std::string, int> index_;
};

} // namespace karto
