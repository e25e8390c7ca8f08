#include "ui/ImageList.h"

#include <QApplication>
#include <QStyle>

namespace karto {

namespace {

struct Slot {
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

constexpr Slot slotTable[imageListCount] = {
    {"go-first", QStyle::SP_MediaSkipBackward},
    {"go-last", QStyle::SP_MediaSkipForward},
    {"go-next", QStyle::SP_ArrowRight},
    {"go-previous", QStyle::SP_ArrowLeft},
    {"document-open", QStyle::SP_DialogOpenButton},
    {"edit-find", QStyle::SP_FileDialogContentsView},
    {"document-properties", QStyle::SP_FileDialogDetailedView},
    {"view-filter", QStyle::SP_FileDialogListView},
    {"help-about", QStyle::SP_MessageBoxInformation},
    {nullptr, QStyle::SP_CustomBase},
    {nullptr, QStyle::SP_CustomBase},
    {"preferences-desktop-font", QStyle::SP_DesktopIcon},
    {"edit-delete", QStyle::SP_TrashIcon},
    {"document-print", QStyle::SP_ComputerIcon},
    {"document-save", QStyle::SP_DialogSaveButton},
    {"x-office-spreadsheet", QStyle::SP_FileIcon},
    {"document-new", QStyle::SP_FileDialogNewFolder},
    {"accessories-calculator", QStyle::SP_DriveHDIcon},
    {"document-edit", QStyle::SP_DialogApplyButton},
    {"document-edit-sign", QStyle::SP_DialogNoButton},
    {"edit-copy", QStyle::SP_FileLinkIcon},
    {"list-add", QStyle::SP_FileDialogStart},
    {"edit-paste", QStyle::SP_FileDialogToParent},
    {"list-remove", QStyle::SP_DialogDiscardButton},
};

} // namespace

QIcon imageListIcon(int slot)
{
    if (slot < 0 || slot >= imageListCount || slotTable[slot].themeName == nullptr)
        return {};
    const Slot& s = slotTable[slot];
    QIcon fallback;
    if (auto* style = QApplication::style())
        fallback = style->standardIcon(s.fallback);
    return QIcon::fromTheme(QString::fromLatin1(s.themeName), fallback);
}

} // namespace karto
