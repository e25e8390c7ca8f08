#pragma once
// File dialog filters and proposed names.

#include <QString>
#include <QStringList>

namespace karto {

// Turns a filter written as "description|pattern|description|pattern" into
// the name filters of a Qt file dialog, one per pair: the description with
// its pattern in parentheses, where "*.*" (every file) becomes "*" so that
// names without an extension are listed too.
QStringList qtNameFilters(const QString& pipeFilter);

// The extension a name filter of a Qt file dialog gives a file name, from its
// first pattern: "Excel starý (*.xls)" -> "xls"; empty for every file ("*",
// "*.*") and for a filter without a pattern.
QString nameFilterSuffix(const QString& nameFilter);

// The file name with its extension, from its last full stop, replaced by
// `extension` (added when there is none): "CENIK.DBF", ".xlsx" -> "CENIK.xlsx".
QString replaceExtension(const QString& fileName, const QString& extension);

} // namespace karto
