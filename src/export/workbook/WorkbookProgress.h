#pragma once
// Progress of a spreadsheet export. The writers report what they are doing
// through the document (Workbook::notifyProgress) to a receiver supplied by
// the caller: the window shows it in the small progress window, the command
// line as one line on standard error.

#include <cstdint>
#include <string>

namespace karto {

enum ExportProgressNotificationType {
    epnStart,        // text: "Export"
    epnSharedString, // position of count shared strings written
    epnWorksheet,    // position = sheet index, count = sheet count, text = title
    epnRow,          // position = row index, count = row count
    epnSave,
    epnLoad,
    epnDrawings,
    epnCompress,     // position and count in MiB
    epnFinish,
};

class WorkbookProgressReceiver {
public:
    virtual ~WorkbookProgressReceiver() = default;
    virtual void workbookProgress(ExportProgressNotificationType kind, int64_t position,
                                  int64_t count, const std::string& text) = 0;
};

// What the progress window shows for one notification.
struct WorkbookProgressView {
    bool changeText = true;  // false: nothing to show (epnWorksheet past the last sheet)
    std::string text;        // label text, lines separated by "\n"
    int64_t position = 0;    // bar position of
    int64_t count = 1;       // bar maximum
};

// Maps a notification to the window's label and bar as the progress window
// shows them ("Worksheet 1/1: Data", "Exported rows: 10000", "Shared strings",
// "Saving", "Compressing" ...). rowText is the label's first line kept from
// the last notification that changed it (needed for epnRow, which adds a
// second line under it).
WorkbookProgressView workbookProgressView(ExportProgressNotificationType kind, int64_t position,
                                          int64_t count, const std::string& text,
                                          const std::string& currentFirstLine);

} // namespace karto
