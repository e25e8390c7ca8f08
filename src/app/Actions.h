#pragma once
// The main window's commands, one action each, named as the window's code
// and its tests call them. The window keeps the actions in this order.

namespace karto {

enum ActionId : int {
    aOpen, aNew, aToXLS, aToHTML, aToHTML2, aToHTML3, aToCSV, aToTXT, aExit,
    aEdit, aInsert, aDelete, aCopy, aCopyField,
    aLat, aKam, aWin, aAuto,
    aFindAll, aFind, aFilter,
    aStruct, aDeleted, aSum, aColumns, aShowMemo, aFont,
    aAssoc, aUnAssoc, aAbout, aWWW,
    DataSetFirst, DataSetPrior, DataSetNext, DataSetLast,
    ActionCount
};

// The action's object name: its spelling above ("aOpen").
const char* actionName(ActionId id);

} // namespace karto
