#pragma once
// The export a file name asks for, by its extension: the one decision shared
// by the command line, the window's export commands and the spreadsheet
// writer registry.
//
// Extensions (compared lower-cased, without the full stop):
//   CSV   csv             TXT   txt             HTML  htm html
//   XLSX  xlsx xlsm xltx xltm                   XLS   xls xlt
// The first extension of a format is the one proposed for a new file.

#include <optional>
#include <span>
#include <string>

namespace karto {

enum class ExportFormat { CSV, TXT, HTML, XLSX, XLS };

// The extension of a file name: the text after the last full stop of its
// last path component ("/" or "\" separates components), ASCII letters
// lower-cased; empty when that component has no full stop.
std::string exportFileExtension(const std::string& fileName);

// The format the file name's extension selects; none for any other
// extension, the empty one included.
std::optional<ExportFormat> exportFormatOf(const std::string& fileName);

// "CSV", "TXT", "HTML", "XLSX", "XLS".
const char* exportFormatName(ExportFormat format);

// The extensions of a format, lower case, without the full stop; the first
// is the one proposed for a new file.
std::span<const char* const> exportFormatExtensions(ExportFormat format);

} // namespace karto
