#include "dbf/text/EngineGlobals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace karto {
namespace {

TEST(EngineGlobals, CzechWindowsDefaults)
{
    const EngineGlobals& g = engineGlobals();
    EXPECT_EQ(g.ansiCodePage(), 1250);
    EXPECT_EQ(g.oemCodePage(), 852);
    EXPECT_EQ(g.defaultOpenCodePage(), 1250);
    EXPECT_EQ(g.defaultCreateLangId(), 0xC8);
    EXPECT_EQ(g.defaultCreateCodePage(), 1250);
    EXPECT_TRUE(g.currencyAsBCD());
    EXPECT_LE(g.userNameLen(), 16);
    EXPECT_EQ(g.userNameLen(), int(g.userName().size()));
}

TEST(EngineGlobals, InstalledCodePagesAndTranslationModes)
{
    EngineGlobals g;
    for (int cp : {437, 850, 852, 867, 895, 1250, 1252, 866, 10029})
        EXPECT_TRUE(g.codePageInstalled(cp)) << cp;
    EXPECT_FALSE(g.codePageInstalled(620)); // Mazovia: no conversion known
    EXPECT_FALSE(g.codePageInstalled(0));
    struct Case { int codePage; TranslationMode mode; } cases[] = {
        {1250, tmNoneNeeded}, {852, tmSimple}, {895, tmAdvanced}, {437, tmAdvanced},
        {620, tmNoneAvailable}, {12345, tmNoneAvailable},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g.translationMode(c.codePage), c.mode) << c.codePage;
}

TEST(EngineGlobals, DefaultCreateCodePageFollowsTheLocale)
{
    EngineGlobals g;
    g.setDefaultCreateCodePage(852);
    EXPECT_EQ(g.defaultCreateLangId(), 0x1F);
    EXPECT_EQ(g.defaultCreateCodePage(), 852);
    g.setDefaultCreateLangId(0x68);
    EXPECT_EQ(g.defaultCreateCodePage(), 895);
    EngineGlobals western({1252, 850, 0x0809});
    EXPECT_EQ(western.defaultCreateLangId(), 0x58);
    EXPECT_EQ(western.translationMode(850), tmSimple);
}

TEST(EngineGlobals, OwnTranslation)
{
    const EngineGlobals& g = engineGlobals();
    uint8_t buf[8] = {0x9F, 'a', 0xAC, 0};
    // Latin 2 table: read into Windows 1250 and back.
    EXPECT_EQ(g.translate(852, tmSimple, buf, buf, sizeof buf, false), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "\xE8" "a\xC8");
    EXPECT_EQ(g.translate(852, tmSimple, buf, buf, sizeof buf, true), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "\x9F" "a\xAC");
    // Code page 0 and tmNoneNeeded: the ANSI code page and itself.
    EXPECT_EQ(g.translate(0, tmSimple, buf, buf, sizeof buf, false), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "\x9F" "a\xAC");
    EXPECT_EQ(g.translate(895, tmNoneNeeded, buf, buf, sizeof buf, false), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "\x9F" "a\xAC");
    // Kamenický into another buffer, cut to its capacity and terminated.
    uint8_t kam[] = {0x80, 0x87, 0xA8, 0};
    uint8_t out[3];
    EXPECT_EQ(g.translate(895, tmAdvanced, kam, out, sizeof out, false), 2);
    EXPECT_EQ(out[0], 0xC8);
    EXPECT_EQ(out[1], 0xE8);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(g.translate(895, tmAdvanced, nullptr, out, sizeof out, false), 0);
    EXPECT_EQ(g.translate(895, tmAdvanced, kam, out, 0, false), 0);
}

} // namespace
} // namespace karto
