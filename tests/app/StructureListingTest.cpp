#include "structure/StructureListing.h"
#include "structure/FrmStrukt.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/QtTestApp.h"

namespace karto {
namespace {

std::vector<StructureRow> twoFields()
{
    return {{QStringLiteral("NAZEV"), QStringLiteral("String"), 30},
            {QStringLiteral("CENA"), QStringLiteral("Float"), 0}};
}

TEST(StructureListing, TwoFieldsGiveEightLines)
{
    const QStringList lines = structureListing(QStringLiteral("/data/CENIK.DBF"), twoFields());
    const QStringList expected = {
        QStringLiteral("Struktura tabulky: /data/CENIK.DBF"),
        QString(),
        QStringLiteral("      Jméno               Typ    Délka Des"),
        QString(),
        QStringLiteral("   1  NAZEV                String    30    "),
        QStringLiteral("   2  CENA                 Float     0    "),
        QString(),
        QStringLiteral("      Celkem:                     30    "),
    };
    EXPECT_EQ(lines.join(QLatin1Char('|')).toStdString(), expected.join(QLatin1Char('|')).toStdString());
}

TEST(StructureListing, LongTextsPushTheLineNotCut)
{
    const StructureRow row{QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV"), QStringLiteral("DateTime"), 123456};
    EXPECT_EQ(structureFieldLine(12345, row).toStdString(), "12345  ABCDEFGHIJKLMNOPQRSTUV DateTime 123456    ");
    EXPECT_EQ(structureTotalLine(0).toStdString(), "      Celkem:                      0    ");
}

QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << pdf << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class StructurePrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    void print(const std::vector<StructureRow>& rows)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QStringList fieldLines;
        int n = 1;
        for (const StructureRow& row : rows)
            fieldLines << structureFieldLine(n++, row);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPointSize(9);
        printStructureListing(printer, font, structureTitleLine(QStringLiteral("/data/CENIK.DBF")),
                              structureHeaderLine(), fieldLines, structureTotalLine(structureSize(rows)));
    }
    QTemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("s.pdf"));
};

TEST_F(StructurePrint, PrintsTheListing)
{
    print(twoFields());
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Struktura tabulky: /data/CENIK.DBF"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Jméno")));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("1\\s+NAZEV\\s+String\\s+30"))));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("2\\s+CENA\\s+Float\\s+0"))));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Celkem:\\s+30"))));
}

TEST_F(StructurePrint, ManyFieldsGoOnSeveralPagesTitleOnlyOnTheFirst)
{
    std::vector<StructureRow> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({QStringLiteral("F%1").arg(i + 1), QStringLiteral("String"), 1});
    print(rows);
    const QString first = pdfText(pdf, 1);
    const QString second = pdfText(pdf, 2);
    EXPECT_TRUE(first.contains(QStringLiteral("Struktura tabulky")));
    EXPECT_FALSE(second.isEmpty());
    EXPECT_FALSE(second.contains(QStringLiteral("Struktura tabulky")));
    EXPECT_FALSE(second.contains(QStringLiteral("Jméno")));
    const QString all = pdfText(pdf);
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("200\\s+F200\\s+String"))));
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("Celkem:\\s+200"))));
}

} // namespace
} // namespace karto
