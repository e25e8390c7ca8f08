#pragma once
// The style of a worksheet, a row or a cell.

#include <memory>
#include <string>

#include "export/workbook/ExportCellBorders.h"
#include "export/workbook/ExportFont.h"
#include "export/workbook/WorkbookTypes.h"

namespace karto {

class Workbook;

// Alignment, wrap, background, rotation, protection, and a font and a border
// set. The font and the border set are referred to by id (a position in the
// document's unique lists) or, while being changed, held as a private object;
// consolidate() moves private objects into the lists and keeps only the ids.
//
// A new style: alignment cahAuto, vertical cavTop, indent 0, no wrap,
// background "none", no rotation or orientation, protection 1 (locked),
// font id 0 and border-set id 0.
class ExportCellStyle {
public:
    explicit ExportCellStyle(Workbook* workbook) : workbook_(workbook) {}
    ExportCellStyle(const ExportCellStyle& other) { assign(other); }
    ExportCellStyle& operator=(const ExportCellStyle& other) { assign(other); return *this; }

    // Copies every field, the font and the borders (private objects included).
    void assign(const ExportCellStyle& other);

    Workbook* workbook() const { return workbook_; }

    CellHAlignment alignment() const { return alignment_; }
    void setAlignment(CellHAlignment value) { alignment_ = value; }
    int indent() const { return indent_; }
    void setIndent(int value) { indent_ = value; }
    CellVAlignment vAlignment() const { return vAlignment_; }
    void setVAlignment(CellVAlignment value) { vAlignment_ = value; }
    bool wrapText() const { return wrapText_; }
    void setWrapText(bool value) { wrapText_ = value; }
    ExportColor bgColor() const { return bgColor_; }
    ExportCellStyle& setBGColor(ExportColor value) { bgColor_ = value; return *this; }
    int orientation() const { return orientation_; }
    void setOrientation(int value) { orientation_ = value; }
    int rotation() const { return rotation_; }
    void setRotation(int value) { rotation_ = value; }
    // Bit 0 locked, bit 1 hidden.
    int protection() const { return protection_; }
    void setProtection(int value) { protection_ = value; }

    // The font as it stands (private object or the list entry of the id).
    const ExportFont& font() const;
    // The font for change: creates the private copy on first call.
    ExportFont& editFont();
    // The border set as it stands, and for change.
    const ExportCellBorders& borders() const;
    ExportCellBorders& editBorders();

    ExportCellStyle& setFontName(const std::string& name) { editFont().setName(name); return *this; }
    ExportCellStyle& setFontSize(int size) { editFont().setSize(size); return *this; }
    ExportCellStyle& setFontStyle(FontStyles styles) { editFont().setStyles(styles); return *this; }

    // Moves private font and borders into the document's unique lists.
    void consolidate();
    // Ids, valid after consolidate().
    int fontId() const { return fontId_; }
    int bordersId() const { return bordersId_; }
    bool hasPrivateObjects() const { return font_ || borders_; }

    // Consolidates and returns the footprint
    // "%d;%d;%d;%s;%d;%d;%d;%d;%d;%d;%s" of alignment, indent, vertical
    // alignment, wrap ("1"/"0"), background colour, rotation, orientation,
    // font id, border-set id, protection and the given number format text.
    // Both writers number their cell formats by it.
    std::string footprint(const std::string& numberFormat);
    // The footprint the style would have after consolidation, without
    // changing the lists; false when its private font or border set is not
    // in them yet (so no cell format can have that footprint).
    bool peekFootprint(const std::string& numberFormat, std::string& footprint) const;

private:
    Workbook* workbook_ = nullptr;
    CellHAlignment alignment_ = cahAuto;
    int indent_ = 0;
    CellVAlignment vAlignment_ = cavTop;
    bool wrapText_ = false;
    ExportColor bgColor_ = clExportNone;
    int orientation_ = 0;
    int rotation_ = 0;
    int protection_ = 1;
    int fontId_ = 0;
    int bordersId_ = 0;
    std::unique_ptr<ExportFont> font_;
    std::unique_ptr<ExportCellBorders> borders_;
};

} // namespace karto
