#include "app/FMemo.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "support/WindowFixture.h"

namespace karto {
namespace {

TEST(FMemo, PlacementAtTheMainWindowsCorner)
{
    const struct { QRect main; QSize viewer; bool maximised; QPoint expected; } cases[] = {
        {{100, 50, 800, 600}, {420, 303}, false, {900 - 210, 650 - 151}},
        {{0, 0, 1920, 1080}, {420, 303}, true, {1500, 777}},
        {{-10, -20, 101, 51}, {11, 7}, false, {91 - 5, 31 - 3}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(memoViewerPosition(c.main, c.viewer, c.maximised), c.expected);
}

class FMemoTest : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        memo = window->memoCommands();
        window->resize(700, 400);
        window->show();
        open(samplePath("CENIK.DBF"));
        memoColumn = window->gridModel()->columnOfField(window->dbf().findField("POPIS")->index());
    }
    bool enabled() { return WindowFixture::enabled(aShowMemo); }
    QString viewerText() const { return memo->viewer()->dbRichEdit()->toPlainText(); }
    QString memoOf(int row)
    {
        window->dbf().setRecNo(window->gridModel()->recordOfRow(row));
        return QString::fromStdString(window->dbf().findField("POPIS")->asString())
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }

    MemoCommands* memo = nullptr;
    int memoColumn = -1;
};

TEST_F(FMemoTest, FollowsTheGridAndClosesAgain)
{
    const QString first = memoOf(0);
    ASSERT_FALSE(first.isEmpty());
    moveTo(0, 0);
    EXPECT_FALSE(enabled());
    moveTo(0, memoColumn);
    ASSERT_TRUE(enabled());
    window->action(aShowMemo)->trigger();
    FMemo* viewer = memo->viewer();
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->isBound());
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Tabulon - zobrazení memo položky"));
    EXPECT_TRUE(viewer->dbRichEdit()->isReadOnly());
    EXPECT_EQ(viewer->dbRichEdit()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(viewer->dbRichEdit()->font().pointSize(), 10);
    EXPECT_EQ(viewerText(), first);
    ASSERT_EQ(viewer->popupMenu()->actions().size(), 2);
    EXPECT_EQ(viewer->popupMenu()->actions()[0]->text(), QStringLiteral("&Kopírovat"));
    EXPECT_EQ(viewer->popupMenu()->actions()[1]->text(), QStringLiteral("&Vybrat vše"));

    // Another record, in any column: its memo.
    for (int row : {1, 2, 0}) {
        const QString expected = memoOf(row);
        moveTo(row, 0);
        EXPECT_EQ(viewerText(), expected) << row;
    }

    // Ctrl+M again closes it (unbound); shown again it stays where it was.
    const QPoint place = viewer->pos();
    moveTo(0, memoColumn);
    window->action(aShowMemo)->trigger();
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->isBound());
    window->action(aShowMemo)->trigger();
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(memo->viewer(), viewer);
    EXPECT_EQ(viewer->pos(), place);

    // The close box unbinds and hides; opening a table closes it too.
    viewer->close();
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->isBound());
    window->action(aShowMemo)->trigger();
    EXPECT_TRUE(viewer->isBound());
    window->openTableReporting(window->dbf().tablePath().c_str());
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->isBound());
}

} // namespace
} // namespace karto
