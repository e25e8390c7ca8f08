// The fourth code page choice, "Automaticky": each table opened is read in
// the code page it holds, the last status panel says which, the choice is
// stored as CP 3 and new installations start with it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSettings>

#include "support/WindowFixture.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::ValueRecord;

class AutomaticCodePageTest : public test::WindowFixture {
protected:
    QString cell(int row, int column) const
    {
        return window->gridModel()->index(row, column).data().toString();
    }
    void expectOnlyChecked(ActionId checked)
    {
        for (const ActionId name : {aLat, aKam, aWin, aAuto})
            EXPECT_EQ(act(name)->isChecked(), name == checked) << actionName(name);
    }
    QAction* recentItem(const QString& path) const
    {
        for (QAction* item : window->recentMenuItems())
            if (item->data().toString() == path)
                return item;
        return nullptr;
    }
};

TEST_F(AutomaticCodePageTest, NewInstallationStartsWithItAndItIsStoredAsThree)
{
    window->readSettings();   // nothing stored yet
    window->cbCPChange();
    EXPECT_EQ(window->codePageBox()->currentIndex(), 3);
    EXPECT_EQ(window->codePageBox()->currentText(), QStringLiteral("Automaticky"));
    expectOnlyChecked(aAuto);
    EXPECT_EQ(act(aAuto)->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    window->actionListUpdate();
    EXPECT_TRUE(act(aAuto)->isEnabled());
    window->formCloseQuery();
    {
        QSettings store(QStringLiteral("Brennic"), QStringLiteral("KartoView"));
        EXPECT_EQ(store.value(QStringLiteral("CP")).toInt(), 3);
    }

    // A later start reads it back and opens the next table in its own code page.
    MainWindow again;
    again.setWriteSettingsOnClose(false);
    again.readSettings();
    again.cbCPChange();
    EXPECT_EQ(again.codePageBox()->currentIndex(), 3);
    EXPECT_TRUE(again.action(aAuto)->isChecked());
    ASSERT_TRUE(again.openTableReporting(samplePath("ADRESY.DBF")));
    EXPECT_EQ(again.converter().chosenCodePage(), cpKamenicky);
    EXPECT_EQ(again.panelText(4), QStringLiteral("Kamenických (automaticky)"));
}

// Kamenický, Windows 1250 and Latin 2 tables one after another, the first
// again from the recent tables: each shows its own letters.
TEST_F(AutomaticCodePageTest, EachTableIsReadInItsOwnCodePage)
{
    run(aAuto);
    EXPECT_EQ(window->codePageBox()->currentIndex(), 3);
    expectOnlyChecked(aAuto);
    EXPECT_TRUE(window->panelText(4).isEmpty()) << "no table open";

    const struct {
        const char* table;
        int codePage;
        const char* panel;
        int row, column;
        const char* text;
    } cases[] = {
        {"ADRESY.DBF", cpKamenicky, "Kamenických (automaticky)", 2, 1, "Čestmír"},
        {"SKLAD.DBF", cpWindows1250, "Windows 1250 (automaticky)", 0, 1, "Šroub M6"},
        {"CENIK.DBF", cpLatin2, "Latin 2 (automaticky)", 0, 0, "Šroub M6"},
        {"ADRESY.DBF", cpKamenicky, "Kamenických (automaticky)", 2, 2, "Třebíč"},
    };
    bool first = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        const QString path = samplePath(c.table);
        if (first) {
            open(path);
        } else {
            // Reopened from the File menu's recent tables when listed there.
            QAction* item = recentItem(path);
            if (item)
                item->trigger();
            else
                open(path);
        }
        first = false;
        EXPECT_EQ(window->dbf().tableName(), c.table);
        EXPECT_EQ(window->converter().chosenCodePage(), c.codePage);
        EXPECT_EQ(window->panelText(4), QString::fromUtf8(c.panel));
        EXPECT_EQ(window->codePageBox()->currentIndex(), 3) << "the choice stays";
        EXPECT_EQ(cell(c.row, c.column), QString::fromUtf8(c.text));
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();

    // A fixed choice reads the open table as it says and empties the panel;
    // back to "Automaticky", the table is told again.
    run(aLat);
    expectOnlyChecked(aLat);
    EXPECT_TRUE(window->panelText(4).isEmpty());
    EXPECT_NE(cell(2, 2), QString::fromUtf8("Třebíč"));
    run(aAuto);
    expectOnlyChecked(aAuto);
    EXPECT_EQ(window->panelText(4), QStringLiteral("Kamenických (automaticky)"));
    EXPECT_EQ(cell(2, 2), QString::fromUtf8("Třebíč"));
}

// A Latin 2 language byte over Kamenický text: the text wins, and the
// panel's tool tip says so.
TEST_F(AutomaticCodePageTest, TextOverridesALyingLanguageByte)
{
    // "Černá Hora, Žďár" in Kamenický.
    const std::vector<ValueRecord> records = {{{"\x80" "ern\xA0 Hora"}}, {{"\x92\x83\xA0r"}}};
    const QString path = dir.filePath(QStringLiteral("LIES.DBF"));
    ASSERT_TRUE(test::writeTable(path.toStdString(), {{"NAZEV", 'C', 20}}, records, 0x64));
    run(aAuto);
    open(path);
    EXPECT_EQ(window->converter().chosenCodePage(), cpKamenicky);
    EXPECT_EQ(window->panelText(4), QStringLiteral("Kamenických (automaticky)"));
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("Panel4"))->toolTip(),
              QString::fromUtf8("Kódová stránka rozpoznaná podle textu tabulky"));
    EXPECT_EQ(cell(0, 0), QString::fromUtf8("Černá Hora"));
    EXPECT_EQ(cell(1, 0), QString::fromUtf8("Žďár"));
}

} // namespace
} // namespace karto
