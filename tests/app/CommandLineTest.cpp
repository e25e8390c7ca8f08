// The command-line road, run as the user runs it: the karto program with no
// display, a temporary HOME, and its exit status, output and files checked.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "app/CommandLine.h"

namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        sample_ = QStringLiteral(KARTO_SOURCE_DIR "/samples/CENIK.DBF");
    }

    ProgramRun run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home_.path());
        env.insert("XDG_CONFIG_HOME", home_.path() + "/.config");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KARTO_PROGRAM), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        ProgramRun r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    void storeCodePageChoice(int choice)
    {
        QDir().mkpath(home_.path() + "/.config/Brennic");
        QFile f(home_.path() + "/.config/Brennic/KartoView.conf");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[General]\nCP=%1\n").arg(choice).toUtf8());
    }

    QString out(const QString& name) const { return home_.path() + "/" + name; }

    QTemporaryDir home_;
    QString sample_;
};

TEST(ExportExtension, TakesTheLastFullStopOfTheFileName)
{
    EXPECT_EQ(karto::exportExtension("OUT.CSV"), ".csv");
    EXPECT_EQ(karto::exportExtension("/a.b/out"), "");
    EXPECT_EQ(karto::exportExtension("x.tar.XLSX"), ".xlsx");
    EXPECT_EQ(karto::exportKindFor(".xls"), karto::ExportKind::Workbook);
    EXPECT_EQ(karto::exportKindFor(".xlsx"), karto::ExportKind::Workbook);
    EXPECT_EQ(karto::exportKindFor(".doc"), karto::ExportKind::Unsupported);
    EXPECT_EQ(karto::unsupportedExportMessage(".doc"), QString::fromUtf8("Export do \".doc\" není podporován"));
}

TEST_F(CommandLine, SyntaxMessageAndVersion)
{
    const ProgramRun r = run({"?"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith(QString::fromUtf8("Syntaxe pro příkazový řádek:\n")));
    EXPECT_TRUE(r.out.contains("Podporované formáty pro export: XLSX, XLS, CSV, TXT"));
    EXPECT_EQ(run({"--version"}).status, 0);
}

TEST_F(CommandLine, CsvExportUsesStoredCodePageAndWritesNoSettings)
{
    const ProgramRun r = run({sample_, out("cenik.CSV"), out("ignored.txt")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << "no progress when standard error is no terminal";
    QFile csv(out("cenik.CSV"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("\uFEFF\"NAZEV\";\"CENA\";")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("\"Šroub M6\";\"0.5\"")));
    EXPECT_FALSE(QFile::exists(out("ignored.txt"))) << "only the first two arguments count";
    EXPECT_FALSE(QFile::exists(home_.path() + "/.config/Brennic/KartoView.conf"));

    // Read as Windows 1250, the Latin 2 bytes of "Š" become another letter.
    storeCodePageChoice(2);
    ASSERT_EQ(run({sample_, out("win.csv")}).status, 0);
    QFile win(out("win.csv"));
    ASSERT_TRUE(win.open(QIODevice::ReadOnly));
    EXPECT_FALSE(QString::fromUtf8(win.readAll()).contains(QString::fromUtf8("Šroub")));
}

TEST_F(CommandLine, FailuresHaveTheirExitStatus)
{
    struct Case {
        QStringList args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{sample_, "out.doc"}, 2, "Export do \".doc\" není podporován"},
        {{sample_, "out"}, 2, "Export do \"\" není podporován"},
        {{"/nonexistent/T.DBF", "out.csv"}, 1, "T.DBF"},
        {{"-?", "out.csv"}, 1, "-?"},
        {{"?", "out.csv"}, 1, "Cannot perform this operation on a closed dataset"},
        {{"?", "out.doc"}, 2, "není podporován"},
        {{sample_, "/nonexistent-folder/out.csv"}, 1, "Cannot create file"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message)))
            << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists("out.doc"));
}

TEST_F(CommandLine, WindowWithoutDisplayIsRefusedCleanly)
{
    const ProgramRun r = run({sample_});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("no display"));
}

} // namespace

#include "app/ExportCommands.h"
#include "support/QtTestApp.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {

TEST(HtmlTemplate, FoundInTheSettingsFolderWhenNotBesideTheProgram)
{
    karto::test::qtApp();
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("Template.INI");
    ASSERT_FALSE(QFile::exists(beside));
    EXPECT_EQ(karto::htmlTemplatePath(), beside) << "missing everywhere: the defaults";
    QDir().mkpath(config.path() + "/Brennic");
    QFile f(config.path() + "/Brennic/Template.INI");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(karto::htmlTemplatePath(), config.path() + "/Brennic/Template.INI");
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace

namespace {

TEST(CommandLineTerminal, ProgressGoesToStandardErrorOnATerminal)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // script(1) gives the program a terminal for its standard streams.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.path() + "/.config");
    p.setProcessEnvironment(env);
    const QString command = QStringLiteral("'%1' '%2' '%3'")
                                .arg(QStringLiteral(KARTO_PROGRAM),
                                     QStringLiteral(KARTO_SOURCE_DIR "/samples/CENIK.DBF"),
                                     dir.path() + "/out.csv");
    p.start("script", {"-qec", command, "/dev/null"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains("334 / 340"));
}

} // namespace
