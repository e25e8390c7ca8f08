#include "app/RecentFiles.h"

#include <QFontMetrics>

namespace karto {

void pushRecentFile(QStringList& recentFiles, const QString& fileName)
{
    recentFiles.removeIf([&](const QString& entry) {
        return entry.compare(fileName, Qt::CaseInsensitive) == 0;
    });
    recentFiles.prepend(fileName);
}

namespace {

const QString ellipsisFolder = QStringLiteral(".../");
const QString rootEllipsisFolder = QStringLiteral("/.../");

// Replaces the first folder of a folder part ("/a/b/" or "a/b/", always ending
// in "/") by "...": "/a/b/" -> "/.../b/", "/.../b/" -> "/.../". Returns false
// when nothing is left to replace.
bool cutFirstFolder(QString& folders)
{
    const bool rooted = folders.startsWith(QLatin1Char('/'));
    QString rest = rooted ? folders.mid(1) : folders;
    if (rest.startsWith(ellipsisFolder))
        rest = rest.mid(ellipsisFolder.size());
    if (rest.isEmpty())
        return false;
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    rest = (slash < 0) ? QString() : rest.mid(slash + 1);
    folders = (rooted ? QStringLiteral("/") : QString()) + ellipsisFolder + rest;
    return true;
}

} // namespace

QString shortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString folders = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    QString result = path;
    while (metrics.horizontalAdvance(result) > maxWidth) {
        if (folders == rootEllipsisFolder)
            folders = ellipsisFolder;
        else if (folders.isEmpty() || folders == ellipsisFolder || !cutFirstFolder(folders))
            break;
        result = folders + name;
    }
    return result;
}

QString recentCaption(int position, const QString& path, const QFontMetrics& metrics)
{
    QString shown = shortenPath(path, metrics, recentCaptionWidth);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + QString::number(position) + QStringLiteral(": ") + shown;
}

} // namespace karto
