#include "app/FileAssociation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QSaveFile>
#include <QTextStream>

namespace karto {

const char* const FileAssociation::desktopFileName = "karto-view.desktop";
const char* const FileAssociation::ownMimeType = "application/x-dbf";
const char* const FileAssociation::registeredMessage =
    "Program byl zaregistrován jako prohlížeč souborů typu .DBF\nSoubor DBF si nyní můžete zobrazit pouhým "
    "poklepáním";
const char* const FileAssociation::unregisteredMessage = "Registrace programu pro soubory typu .DBF byla zrušena.";

namespace {

const char* const kPackageFileName = "karto-view-dbf.xml";
const char* const kDefaultSection = "[Default Applications]";

const char* const kPackage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
    "  <mime-type type=\"application/x-dbf\">\n"
    "    <comment>dBase table</comment>\n"
    "    <comment xml:lang=\"cs\">Tabulka dBase</comment>\n"
    "    <generic-icon name=\"x-office-spreadsheet\"/>\n"
    "    <glob pattern=\"*.dbf\"/>\n"
    "  </mime-type>\n"
    "</mime-info>\n";

[[noreturn]] void fail(const QString& message)
{
    throw AssociationError(message.toStdString());
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        fail(QString::fromUtf8("Soubor \"%1\" nelze zapsat: %2").arg(path, file.errorString()));
}

void removeFile(const QString& path)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        fail(QString::fromUtf8("Soubor \"%1\" nelze smazat: %2").arg(path, file.errorString()));
}

bool runUpdateMimeDatabase(const QString& folder)
{
    return QProcess::execute(QStringLiteral("update-mime-database"), {folder}) == 0;
}

// Escapes of a desktop entry string value.
QString escapeString(const QString& text)
{
    QString out;
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

// The items of a ";"-separated list, empty ones left out.
QStringList listItems(const QString& value)
{
    QStringList items = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return items;
}

bool isSection(const QString& line) { return line.trimmed().startsWith(QLatin1Char('[')); }

} // namespace

FileAssociation::Folders FileAssociation::userFolders()
{
    const QString home = QDir::homePath();
    Folders f;
    f.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (f.dataHome.isEmpty() || QDir::isRelativePath(f.dataHome))
        f.dataHome = home + QStringLiteral("/.local/share");
    f.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (f.configHome.isEmpty() || QDir::isRelativePath(f.configHome))
        f.configHome = home + QStringLiteral("/.config");
    for (const QString& dir : qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!QDir::isRelativePath(dir))
            f.dataDirs << dir;
    }
    if (f.dataDirs.isEmpty())
        f.dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return f;
}

FileAssociation::FileAssociation(QString programPath, Folders folders)
    : programPath_(std::move(programPath)), folders_(std::move(folders)), updateMimeDatabase_(runUpdateMimeDatabase)
{
}

QString FileAssociation::desktopFilePath() const
{
    return folders_.dataHome + QStringLiteral("/applications/") + QString::fromLatin1(desktopFileName);
}

QString FileAssociation::mimePackagePath() const
{
    return folders_.dataHome + QStringLiteral("/mime/packages/") + QString::fromLatin1(kPackageFileName);
}

QString FileAssociation::mimeAppsPath() const
{
    return folders_.configHome + QStringLiteral("/mimeapps.list");
}

QString FileAssociation::execValue(const QString& programPath)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : programPath)
        quote = quote || reserved.contains(c);
    QString arg;
    for (QChar c : programPath) {
        if (c == QLatin1Char('%'))
            arg += QStringLiteral("%%");
        else if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                           c == QLatin1Char('\\')))
            arg += QLatin1Char('\\') + c;
        else
            arg += c;
    }
    if (quote)
        arg = QLatin1Char('"') + arg + QLatin1Char('"');
    return escapeString(arg) + QStringLiteral(" %f");
}

