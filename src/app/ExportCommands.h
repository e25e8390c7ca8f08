#pragma once
// The export commands of the main window: which exporter each export action
// calls, with its save dialog filter and proposed extension, and the progress
// bar that the text exports drive in the status bar.

#include <functional>
#include <vector>

#include <QString>

#include "app/Actions.h"
#include "app/CommandContext.h"
#include "export/output/ExportProgress.h"

class QAction;
class QProgressBar;

namespace karto {

struct ExportCommand {
    ActionId id = aToXLS;
    QAction* action = nullptr;   // filled in by the window
    QString filter;       // "description|pattern|..." for the save dialog
    QString extension;    // replaces the table name's extension in the proposed name
    bool progressBar = false;
    // The exporter; empty when this build has none for the action (the
    // action then stays disabled).
    std::function<void(const QString& fileName, ExportProgress* progress)> run;
};

// The commands of aToXLS, aToHTML, aToHTML2, aToHTML3, aToCSV and aToTXT,
// exporting the window's open table and the grid's columns.
std::vector<ExportCommand> makeExportCommands(const CommandContext& window);

// Template.INI of the template-driven HTML export: beside the program, else
// in the user's settings folder (~/.config/Brennic/); the first found wins.
QString htmlTemplatePath();

// The spreadsheet, HTML, CSV and TXT filters of the save dialog.
extern const char* const spreadsheetFilter;
extern const char* const htmlFilter;
extern const char* const csvFilter;
extern const char* const txtFilter;

// Progress of a text export on a progress bar; repaints the bar at once
// when its shown position moves.
class StatusBarProgress : public ExportProgress {
public:
    explicit StatusBarProgress(QProgressBar* bar) : bar_(bar) {}
    void setRange(int64_t maximum) override;
    void setPosition(int64_t position) override;

private:
    QProgressBar* bar_;
    int64_t maximum_ = 0;
    int shift_ = 0;       // positions are shifted right so that they fit an int
    int lastShown_ = -1;
};

} // namespace karto
