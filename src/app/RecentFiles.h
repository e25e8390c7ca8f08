#pragma once
// The list of recently opened tables and the captions of its menu entries.
//
// The list is newest first and holds no two entries that are equal ignoring
// letter case. It is not cut: only its first recentShownCount entries are
// shown in the File menu and kept in the settings.

#include <QString>
#include <QStringList>

class QFontMetrics;

namespace karto {

inline constexpr int recentShownCount = 10;
// Width in pixels that a shortened path may take in the menu font.
inline constexpr int recentCaptionWidth = 500;

// Puts fileName, spelled as given, at the top of the list and removes every
// other entry equal to it ignoring letter case.
void pushRecentFile(QStringList& recentFiles, const QString& fileName);

// Shortens a "/"-separated path until it fits maxWidth pixels: the first
// folder after the leading "/" is replaced by "..." step by step
// ("/data/2019/x/CENIK.DBF" -> "/.../2019/x/CENIK.DBF" -> "/.../x/CENIK.DBF"
// -> "/.../CENIK.DBF"), then the leading "/" goes (".../CENIK.DBF"). The file
// name itself is never cut, so the result may still be wider.
QString shortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth);

// "&3: /.../CENIK.DBF": the position is the item's accelerator key; any "&"
// of the path is doubled so that the menu shows it as it is.
QString recentCaption(int position, const QString& path, const QFontMetrics& metrics);

} // namespace karto
