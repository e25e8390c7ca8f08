#pragma once
// The text listing of a table's structure, as the structure window saves and
// prints it:
//
//   Struktura tabulky: /data/CENIK.DBF
//
//         Jméno               Typ    Délka Des
//
//      1  NAZEV                String    30
//      2  CENA                 Float     10   2
//      ...
//
//         Celkem:                       106
//
// Each field shows its stored length in bytes and, for numeric fields, its
// decimal count; the total is the length of a record, the deletion flag
// included. Texts are padded to their column width but never cut: a longer
// name or type pushes the rest of its line to the right.

#include <vector>

#include <QString>
#include <QStringList>

namespace karto {

class TableDataset;

// One line of the field list.
struct StructureRow {
    QString name;
    QString typeName;   // the field type's display name
    int size = 0;       // stored length in bytes
    QString decimals;   // decimal count of a numeric field ("N", "F"), else empty
};

// The rows of the open table's fields, in table order.
std::vector<StructureRow> structureRows(const TableDataset& dataset);

// "Struktura tabulky: " + path
QString structureTitleLine(const QString& tablePath);
// "%4s  %-20s%-3s    %5s %3s" with "", "Jméno", "Typ", "Délka", "Des"
QString structureHeaderLine();
// "%4d  %-20s %-3s %5d %3s" with the number (from 1), name, type, size, decimals
QString structureFieldLine(int number, const StructureRow& row);
// "%4s  %-20s %-3s %5d %3s" with "", "Celkem:", "", the record length, ""
QString structureTotalLine(int recordLength);

// Title, empty line, header, empty line, one line per field, empty line,
// total: always the number of fields plus 6 lines.
QStringList structureListing(const QString& tablePath, const std::vector<StructureRow>& rows,
                             int recordLength);

} // namespace karto
