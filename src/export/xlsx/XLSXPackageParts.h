#pragma once
// The hand-written parts of an XLSX package: content types, relationships,
// workbook, document properties and theme. Each begins with
// "<?xml version="1.0" encoding="UTF-8" standalone="yes"?>" and CR LF and
// has no whitespace between elements.

#include <string>

namespace karto {

class Workbook;

std::string xlsxContentTypesPart(int sheetCount, bool hasSharedStrings);
std::string xlsxRootRelationshipsPart();
std::string xlsxWorkbookRelationshipsPart(int sheetCount, bool hasSharedStrings);
// Sheet names: the first 31 characters of the titles, OOXML-escaped.
std::string xlsxWorkbookPart(const Workbook& workbook);
std::string xlsxCorePropertiesPart(const Workbook& workbook);
std::string xlsxAppPropertiesPart(const Workbook& workbook);
// The fixed theme "Orbelle-Design" (4377 characters).
std::string xlsxThemePart();

// The declaration with CR LF that begins each of these parts.
extern const char* const kXlsxDeclaration;

} // namespace karto
