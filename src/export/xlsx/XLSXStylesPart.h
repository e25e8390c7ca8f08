#pragma once
// The XLSX styles part (xl/styles.xml) of a style sheet: number formats,
// the document's fonts, the fills, the document's border sets and the cell
// formats, in the numbering the style sheet gave them.

#include <string>

namespace karto {

class XLSXStyleSheet;

// The UTF-8 byte-order mark, the declaration and the styleSheet element with
// numFmts, fonts, fills, borders, cellStyleXfs and cellXfs.
std::string xlsxStylesPart(const XLSXStyleSheet& styles);

} // namespace karto
