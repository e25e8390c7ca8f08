#include "app/FileAssociation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/QtTestApp.h"

namespace karto {
namespace {

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

class FileAssociationTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }

    FileAssociation::Folders folders(const QStringList& dataDirs)
    {
        return {home.filePath(QStringLiteral("data")), home.filePath(QStringLiteral("config")), dataDirs};
    }
    // The system's MIME folders, with a type for *.dbf.
    QString systemWithDbfType()
    {
        const QString dir = home.filePath(QStringLiteral("system"));
        writeText(dir + QStringLiteral("/mime/globs2"),
                  QStringLiteral("# comment\n50:text/x-csv:*.csv\n50:application/x-dbf:*.dbf\n"));
        return dir;
    }

    QTemporaryDir home;
    const QString program = QStringLiteral(KARTO_PROGRAM);
};

TEST_F(FileAssociationTest, ExecValue)
{
    const struct { const char* path; const char* exec; } cases[] = {
        {"/opt/karto/karto", "/opt/karto/karto %f"},
        {"/home/a b/karto", "\"/home/a b/karto\" %f"},
        {"/x/100%/k", "/x/100%%/k %f"},
        {"/x/a\"b$c", "\"/x/a\\\\\"b\\\\$c\" %f"},
        {"/x/a\\b", "\"/x/a\\\\\\\\b\" %f"},
        {"/x/Příliš", "/x/Příliš %f"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileAssociation::execValue(QString::fromUtf8(c.path)), QString::fromUtf8(c.exec)) << c.path;
}

TEST_F(FileAssociationTest, RegistersForTheKnownTypeAndUnregistersExactly)
{
    FileAssociation association(program, folders({systemWithDbfType()}));
    EXPECT_EQ(association.knownDbfMimeType(), QStringLiteral("application/x-dbf"));
    bool updated = false;
    association.setMimeDatabaseUpdate([&updated](const QString&) { return updated = true; });

    // Another application's entries, before and after ours.
    const QString before = QStringLiteral(
        "[Added Associations]\napplication/x-dbf=libreoffice-calc.desktop;\n\n"
        "[Default Applications]\napplication/x-dbf=libreoffice-calc.desktop;\ntext/plain=gedit.desktop;\n");
    writeText(association.mimeAppsPath(), before);
    association.registerProgram();
    EXPECT_FALSE(updated);
    EXPECT_FALSE(QFile::exists(association.mimePackagePath()));
    EXPECT_EQ(readText(association.mimeAppsPath()),
              QStringLiteral("[Added Associations]\napplication/x-dbf=libreoffice-calc.desktop;\n\n"
                             "[Default Applications]\napplication/x-dbf=karto-view.desktop;libreoffice-calc.desktop;\n"
                             "text/plain=gedit.desktop;\n"));
    const QString entry = readText(association.desktopFilePath());
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=") + FileAssociation::execValue(program) + QLatin1Char('\n')));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=application/x-dbf;\n")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nType=Application\n")));

    // Twice is the same as once.
    association.registerProgram();
    EXPECT_EQ(readText(association.mimeAppsPath()).count(QStringLiteral("karto-view.desktop")), 1);

    association.unregisterProgram();
    EXPECT_EQ(readText(association.mimeAppsPath()), before);
    EXPECT_FALSE(QFile::exists(association.desktopFilePath()));
}

TEST_F(FileAssociationTest, FilesThatDidNotExistGoAgain)
{
    FileAssociation association(program, folders({systemWithDbfType()}));
    association.registerProgram();
    EXPECT_EQ(readText(association.mimeAppsPath()),
              QStringLiteral("[Default Applications]\napplication/x-dbf=karto-view.desktop;\n"));
    association.unregisterProgram();
    EXPECT_FALSE(QFile::exists(association.mimeAppsPath()));
    EXPECT_FALSE(QFile::exists(association.desktopFilePath()));
    // Unregistering without a registration changes nothing.
    association.unregisterProgram();
    EXPECT_FALSE(QFile::exists(association.mimeAppsPath()));

    // A list without the section gets one of its own, removed again.
    const QString other = QStringLiteral("[Added Associations]\ntext/plain=gedit.desktop;\n");
    writeText(association.mimeAppsPath(), other);
    association.registerProgram();
    EXPECT_EQ(readText(association.mimeAppsPath()),
              other + QStringLiteral("\n[Default Applications]\napplication/x-dbf=karto-view.desktop;\n"));
    association.unregisterProgram();
    EXPECT_EQ(readText(association.mimeAppsPath()), other);
}

