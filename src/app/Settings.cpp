#include "app/Settings.h"

#include <QSettings>

#include "app/RecentFiles.h"

namespace karto {

namespace {

std::optional<int> readInt(QSettings& store, const char* name)
{
    const QVariant value = store.value(QLatin1String(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

QString readString(QSettings& store, const char* name)
{
    const QVariant value = store.value(QLatin1String(name));
    return value.canConvert<QString>() ? value.toString() : QString();
}

const QString recentGroup = QStringLiteral("Recent");

} // namespace

MainSettings readMainSettings(QSettings& store)
{
    MainSettings s;
    const QStringList keys = store.allKeys();
    s.keyExists = !keys.isEmpty();
    if (!s.keyExists) {
        s.cp = automaticCodePageChoice;   // a new installation
        return s;
    }

    if (auto maximized = readInt(store, "Maximized"))
        s.maximized = (*maximized == 1);
    s.top = readInt(store, "Top");
    s.left = readInt(store, "Left");
    s.height = readInt(store, "Height");
    s.width = readInt(store, "Width");
    s.fontName = readString(store, "FontName");
    s.fontSize = readInt(store, "FontSize");
    if (auto charset = readInt(store, "FontCharset"))
        s.fontCharset = *charset;
    s.lastDir = readString(store, "LastDir");
    s.cp = readCodePageChoice(store);

    store.beginGroup(recentGroup);
    for (int i = 0; i < recentShownCount; ++i) {
        const QString path = readString(store, QByteArray::number(i).constData());
        if (!path.isEmpty())
            s.recentFiles.append(path);
    }
    store.endGroup();
    return s;
}

int readCodePageChoice(QSettings& store)
{
    if (store.allKeys().isEmpty())
        return automaticCodePageChoice;
    return readInt(store, "CP").value_or(0);
}

void writeMainSettings(QSettings& store, const MainSettings& s)
{
    store.setValue(QStringLiteral("Maximized"), s.maximized.value_or(false) ? 1 : 0);
    store.setValue(QStringLiteral("Top"), s.top.value_or(0));
    store.setValue(QStringLiteral("Left"), s.left.value_or(0));
    store.setValue(QStringLiteral("Height"), s.height.value_or(0));
    store.setValue(QStringLiteral("Width"), s.width.value_or(0));
    store.setValue(QStringLiteral("FontName"), s.fontName);
    store.setValue(QStringLiteral("FontSize"), s.fontSize.value_or(8));
    store.setValue(QStringLiteral("FontCharset"), s.fontCharset);
    store.setValue(QStringLiteral("LastDir"), s.lastDir);
    store.setValue(QStringLiteral("CP"), s.cp);

    store.beginGroup(recentGroup);
    const int shown = std::min<int>(static_cast<int>(s.recentFiles.size()), recentShownCount);
    for (int i = 0; i < shown; ++i)
        store.setValue(QString::number(i), s.recentFiles.at(i));
    store.endGroup();
    store.sync();
}

} // namespace karto
