#include "structure/StructureListing.h"

#include "ui/DataTypeName.h"
#include "dbf/table/TableDataset.h"

namespace karto {

namespace {

// %-Ns and %Ns: pad to width, never cut.
QString padRight(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }
QString padLeft(const QString& text, int width) { return text.rightJustified(width, QLatin1Char(' ')); }
QString padLeft(int number, int width) { return padLeft(QString::number(number), width); }

const QString gap2 = QStringLiteral("  ");
const QString gap1 = QStringLiteral(" ");

} // namespace

std::vector<StructureRow> structureRows(const TableDataset& dataset)
{
    std::vector<StructureRow> rows;
    rows.reserve(static_cast<size_t>(dataset.fieldCount()));
    for (int i = 0; i < dataset.fieldCount(); ++i) {
        const Field& field = dataset.field(i);
        const FieldDef& def = field.def();
        const char type = def.nativeFieldType();
        const bool numeric = type == 'N' || type == 'F';
        rows.push_back({QString::fromStdString(field.fieldName()), dataTypeToString(field.dataType()),
                        def.size(), numeric || def.precision() != 0 ? QString::number(def.precision()) : QString()});
    }
    return rows;
}

QString structureTitleLine(const QString& tablePath)
{
    return QStringLiteral("Struktura tabulky: ") + tablePath;
}

QString structureHeaderLine()
{
    return padLeft(QString(), 4) + gap2 + padRight(QStringLiteral("Jméno"), 20)
         + padRight(QStringLiteral("Typ"), 3) + QStringLiteral("    ")
         + padLeft(QStringLiteral("Délka"), 5) + gap1 + padLeft(QStringLiteral("Des"), 3);
}

QString structureFieldLine(int number, const StructureRow& row)
{
    return padLeft(number, 4) + gap2 + padRight(row.name, 20) + gap1 + padRight(row.typeName, 3)
         + gap1 + padLeft(row.size, 5) + gap1 + padLeft(row.decimals, 3);
}

QString structureTotalLine(int recordLength)
{
    return padLeft(QString(), 4) + gap2 + padRight(QStringLiteral("Celkem:"), 20) + gap1
         + padRight(QString(), 3) + gap1 + padLeft(recordLength, 5) + gap1 + padLeft(QString(), 3);
}

QStringList structureListing(const QString& tablePath, const std::vector<StructureRow>& rows,
                             int recordLength)
{
    QStringList lines;
    lines << structureTitleLine(tablePath) << QString() << structureHeaderLine() << QString();
    int number = 1;
    for (const StructureRow& row : rows)
        lines << structureFieldLine(number++, row);
    lines << QString() << structureTotalLine(recordLength);
    return lines;
}

} // namespace karto
