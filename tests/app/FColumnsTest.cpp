#include "app/FColumns.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "dbf/table/TableDataset.h"
#include "support/QtTestApp.h"
#include "support/DbfBuilder.h"

namespace karto {
namespace {

std::vector<bool> checks(const char* pattern)
{
    std::vector<bool> out;
    for (const char* p = pattern; *p; ++p)
        out.push_back(*p == 'x');
    return out;
}

TEST(FColumns, LayoutAndButtons)
{
    test::qtApp();
    FColumns dialog({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, checks("x.x"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Výběr sloupců"));
    EXPECT_EQ(dialog.size(), QSize(264, 302));
    EXPECT_EQ(dialog.lbCols()->count(), 3);
    EXPECT_EQ(dialog.lbCols()->item(1)->text(), QStringLiteral("B"));
    EXPECT_TRUE(dialog.bOk()->isDefault());
    EXPECT_EQ(dialog.bAll()->text(), QStringLiteral("&Vše"));
    EXPECT_EQ(dialog.bInvert()->text(), QStringLiteral("&Opačně"));
    EXPECT_EQ(dialog.bCancel()->text(), QStringLiteral("&Storno"));
    EXPECT_EQ(dialog.checked(), checks("x.x"));
    dialog.bInvert()->click();
    EXPECT_EQ(dialog.checked(), checks(".x."));
    dialog.bAll()->click();
    EXPECT_EQ(dialog.checked(), checks("xxx"));
}

TEST(FColumns, ChosenColumns)
{
    const struct { const char* checks; std::vector<int> columns; } cases[] = {
        {"xxxx", {}}, {"....", {}}, {"x.x.", {0, 2}}, {"...x", {3}}, {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FColumns::chosenColumns(checks(c.checks)), c.columns) << c.checks;
}

TEST(FColumns, ChooseOverATable)
{
    test::qtApp();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.dbf"));
    ASSERT_TRUE(test::writeTable(path.toStdString(), {{"A", 'C', 2}, {"B", 'C', 2}, {"C", 'N', 3}}, {{{"x"}}}));
    TableDataset dbf;
    dbf.setTableName(path.toStdString());
    dbf.open();
    EXPECT_EQ(FColumns::defaultColumns(dbf), (std::vector<int>{0, 1, 2}));

    // The user unchecks B and presses OK; then, on a grid of A and C, Storno.
    std::vector<bool> shown;
    auto answer = [&shown](bool ok, int uncheck) {
        QTimer::singleShot(0, [&shown, ok, uncheck] {
            auto* dialog = qobject_cast<FColumns*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            shown = dialog->checked();
            if (uncheck >= 0)
                dialog->lbCols()->item(uncheck)->setCheckState(Qt::Unchecked);
            (ok ? dialog->bOk() : dialog->bCancel())->click();
        });
    };
    std::vector<int> result{9};
    answer(true, 1);
    EXPECT_TRUE(FColumns::choose(nullptr, dbf, {0, 1, 2}, result));
    EXPECT_EQ(shown, checks("xxx"));
    EXPECT_EQ(result, (std::vector<int>{0, 2}));
    answer(false, 0);
    EXPECT_FALSE(FColumns::choose(nullptr, dbf, {2, 0}, result));
    EXPECT_EQ(shown, checks("x.x"));
    EXPECT_EQ(result, (std::vector<int>{0, 2}));
    answer(true, -1);
    EXPECT_TRUE(FColumns::choose(nullptr, dbf, {0, 1, 2}, result));
    EXPECT_TRUE(result.empty());
}

} // namespace
} // namespace karto
