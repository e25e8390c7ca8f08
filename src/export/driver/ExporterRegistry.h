#pragma once
// The registry of spreadsheet writers, chosen by the output file's extension
// through exportFormatOf: XLSX ("xlsx", "xlsm", "xltx", "xltm") and XLS
// ("xls", "xlt"). CSV, TXT and HTML have no spreadsheet writer: like any
// unknown extension they raise WorkbookFileNameException here.
//
// The workbook model knows no writer: whoever saves a workbook to a file
// name asks the registry for one (saveWorkbook, the export driver).

#include <memory>
#include <string>
#include <vector>

#include "export/driver/ExportFormat.h"
#include "export/workbook/CustomExporter.h"
#include "export/workbook/SheetStreamWriter.h"

namespace karto {

class Workbook;

// One registered writer: its format, the format's limits and the two ways
// of writing it.
struct ExporterEntry {
    ExportFormat format;
    int maxRowCount;
    int maxColCount;
    // The whole-document writer (every row held in the model).
    std::unique_ptr<CustomExporter> (*createExporter)();
    // The streaming writer to a file name (replaced when complete).
    std::unique_ptr<SheetStreamWriter> (*createStreamWriter)(Workbook& workbook, const std::string& fileName);
};

class ExporterRegistry {
public:
    // The program-wide registry (XLSX and XLS).
    static const ExporterRegistry& instance();

    // The writer for a file name's format (exportFormatOf); nullptr when
    // the extension selects no spreadsheet format (also an empty one).
    const ExporterEntry* find(const std::string& fileName) const;

    // As find(), but raises WorkbookFileNameException
    // "The file "%s" could not be processed.\r\n\r\nThe file extension is not
    // assigned to any exporter." (the file name as given) when nothing
    // matches. Call it before walking the table.
    const ExporterEntry& require(const std::string& fileName) const;

    // A new whole-document writer for the file name (as require()).
    std::unique_ptr<CustomExporter> create(const std::string& fileName) const;

    const std::vector<ExporterEntry>& entries() const { return entries_; }

private:
    ExporterRegistry();
    std::vector<ExporterEntry> entries_;
};

// Writes the whole workbook with the writer its extension selects. The file
// is written beside the target under a temporary name and renamed over it
// only when complete. Raises WorkbookFileNameException for an extension no
// writer knows (no file is made) and WorkbookException for invalid sheet
// titles.
void saveWorkbook(Workbook& workbook, const std::string& fileName);

} // namespace karto
