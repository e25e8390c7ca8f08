#include "app/RecentFiles.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "support/QtTestApp.h"

namespace karto {
namespace {

TEST(RecentFiles, NewestFirstWithoutCaseInsensitiveDuplicates)
{
    QStringList list;
    pushRecentFile(list, QStringLiteral("/t/A.DBF"));
    pushRecentFile(list, QStringLiteral("/t/B.DBF"));
    pushRecentFile(list, QStringLiteral("/t/a.dbf"));
    EXPECT_EQ(list, QStringList({QStringLiteral("/t/a.dbf"), QStringLiteral("/t/B.DBF")}));
}

TEST(RecentFiles, ListIsNotCut)
{
    QStringList list;
    for (int i = 0; i < 12; ++i)
        pushRecentFile(list, QStringLiteral("/t/%1.DBF").arg(i));
    EXPECT_EQ(list.size(), 12);
    EXPECT_EQ(list.front(), QStringLiteral("/t/11.DBF"));
}

TEST(RecentFiles, ShortensFolderByFolder)
{
    test::qtApp();
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/data/2019/x/CENIK.DBF");
    const struct { const char* fitting; const char* expected; } cases[] = {
        {"/data/2019/x/CENIK.DBF", "/data/2019/x/CENIK.DBF"},
        {"/.../2019/x/CENIK.DBF", "/.../2019/x/CENIK.DBF"},
        {"/.../x/CENIK.DBF", "/.../x/CENIK.DBF"},
        {"/.../CENIK.DBF", "/.../CENIK.DBF"},
        {".../CENIK.DBF", ".../CENIK.DBF"},
        {"CENIK", ".../CENIK.DBF"},   // the file name is never cut
    };
    for (const auto& c : cases) {
        const int width = metrics.horizontalAdvance(QString::fromLatin1(c.fitting));
        EXPECT_EQ(shortenPath(path, metrics, width), QString::fromLatin1(c.expected)) << c.fitting;
    }
}

TEST(RecentFiles, RelativePathAndCaption)
{
    test::qtApp();
    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(shortenPath(QStringLiteral("a/b/T.DBF"), metrics, 1), QStringLiteral(".../T.DBF"));
    EXPECT_EQ(shortenPath(QStringLiteral("T.DBF"), metrics, 1), QStringLiteral("T.DBF"));
    EXPECT_EQ(recentCaption(3, QStringLiteral("/a&b/T.DBF"), metrics), QStringLiteral("&3: /a&&b/T.DBF"));
}

} // namespace
} // namespace karto
