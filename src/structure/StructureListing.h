#pragma once
// The text listing of a table's structure, as the structure window saves and
// prints it:
//
//   Struktura tabulky: /data/CENIK.DBF
//
//         Jméno               Typ    Délka Des
//
//      1  NAZEV                String    30
//      ...
//
//         Celkem:                        30
//
// Texts are padded to their column width but never cut: a longer name or
// type pushes the rest of its line to the right.

#include <vector>

#include <QString>
#include <QStringList>

namespace karto {

class TableDataset;

// One line of the field list: name, type name and size as the dataset gives them.
struct StructureRow {
    QString name;
    QString typeName;
    int size = 0;
};

// The rows of the open table's fields, in table order.
std::vector<StructureRow> structureRows(const TableDataset& dataset);

// Sum of the sizes.
int structureSize(const std::vector<StructureRow>& rows);

// "Struktura tabulky: " + path
QString structureTitleLine(const QString& tablePath);
// "%4s  %-20s%-3s    %5s %3s" with "", "Jméno", "Typ", "Délka", "Des"
QString structureHeaderLine();
// "%4d  %-20s %-3s %5d %3s" with the number (from 1), name, type, size, ""
QString structureFieldLine(int number, const StructureRow& row);
// "%4s  %-20s %-3s %5d %3s" with "", "Celkem:", "", total, ""
QString structureTotalLine(int total);

// Title, empty line, header, empty line, one line per field, empty line,
// total: always the number of fields plus 6 lines.
QStringList structureListing(const QString& tablePath, const std::vector<StructureRow>& rows);

} // namespace karto
