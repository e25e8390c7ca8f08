#pragma once
// Enumerations and small value types of the workbook model, shared by the
// model, its measurement and both spreadsheet writers (XLSX and XLS).

#include <cstdint>

namespace karto {

// Colours in the toolkit's form: 0x00BBGGRR for plain colours; a high byte of
// 0xFF marks a system colour (turned into fixed RGB before writing).
using ExportColor = uint32_t;
constexpr ExportColor clExportNone = 0x1FFFFFFF;  // "none"
constexpr ExportColor clExportBlack = 0x00000000;

// Plain RGB of a colour: system colours mapped to fixed values, "none" as black.
// Returns 0x00RRGGBB (red in the high byte), ready to print as "RRGGBB".
uint32_t exportColorToRgb(ExportColor color);

enum CellHAlignment : int {
    cahAuto, cahLeft, cahCenter, cahRight, cahFilled, cahJustify, cahCenterContinuous, cahDistributed,
};

enum CellVAlignment : int {
    cavAuto, cavTop, cavCenter, cavBottom, cavJustify, cavDistributed,
};

enum CellBorderStyle : int {
    ebAuto, ebNone, ebThin, ebMedium, ebDashed, ebDotted, ebThick, ebDouble, ebHair,
    ebMediumDashed, ebDashDot, ebMediumDashDot, ebDashDotDot, ebMediumDashDotDot,
    ebSlantedDashDotted,
};

// The six lines of a border set, in this order.
enum CellBorderPosition : int {
    cbTop, cbRight, cbBottom, cbLeft, cbDiagonalDown, cbDiagonalUp,
};
constexpr int kCellBorderCount = 6;

enum ExportFontStyleBIS : int { efsAuto, efsYes, efsNo };

enum ExportFontStyleUnderline : int {
    efuAuto, efuSingle, efuDouble, efuSingleAccounting, efuDoubleAccounting, efuNo,
};

enum ExportFontStyleEscapement : int { efeAuto, efeSuperscript, efeSubscript, efeNo };

enum ExportCellType : int {
    ectString, ectNumber, ectBoolean, ectDateTime,
};

// How a row's height is found when it has no fixed height.
enum CalculateRowHeight : int { erhSingleLine, erhMultiLine, erhForceAuto };

enum WorksheetVisibility : int { ewvVisible, ewvHidden, ewvVeryHidden };

// The toolkit's font-style set, as passed to ExportCellStyle::setFontStyle.
enum FontStyleFlag : unsigned {
    fsBold = 1u << 0,
    fsItalic = 1u << 1,
    fsUnderline = 1u << 2,
    fsStrikeOut = 1u << 3,
};
using FontStyles = unsigned;

} // namespace karto
