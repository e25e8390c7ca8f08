#pragma once
// HTML export: the grid's columns of the open table as one HTML table, in
// three variants — styled, unformatted, and driven by the template file.
// UTF-8 with a byte order mark; every entry ends with CR LF. Texts taken from
// the table are escaped; template texts are written as the user wrote them.

#include <string>
#include <vector>

namespace karto {

class TableDataset;
class ExportProgress;

enum class HtmlVariant { Styled, Unformatted, Template };

// The web address of the program, named in the styled table's id.
extern const char* const kMakerWebAddress;

// Writes the visible records from the first; the dataset is left on the last.
// templatePath names Template.INI (used by the template variant; a missing
// file gives the defaults).
void exportToHTML(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                  HtmlVariant variant, const std::string& templatePath,
                  ExportProgress* progress = nullptr);

// Escapes &, <, > and " for HTML text and attribute values.
void appendHtmlEscaped(std::string& out, const std::string& text);

} // namespace karto
