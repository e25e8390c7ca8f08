#pragma once
// CSV and TXT export: the grid's columns of the open table as delimited text,
// UTF-8 with a byte order mark, every line ending with CR LF.
//
// CSV separates columns with ";", TXT with a tab. Every value except a
// logical one is enclosed in quotation marks (a mark inside it is doubled),
// logicals are written as 1 or 0, text memo columns are left out, and a
// column that is not the grid's last is followed by the separator.

#include <string>
#include <vector>

namespace karto {

class TableDataset;
class ExportProgress;

// Writes the visible records from the first; the dataset is left on the last.
void exportToCSV(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                 ExportProgress* progress = nullptr);
void exportToTXT(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                 ExportProgress* progress = nullptr);

// Every field of the table in table order, the columns of a default grid.
std::vector<int> allColumns(const TableDataset& dbf);

} // namespace karto
