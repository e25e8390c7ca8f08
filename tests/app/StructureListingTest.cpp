#include "structure/StructureListing.h"
#include "structure/FrmStrukt.h"

#include <gtest/gtest.h>

#include <cmath>

#include <QFile>
#include <QPainter>
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
    return {{QStringLiteral("NAZEV"), QStringLiteral("String"), 30, QString()},
            {QStringLiteral("CENA"), QStringLiteral("Float"), 10, QStringLiteral("2")}};
}

// The record length of rows: the fields and the deletion flag.
int recordLength(const std::vector<StructureRow>& rows)
{
    int length = 1;
    for (const StructureRow& row : rows)
        length += row.size;
    return length;
}

TEST(StructureListing, TwoFieldsGiveEightLines)
{
    const QStringList lines = structureListing(QStringLiteral("/data/CENIK.DBF"), twoFields(), 41);
    const QStringList expected = {
        QStringLiteral("Struktura tabulky: /data/CENIK.DBF"),
        QString(),
        QStringLiteral("      Jméno               Typ    Délka Des"),
        QString(),
        QStringLiteral("   1  NAZEV                String    30    "),
        QStringLiteral("   2  CENA                 Float    10   2"),
        QString(),
        QStringLiteral("      Celkem:                     41    "),
    };
    EXPECT_EQ(lines.join(QLatin1Char('|')).toStdString(), expected.join(QLatin1Char('|')).toStdString());
}

TEST(StructureListing, LongTextsPushTheLineNotCut)
{
    const StructureRow row{QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV"), QStringLiteral("DateTime"), 123456,
                           QStringLiteral("1234")};
    EXPECT_EQ(structureFieldLine(12345, row).toStdString(), "12345  ABCDEFGHIJKLMNOPQRSTUV DateTime 123456 1234");
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
    static QFont font()
    {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPointSize(9);
        return font;
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
        printStructureListing(printer, font(), structureTitleLine(QStringLiteral("/data/CENIK.DBF")),
                              structureHeaderLine(), fieldLines, structureTotalLine(recordLength(rows)));
    }
    // The last line number that lies whole on a page of the printout.
    int lastLineOnPage()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("measure.pdf")));
        QPainter painter(&printer);
        painter.setFont(QFont(font(), &printer));
        const int lineHeight = static_cast<int>(std::lrint(painter.fontMetrics().height() * 1.1));
        return printer.height() / lineHeight - 1;
    }
    static std::vector<StructureRow> fields(int count)
    {
        std::vector<StructureRow> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back({QStringLiteral("F%1").arg(i + 1), QStringLiteral("String"), 1, QString()});
        return rows;
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
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("2\\s+CENA\\s+Float\\s+10\\s+2"))));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Celkem:\\s+41"))));
}

TEST_F(StructurePrint, ManyFieldsGoOnSeveralPagesTitleOnlyOnTheFirst)
{
    print(fields(200));
    const QString first = pdfText(pdf, 1);
    const QString second = pdfText(pdf, 2);
    EXPECT_TRUE(first.contains(QStringLiteral("Struktura tabulky")));
    EXPECT_FALSE(second.isEmpty());
    EXPECT_FALSE(second.contains(QStringLiteral("Struktura tabulky")));
    EXPECT_FALSE(second.contains(QStringLiteral("Jméno")));
    const QString all = pdfText(pdf);
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("200\\s+F200\\s+String"))));
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("Celkem:\\s+201"))));
}

TEST_F(StructurePrint, TheTotalNeverFallsBelowThePage)
{
    // The fields start at line 4 of the first page; one empty line goes
    // before the total.
    const int last = lastLineOnPage();
    ASSERT_GT(last, 10);
    const struct { const char* what; int fields; int totalPage; } cases[] = {
        {"the total on the page's last line", last - 5, 1},
        {"the empty line last: the total on the next page", last - 4, 2},
        {"the last field last: the total on the next page", last - 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        print(fields(c.fields));
        const QRegularExpression lastField(QStringLiteral("\\b%1\\s+F%1\\s").arg(c.fields));
        const QString first = pdfText(pdf, 1);
        const QString second = pdfText(pdf, 2);
        EXPECT_TRUE(first.contains(lastField)) << first.toStdString();
        const QString total = QStringLiteral("Celkem:");
        EXPECT_EQ(first.contains(total), c.totalPage == 1) << first.toStdString();
        EXPECT_EQ(second.contains(total), c.totalPage == 2) << second.toStdString();
        EXPECT_EQ(second.trimmed().isEmpty(), c.totalPage == 1);
    }
}

} // namespace
} // namespace karto
