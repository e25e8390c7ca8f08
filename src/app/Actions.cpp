#include "app/Actions.h"

namespace karto {

const char* actionName(ActionId id)
{
    static const char* const names[ActionCount] = {
        "aOpen", "aNew", "aToXLS", "aToHTML", "aToHTML2", "aToHTML3", "aToCSV", "aToTXT", "aExit",
        "aEdit", "aInsert", "aDelete", "aCopy", "aCopyField",
        "aLat", "aKam", "aWin", "aAuto",
        "aFindAll", "aFind", "aFilter",
        "aStruct", "aDeleted", "aSum", "aColumns", "aShowMemo", "aFont",
        "aAssoc", "aUnAssoc", "aAbout", "aWWW",
        "DataSetFirst", "DataSetPrior", "DataSetNext", "DataSetLast",
    };
    return id >= 0 && id < ActionCount ? names[id] : "";
}

} // namespace karto
