#pragma once
// The command-line road: `karto [OPTIONS] [TABLE.dbf] [EXPORT-FILE]`.
//
// Options are GNU-style and come before the table; `--` ends them:
//   --cp=852|895|1250|auto   the code page of this run (exports, --append),
//                       overriding the stored setting; auto: the code page
//                       the table holds (CodePageDetection.h), as the stored
//                       choice "Automaticky" does
//   --append=FILE       appends the lines of a CSV/TXT file to the table
//   --reindex           rebuilds every tag of the table's production index
//   --help, --version
// An unknown option, a bad value, --append or --reindex without a table or
// with an export file, or both together, is bad usage: a Czech message on standard error, status 2.
//
// A run with an export argument never needs a window: messages that the
// window would show in message boxes go to standard output (the syntax
// message) or standard error (errors, the unsupported-format message), and
// the exit status tells the result.

#include <optional>

#include <QString>
#include <QStringList>

#include "export/driver/ExportFormat.h"

namespace karto {

enum ExitStatus {
    exitWritten = 0,      // done
    exitError = 1,        // the table could not be opened, the export failed, no table
    exitUnsupported = 2,  // unsupported export format, bad usage
    exitTruncated = 3,    // written, but the format could not hold every record or field
};

// The extension of a file name as the unsupported-format message shows it:
// from the last full stop of the file-name part, the full stop included,
// lower-cased; empty when there is none.
QString exportExtension(const QString& fileName);

// The export the command line writes for a file name: the format its
// extension selects (exportFormatOf) when that is a spreadsheet (XLSX, XLS),
// CSV or TXT; none for HTML and any other extension.
std::optional<ExportFormat> commandLineExportFormat(const QString& fileName);

// "Export do \".doc\" není podporován"
QString unsupportedExportMessage(const QString& extension);

// "0.1.0" and the build number, as --version prints them.
QString programVersionText();

// The syntax message, its lines joined by line breaks.
QString syntaxMessage();

// The code page option "auto": each table is read in the code page it holds.
inline constexpr int automaticCodePage = -2;

// What the command line asks for.
struct CommandLineOptions {
    bool help = false;
    bool version = false;
    int codePage = -1;        // cpLatin2, cpKamenicky, cpWindows1250, automaticCodePage;
                              // -1: the stored choice
    bool append = false;
    QString appendFile;
    bool reindex = false;
    QStringList positional;   // the table and the export file (only the first two count)
};

// Parses the arguments (without the program name); returns the Czech
// message of a bad usage, empty when they are well formed.
QString parseCommandLine(const QStringList& args, CommandLineOptions& options);

// The option list printed by --help (Czech).
QString helpText();

// Runs `karto TABLE EXPORT` (args without the program name, at least two)
// without a window and returns the exit status. Reads the code page choice
// from the settings unless codePage names one (or automaticCodePage); writes
// no settings. Told automatically, the code page is the table's own.
int runCommandLineExport(const QStringList& args, int codePage = -1);

// Runs `karto --append=FILE TABLE`: the table opened for writing in the
// shared mode, every line checked, then appended (CsvAppend.h) in the code
// page the table is read in (codePage as for exports); on a terminal
// progress as for exports; "Přidáno N záznamů." on standard output.
// Status 0, or 1 with a Czech message on standard error.
int runCommandLineAppend(const QString& table, const QString& csvFile, int codePage = -1);

// Runs `karto --reindex TABLE`: the table taken exclusively, every tag of its
// production index rebuilt from the records into a new file beside the old
// one, which replaces it only when complete (Reindex.h). Status 0 with
// "Index ... obnoven." on standard output, or 1 with a Czech message on
// standard error (another program has the table open, no production index,
// an index whose tags cannot be read, a write that failed).
int runCommandLineReindex(const QString& table);

} // namespace karto
