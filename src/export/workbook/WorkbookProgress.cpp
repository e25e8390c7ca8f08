#include "export/workbook/WorkbookProgress.h"

namespace karto {

WorkbookProgressView workbookProgressView(ExportProgressNotificationType kind, int64_t position, int64_t count,
                                          const std::string& text, const std::string& currentFirstLine)
{
    WorkbookProgressView view;
    view.position = position;
    view.count = count;
    switch (kind) {
    case epnStart:
        view.text = text;
        view.position = 0;
        view.count = 1;
        break;
    case epnSharedString: view.text = "Shared strings"; break;
    case epnWorksheet:
        if (position >= count) {
            view.changeText = false;
            break;
        }
        view.text = "Worksheet " + std::to_string(position + 1) + "/" + std::to_string(count);
        if (!text.empty())
            view.text += ": " + text;
        view.position = 0;
        view.count = 1;
        break;
    case epnRow:
        view.text = currentFirstLine;
        if (!text.empty())
            view.text += "\nExported rows: " + text;
        break;
    case epnSave: view.text = "Saving"; break;
    case epnLoad: view.text = "Loading"; break;
    case epnDrawings: view.text = "Drawings"; break;
    case epnCompress: view.text = "Compressing"; break;
    case epnFinish: view.text.clear(); break;
    }
    return view;
}

} // namespace karto
