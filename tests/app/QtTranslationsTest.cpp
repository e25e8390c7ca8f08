// Qt's own texts (standard dialogs, message box buttons) come out in Czech.

#include "app/QtTranslations.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "support/QtTestApp.h"

namespace karto {
namespace {

TEST(QtTranslations, StandardButtonsSpeakCzech)
{
    QApplication& app = test::qtApp();
    QMessageBox english;
    english.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    ASSERT_EQ(english.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel"));

    QTranslator* translator = installQtCzechTranslations(app);
    ASSERT_NE(translator, nullptr) << "Qt's Czech translations (qt6-translations-l10n) are not installed";
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Close);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    const QString cancel = box.button(QMessageBox::Cancel)->text();
    const QString save = buttons.button(QDialogButtonBox::Save)->text();
    const QString close = buttons.button(QDialogButtonBox::Close)->text();
    QCoreApplication::removeTranslator(translator);
    delete translator;

    EXPECT_EQ(yes, QStringLiteral("&Ano"));
    EXPECT_EQ(no, QStringLiteral("&Ne"));
    EXPECT_EQ(cancel, QStringLiteral("Zrušit"));
    EXPECT_EQ(save, QStringLiteral("Uložit"));
    EXPECT_EQ(close, QStringLiteral("Zavřít"));
}

} // namespace
} // namespace karto
