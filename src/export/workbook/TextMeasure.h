#pragma once
// Text measurement for column widths and row heights: pixel widths of text
// in a font at 96 pixels per inch, through FreeType with fontconfig choosing
// the font file ("Arial" is matched by the metric-compatible Liberation Sans).
// Advances are hinted (FreeType's default load flags) and whole pixels, the
// em size is the point size x 96 / 72 rounded as the platform does (Arial 10
// = 13 px), so "0123456789" in Arial 10 is 70 pixels and the character width
// of Arial 10 is 7, as on Windows.

#include <string>
#include <string_view>

#include "export/workbook/ExportFont.h"

namespace karto {

// Width in pixels of UTF-8 text drawn in the font: bold and italic as set,
// super- and subscript at 0.6 of the size (rounded half to even), line
// breaks (CR LF, CR, LF) honoured: the widest line counts; "&" literal.
// Returns 0 for an empty text; when no font can be loaded every character
// counts as half the em size.
int textWidth(const ExportFont& font, std::string_view text);

// Width of "0123456789" in the font of that name and size (regular),
// integer-divided by 10; cached per "name::size". 7 for Arial 10.
int characterWidth(const std::string& fontName, int size);

// Font row height in pixels: for the fonts of the built-in table (exact,
// case-sensitive names) and sizes 1-70 the larger of trunc(h x 1.124) and
// trunc(size x 1.75), otherwise trunc(size x 1.75); a subscript font's
// height x 1.25, truncated. Arial 9 gives 16, Arial 10 gives 17.
int fontRowHeight(const std::string& fontName, int size, bool subscript = false);
int fontRowHeight(const ExportFont& font);

// True when fontconfig finds a Liberation Sans (the Arial metrics) font.
bool arialMetricsAvailable();

} // namespace karto
