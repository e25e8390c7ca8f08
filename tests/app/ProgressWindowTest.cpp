#include "app/ProgressWindow.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "support/QtTestApp.h"

namespace karto {
namespace {

TEST(ProgressWindow, ShowsTheWritersProgress)
{
    test::qtApp();
    QWidget owner;
    owner.show();
    ProgressWindow window(&owner);
    EXPECT_EQ(window.size(), QSize(238, 83));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    window.start();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), &window);

    window.workbookProgress(epnStart, 0, 1, "Export");
    EXPECT_EQ(window.labelText(), QStringLiteral("Export"));
    EXPECT_EQ(window.barMaximum(), 1);
    window.workbookProgress(epnWorksheet, 0, 1, "Data");
    EXPECT_EQ(window.labelText(), QStringLiteral("Worksheet 1/1: Data"));
    window.workbookProgress(epnRow, 5, 10, "5");
    EXPECT_EQ(window.labelText(), QStringLiteral("Worksheet 1/1: Data\nExported rows: 5"));
    EXPECT_EQ(window.barValue(), 5);
    EXPECT_EQ(window.barMaximum(), 10);
    window.workbookProgress(epnRow, 9, 10, "9");
    EXPECT_EQ(window.labelText(), QStringLiteral("Worksheet 1/1: Data\nExported rows: 9"));
    window.workbookProgress(epnCompress, 3, 4, "");
    EXPECT_EQ(window.labelText(), QStringLiteral("Compressing"));
    EXPECT_EQ(window.barValue(), 3);

    window.finish();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
} // namespace karto
