#include "app/FAbout.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "app/CommandLine.h"
#include "support/QtTestApp.h"
#include "Version.h"

namespace karto {
namespace {

// Receives the links the box hands to the system.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(FAbout, VersionTextAndLinks)
{
    test::qtApp();
    FAbout box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral(" O prohlížeči DBF tabulek"));
    const QString expected = QStringLiteral("%1.%2.%3   (%4)")
                                 .arg(KARTO_VERSION_MAJOR)
                                 .arg(KARTO_VERSION_MINOR)
                                 .arg(KARTO_VERSION_PATCH)
                                 .arg(KARTO_BUILD_NUMBER);
    EXPECT_EQ(box.lVersion()->text(), expected);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+   \\(\\d+\\)$")).match(expected).hasMatch());
    EXPECT_EQ(box.lEmail()->text(), QStringLiteral("karto-view@example.org"));
    EXPECT_EQ(box.lEmail()->toolTip(), QStringLiteral("Kliknutím vytvoříte e-mail"));
    EXPECT_EQ(box.lWww()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(box.bOk()->isDefault());
    EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::white));

    EXPECT_EQ(aboutMailLink(QStringLiteral("3.0.0   (535)")),
              QStringLiteral("mailto:karto-view@example.org?subject=Karto%20verze%203.0.0%20%20%20(535)"));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    QTest::mouseClick(box.lEmail(), Qt::LeftButton);
    QTest::mouseClick(box.lWww(), Qt::LeftButton);
    aWWWExecute();
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.urls.size(), 3);
    EXPECT_EQ(catcher.urls[0].toString(QUrl::FullyEncoded), aboutMailLink(programVersionText()));
    EXPECT_EQ(catcher.urls[1], makerCzechWebPage());
    EXPECT_EQ(catcher.urls[2], QUrl(QStringLiteral("https://karto-view.example.org")));
}

TEST(FAbout, EveryTextShowsWhole)
{
    test::qtApp();
    FAbout box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    ASSERT_GE(labels.size(), 10);
    for (const QLabel* label : labels) {
        if (label->text().isEmpty())
            continue;   // the icon
        SCOPED_TRACE(label->text().toStdString());
        const QRect inBox(label->mapTo(&box, QPoint(0, 0)), label->size());
        EXPECT_TRUE(box.rect().contains(inBox)) << inBox.right() << " " << inBox.bottom();
        if (label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        } else {
            const QSize needed = label->fontMetrics().size(0, label->text());
            EXPECT_GE(label->contentsRect().width(), needed.width());
            EXPECT_GE(label->contentsRect().height(), needed.height());
        }
    }
}

} // namespace
} // namespace karto

#include "FAboutTest.moc"
