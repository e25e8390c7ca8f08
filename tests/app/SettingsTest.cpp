#include "app/Settings.h"

#include <gtest/gtest.h>

#include <memory>

#include <QSettings>
#include <QTemporaryDir>

#include "support/QtTestApp.h"

namespace karto {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
    std::unique_ptr<QSettings> store() const
    {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("KartoView.conf")), QSettings::IniFormat);
    }
    QTemporaryDir dir;
};

TEST_F(SettingsTest, MissingKeyReadsNothing)
{
    auto s = store();
    const MainSettings read = readMainSettings(*s);
    EXPECT_FALSE(read.keyExists);
    EXPECT_EQ(read.cp, automaticCodePageChoice) << "a new installation";
    EXPECT_TRUE(read.recentFiles.isEmpty());
}

TEST_F(SettingsTest, RoundTrip)
{
    MainSettings written;
    written.keyExists = true;
    written.maximized = true;
    written.top = 12;
    written.left = 34;
    written.height = 456;
    written.width = 789;
    written.fontName = QStringLiteral("DejaVu Sans Mono");
    written.fontSize = 11;
    written.fontCharset = 238;
    written.lastDir = QStringLiteral("/data/ceník/");
    written.cp = 2;
    for (int i = 0; i < 11; ++i)
        written.recentFiles << QStringLiteral("/data/T%1.DBF").arg(i);
    {
        auto s = store();
        writeMainSettings(*s, written);
    }
    auto s = store();
    const MainSettings read = readMainSettings(*s);
    EXPECT_TRUE(read.keyExists);
    EXPECT_EQ(read.maximized, written.maximized);
    EXPECT_EQ(read.top, written.top);
    EXPECT_EQ(read.left, written.left);
    EXPECT_EQ(read.height, written.height);
    EXPECT_EQ(read.width, written.width);
    EXPECT_EQ(read.fontName, written.fontName);
    EXPECT_EQ(read.fontSize, written.fontSize);
    EXPECT_EQ(read.fontCharset, 238);
    EXPECT_EQ(read.lastDir, written.lastDir);
    EXPECT_EQ(read.cp, 2);
    EXPECT_EQ(read.recentFiles, written.recentFiles.mid(0, 10));
    EXPECT_EQ(s->value(QStringLiteral("Recent/9")).toString(), QStringLiteral("/data/T9.DBF"));
    EXPECT_FALSE(s->contains(QStringLiteral("Recent/10")));
}

TEST_F(SettingsTest, RecentValuesBeyondTheListStay)
{
    {
        auto s = store();
        s->setValue(QStringLiteral("Recent/0"), QStringLiteral("/old0.DBF"));
        s->setValue(QStringLiteral("Recent/1"), QStringLiteral("/old1.DBF"));
        MainSettings one;
        one.recentFiles << QStringLiteral("/new.DBF");
        writeMainSettings(*s, one);
    }
    auto s = store();
    EXPECT_EQ(readMainSettings(*s).recentFiles,
              QStringList({QStringLiteral("/new.DBF"), QStringLiteral("/old1.DBF")}));
}

// A damaged settings file must not stop the start: what cannot be read takes
// its default, the rest is read.
TEST_F(SettingsTest, DamagedValuesTakeTheirDefaults)
{
    {
        auto s = store();
        s->setValue(QStringLiteral("Top"), QStringLiteral("abc"));
        s->setValue(QStringLiteral("Width"), QStringLiteral("640"));
        s->setValue(QStringLiteral("FontSize"), QStringList({QStringLiteral("x"), QStringLiteral("y")}));
        s->setValue(QStringLiteral("CP"), QStringLiteral("Kamenický"));
        s->setValue(QStringLiteral("LastDir"), QStringLiteral("/data/"));
        s->setValue(QStringLiteral("Recent/0"), QString());
        s->setValue(QStringLiteral("Recent/2"), QStringLiteral("/T.DBF"));
    }
    auto s = store();
    const MainSettings read = readMainSettings(*s);
    EXPECT_TRUE(read.keyExists);
    EXPECT_FALSE(read.top.has_value());
    EXPECT_FALSE(read.left.has_value());
    EXPECT_EQ(read.width, 640);
    EXPECT_FALSE(read.fontSize.has_value());
    EXPECT_FALSE(read.maximized.has_value());
    EXPECT_EQ(read.cp, 0);
    EXPECT_EQ(read.lastDir, QStringLiteral("/data/"));
    EXPECT_EQ(read.recentFiles, QStringList({QStringLiteral("/T.DBF")}));
}

// The code page choice alone, as the command line reads it: the stored
// number as it is, 0 when missing or not a number, "Automaticky" when
// nothing at all is stored (a new installation); nothing is written.
TEST_F(SettingsTest, CodePageChoiceAlone)
{
    const struct {
        QVariant stored;   // invalid: no value
        bool otherValues;  // the settings hold other values
        int choice;
    } cases[] = {
        {QVariant(), false, automaticCodePageChoice}, {QVariant(), true, 0}, {QVariant(2), false, 2},
        {QVariant(3), true, 3}, {QVariant(7), false, 7}, {QVariant(QStringLiteral("1")), false, 1},
        {QVariant(QStringLiteral("Kamenický")), false, 0},
    };
    for (const auto& c : cases) {
        {
            auto s = store();
            s->clear();
            if (c.stored.isValid())
                s->setValue(QStringLiteral("CP"), c.stored);
            if (c.otherValues)
                s->setValue(QStringLiteral("Top"), 10);
        }
        auto s = store();
        const QStringList before = s->allKeys();
        EXPECT_EQ(readCodePageChoice(*s), c.choice) << c.stored.toString().toStdString();
        EXPECT_EQ(s->allKeys(), before);
    }
}

} // namespace
} // namespace karto
