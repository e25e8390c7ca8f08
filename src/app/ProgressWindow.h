#pragma once
// The small progress window of the spreadsheet export: a borderless window
// of 238 x 83 pixels centred on the screen, a two-line label across the top
// and a progress bar below it. While it is shown every other window of the
// application is disabled; each change lets the user interface process its
// pending events so that the window paints during a long export.

#include <memory>
#include <string>

#include <QWidget>

#include "export/workbook/WorkbookProgress.h"

class QLabel;
class QProgressBar;

namespace karto {

// No Q_OBJECT: the window has no signals or slots of its own.
class ProgressWindow : public QWidget, public WorkbookProgressReceiver {
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows the window over the application and remembers the window that
    // was active, to activate it again in finish().
    void start();
    void finish();

    void workbookProgress(ExportProgressNotificationType kind, int64_t position, int64_t count,
                          const std::string& text) override;

    QString labelText() const;
    int barValue() const;
    int barMaximum() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setBar(int64_t position, int64_t count);

    QLabel* label_;
    QProgressBar* bar_;
    std::string firstLine_;
    QWidget* previousActive_ = nullptr;
};

// Shows a progress window for the lifetime of the object.
class ProgressWindowScope {
public:
    explicit ProgressWindowScope(QWidget* parent);
    ~ProgressWindowScope();
    ProgressWindowScope(const ProgressWindowScope&) = delete;
    ProgressWindowScope& operator=(const ProgressWindowScope&) = delete;
    ProgressWindow* window() { return window_.get(); }

private:
    std::unique_ptr<ProgressWindow> window_;
};

} // namespace karto
