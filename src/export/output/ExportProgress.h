#pragma once
// Progress of a long export: the window shows it on a progress bar, the
// command line on a terminal.

#include <cstdint>

namespace karto {

class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    virtual void setRange(int64_t maximum) = 0;
    virtual void setPosition(int64_t position) = 0;
};

// Puts the progress back to 0 when an export ends, however it ends.
class ProgressReset {
public:
    explicit ProgressReset(ExportProgress* progress) : progress_(progress) {}
    ~ProgressReset() { if (progress_) progress_->setPosition(0); }
    ProgressReset(const ProgressReset&) = delete;
    ProgressReset& operator=(const ProgressReset&) = delete;

private:
    ExportProgress* progress_;
};

} // namespace karto
