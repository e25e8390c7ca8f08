// The new table dialog, typed into by keys: names, type letters, lengths and
// decimals brought into shape, the cells that cannot be entered, Enter and
// Escape, and the checks of OK with the definitions it hands over.
#include "structure/FNewStru.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "support/QtTestApp.h"

namespace karto {
namespace {

class FNewStruTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        dialog = std::make_unique<FNewStru>();
        dialog->setErrorBox([this](QWidget*, const QString& message) { errors << message; });
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    // Text typed where the keyboard focus is, then Enter.
    void enter(const char* text)
    {
        for (const char* p = text; *p; ++p)
            QTest::keyClick(focus(), *p);
        QTest::keyClick(focus(), Qt::Key_Return);
    }
    QPoint cell() const { return {dialog->gridStru()->currentColumn(), dialog->gridStru()->currentRow()}; }
    QStringList row(int r) const
    {
        return {dialog->cellText(r, 0), dialog->cellText(r, 1), dialog->cellText(r, 2), dialog->cellText(r, 3)};
    }

    std::unique_ptr<FNewStru> dialog;
    QStringList errors;
};

TEST_F(FNewStruTest, OpensOnTheFirstNameWithItsHeader)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Struktura nové tabulky"));
    EXPECT_EQ(cell(), QPoint(0, 0));
    EXPECT_EQ(dialog->gridStru()->rowCount(), 253);
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << dialog->gridStru()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"Jméno", "Typ", "Délka", "Des"}));
}

TEST_F(FNewStruTest, TypedRowsAreBroughtIntoShape)
{
    enter("1abc");   // name; the type column makes it A1ABC
    EXPECT_EQ(dialog->cellText(0, 0), QStringLiteral("A1ABC"));
    EXPECT_EQ(cell(), QPoint(1, 0));
    enter("xn");     // x is refused, n taken
    EXPECT_EQ(row(0), (QStringList{"A1ABC", "N", "12", "2"}));
    EXPECT_EQ(cell(), QPoint(2, 0));
    enter("");
    enter("");       // Enter in the decimals: the name of the next row
    EXPECT_EQ(cell(), QPoint(0, 1));

    enter("d_atum");
    enter("d");      // D: its length cannot be entered, on to the next row
    EXPECT_EQ(row(1), (QStringList{"D_ATUM", "D", "10", "0"}));
    EXPECT_EQ(cell(), QPoint(0, 2));
    enter("poznamka");
    enter("m");
    EXPECT_EQ(row(2), (QStringList{"POZNAMKA", "M", "10", "0"}));
    enter("ok");
    enter("l");
    EXPECT_EQ(row(3), (QStringList{"OK", "L", "1", "0"}));
    enter("2345678901");   // an A before a ten-character name, then cut to ten
    EXPECT_EQ(dialog->cellText(4, 0), QStringLiteral("A234567890"));
    // An empty name: its type cannot be entered.
    QTest::keyClick(focus(), Qt::Key_Escape);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(FNewStruTest, LengthsAndDecimalsOutOfRangeTakeTheNearerEnd)
{
    const struct {
        const char* type;
        const char* length;
        const char* decimals;
        const char* wantLength;
        const char* wantDecimals;
    } cases[] = {
        {"C", "300", "", "255", "0"}, {"C", "0", "", "1", "0"},     {"c", "", "", "10", "0"},
        {"N", "6", "3", "6", "3"},    {"N", "6", "5", "6", "4"},    {"N", "2", "1", "2", "0"},
        {"F", "25", "", "20", "2"},   {"N", "3", "", "3", "1"},     {"x", "5", "5", "5", "0"},
        {"D", "4", "2", "10", "0"},   {"L", "", "", "1", "0"},      {"N", "99999999999", "0", "20", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.length + "," + c.decimals);
        QString type = QString::fromLatin1(c.type), length = QString::fromLatin1(c.length),
                decimals = QString::fromLatin1(c.decimals);
        FNewStru::normalizeRow(type, length, decimals);
        EXPECT_EQ(length, QString::fromLatin1(c.wantLength));
        EXPECT_EQ(decimals, QString::fromLatin1(c.wantDecimals));
    }
}

// OK brings rows never left into shape, hands over name, type, length and
// decimals, and skips rows without a name.
TEST_F(FNewStruTest, OkHandsOverEveryTypedValue)
{
    const struct {
        int row;
        const char* cells[4];
    } rows[] = {{0, {"nazev", "c", "300", ""}}, {2, {"cena", "n", "10", "9"}}, {3, {"kdy", "d", "", ""}},
                {5, {"Pozn", "M", "", ""}}};
    for (const auto& r : rows)
        for (int c = 0; c < 4; ++c)
            dialog->setCellText(r.row, c, QString::fromLatin1(r.cells[c]));
    dialog->bOKClick();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const FieldDefs& defs = dialog->fieldDefs();
    ASSERT_EQ(defs.count(), 4);
    const struct {
        const char* name;
        char type;
        int size;
        int decimals;
    } want[] = {{"NAZEV", 'C', 255, 0}, {"CENA", 'N', 10, 8}, {"KDY", 'D', 8, 0}, {"POZN", 'M', 10, 0}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(defs.item(i).fieldName(), want[i].name);
        EXPECT_EQ(defs.item(i).nativeFieldType(), want[i].type);
        EXPECT_EQ(defs.item(i).size(), want[i].size);
        EXPECT_EQ(defs.item(i).precision(), want[i].decimals);
    }
}

TEST_F(FNewStruTest, OkRefusesDuplicatesMissingDataAndNoFields)
{
    dialog->bOKClick();
    EXPECT_EQ(errors, QStringList{QStringLiteral("Tabulka musí mít alespoň jedno pole.")});
    errors.clear();

    enter("cena");
    enter("n");
    enter("");
    enter("");
    enter("CENA");
    enter("c");
    dialog->bOKClick();
    EXPECT_EQ(errors, QStringList{QStringLiteral(
                          "Nazev pole: \"CENA\" je již použit.\nDvě pole v tabulce nemohou mít stejný název!")});
    EXPECT_EQ(dialog->gridStru()->currentRow(), 1);
    EXPECT_TRUE(dialog->isVisible());
    errors.clear();

    dialog->setCellText(1, 0, QStringLiteral("POPIS"));
    dialog->setCellText(4, 0, QStringLiteral("BEZTYPU"));
    dialog->bOKClick();
    EXPECT_EQ(errors, QStringList{QStringLiteral("V řádku nejsou vyplněny všechny potřebné údaje")});
    EXPECT_EQ(dialog->gridStru()->currentRow(), 4);
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
} // namespace karto
