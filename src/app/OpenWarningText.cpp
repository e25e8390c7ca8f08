#include "app/OpenWarningText.h"

#include <QFile>
#include <QFileInfo>

#include "dbf/table/TableDataset.h"

namespace karto {

QString openWarningText(const OpenWarning& warning)
{
    switch (warning.kind) {
    case OpenWarning::RecordsMissing:
        return QString::fromUtf8("Tabulka je neúplná: hlavička uvádí počet záznamů %1, "
                                 "v souboru je celých záznamů jen %2. "
                                 "Zobrazují se jen záznamy, které soubor obsahuje.")
            .arg(warning.headerCount)
            .arg(warning.fileCount);
    case OpenWarning::MemoFileMissing:
        return QString::fromUtf8("Chybí soubor memo položek %1. Memo položky se zobrazují prázdné.")
            .arg(QFileInfo(QFile::decodeName(QByteArray::fromStdString(warning.fileName))).fileName());
    case OpenWarning::IndexUnusable:
        return QString::fromUtf8("Produkční index %1 nelze udržovat (%2). Tabulku lze prohlížet "
                                 "a exportovat, změny jsou zakázány, dokud index nebude znovu "
                                 "vytvořen (karto --reindex).")
            .arg(QFileInfo(QFile::decodeName(QByteArray::fromStdString(warning.fileName))).fileName(),
                 QString::fromUtf8(warning.reason.c_str()));
    }
    return QString();
}

QStringList openWarningTexts(const TableDataset& dbf)
{
    QStringList texts;
    for (const OpenWarning& warning : dbf.openWarnings())
        texts << openWarningText(warning);
    return texts;
}

} // namespace karto
