#pragma once
// The command-line road: `karto [TABLE.dbf] [EXPORT-FILE]`.
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

// Runs `karto TABLE EXPORT` (args without the program name, at least two)
// without a window and returns the exit status. Reads the code page choice
// from the settings; writes no settings.
int runCommandLineExport(const QStringList& args);

} // namespace karto
