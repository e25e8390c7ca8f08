#pragma once
// The spreadsheet export driver: the open table as a workbook of one sheet
// "Data" — a bold, light-blue header row of field names and one typed row per
// visible record — written as XLSX or XLS by the file name's extension.

#include <cstdint>
#include <string>

namespace karto {

class TableDataset;
class WorkbookProgressReceiver;

struct WorkbookExportResult {
    int64_t recordsLeftOut = 0;   // past the format's row limit
    int64_t fieldsLeftOut = 0;    // past the format's column limit
    // The warning to show when something was left out ("Formát XLSX pojme
    // nejvýše ..."), UTF-8; empty when everything was written.
    std::string warning;
};

// Raises WorkbookFileNameException for an extension no writer knows, before
// the table is walked. The dataset returns to the record that was current.
WorkbookExportResult exportWorkbook(const std::string& fileName, TableDataset& dbf,
                                    WorkbookProgressReceiver* progress = nullptr);

} // namespace karto
