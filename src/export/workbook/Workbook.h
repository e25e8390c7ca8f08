#pragma once
// The workbook document of the spreadsheet export: worksheets, the unique
// fonts and border sets, document properties and progress reporting. The
// document does not write itself: a writer is given it (saveWorkbook picks
// one by the file name's extension).

#include <memory>
#include <string>
#include <vector>

#include "export/workbook/ExportCellBorders.h"
#include "export/workbook/ExportFont.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/WorkbookProgress.h"

namespace karto {

class Workbook {
public:
    // Adds the standard font (Arial 10) as entry 0 of the font list.
    Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    const std::string& defaultFontName() const { return defaultFontName_; }

    // Adds a sheet at position (-1 = append), makes it the active sheet.
    // An empty title gives "Worksheet " + position counted from 1.
    ExportWorkSheet& addWorkSheet(const std::string& title, int position = -1);
    int workSheetCount() const { return static_cast<int>(workSheets_.size()); }
    ExportWorkSheet& workSheet(int i) { return *workSheets_[i]; }
    const ExportWorkSheet& workSheet(int i) const { return *workSheets_[i]; }
    ExportWorkSheet* activeWorkSheet() const { return activeWorkSheet_; }

    ExportFontList& fonts() { return fonts_; }
    const ExportFontList& fonts() const { return fonts_; }
    ExportCellBordersList& borders() { return borders_; }
    const ExportCellBordersList& borders() const { return borders_; }

    // Document properties (empty here) and the application written to app.xml.
    std::string title, author, description, keywords, subject, workbookCodeName;
    std::string application = "Microsoft Excel";
    std::string applicationVersion = "12.000";
    bool use1904DateSystem = false;

    // Receiver of the writers' progress; none = no reports.
    void setProgressReceiver(WorkbookProgressReceiver* receiver) { progress_ = receiver; }
    WorkbookProgressReceiver* progressReceiver() const { return progress_; }
    void notifyProgress(ExportProgressNotificationType kind, int64_t position, int64_t count,
                        const std::string& text = std::string());

    // Raises WorkbookException "There are invalid title names in your export
    // (e.g. duplicates or empty titles)." when a lower-cased title is empty or
    // two are equal.
    void checkTitles() const;

private:
    std::string defaultFontName_ = "Arial";
    std::vector<std::unique_ptr<ExportWorkSheet>> workSheets_;
    ExportWorkSheet* activeWorkSheet_ = nullptr;
    ExportFontList fonts_;
    ExportCellBordersList borders_;
    WorkbookProgressReceiver* progress_ = nullptr;
};

} // namespace karto