TEST_F(FileAssociationTest, InstallsItsOwnTypeWhenTheSystemHasNone)
{
    if (QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty())
        GTEST_SKIP() << "update-mime-database missing";
    const QString empty = home.filePath(QStringLiteral("nothing"));
    QDir().mkpath(empty);
    FileAssociation association(program, folders({empty}));
    EXPECT_TRUE(association.knownDbfMimeType().isEmpty());
    association.registerProgram();
    EXPECT_TRUE(QFile::exists(association.mimePackagePath()));
    EXPECT_EQ(association.knownDbfMimeType(), QStringLiteral("application/x-dbf"));
    EXPECT_TRUE(readText(association.desktopFilePath()).contains(QStringLiteral("\nMimeType=application/x-dbf;\n")));

    association.unregisterProgram();
    EXPECT_FALSE(QFile::exists(association.mimePackagePath()));
    EXPECT_TRUE(association.knownDbfMimeType().isEmpty());
    EXPECT_FALSE(QFile::exists(association.desktopFilePath()));
}

TEST_F(FileAssociationTest, TheDesktopSeesTheDefault)
{
    // An independent reader of the same files: GLib's gio.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty() || !QFile::exists(QStringLiteral("/usr/share/mime/globs2")))
        GTEST_SKIP() << "gio or the system MIME database missing";
    const FileAssociation::Folders f = folders({QStringLiteral("/usr/share")});
    FileAssociation association(program, f);
    const QString type = association.knownDbfMimeType();
    ASSERT_FALSE(type.isEmpty());
    auto query = [&] {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), f.dataHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), f.configHome);
        env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/share"));
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        process.setProcessEnvironment(env);
        process.start(gio, {QStringLiteral("mime"), type});
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    association.registerProgram();
    EXPECT_TRUE(query().contains(QStringLiteral(": karto-view.desktop"))) << query().toStdString();
    association.unregisterProgram();
    EXPECT_FALSE(query().contains(QStringLiteral("karto-view.desktop"))) << query().toStdString();
}

TEST_F(FileAssociationTest, ThePartsMessagesAndAnErrorWithoutThem)
{
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", systemWithDbfType().toLocal8Bit());
    const FileAssociation::Folders f = FileAssociation::userFolders();
    EXPECT_EQ(f.dataHome, home.filePath(QStringLiteral("data")));
    EXPECT_EQ(f.dataDirs, QStringList{home.filePath(QStringLiteral("system"))});

    QStringList shown;
    auto info = [&shown](QWidget*, const QString& message) { shown << message; };
    aAssocExecute(true, nullptr, info);
    aAssocExecute(false, nullptr, info);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Program byl zaregistrován jako prohlížeč souborů typu .DBF\n"
                                                 "Soubor DBF si nyní můžete zobrazit pouhým poklepáním"),
                                  QStringLiteral("Registrace programu pro soubory typu .DBF byla zrušena.")}));

    // A configuration folder that is a file: the error, no message.
    writeText(home.filePath(QStringLiteral("blocked")), QStringLiteral("x"));
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("blocked")).toLocal8Bit());
    shown.clear();
    EXPECT_THROW(aAssocExecute(true, nullptr, info), AssociationError);
    EXPECT_TRUE(shown.isEmpty());

    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("XDG_DATA_HOME", savedData);
    restore("XDG_CONFIG_HOME", savedConfig);
    restore("XDG_DATA_DIRS", savedDirs);
}

} // namespace
} // namespace karto
