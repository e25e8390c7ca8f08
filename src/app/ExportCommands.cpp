#include "app/ExportCommands.h"

#include <memory>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QStandardPaths>

#include "app/ProgressWindow.h"
#include "app/WindowDialogs.h"
#include "export/driver/ExportFormat.h"
#include "export/driver/WorkbookExport.h"
#include "export/text/HtmlExport.h"
#include "export/text/TextExport.h"

namespace karto {

const char* const spreadsheetFilter =
    "Excel nový (*.xlsx)|*.xlsx|Excel starý (*.xls)|*.xls|Všechny soubory (*.*)|*.*";
const char* const htmlFilter = "HTML (*.htm)|*.htm|Všechny soubory (*.*)|*.*";
const char* const csvFilter = "CSV (*.csv)|*.csv|Všechny soubory (*.*)|*.*";
const char* const txtFilter = "TXT (*.txt)|*.txt|Všechny soubory (*.*)|*.*";

namespace {

std::string localPath(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The extension proposed for a new file of the format: ".xlsx", ".htm" ...
QString proposedExtension(ExportFormat format)
{
    return QLatin1Char('.') + QString::fromLatin1(exportFormatExtensions(format).front());
}

} // namespace

QString htmlTemplatePath()
{
    const QString name = QStringLiteral("Template.INI");
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
    const QString inSettings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Brennic/") + name;
    if (QFileInfo::exists(inSettings))
        return inSettings;
    return besideProgram;   // missing: the template's defaults
}

namespace {

std::string templatePath() { return localPath(htmlTemplatePath()); }

} // namespace

std::vector<ExportCommand> makeExportCommands(const CommandContext& window)
{
    auto w = std::make_shared<CommandContext>(window);
    auto html = [w](HtmlVariant variant) {
        return [w, variant](const QString& fileName, ExportProgress* progress) {
            exportToHTML(localPath(fileName), w->dbf(), w->gridColumns(), variant, templatePath(), progress);
        };
    };
    std::vector<ExportCommand> commands;
    auto add = [&](ActionId id, const char* filter, ExportFormat proposed, bool bar,
                   std::function<void(const QString&, ExportProgress*)> run) {
        commands.push_back({id, nullptr, QString::fromUtf8(filter), proposedExtension(proposed), bar,
                            std::move(run)});
    };
    // The workbook export shows its own progress window, not the bar; the
    // chosen file's extension picks XLSX or XLS there.
    add(aToXLS, spreadsheetFilter, ExportFormat::XLSX, false, [w](const QString& fileName, ExportProgress*) {
        WorkbookExportResult result;
        {
            ProgressWindowScope progress(w->widget());
            result = exportWorkbook(localPath(fileName), w->dbf(), progress.window());
        }
        if (!result.warning.empty() && w->dialogs().warning)
            w->dialogs().warning(w->widget(), QString::fromStdString(result.warning));
    });
    add(aToHTML, htmlFilter, ExportFormat::HTML, true, html(HtmlVariant::Styled));
    add(aToHTML2, htmlFilter, ExportFormat::HTML, true, html(HtmlVariant::Unformatted));
    add(aToHTML3, htmlFilter, ExportFormat::HTML, true, html(HtmlVariant::Template));
    add(aToCSV, csvFilter, ExportFormat::CSV, true, [w](const QString& fileName, ExportProgress* progress) {
        exportToCSV(localPath(fileName), w->dbf(), w->gridColumns(), progress);
    });
    add(aToTXT, txtFilter, ExportFormat::TXT, true, [w](const QString& fileName, ExportProgress* progress) {
        exportToTXT(localPath(fileName), w->dbf(), w->gridColumns(), progress);
    });
    return commands;
}

void StatusBarProgress::setRange(int64_t maximum)
{
    maximum_ = std::max<int64_t>(maximum, 0);
    shift_ = 0;
    while ((maximum_ >> shift_) > 1'000'000'000)
        ++shift_;
    bar_->setRange(0, static_cast<int>(maximum_ >> shift_));
    lastShown_ = -1;
}

void StatusBarProgress::setPosition(int64_t position)
{
    const int value = static_cast<int>(std::clamp<int64_t>(position, 0, maximum_) >> shift_);
    bar_->setValue(value);
    // Repaint when the bar has moved by a pixel's worth, not per record.
    const int maximum = std::max(bar_->maximum(), 1);
    const int pixels = std::max(bar_->width(), 1);
    const int shown = static_cast<int>(int64_t{value} * pixels / maximum);
    if (shown != lastShown_) {
        lastShown_ = shown;
        bar_->repaint();
    }
}

} // namespace karto
