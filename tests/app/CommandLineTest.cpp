// The command-line road, run as the user runs it: the karto program with no
// display, a temporary HOME, and its exit status, output and files checked.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <optional>

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

    void storeCodePageChoice(const QString& choice)
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
    using karto::ExportFormat;
    const std::optional<ExportFormat> none;
    const struct {
        const char* file;
        const char* extension;   // as the unsupported-format message shows it
        std::optional<ExportFormat> format;
    } cases[] = {
        {"OUT.CSV", ".csv", ExportFormat::CSV},
        {"out.txt", ".txt", ExportFormat::TXT},
        {"x.tar.XLSX", ".xlsx", ExportFormat::XLSX},
        {"out.xlsm", ".xlsm", ExportFormat::XLSX},
        {"out.xltx", ".xltx", ExportFormat::XLSX},
        {"out.XLTM", ".xltm", ExportFormat::XLSX},
        {"out.xls", ".xls", ExportFormat::XLS},
        {"out.xlt", ".xlt", ExportFormat::XLS},
        // HTML is exported from the window only.
        {"out.htm", ".htm", none},
        {"out.HTML", ".html", none},
        {"out.doc", ".doc", none},
        {"/a.b/out", "", none},
        {"out.DÓC", ".dóc", none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(karto::exportExtension(QString::fromUtf8(c.file)), QString::fromUtf8(c.extension)) << c.file;
        EXPECT_EQ(karto::commandLineExportFormat(QString::fromUtf8(c.file)), c.format) << c.file;
    }
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

    // Read as Windows 1250, the Latin 2 bytes of "Š" become another letter;
    // a stored value that is no position of the code page box reads as Latin 2.
    const struct {
        const char* stored;
        bool latin2;
    } choices[] = {{"2", false}, {"7", true}, {"-1", true}, {"Kamenický", true}};
    for (const auto& c : choices) {
        storeCodePageChoice(QString::fromUtf8(c.stored));
        ASSERT_EQ(run({sample_, out("cp.csv")}).status, 0) << c.stored;
        QFile exported(out("cp.csv"));
        ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(exported.readAll()).contains(QString::fromUtf8("Šroub")), c.latin2) << c.stored;
    }
}

// Every spreadsheet extension the writers know is written, by the writer it
// names: a ZIP archive for XLSX, a compound document for XLS.
TEST_F(CommandLine, EverySpreadsheetExtensionIsWritten)
{
    const QByteArray zip("PK\x03\x04", 4);
    const QByteArray compound("\xD0\xCF\x11\xE0", 4);
    const struct {
        const char* name;
        QByteArray magic;
    } cases[] = {
        {"out.xlsx", zip}, {"out.xlsm", zip}, {"out.XLTX", zip}, {"out.xltm", zip},
        {"out.xls", compound}, {"out.xlt", compound},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run({sample_, out(c.name)});
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err.toStdString();
        QFile file(out(c.name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        EXPECT_EQ(file.read(4), c.magic) << c.name;
    }
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
        {{sample_, out("out.htm")}, 2, "Export do \".htm\" není podporován"},
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
    EXPECT_FALSE(QFile::exists(out("out.htm")));
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
