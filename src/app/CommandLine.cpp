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
#include "commands/CsvAppend.h"
#include "convert/CodePageConverter.h"
#include "convert/CodePageDetection.h"
#include "dbf/Error.h"
#include "dbf/index/Reindex.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
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

QString helpText()
{
    return QStringLiteral(
        "Použití: karto [VOLBY] [TABULKA] [EXPORT]\n"
        "\n"
        "  TABULKA              tabulka DBF, kterou program otevře\n"
        "  EXPORT               soubor, do kterého se tabulka exportuje (XLSX, XLS, CSV, TXT\n"
        "                       podle přípony); program pak skončí bez okna\n"
        "\n"
        "Volby (před tabulkou):\n"
        "  --cp=852|895|1250|auto\n"
        "                       kódová stránka textu pro tento běh (852 Latin 2, 895 Kamenických,\n"
        "                       1250 Windows 1250, auto ta, kterou tabulka obsahuje: podle jejího\n"
        "                       jazykového ovladače a textu); bez ní platí uložené nastavení\n"
        "  --append=SOUBOR      přidá do tabulky záznamy ze souboru CSV (středníky) nebo TXT\n"
        "                       (tabulátory); první řádek jmenuje pole; nejdřív se zkontrolují\n"
        "                       všechny řádky, chybný řádek tabulku nezmění\n"
        "  --reindex            znovu sestaví všechny značky produkčního indexu (.mdx) tabulky\n"
        "                       z jejích záznamů; oprava poškozeného indexu; tabulku nesmí mít\n"
        "                       otevřenou jiný program\n"
        "  --help               vypíše tuto nápovědu\n"
        "  --version            vypíše verzi programu\n"
        "  --                   konec voleb\n"
        "\n"
        "Návratový kód: 0 hotovo, 1 chyba, 2 chybné použití nebo nepodporovaný formát,\n"
        "3 export nepojal všechny záznamy nebo pole.");
}

