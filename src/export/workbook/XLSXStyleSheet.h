#pragma once
// The style sheet of one spreadsheet export: number formats, fills and cell
// formats, numbered in order of first use after fixed initial entries. Fonts
// and border sets come from the document's unique lists. Both writers (XLSX
// and XLS) number their cell formats through createAddStyleUnique and write
// the result in their own form (the XLSX styles part, the XLS FORMAT and XF
// records); the style sheet itself writes nothing.

#include <string>
#include <unordered_map>
#include <vector>

#include "export/workbook/WorkbookTypes.h"

namespace karto {

class ExportCellStyle;
class Workbook;

struct XLSXNumberFormat {
    int id;
    std::string text;  // empty = General (id 0)
};

// A fill: "none" (fill 0), the pattern "gray125" (fill 1), or solid colour.
struct XLSXFill {
    enum Kind { None, Gray125, Solid } kind = None;
    ExportColor color = clExportNone;
};

// One cell format (xf).
struct XLSXStyle {
    int fontId = 0;
    int fillId = 0;
    int numFmtId = 0;
    int borderId = 0;
    CellHAlignment alignment = cahAuto;
    int indent = 0;
    CellVAlignment vAlignment = cavAuto;  // the default format 0 has no alignment
    bool wrapText = false;
    int orientation = 0;
    int rotation = 0;
    int protection = 1;
};

class XLSXStyleSheet {
public:
    // Fixed entries: cell format 0 (font 0, fill 0, General, border set 0,
    // no alignment, locked; footprint slot "<<<default>>>"), fills 0 "none"
    // and 1 "gray125", the built-in number formats.
    explicit XLSXStyleSheet(Workbook& workbook);

    // Consolidates the style, takes its footprint with the number format
    // text and returns the index of the cell format, appending one (with its
    // fill and number format found or appended) when the footprint is new.
    int createAddStyleUnique(ExportCellStyle& style, const std::string& numberFormat);
    // The index of an existing cell format for the style, or -1.
    int findStyle(ExportCellStyle& style, const std::string& numberFormat);

    // Id of a number format text: a built-in id when the text equals a
    // built-in text (General = ""), else the custom id (165, 166 ...),
    // appended when new.
    int numberFormatId(const std::string& text);
    // Fill index for a background colour: 0 for "none", else a solid fill
    // found or appended.
    int fillId(ExportColor color);

    const std::vector<XLSXStyle>& styles() const { return styles_; }
    const std::vector<XLSXFill>& fills() const { return fills_; }
    // Built-ins first (ascending id), then custom formats in order of adding.
    const std::vector<XLSXNumberFormat>& numberFormats() const { return numberFormats_; }
    // Only the formats that are written to a styles part (ids above 163,
    // and 5-8, 41-44), in list order.
    std::vector<XLSXNumberFormat> customNumberFormats() const;

    // The document whose fonts and border sets the cell formats refer to.
    const Workbook& workbook() const { return workbook_; }

private:
    Workbook& workbook_;
    std::vector<XLSXNumberFormat> numberFormats_;
    std::unordered_map<std::string, int> numberFormatIndex_;  // text -> id
    int highestNumberFormatId_ = 0;
    std::vector<XLSXFill> fills_;
    std::unordered_map<ExportColor, int> fillIndex_;
    std::vector<XLSXStyle> styles_;
    std::unordered_map<std::string, int> footprints_;
};

} // namespace karto
