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
#include "dbf/index/MdxTestTable.h"
#include "dbf/table/TableFile.h"
#include "support/DbfReadBack.h"

#include <memory>
#include <set>

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

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home_.path());
        env.insert("XDG_CONFIG_HOME", home_.path() + "/.config");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

    ProgramRun run(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
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
    } choices[] = {{"2", false}, {"3", true}, {"7", true}, {"-1", true}, {"Kamenický", true}};
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

TEST_F(CommandLine, OptionsAndBadUsage)
{
    QFile::copy(sample_, out("T.DBF"));
    QFile::copy(QStringLiteral(KARTO_SOURCE_DIR "/samples/CENIK.DBT"), out("T.DBT"));
    QFile csv(out("in.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("NAZEV\nx\n");
    csv.close();
    struct Case {
        QStringList args;
        int status;
        const char* err;   // in standard error ("" for none)
    };
    const Case cases[] = {
        {{"--bogus", out("T.DBF")}, 2, "neznámá volba \"--bogus\""},
        {{"--cp=437", out("T.DBF"), out("o.csv")}, 2, "chybná hodnota volby --cp: \"437\""},
        {{"--cp"}, 2, "volba --cp potřebuje hodnotu"},
        {{"--append=" + out("in.csv")}, 2, "volba --append potřebuje tabulku"},
        {{"--append=" + out("in.csv"), out("T.DBF"), out("o.csv")}, 2, "volbu --append nelze spojit s exportem"},
        {{"--append="}, 2, "volba --append potřebuje jméno souboru"},
        {{"--help=x"}, 2, "neznámá volba"},
        {{"--reindex"}, 2, "volba --reindex potřebuje tabulku"},
        {{"--reindex", out("T.DBF"), out("o.csv")}, 2, "volbu --reindex nelze spojit s exportem"},
        {{"--reindex", "--append=" + out("in.csv"), out("T.DBF")}, 2, "volby --reindex a --append nelze spojit"},
        {{"--reindex=x", out("T.DBF")}, 2, "neznámá volba"},
        // CENIK.DBF names no production index: nothing to rebuild, nothing written.
        {{"--reindex", out("T.DBF")}, 1, "index nelze sestavit"},
        // Options come before the table; `--` ends them.
        {{out("T.DBF"), "--cp=852"}, 2, "není podporován"},
        {{"--", "--cp=852", out("o.csv")}, 1, "--cp=852"},
        {{"--cp", "1250", "--append", out("in.csv"), out("T.DBF")}, 0, ""},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << c.args.join(' ').toStdString() << ": "
                                                              << r.err.toStdString();
        if (c.status == 2 && !r.err.contains(QString::fromUtf8("není podporován")))
            EXPECT_TRUE(r.err.contains("karto --help")) << "bad usage points to the help";
    }
    const ProgramRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--cp=852|895|1250|auto", "--append=SOUBOR", "--reindex", "--help", "--version", "--  "})
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(option))) << option;
}

