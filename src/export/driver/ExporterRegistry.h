#pragma once
// The registry of spreadsheet writers, chosen by the output file's extension.
//
// Order (first match wins): XLSX ("xlsx", "xlsm", "xltx", "xltm"), XLS
// ("xls", "xlt"). ODS, CSV, zipped CSV and HTML writers of the engine are not
// provided: their extensions raise WorkbookFileNameException like any other.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/workbook/CustomExporter.h"

namespace karto {

struct ExporterFormat {
    std::string name;                       // "XLSX", "XLS"
    std::vector<std::string> extensions;    // lower case, without the full stop
    std::function<std::unique_ptr<CustomExporter>()> factory;  // may be empty
    int maxRowCount = 2147483647;
    int maxColCount = 2147483647;
};

class ExporterRegistry {
public:
    // The program-wide registry (XLSX and XLS registered).
    static ExporterRegistry& instance();

    // The format for a file name: its extension from the last full stop,
    // ASCII letters lower-cased; nullptr when nothing matches (also for an
    // empty extension).
    const ExporterFormat* find(const std::string& fileName) const;

    // As find(), but raises WorkbookFileNameException
    // "The file "%s" could not be processed.\r\n\r\nThe file extension is not
    // assigned to any exporter." (the file name as given) when nothing
    // matches. Call it before walking the table.
    const ExporterFormat& require(const std::string& fileName) const;

    // A new writer for the file name (require() first). Raises
    // WorkbookException "No writer is available for the format %s." when the
    // format has no factory.
    std::unique_ptr<CustomExporter> create(const std::string& fileName) const;

    // Installs the writer of a registered format ("XLS").
    void setFactory(const std::string& formatName,
                    std::function<std::unique_ptr<CustomExporter>()> factory);

    const std::vector<ExporterFormat>& formats() const { return formats_; }

private:
    ExporterRegistry();
    std::vector<ExporterFormat> formats_;
};

// Extension of a file name as the registry compares it: from the last full
// stop (of the last path component), ASCII lower-cased, without the stop.
std::string exporterExtension(const std::string& fileName);

} // namespace karto
