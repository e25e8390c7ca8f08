#pragma once
// The window's image list: one icon per slot, shared by the main window's
// actions and the structure window's buttons.
//
// Slots: 0 first record, 1 last record, 2 next record, 3 previous record,
// 4 open, 5 find everywhere, 6 structure, 7 filter, 8 about, 9 and 10 unused,
// 11 font, 12 deleted records, 13 print, 14 save, 15 spreadsheet export,
// 16 new table, 17 column sum, 18 edit mode on, 19 edit mode off, 20 copy
// field, 21 insert record, 22 copy record, 23 delete record.

#include <QIcon>

namespace karto {

inline constexpr int imageListCount = 24;

// The icon of a slot: the freedesktop theme icon when the theme has it,
// otherwise a standard icon of the current style. An empty icon for the
// unused slots and for numbers outside the list.
QIcon imageListIcon(int slot);

} // namespace karto
