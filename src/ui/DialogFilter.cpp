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

QString replaceExtension(const QString& fileName, const QString& extension)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = (dot > slash) ? fileName.left(dot) : fileName;
    return base + extension;
}

} // namespace karto
