// The menus are reached from the keyboard: every menu and item has an
// underlined letter, none twice in one menu, Alt with a menu's letter opens
// it and F10 opens the first. The captions read as before otherwise.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "support/WindowFixture.h"

namespace karto {
namespace {

class MenuKeysTest : public test::WindowFixture {};

// The accelerator letter of a caption, upper-cased; empty when it has none.
QString accelerator(const QString& caption)
{
    const QKeySequence key = QKeySequence::mnemonic(caption);
    return key.isEmpty() ? QString() : QKeySequence(key[0].key()).toString();
}

void expectDistinctAccelerators(const QList<QAction*>& items, const QString& menu)
{
    QStringList seen;
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        const QString key = accelerator(item->text());
        EXPECT_FALSE(key.isEmpty()) << menu.toStdString() << ": " << item->text().toStdString();
        EXPECT_FALSE(seen.contains(key)) << menu.toStdString() << ": " << item->text().toStdString();
        seen << key;
    }
}

TEST_F(MenuKeysTest, EveryMenuAndItemHasItsOwnLetter)
{
    // Recent tables in the File menu take the digits.
    for (const char* name : {"A.DBF", "B.DBF"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        window->updateRecentFiles(f.fileName());
    }
    QList<QAction*> top = window->menuBar()->actions();
    ASSERT_EQ(top.size(), 6);
    expectDistinctAccelerators(top, QStringLiteral("menu bar"));
    for (QAction* menu : top)
        expectDistinctAccelerators(menu->menu()->actions(), menu->text());
    expectDistinctAccelerators(window->popupMenu()->actions(), QStringLiteral("Popup"));
    auto* popupFiltr = window->findChild<QMenu*>(QStringLiteral("PopupFiltr"));
    ASSERT_NE(popupFiltr, nullptr);
    expectDistinctAccelerators(popupFiltr->actions(), QStringLiteral("PopupFiltr"));
}

TEST_F(MenuKeysTest, CaptionsReadAsBeforeApartFromTheUnderline)
{
    const struct { ActionId id; const char* caption; } cases[] = {
        {aOpen, "Otevřít"}, {aNew, "Nová tabulka"}, {aToXLS, "Export do Excelu"}, {aToHTML, "Export do HTML"},
        {aToHTML2, "Neformátovaná tabulka"}, {aToHTML3, "Podle šablony"}, {aToCSV, "Export do CSV"},
        {aToTXT, "Export do TXT"}, {aExit, "Konec"}, {aEdit, "Režim editace"}, {aInsert, "Vložit záznam"},
        {aDelete, "Smazat/obnovit"}, {aCopy, "Kopírovat záznam"}, {aCopyField, "Kopírovat"},
        {aLat, "CP 852 (Latin II)"}, {aKam, "CP 895 (Kamenickych)"}, {aWin, "CP 1250 (Windows)"},
        {aAuto, "Automaticky"},
        {aFindAll, "Hledat všude"}, {aFind, "Hledat ve sloupci"}, {aFilter, "Filtr"},
        {aStruct, "Struktura tabulky"}, {aDeleted, "Smazané záznamy"}, {aSum, "Součet sloupce"},
        {aColumns, "Výběr sloupců"}, {aShowMemo, "Zobraz/skryj MEMO"}, {aFont, "Písmo"},
        {aAssoc, "Registrovat pro .DBF"}, {aUnAssoc, "Odregistrovat pro .DBF"}, {aAbout, "O programu"},
        {aWWW, "Navštívit WWW stránku"}, {DataSetFirst, "Začátek"}, {DataSetPrior, "Předchozí"},
        {DataSetNext, "Další"}, {DataSetLast, "Konec"},
    };
    for (const auto& c : cases) {
        const QString text = act(c.id)->text();
        EXPECT_EQ(text.count(QLatin1Char('&')), 1) << actionName(c.id);
        EXPECT_EQ(QString(text).remove(QLatin1Char('&')), QString::fromUtf8(c.caption)) << actionName(c.id);
    }
    QStringList menus;
    for (QAction* menu : window->menuBar()->actions())
        menus << menu->text().remove(QLatin1Char('&'));
    EXPECT_EQ(menus, QStringList({QStringLiteral("Soubor"), QStringLiteral("Editovat"), QStringLiteral("Hledat"),
                                  QStringLiteral("Zobrazit"), QStringLiteral("Nástroje"),
                                  QStringLiteral("Nápověda")}));
}

TEST_F(MenuKeysTest, AltWithALetterAndF10OpenTheMenus)
{
    open(samplePath("CENIK.DBF"));
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const struct { Qt::Key key; Qt::KeyboardModifiers modifiers; const char* menu; } cases[] = {
        {Qt::Key_S, Qt::AltModifier, "Soubor"},   {Qt::Key_E, Qt::AltModifier, "Editovat"},
        {Qt::Key_H, Qt::AltModifier, "Hledat"},   {Qt::Key_Z, Qt::AltModifier, "Zobrazit"},
        {Qt::Key_N, Qt::AltModifier, "Nástroje"}, {Qt::Key_V, Qt::AltModifier, "Nápověda"},
        {Qt::Key_F10, Qt::NoModifier, "Soubor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        QTest::keyClick(window->grid(), c.key, c.modifiers);
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
        auto* opened = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->title().remove(QLatin1Char('&')), QString::fromUtf8(c.menu));
        opened->close();
        QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000);
    }
    // In an open menu the item's letter runs it: Alt+Z, then N, shows the
    // deleted records.
    ASSERT_FALSE(act(aDeleted)->isChecked());
    QTest::keyClick(window->grid(), Qt::Key_Z, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_N);
    EXPECT_TRUE(QTest::qWaitFor([&] { return act(aDeleted)->isChecked(); }, 2000));
    EXPECT_EQ(window->gridModel()->rowCount(), 340);
}

} // namespace
} // namespace karto