TEST_F(CommandLine, CodePageOptionOverridesTheStoredChoice)
{
    storeCodePageChoice("2");   // Windows 1250 stored; the sample is Latin 2
    ASSERT_EQ(run({"--cp=852", sample_, out("cp.csv")}).status, 0);
    QFile exported(out("cp.csv"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(exported.readAll()).contains(QString::fromUtf8("Šroub")));
}

// --cp=auto, and a stored "Automaticky" (CP 3) without --cp, read each table
// in the code page it holds: the three samples, and the Kamenický one also
// without its language byte. An append writes in the table's code page.
TEST_F(CommandLine, AutomaticCodePageReadsEachTableInItsOwn)
{
    QFile adresy(QStringLiteral(KARTO_SOURCE_DIR "/samples/ADRESY.DBF"));
    ASSERT_TRUE(adresy.open(QIODevice::ReadOnly));
    QByteArray bytes = adresy.readAll();
    bytes[29] = 0;
    QFile bare(out("BARE.DBF"));
    ASSERT_TRUE(bare.open(QIODevice::WriteOnly));
    bare.write(bytes);
    bare.close();

    const struct {
        QString table;
        const char* text;
    } cases[] = {
        {QStringLiteral(KARTO_SOURCE_DIR "/samples/ADRESY.DBF"), "\"Dvořák\";\"Čestmír\";\"Třebíč\""},
        {out("BARE.DBF"), "\"Dvořák\";\"Čestmír\";\"Třebíč\""},
        {QStringLiteral(KARTO_SOURCE_DIR "/samples/SKLAD.DBF"), "\"Šroub M6\""},
        {sample_, "\"Šroub M6\""},
    };
    for (const bool stored : {false, true}) {
        if (stored)
            storeCodePageChoice(QStringLiteral("3"));
        for (const auto& c : cases) {
            QStringList args = {c.table, out("auto.csv")};
            if (!stored)
                args.prepend(QStringLiteral("--cp=auto"));
            const ProgramRun r = run(args);
            ASSERT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
            QFile exported(out("auto.csv"));
            ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
            EXPECT_TRUE(QString::fromUtf8(exported.readAll()).contains(QString::fromUtf8(c.text)))
                << args.join(' ').toStdString();
        }
    }

    // Appended to the Kamenický table, a Czech name is stored in Kamenický.
    QFile csv(out("people.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("PRIJMENI;JMENO\nŘezníček;Šimon\n");
    csv.close();
    const ProgramRun r = run({"--cp=auto", "--append=" + out("people.csv"), out("BARE.DBF")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_TRUE(bare.open(QIODevice::ReadOnly));
    const QByteArray after = bare.readAll();
    EXPECT_TRUE(after.contains(QByteArray("\x9E" "ezn\xA1\x87" "ek"))) << "Řezníček in Kamenický";
    EXPECT_TRUE(after.contains(QByteArray("\x9B" "imon"))) << "Šimon in Kamenický";
}

TEST_F(CommandLine, AppendAddsTheLinesOrNothing)
{
    ASSERT_TRUE(QFile::copy(sample_, out("T.DBF")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KARTO_SOURCE_DIR "/samples/CENIK.DBT"), out("T.DBT")));
    auto write = [this](const QString& name, const QByteArray& text) {
        QFile f(out(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    auto bytes = [this](const QString& name) {
        QFile f(out(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    const QByteArray before = bytes("T.DBF");
    const QByteArray memoBefore = bytes("T.DBT");

    write("bad.csv", "NAZEV;CENA\nok;1\nNový;12,5\n");
    ProgramRun r = run({"--cp=852", "--append=" + out("bad.csv"), out("T.DBF")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8("Řádek 3, pole CENA"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(bytes("T.DBF"), before);
    EXPECT_EQ(bytes("T.DBT"), memoBefore);

    write("good.csv", "\xEF\xBB\xBF" "cena;NAZEV;POPIS\r\n12.5;Nový šroub;\"dlouhý\r\npopis\"\r\n;Č;\r\n");
    r = run({"--cp=852", "--append=" + out("good.csv"), out("T.DBF")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString::fromUtf8("Přidáno 2 záznamů.\n"));
    EXPECT_TRUE(r.err.isEmpty()) << "no progress when standard error is no terminal";

    if (!karto::test::independentReaderAvailable())
        GTEST_SKIP() << "python3-dbfread is not installed";
    const auto back = karto::test::readBackTable(out("T.DBF").toStdString(), "cp852");
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_GE(back.records.size(), 2u);
    EXPECT_EQ(back.headerCount, static_cast<int64_t>(back.records.size()));
    const auto& first = back.records[back.records.size() - 2].values;
    EXPECT_EQ(first[0], QString::fromUtf8("Nový šroub").toStdString());
    EXPECT_EQ(first[1], "12.5");
    EXPECT_EQ(first[6], "dlouhý\r\npopis");
    EXPECT_EQ(back.records.back().values[0], "Č");
    const QByteArray after = bytes("T.DBF");
    EXPECT_EQ(after.mid(8, before.size() - 9), before.mid(8, before.size() - 9)) << "old records unchanged";
}

// Two runs append to one table at the same time: every record of both lands,
// the count is right and the file ends with one end mark.
TEST_F(CommandLine, TwoProcessesAppendToOneTable)
{
    ASSERT_TRUE(QFile::copy(sample_, out("T.DBF")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KARTO_SOURCE_DIR "/samples/CENIK.DBT"), out("T.DBT")));
    constexpr int kLines = 3000;
    for (const char* who : {"a", "b"}) {
        QFile f(out(QStringLiteral("%1.csv").arg(who)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray text = "NAZEV;POCET;POPIS\n";
        for (int i = 0; i < kLines; ++i)
            text += QStringLiteral("%1%2;%2;%1 memo %2\n").arg(who).arg(i).toUtf8();
        f.write(text);
    }
    QFile table(out("T.DBF"));
    const qint64 sizeBefore = table.size();
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const char* who : {"a", "b"}) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment());
        p->start(QStringLiteral(KARTO_PROGRAM),
                 {"--cp=852", "--append=" + out(QStringLiteral("%1.csv").arg(who)), out("T.DBF")});
        runs.push_back(std::move(p));
    }
    for (auto& p : runs) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromUtf8(p->readAllStandardOutput()), QString::fromUtf8("Přidáno 3000 záznamů.\n"));
    }
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const QByteArray after = table.readAll();
    const int headerSize = static_cast<uint8_t>(after[8]) | static_cast<uint8_t>(after[9]) << 8;
    const int recordSize = static_cast<uint8_t>(after[10]) | static_cast<uint8_t>(after[11]) << 8;
    const int oldCount = static_cast<int>((sizeBefore - headerSize) / recordSize);
    EXPECT_EQ(after.size(), headerSize + static_cast<qint64>(oldCount + 2 * kLines) * recordSize + 1);
    EXPECT_EQ(after.back(), '\x1A');
    EXPECT_EQ(after.count('\x1A'), 1) << "one end mark, none left between records";

    if (!karto::test::independentReaderAvailable())
        GTEST_SKIP() << "python3-dbfread is not installed";
    const auto back = karto::test::readBackTable(out("T.DBF").toStdString(), "cp852");
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.headerCount, oldCount + 2 * kLines);
    ASSERT_EQ(back.records.size(), static_cast<size_t>(oldCount + 2 * kLines));
    std::set<std::string> seen;
    for (size_t i = static_cast<size_t>(oldCount); i < back.records.size(); ++i) {
        const auto& v = back.records[i].values;
        ASSERT_TRUE(v[0] && v[6]);
        EXPECT_EQ(*v[6], v[0]->substr(0, 1) + " memo " + v[0]->substr(1)) << "each memo with its record";
        seen.insert(*v[0]);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * kLines));
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

TEST_F(CommandLine, ReindexRebuildsADamagedIndexAndNeedsTheTableAlone)
{
    using namespace karto;
    test::MdxTestTable table({{"NAZEV", 'C', 12, 0}, {"CENA", 'N', 8, 2}, {"DATUM", 'D', 8, 0}});
    std::vector<test::ValueRecord> records;
    for (int i = 0; i < 300; ++i)
        records.push_back({{"Polozka " + std::to_string(299 - i), std::to_string(i % 37) + ".50",
                            "2020" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15"}});
    table.make(records, {{"NAZEV", "NAZEV", false, iuNormal},
                         {"CENA", "CENA", true, iuNormal},
                         {"DATUM", "DATUM", false, iuNormal}});
    ASSERT_TRUE(table.checked());
    const QString dbf = QString::fromStdString(table.path());

    // A block whose key count runs past its end: the index is damaged.
    std::vector<uint8_t> mdx = table.mdxBytes();
    const size_t block = mdx.size() - 1024;
    mdx[block] = 0xFF;
    mdx[block + 1] = 0xFF;
    table.writeMdx(mdx);

    // Exported all the same, with the warning on standard error; no write.
    const ProgramRun exported = run({dbf, out("o.csv")});
    EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.err.contains(QStringLiteral("karto --reindex"))) << exported.err.toStdString();
    EXPECT_EQ(table.mdxBytes(), mdx);

    // While another program has the table open, nothing is rebuilt.
    {
        TableFile other;
        table.open(other, pfReadWriteOpen);
        const ProgramRun refused = run({"--reindex", dbf});
        EXPECT_EQ(refused.status, 1);
        EXPECT_FALSE(refused.err.isEmpty());
        EXPECT_EQ(table.mdxBytes(), mdx);
    }

    const ProgramRun rebuilt = run({"--reindex", dbf});
    EXPECT_EQ(rebuilt.status, 0) << rebuilt.err.toStdString();
    EXPECT_TRUE(rebuilt.out.contains(QStringLiteral("obnoven"))) << rebuilt.out.toStdString();
    EXPECT_TRUE(table.checked());
    QDir dir(QString::fromStdString(table.dir().file("")));
    EXPECT_EQ(dir.entryList(QDir::Files).size(), 2) << dir.entryList(QDir::Files).join(' ').toStdString();

    // And the table can be written again, its tags kept.
    QFile csv(out("in.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("NAZEV;CENA\nNova;12.25\nDalsi;\n");
    csv.close();
    const ProgramRun appended = run({"--append=" + out("in.csv"), dbf});
    EXPECT_EQ(appended.status, 0) << appended.err.toStdString();
    EXPECT_TRUE(table.checked());
}
