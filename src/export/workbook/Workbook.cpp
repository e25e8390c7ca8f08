#include "export/workbook/Workbook.h"

#include <set>

#include "export/workbook/WorkbookErrors.h"

namespace karto {

Workbook::Workbook()
{
    fonts_.addUnique(standardExportFont());
    borders_.addUnique(ExportCellBorders());
}

ExportWorkSheet& Workbook::addWorkSheet(const std::string& title, int position)
{
    const int count = workSheetCount();
    if (position < 0 || position > count)
        position = count;
    std::string name = title.empty() ? "Worksheet " + std::to_string(position + 1) : title;
    auto sheet = std::make_unique<ExportWorkSheet>(this, name);
    ExportWorkSheet& result = *sheet;
    workSheets_.insert(workSheets_.begin() + position, std::move(sheet));
    activeWorkSheet_ = &result;
    return result;
}

void Workbook::notifyProgress(ExportProgressNotificationType kind, int64_t position, int64_t count,
                              const std::string& text)
{
    if (progress_)
        progress_->workbookProgress(kind, position, count, text);
}

void Workbook::checkTitles() const
{
    std::set<std::string> seen;
    for (const auto& sheet : workSheets_) {
        std::string lower = sheet->title();
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (lower.empty() || !seen.insert(lower).second)
            throw WorkbookException(
                "There are invalid title names in your export (e.g. duplicates or empty titles).");
    }
}

} // namespace karto