QString FileAssociation::knownDbfMimeType() const
{
    // The user's own database is read last: it may hold our own package.
    QStringList dirs = folders_.dataDirs;
    dirs << folders_.dataHome;
    for (const QString& dir : dirs) {
        QFile globs(dir + QStringLiteral("/mime/globs2"));
        if (!globs.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!globs.atEnd()) {
            // weight:type:pattern[:flags]
            const QString line = QString::fromUtf8(globs.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList parts = line.split(QLatin1Char(':'));
            if (parts.size() >= 3 && parts[2].compare(QStringLiteral("*.dbf"), Qt::CaseInsensitive) == 0)
                return parts[1];
        }
    }
    return QString();
}

void FileAssociation::registerProgram()
{
    QString mimeType = knownDbfMimeType();
    if (mimeType.isEmpty() || QFile::exists(mimePackagePath())) {
        if (mimeType.isEmpty())
            mimeType = QString::fromLatin1(ownMimeType);
        writeFile(mimePackagePath(), QByteArray(kPackage));
        if (!updateMimeDatabase_ || !updateMimeDatabase_(folders_.dataHome + QStringLiteral("/mime")))
            fail(QString::fromUtf8("Databázi typů souborů ve složce \"%1\" nelze obnovit (update-mime-database).")
                     .arg(folders_.dataHome + QStringLiteral("/mime")));
    }
    writeDesktopEntry(mimeType);
    setDefaultApplication(mimeType);
}

void FileAssociation::unregisterProgram()
{
    removeFromMimeApps();
    removeFile(desktopFilePath());
    if (QFile::exists(mimePackagePath())) {
        removeFile(mimePackagePath());
        if (!updateMimeDatabase_ || !updateMimeDatabase_(folders_.dataHome + QStringLiteral("/mime")))
            fail(QString::fromUtf8("Databázi typů souborů ve složce \"%1\" nelze obnovit (update-mime-database).")
                     .arg(folders_.dataHome + QStringLiteral("/mime")));
    }
}

void FileAssociation::writeDesktopEntry(const QString& mimeType)
{
    QString entry;
    QTextStream out(&entry);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.0\n"
        << "Name=Karto view\n"
        << "GenericName=" << QString::fromUtf8("Prohlížeč souborů DBF") << "\n"
        << "Comment=" << QString::fromUtf8("Zobrazení a editace tabulek DBF") << "\n"
        << "Exec=" << execValue(programPath_) << "\n"
        << "Icon=x-office-spreadsheet\n"
        << "Terminal=false\n"
        << "NoDisplay=true\n"
        << "MimeType=" << mimeType << ";\n";
    out.flush();
    writeFile(desktopFilePath(), entry.toUtf8());
}

void FileAssociation::setDefaultApplication(const QString& mimeType)
{
    QStringList lines;
    QFile file(mimeAppsPath());
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        file.close();
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
    }
    const QString ours = QString::fromLatin1(desktopFileName);
    const QString key = mimeType + QLatin1Char('=');
    int section = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() == QLatin1String(kDefaultSection)) {
            section = i;
            break;
        }
    }
    if (section < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QString::fromLatin1(kDefaultSection) << key + ours + QLatin1Char(';');
    } else {
        int end = section + 1;
        while (end < lines.size() && !isSection(lines[end]))
            ++end;
        int found = -1;
        for (int i = section + 1; i < end; ++i) {
            if (lines[i].trimmed().startsWith(key))
                found = i;
        }
        if (found < 0) {
            // After the section's last entry, before blank lines.
            int at = end;
            while (at > section + 1 && lines[at - 1].trimmed().isEmpty())
                --at;
            lines.insert(at, key + ours + QLatin1Char(';'));
        } else {
            QStringList items = listItems(lines[found].trimmed().mid(key.size()));
            items.removeAll(ours);
            items.prepend(ours);
            lines[found] = key + items.join(QLatin1Char(';')) + QLatin1Char(';');
        }
    }
    writeFile(mimeAppsPath(), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void FileAssociation::removeFromMimeApps()
{
    QFile file(mimeAppsPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString original = QString::fromUtf8(file.readAll());
    file.close();
    QStringList lines = original.split(QLatin1Char('\n'));
    const QString ours = QString::fromLatin1(desktopFileName);
    bool changed = false;
    bool inDefaults = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (isSection(line)) {
            inDefaults = line == QLatin1String(kDefaultSection);
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inDefaults || line.startsWith(QLatin1Char('#')) || eq < 0)
            continue;
        QStringList items = listItems(line.mid(eq + 1));
        if (!items.contains(ours))
            continue;
        items.removeAll(ours);
        changed = true;
        if (items.isEmpty()) {
            lines.removeAt(i--);
        } else {
            lines[i] = line.left(eq + 1) + items.join(QLatin1Char(';')) + QLatin1Char(';');
        }
    }
    if (!changed)
        return;
    // A section left empty by this goes too, with the blank line before it.
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() != QLatin1String(kDefaultSection))
            continue;
        int end = i + 1;
        bool empty = true;
        for (; end < lines.size() && !isSection(lines[end]); ++end)
            empty = empty && lines[end].trimmed().isEmpty();
        if (empty) {
            lines.erase(lines.begin() + i, lines.begin() + end);
            if (i > 0 && lines[i - 1].trimmed().isEmpty())
                lines.removeAt(i - 1);
        }
        break;
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        removeFile(mimeAppsPath());
    else
        writeFile(mimeAppsPath(), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void aAssocExecute(bool registering, QWidget* parent, const std::function<void(QWidget*, const QString&)>& information)
{
    FileAssociation association(QCoreApplication::applicationFilePath());
    if (registering)
        association.registerProgram();
    else
        association.unregisterProgram();
    const QString message = QString::fromUtf8(registering ? FileAssociation::registeredMessage
                                                          : FileAssociation::unregisteredMessage);
    if (information)
        information(parent, message);
    else
        QMessageBox::information(parent, QString::fromUtf8("Informace"), message);
}

} // namespace karto
