#include "export/WorkbookExport.h"

#include "dbf/Error.h"
#include "dbf/TableDataset.h"

namespace karto {

WorkbookExportResult exportWorkbook(const std::string&, TableDataset& dbf, WorkbookProgressReceiver*)
{
    dbf.checkActive();
    throw KartoError("The workbook export is not built yet.");
}

} // namespace karto
