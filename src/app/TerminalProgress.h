#pragma once
// One-line progress of a command-line export on standard error, shown only
// when standard error is a terminal.

#include <cstdint>

#include "export/output/ExportProgress.h"
#include "export/workbook/WorkbookProgress.h"

namespace karto {

class TerminalProgress : public ExportProgress, public WorkbookProgressReceiver {
public:
    TerminalProgress();
    bool enabled() const { return enabled_; }
    void setRange(int64_t maximum) override;
    void setPosition(int64_t position) override;
    void workbookProgress(ExportProgressNotificationType kind, int64_t position, int64_t count,
                          const std::string& text) override;
    // Ends the progress line.
    void finish();

private:
    void show(int64_t position);

    bool enabled_;
    bool shown_ = false;
    int64_t total_ = 0;
    int64_t lastShown_ = -1;
    int64_t position_ = 0;
    int64_t lastTime_ = 0;
};

} // namespace karto
