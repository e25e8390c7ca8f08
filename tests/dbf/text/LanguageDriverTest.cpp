#include "dbf/text/LanguageDriver.h"

#include <gtest/gtest.h>

#include "dbf/text/Collation.h"

namespace karto {
namespace {

TEST(LanguageDriver, CodePagesOfIds)
{
    struct Case { int id, codePage; uint32_t locale; } cases[] = {
        {0x00, 0, kLocaleNone}, {0x01, 437, 0x0409}, {0x03, 1252, 0x0809}, {0x1F, 852, 0x0405},
        {0x20, 867, 0x0405}, {0x57, 1252, 0x0000}, {0x64, 852, 0x0405}, {0x68, 895, 0x0405},
        {0x7A, 936, 0x21004}, {0x87, 852, 0x041B}, {0x97, 10029, 0x0405}, {0x9B, 1250, 0x0405},
        {0xC8, 1250, 0x0405}, {0xCB, 1253, 0x0408},
        {0x05, 0, 0}, {0xFF, 0, 0}, {-1, 0, 0}, {256, 0, 0}, // not defined
    };
    for (const Case& c : cases) {
        EXPECT_EQ(languageDriverToCodePage(c.id), c.codePage) << std::hex << c.id;
        EXPECT_EQ(languageDriverLocale(c.id), c.locale) << std::hex << c.id;
    }
    EXPECT_EQ(languageDriverNamePart(0x1F), "CZ0");
    EXPECT_EQ(languageDriverNamePart(0x5E), "DE");
    EXPECT_EQ(languageDriverNamePart(0x9B), "");
    EXPECT_EQ(languageDriverNamePart(0x00), "");
}

TEST(LanguageDriver, Families)
{
    EXPECT_EQ(languageDriverFamily(0), DriverFamily::dBase);
    for (int id : {1, 4, 94, 0x68, 255})
        EXPECT_EQ(languageDriverFamily(id), DriverFamily::FoxPro) << id;
    for (int id : {5, 0x1F, 93})
        EXPECT_EQ(languageDriverFamily(id), DriverFamily::dBase) << id;
}

TEST(LanguageDriver, IdForCodePageAndLocale)
{
    struct Case { int codePage; uint32_t locale; bool fox; int id; } cases[] = {
        {1250, kLocaleCzech, false, 0xC8},  // only FoxPro ids match: the last one
        {852, kLocaleCzech, false, 0x1F},   // dBase preferred
        {852, kLocaleCzech, true, 0x64},    // FoxPro preferred
        {895, kLocaleCzech, false, 0x68},
        {867, kLocaleCzech, true, 0x20},    // FoxPro preferred but none: dBase
        {1252, 0x0809, false, 0x58},
        {1252, 0x0409, false, 0x37},        // no such pair: any code page, last dBase
        {1252, 0x0409, true, 0x01},
        {0, kLocaleCzech, false, 0x20},     // any code page
        {1250, 0x12345, false, 0},          // nothing matches
    };
    for (const Case& c : cases)
        EXPECT_EQ(codePageToLanguageDriver(c.codePage, c.locale, c.fox), c.id)
            << c.codePage << " " << std::hex << c.locale;
}

TEST(LanguageDriver, IdForDbase7Name)
{
    struct Case { const char* name; int id; } cases[] = {
        {"DBWINUS0", 0x57}, {"DB852CZ0", 0x1F}, {"DB867CZ0", 0x20}, {"DBWINWE0", 0x58},
        {"DB437DE0", 0x0F}, {"DB850DE0", 0x10}, {"DB852PO0", 0x23}, {"FOXDE437", 0x5E},
        {"FOXNOWIN", 0x62}, {"FOXNO850", 0x60},
        // FoxPro names take a two-character name part, which the Czech FoxPro
        // drivers (name part "CZ0") never match.
        {"FOXCZ895", 0}, {"FOXCZWIN", 0},
        // Names that mean nothing give 0, also without a name part.
        {"XYZ", 0}, {"", 0}, {"DB", 0}, {"DBabcdef", 0}, {"DB852", 0}, {"DBXXXCZ0", 0x20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(languageDriverNameToId(c.name), c.id) << c.name;
}

TEST(LanguageDriver, NameForCodePageAndLocale)
{
    EXPECT_EQ(languageDriverName(852, kLocaleCzech), "DB852CZ0");
    EXPECT_EQ(languageDriverName(852, kLocaleCzech, true), "FOXCZ0852");
    EXPECT_EQ(languageDriverName(1252, 0x0809), "DBWINWE0");
    EXPECT_EQ(languageDriverName(868, 0x0402), "BGDB868");
    EXPECT_EQ(languageDriverName(1250, kLocaleCzech), "DB1250CZ0");
    EXPECT_EQ(languageDriverName(1250, 0x12345), ""); // id 0: no name part
    // Every dBase name the catalogue builds for its own code page and locale
    // leads back to an id of that code page.
    for (int id = 5; id <= 93; ++id) {
        const int cp = languageDriverToCodePage(id);
        if (cp == 0 || cp == 1252 || languageDriverNamePart(id).empty())
            continue;
        const std::string name = languageDriverName(cp, languageDriverLocale(id));
        EXPECT_EQ(languageDriverToCodePage(languageDriverNameToId(name)), cp) << name;
    }
}

TEST(Collation, CzechWeights)
{
    const uint8_t* db852 = collationWeights(0x1F);
    ASSERT_NE(db852, nullptr);
    EXPECT_EQ(db852[uint8_t('A')], 0x03);
    EXPECT_EQ(db852[uint8_t('a')], 0x02);
    EXPECT_EQ(db852[0x9F], 0x16); // č sorts after c (0x10) and before d (0x18)
    EXPECT_GT(db852[0x9F], db852[uint8_t('c')]);
    EXPECT_LT(db852[0x9F], db852[uint8_t('d')]);
    const uint8_t* fox895 = collationWeights(0x68);
    ASSERT_NE(fox895, nullptr);
    EXPECT_EQ(fox895[uint8_t('a')], fox895[uint8_t('A')]);
    EXPECT_EQ(fox895[0x87], fox895[0x80]); // č and Č
    const uint8_t* foxWin = collationWeights(0x9B);
    ASSERT_NE(foxWin, nullptr);
    EXPECT_EQ(foxWin[0xE8], foxWin[0xC8]); // č and Č in Windows 1250
    ASSERT_NE(collationWeights(0x20), nullptr);
    EXPECT_EQ(collationWeights(0x20)[0xFF], 0xE0);
}

TEST(Collation, NamesAndBinaryIds)
{
    EXPECT_EQ(collationName(0x1F), "DB852CZ0");
    EXPECT_EQ(collationName(0x68), "FOXCZ895");
    EXPECT_EQ(collationName(0x87), "db852sl0");
    EXPECT_EQ(collationName(0xC8), "");
    EXPECT_EQ(collationName(-1), "");
    EXPECT_EQ(collationIdForName("FOXCZWIN"), 0x9B);
    EXPECT_EQ(collationIdForName("db852hdc"), 0x22);
    EXPECT_EQ(collationIdForName("nothing"), -1);
    EXPECT_EQ(collationIdForName(""), -1);
    for (int id : {0x57, 0x13, 0xC8, 0x00, 300, -5})
        EXPECT_EQ(collationWeights(id), nullptr) << id;
}

} // namespace
} // namespace karto
