#include "export/workbook/WorkbookTypes.h"

namespace karto {

namespace {

// Fixed RGB values (0xRRGGBB) of the system colours 0-30, as the standard
// Windows scheme shows them.
constexpr uint32_t kSystemColors[31] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

} // namespace

uint32_t exportColorToRgb(ExportColor color)
{
    if (color == clExportNone)
        return 0;
    if ((color >> 24) == 0xFF) {
        const uint32_t index = color & 0xFF;
        return index < 31 ? kSystemColors[index] : 0;
    }
    const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

} // namespace karto
