#pragma once
// The Czech texts that tell the user, once on opening, what is wrong with a
// table that opened all the same and what they see instead. The window shows
// them in a warning box, the command line writes them to standard error.

#include <QString>
#include <QStringList>

#include "dbf/table/OpenWarning.h"

namespace karto {

class TableDataset;

QString openWarningText(const OpenWarning& warning);

// One text per warning of the dataset's last open; empty when all is well.
QStringList openWarningTexts(const TableDataset& dbf);

} // namespace karto
