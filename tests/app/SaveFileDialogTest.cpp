// A name typed without an extension in the save dialog gets the extension of
// the filter the user has picked.

#include "ui/SaveFileDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/ExportCommands.h"
#include "support/QtTestApp.h"

namespace karto {
namespace {

TEST(SaveFileDialog, TheSuffixFollowsTheChosenFilter)
{
    test::qtApp();
    QTemporaryDir folder;
    const struct { const char* filter; QStringList suffixes; } cases[] = {
        // Per filter in the dialog's order; "every file" keeps the first one's.
        {spreadsheetFilter, {QStringLiteral("xlsx"), QStringLiteral("xls"), QStringLiteral("xlsx")}},
        {htmlFilter, {QStringLiteral("htm"), QStringLiteral("htm")}},
        {csvFilter, {QStringLiteral("csv"), QStringLiteral("csv")}},
        {txtFilter, {QStringLiteral("txt"), QStringLiteral("txt")}},
        {"Textové soubory (*.txt)|*.txt|Všechny soubory (*.*)|*.*", {QStringLiteral("txt"), QStringLiteral("txt")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        SaveFileDialog dialog(nullptr, QString::fromUtf8(c.filter), folder.path(), QStringLiteral("CENIK"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.defaultSuffix(), c.suffixes.constFirst());
        // The user steps through the dialog's list of filters with the
        // arrow keys, down to the last and back to the first.
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        ASSERT_EQ(types->count(), c.suffixes.size());
        ASSERT_EQ(types->currentIndex(), 0);
        for (int i = 1; i < c.suffixes.size(); ++i) {
            QTest::keyClick(types, Qt::Key_Down);
            ASSERT_EQ(types->currentIndex(), i);
            EXPECT_EQ(dialog.defaultSuffix(), c.suffixes.at(i)) << types->currentText().toStdString();
            // A bare name typed now is saved with that extension.
            dialog.selectFile(QStringLiteral("cenik"));
            EXPECT_EQ(dialog.selectedFiles().value(0), folder.filePath(QStringLiteral("cenik.") + c.suffixes.at(i)));
        }
        QTest::keyClick(types, Qt::Key_Home);
        ASSERT_EQ(types->currentIndex(), 0);
        EXPECT_EQ(dialog.defaultSuffix(), c.suffixes.constFirst());
    }
}

} // namespace
} // namespace karto
