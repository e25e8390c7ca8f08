#include "ui/DialogFilter.h"

namespace karto {

QStringList qtNameFilters(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        QString pattern = parts.at(i + 1);
        const QString inParentheses = QLatin1Char('(') + pattern + QLatin1Char(')');
        const qsizetype at = description.indexOf(inParentheses);
        if (at >= 0)
            description.truncate(at);
        description = description.trimmed();
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

QString nameFilterSuffix(const QString& nameFilter)
{
    const qsizetype open = nameFilter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = nameFilter.lastIndexOf(QLatin1Char(')'));
    const QString patterns = open >= 0 && close > open ? nameFilter.mid(open + 1, close - open - 1) : nameFilter;
    const QString first = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QLatin1String("*.")))
        return QString();
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return QString();
    return suffix;
}

QString replaceExtension(const QString& fileName, const QString& extension)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = (dot > slash) ? fileName.left(dot) : fileName;
    return base + extension;
}

} // namespace karto