QString parseCommandLine(const QStringList& args, CommandLineOptions& options)
{
    options = CommandLineOptions{};
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        // Options come before the table; after it every argument is a file.
        if (optionsEnded || !options.positional.isEmpty() || !arg.startsWith(QLatin1String("--"))) {
            options.positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const int eq = arg.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? arg : arg.left(eq);
        auto value = [&](QString& out) -> QString {
            if (eq >= 0) {
                out = arg.mid(eq + 1);
                return QString();
            }
            if (i + 1 >= args.size())
                return QStringLiteral("volba %1 potřebuje hodnotu").arg(name);
            out = args.at(++i);
            return QString();
        };
        if (name == QLatin1String("--help") && eq < 0) {
            options.help = true;
        } else if (name == QLatin1String("--version") && eq < 0) {
            options.version = true;
        } else if (name == QLatin1String("--cp")) {
            QString text;
            if (const QString error = value(text); !error.isEmpty())
                return error;
            if (text == QLatin1String("852"))
                options.codePage = cpLatin2;
            else if (text == QLatin1String("895"))
                options.codePage = cpKamenicky;
            else if (text == QLatin1String("1250"))
                options.codePage = cpWindows1250;
            else if (text == QLatin1String("auto"))
                options.codePage = automaticCodePage;
            else
                return QStringLiteral("chybná hodnota volby --cp: \"%1\" (povoleno 852, 895, 1250, auto)")
                    .arg(text);
        } else if (name == QLatin1String("--append")) {
            if (const QString error = value(options.appendFile); !error.isEmpty())
                return error;
            if (options.appendFile.isEmpty())
                return QStringLiteral("volba --append potřebuje jméno souboru");
            options.append = true;
        } else if (name == QLatin1String("--reindex") && eq < 0) {
            options.reindex = true;
        } else {
            return QStringLiteral("neznámá volba \"%1\"").arg(arg);
        }
    }
    if (options.help || options.version)
        return QString();
    if (options.append && options.positional.isEmpty())
        return QStringLiteral("volba --append potřebuje tabulku, do které přidává");
    if (options.append && options.positional.size() > 1)
        return QStringLiteral("volbu --append nelze spojit s exportem");
    if (options.reindex && options.append)
        return QStringLiteral("volby --reindex a --append nelze spojit");
    if (options.reindex && options.positional.isEmpty())
        return QStringLiteral("volba --reindex potřebuje tabulku, jejíž index sestaví");
    if (options.reindex && options.positional.size() > 1)
        return QStringLiteral("volbu --reindex nelze spojit s exportem");
    return QString();
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
// value is missing, damaged or no position of the box; "Automaticky" when
// nothing is stored yet.
int readStoredCodePageChoice()
{
    QSettings store(QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    const int choice = readCodePageChoice(store);
    return choice >= 0 && choice <= automaticCodePageChoice ? choice : 0;
}

// The code page of this run: the option's, else the stored choice's;
// automaticCodePage when each table is to be read in its own.
int codePageOfRun(int option)
{
    if (option != -1)
        return option;
    const int choice = readStoredCodePageChoice();
    return choice == automaticCodePageChoice ? automaticCodePage : CodePageConverter::codePageForChoice(choice);
}

// The converter set for the run's code page; told from the table once it
// is open (chooseForTable).
void chooseForRun(CodePageConverter& converter, int codePage)
{
    if (codePage != automaticCodePage)
        converter.chooseCodePage(codePage);
}

void chooseForTable(CodePageConverter& converter, int codePage, const TableDataset& dbf)
{
    if (codePage == automaticCodePage && dbf.active())
        converter.chooseCodePage(detectCodePage(dbf).codePage);
}

} // namespace

int runCommandLineExport(const QStringList& args, int codePage)
{
    const QString tableArg = args.at(0);
    const QString exportFile = args.at(1);

    // The code page of --cp, else the stored choice (read without writing
    // anything back).
    const int runCodePage = codePageOfRun(codePage);
    CodePageConverter converter;
    chooseForRun(converter, runCodePage);

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
            chooseForTable(converter, runCodePage, dbf);
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

int runCommandLineAppend(const QString& table, const QString& csvFile, int codePage)
{
    const int runCodePage = codePageOfRun(codePage);
    CodePageConverter converter;
    chooseForRun(converter, runCodePage);
    TableDataset dbf;
    dbf.setOnTranslate(&converter);
    dbf.setFormatSettings(systemFormatSettings());
    try {
        dbf.setTableName(QFileInfo(table).absoluteFilePath().toStdString());
        dbf.setReadOnly(false);   // shared: others may have the table open meanwhile
        dbf.open();
        // The lines are written in the code page the table is read in.
        chooseForTable(converter, runCodePage, dbf);
    } catch (const AbortError&) {
        return exitError;
    } catch (const std::exception& e) {
        printError(QStringLiteral("tabulku nelze otevřít pro zápis: ") + QString::fromUtf8(e.what()));
        return exitError;
    }
    // Other writers hold the header and append locks only for a moment.
    dbf.setLockRetryMillis(5000);

    TerminalProgress progress;
    int64_t appended = 0;
    try {
        appended = appendCsvFile(dbf, QFileInfo(csvFile).absoluteFilePath().toStdString(),
                                 [&progress](int64_t done, int64_t total) {
                                     if (done == 0)
                                         progress.setRange(total);
                                     progress.setPosition(done);
                                 });
        progress.finish();
        dbf.close();
    } catch (const std::exception& e) {
        progress.finish();
        printError(QString::fromUtf8(e.what()));
        return exitError;
    }
    std::printf("%s\n", QStringLiteral("Přidáno %1 záznamů.").arg(appended).toUtf8().constData());
    return exitWritten;
}

int runCommandLineReindex(const QString& table)
{
    const std::string path = QFileInfo(table).absoluteFilePath().toStdString();
    try {
        reindexProductionIndex(path);
    } catch (const FileOpenError& e) {
        printError(QStringLiteral("tabulku nelze otevřít výhradně (má ji otevřenou jiný program?): ")
                   + QString::fromUtf8(e.what()));
        return exitError;
    } catch (const std::exception& e) {
        printError(QStringLiteral("index nelze sestavit: ") + QString::fromUtf8(e.what()));
        return exitError;
    }
    const std::string index = TableFile::companionFile(path, ".mdx");
    std::printf("%s\n", QStringLiteral("Index %1 obnoven.")
                             .arg(QFileInfo(QString::fromStdString(index)).fileName())
                             .toUtf8().constData());
    return exitWritten;
}

} // namespace karto
