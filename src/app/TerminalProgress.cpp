#include "app/TerminalProgress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace karto {

namespace {

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TerminalProgress::TerminalProgress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::setRange(int64_t maximum)
{
    // The exports give the last position (record count - 1).
    total_ = maximum + 1;
}

void TerminalProgress::setPosition(int64_t position)
{
    if (!enabled_ || position <= 0 || position == lastShown_)
        return;
    position_ = position;
    const int64_t now = nowMs();
    if (shown_ && now - lastTime_ < 200 && position < total_)
        return;
    lastTime_ = now;
    show(position);
}

void TerminalProgress::show(int64_t position)
{
    lastShown_ = position;
    shown_ = true;
    std::fprintf(stderr, "\r%lld / %lld", static_cast<long long>(position),
                 static_cast<long long>(total_));
    std::fflush(stderr);
}

void TerminalProgress::workbookProgress(ExportProgressNotificationType kind, int64_t position,
                                        int64_t count, const std::string&)
{
    if (kind == epnRow) {
        total_ = count;
        setPosition(position);
    }
}

void TerminalProgress::finish()
{
    if (enabled_ && shown_ && position_ != lastShown_)
        show(position_);   // where the export ended
    if (enabled_ && shown_) {
        std::fputs("\n", stderr);
        shown_ = false;
    }
}

} // namespace karto
