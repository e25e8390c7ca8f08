// A table that opens with something wrong (the header promising more records
// than the file holds, the memo file missing) is shown all the same, and the
// user is told once: a warning box in the window, a line on standard error
// on the command line, whose exit status stays 0.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "support/WindowFixture.h"

namespace karto {
namespace {

struct Damage {
    const char* what;
    int64_t headerCount;   // -1: the records written
    bool memoField;        // a memo field whose file is not there
    QStringList said;      // what the warning says, empty: no warning
};

const Damage damages[] = {
    {"all well", -1, false, {}},
    {"records missing", 12, false,
     {QStringLiteral("Tabulka je neúplná: hlavička uvádí počet záznamů 12, v souboru je celých záznamů jen 3. "
                     "Zobrazují se jen záznamy, které soubor obsahuje.")}},
    {"memo file missing", -1, true,
     {QStringLiteral("Chybí soubor memo položek T.dbt. Memo položky se zobrazují prázdné.")}},
    {"both", 4, true, {QStringLiteral("počet záznamů 4"), QStringLiteral("T.dbt")}},
};

// Three records; the header's count and a memo field as the damage says.
void writeDamagedTable(const QString& path, const Damage& d)
{
    test::DbfSpec spec;
    spec.fields = {{"NAZEV", 'C', 10}};
    if (d.memoField) {
        spec.version = 0x83;
        spec.fields.push_back({"POZN", 'M', 10});
    }
    spec.records = {" Jedna", " Dva", " Tri"};
    spec.headerCount = d.headerCount;
    const std::vector<uint8_t> bytes = test::buildDbf(spec);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

class OpenWarningsTest : public test::WindowFixture {};

TEST_F(OpenWarningsTest, TheWindowSaysOnceOnOpeningWhatIsWrong)
{
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("T.DBF"));
        writeDamagedTable(path, d);
        warnings.clear();
        open(path);
        EXPECT_EQ(window->gridModel()->rowCount(), 3);
        ASSERT_EQ(warnings.size(), d.said.isEmpty() ? 0 : 1);
        for (const QString& text : d.said)
            EXPECT_TRUE(warnings.constFirst().contains(text)) << warnings.constFirst().toStdString();
        // Only on opening: moving and showing the records again say nothing.
        run(DataSetLast);
        run(aDeleted);
        EXPECT_EQ(warnings.size(), d.said.isEmpty() ? 0 : 1);
    }
}

TEST(OpenWarningsCommandLine, ALineOnStandardErrorAndTheExportWritten)
{
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        QTemporaryDir home;
        const QString path = home.filePath(QStringLiteral("T.DBF"));
        writeDamagedTable(path, d);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KARTO_PROGRAM), {path, home.filePath(QStringLiteral("out.csv"))});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), d.said.isEmpty() ? 0 : (d.memoField && d.headerCount >= 0 ? 2 : 1))
            << err.toStdString();
        for (const QString& text : d.said)
            EXPECT_TRUE(err.contains(QStringLiteral("karto: ")) && err.contains(text)) << err.toStdString();
        QFile csv(home.filePath(QStringLiteral("out.csv")));
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(csv.readAll().count('\n'), 4);   // the field names and the three records
    }
}

} // namespace
} // namespace karto
