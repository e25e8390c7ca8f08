#include "app/CommandLine.h"

#include <QFileInfo>
#include <QSettings>

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

#include "Version.h"
#include "app/LocaleFormat.h"
#include "app/OpenWarningText.h"
#include "app/Settings.h"
#include "app/TerminalProgress.h"
#include "convert/CodePageConverter.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "export/driver/WorkbookExport.h"
#include "export/text/TextExport.h"

namespace karto {

QString exportExtension(const QString& fileName)
{
    const int slash = fileName.lastIndexOf(QLatin1Char('/'));
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return QString();
    return fileName.mid(dot).toLower();
}

std::optional<ExportFormat> commandLineExportFormat(const QString& fileName)
{
    const std::optional<ExportFormat> format = exportFormatOf(fileName.toStdString());
    if (format == ExportFormat::HTML)
        return std::nullopt;   // the HTML exports are the window's only
    return format;
}

QString unsupportedExportMessage(const QString& extension)
{
    return QStringLiteral("Export do \"") + extension + QStringLiteral("\" není podporován");
}

QString programVersionText()
{
    return QStringLiteral("%1.%2.%3   (%4)")
        .arg(KARTO_VERSION_MAJOR)
        .arg(KARTO_VERSION_MINOR)
        .arg(KARTO_VERSION_PATCH)
        .arg(KARTO_BUILD_NUMBER);
}

QString syntaxMessage()
{
    return QStringLiteral("Syntaxe pro příkazový řádek:\n"
                          "karto [\"DBF soubor\"] [\"exportovaný soubor\"]\n"
                          "\n"
                          "Podporované formáty pro export: XLSX, XLS, CSV, TXT");
}

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "karto: %s\n", text.toUtf8().constData());
}

// The code page box position stored by the window; 0 (Latin 2) when the
// value is missing, damaged or no position of the box.
int readStoredCodePageChoice()
{
    QSettings store(QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    const int choice = readCodePageChoice(store);
    return choice >= 0 && choice <= 2 ? choice : 0;
}

} // namespace

int runCommandLineExport(const QStringList& args)
{
    const QString tableArg = args.at(0);
    const QString exportFile = args.at(1);

    // The stored code page choice, read without writing anything back.
    CodePageConverter converter;
    converter.chooseCodePage(CodePageConverter::codePageForChoice(readStoredCodePageChoice()));

    TableDataset dbf;
    dbf.setOnTranslate(&converter);
    dbf.setFormatSettings(systemFormatSettings());

    if (tableArg == QLatin1String("?")) {
        std::fputs(syntaxMessage().toUtf8().constData(), stdout);
        std::fputs("\n", stdout);
    } else {
        try {
            dbf.setTableName(QFileInfo(tableArg).absoluteFilePath().toStdString());
            dbf.setReadOnly(true);
            dbf.open();
        } catch (const AbortError&) {
            return exitError;   // abandoned silently, as the window does
        } catch (const std::exception& e) {
            printError(QString::fromUtf8(e.what()));
            return exitError;
        }
        // A table that opened with something wrong is exported all the same;
        // what is wrong goes to standard error, the exit status stays.
        for (const QString& warning : openWarningTexts(dbf))
            printError(warning);
    }

    const std::optional<ExportFormat> format = commandLineExportFormat(exportFile);
    if (!format) {
        printError(unsupportedExportMessage(exportExtension(exportFile)));
        return exitUnsupported;
    }

    const std::string target = exportFile.toStdString();
    TerminalProgress progress;
    ExportProgress* bar = progress.enabled() ? &progress : nullptr;
    try {
        switch (*format) {
        case ExportFormat::CSV:
            exportToCSV(target, dbf, allColumns(dbf), bar);
            break;
        case ExportFormat::TXT:
            exportToTXT(target, dbf, allColumns(dbf), bar);
            break;
        case ExportFormat::XLSX:
        case ExportFormat::XLS: {
            const WorkbookExportResult result = exportWorkbook(target, dbf, &progress);
            progress.finish();
            if (!result.warning.empty()) {
                printError(QString::fromStdString(result.warning));
                return exitTruncated;
            }
            break;
        }
        case ExportFormat::HTML:
            break;
        }
    } catch (const std::exception& e) {
        progress.finish();
        printError(QString::fromUtf8(e.what()));
        return exitError;
    }
    progress.finish();
    return exitWritten;
}

} // namespace karto
