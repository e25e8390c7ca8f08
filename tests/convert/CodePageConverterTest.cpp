#include "convert/CodePageConverter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CzechLetters.h"

namespace karto {
namespace {

using test::kCzechLetters;

std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// Reads a value as the dataset does: the hook in place on a NUL-terminated
// buffer.
std::string readThroughHook(CodePageConverter& c, const std::string& stored)
{
    std::vector<uint8_t> buf(stored.begin(), stored.end());
    buf.push_back(0);
    EXPECT_EQ(c.translate(buf.data(), buf.data(), false), -1);
    return std::string(reinterpret_cast<const char*>(buf.data()));
}

std::string writeThroughHook(CodePageConverter& c, const std::string& typed)
{
    std::vector<uint8_t> buf(typed.begin(), typed.end());
    buf.push_back(0);
    EXPECT_EQ(c.translate(buf.data(), buf.data(), true), -1);
    return std::string(reinterpret_cast<const char*>(buf.data()));
}

TEST(CodePageConverter, StartsWithEveryColumnFromWindows1250)
{
    CodePageConverter c;
    EXPECT_EQ(c.chosenCodePage(), cpWindows1250);
    // Key rows of the Windows 1250 -> Latin 2 and -> Kamenický columns.
    EXPECT_EQ(c.convertByte(0xE8, cpLatin2), 0x9F);     // č
    EXPECT_EQ(c.convertByte(0x8A, cpLatin2), 0xE6);     // Š
    EXPECT_EQ(c.convertByte(0xFF, cpLatin2), 0xFA);     // dot above
    EXPECT_EQ(c.convertByte(0xC8, cpKamenicky), 0x80);  // Č
    EXPECT_EQ(c.convertByte(0x9A, cpKamenicky), 0xA8);  // š
    EXPECT_EQ(c.convertByte(0xF9, cpKamenicky), 0x96);  // ů
    EXPECT_EQ(c.convertByte(0xE8, cpAscii), 'c');
    EXPECT_EQ(c.convertByte(0xD8, cpAscii), 'R');
    EXPECT_EQ(c.convertByte(0x9A, cpIso88592), 0xB9);   // š
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(c.convertByte(uint8_t(b), cpWindows1250), b);
    for (int t = 0; t < CodePageConverter::kColumns; ++t)
        for (int b = 0; b < 128; ++b)
            EXPECT_EQ(c.convertByte(uint8_t(b), t), b) << "column " << t;
    for (int b = 128; b < 256; ++b)
        EXPECT_LT(c.convertByte(uint8_t(b), cpAscii), 0x80);
}

TEST(CodePageConverter, Latin2ChangesOnlyColumn3)
{
    CodePageConverter fresh;
    CodePageConverter c;
    c.initConversionTable(cpLatin2);
    for (int b = 128; b < 256; ++b)
        for (int t : {0, 1, 2, 4})
            EXPECT_EQ(c.convertByte(uint8_t(b), t), fresh.convertByte(uint8_t(b), t));
    struct Row { int from, to; } rows[] = {
        {0x80, 0xC7}, {0x88, 0xB3}, {0x8D, 0x8F}, {0x9F, 0xE8}, {0xA4, 0xA5}, {0xA5, 0xB9},
        {0xAA, 0xAC}, {0xAD, 0xBA}, {0xB0, 0x20}, {0xC4, 0x97}, {0xDA, 0x20}, {0xDB, 0x20},
        {0xDC, 0x20}, {0xDF, 0x20}, {0xE8, 0xC0}, {0xF0, 0xAD}, {0xF2, 0xB2}, {0xF7, 0xB8},
        {0xF9, 0xA8}, {0xFA, 0xFF}, {0xFF, 0xA0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(c.convertByte(uint8_t(r.from), cpWindows1250), r.to) << std::hex << r.from;
}

TEST(CodePageConverter, KamenickyKeyRows)
{
    CodePageConverter c;
    c.initConversionTable(cpKamenicky);
    struct Row { int from, to; } rows[] = {
        {0x80, 0xC8}, {0xA8, 0x9A}, {0xAC, 0x6F}, {0xB0, 0x20}, {0xC4, 0x97}, {0xCD, 0x97},
        {0xE1, 0xDF}, {0xE6, 0xB5}, {0xF1, 0xB1}, {0xF6, 0xF7}, {0xF7, 0x7E}, {0xF8, 0xB0},
        {0xF9, 0xB7}, {0xFA, 0xB7}, {0xFD, 0x32}, {0xFE, 0x20}, {0xFF, 0xA0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(c.convertByte(uint8_t(r.from), cpWindows1250), r.to) << std::hex << r.from;
}

TEST(CodePageConverter, CzechLettersReadAsWindows1250)
{
    CodePageConverter c;
    for (int cp : {cpLatin2, cpKamenicky, cpWindows1250}) {
        c.chooseCodePage(cp);
        for (const auto& l : kCzechLetters) {
            const uint8_t stored = cp == cpLatin2 ? l.latin2 : cp == cpKamenicky ? l.kamenicky : l.win1250;
            EXPECT_EQ(c.convertByte(stored, cpWindows1250), l.win1250) << l.utf8 << " cp " << cp;
            EXPECT_EQ(readThroughHook(c, std::string(1, char(stored))), std::string(1, char(l.win1250)))
                << l.utf8 << " cp " << cp;
        }
    }
}

TEST(CodePageConverter, CzechLettersRoundTripInEveryCodePage)
{
    CodePageConverter c;
    for (int cp : {cpLatin2, cpKamenicky, cpWindows1250}) {
        c.chooseCodePage(cp);
        std::string stored;
        for (const auto& l : kCzechLetters)
            stored.push_back(char(cp == cpLatin2 ? l.latin2 : cp == cpKamenicky ? l.kamenicky : l.win1250));
        stored += " Prague 1";
        const std::string shown = readThroughHook(c, stored);
        std::string expectedShown;
        for (const auto& l : kCzechLetters)
            expectedShown.push_back(char(l.win1250));
        expectedShown += " Prague 1";
        EXPECT_EQ(shown, expectedShown) << "cp " << cp;
        EXPECT_EQ(writeThroughHook(c, shown), stored) << "cp " << cp;
    }
}

TEST(CodePageConverter, WritingUsesTheCharactersOwnByte)
{
    CodePageConverter c;
    c.chooseCodePage(cpLatin2);
    // Ő, Ű and × have bytes of their own in Latin 2.
    EXPECT_EQ(writeThroughHook(c, bytes({0xD5, 0xDB, 0xD7})), bytes({0x8A, 0xEB, 0x9E}));
    // A character Latin 2 lacks goes through column 0: the en dash.
    EXPECT_EQ(writeThroughHook(c, bytes({0x96})), bytes({0xC4}));
    c.chooseCodePage(cpKamenicky);
    // Ŕ, », degree sign.
    EXPECT_EQ(writeThroughHook(c, bytes({0xC0, 0xBB, 0xB0})), bytes({0xAB, 0xAF, 0xF8}));
}

TEST(CodePageConverter, EdgeCasesOfReading)
{
    CodePageConverter c;
    c.chooseCodePage(cpLatin2);
    EXPECT_EQ(readThroughHook(c, bytes({0x9F, 0x65, 0x73, 0x6B, 0x79})), bytes({0xE8, 0x65, 0x73, 0x6B, 0x79}));
    EXPECT_EQ(readThroughHook(c, bytes({0x88, 0xC9, 0xCD, 0xBB})), bytes({0xB3, ' ', ' ', ' '}));
    c.chooseCodePage(cpKamenicky);
    EXPECT_EQ(readThroughHook(c, bytes({0x80, 0xA8})), bytes({0xC8, 0x9A}));
    c.chooseCodePage(cpWindows1250);
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(char(b));
    EXPECT_EQ(readThroughHook(c, all), all);
    EXPECT_EQ(writeThroughHook(c, all), all);
    // Switching back and forth changes the shown text each time.
    const std::string stored = bytes({0xA8});
    c.chooseCodePage(cpLatin2);
    const std::string asLatin2 = readThroughHook(c, stored);
    c.chooseCodePage(cpKamenicky);
    const std::string asKamenicky = readThroughHook(c, stored);
    c.chooseCodePage(cpLatin2);
    EXPECT_EQ(asLatin2, bytes({0xCA}));
    EXPECT_EQ(asKamenicky, bytes({0x9A}));
    EXPECT_EQ(readThroughHook(c, stored), asLatin2);
}

TEST(CodePageConverter, ConvertTextStopsAtZeroAndKeepsLength)
{
    CodePageConverter c;
    c.initConversionTable(cpLatin2);
    uint8_t text[] = {0x9F, 'a', 0x00, 0x9F, 0xA0, 0x00};
    c.convertText(text, cpWindows1250);
    EXPECT_EQ(text[0], 0xE8);
    EXPECT_EQ(text[1], 'a');
    EXPECT_EQ(text[2], 0x00);
    EXPECT_EQ(text[3], 0x9F); // beyond the first zero: untouched
    EXPECT_EQ(text[4], 0xA0);
    // The target is taken modulo 128; an impossible target changes nothing.
    uint8_t again[] = {0x9F, 0};
    c.convertText(again, 128 + cpWindows1250);
    EXPECT_EQ(again[0], 0xE8);
    c.convertText(again, 7);
    c.convertText(again, -1);
    EXPECT_EQ(again[0], 0xE8);
    c.convertText(static_cast<uint8_t*>(nullptr), cpWindows1250);
    // The length-based form converts across zero bytes.
    std::string s = bytes({0x9F, 0x00, 0x9F});
    c.convertBytes(s, cpWindows1250);
    EXPECT_EQ(s, bytes({0xE8, 0x00, 0xE8}));
}

TEST(CodePageConverter, InitialisationSources)
{
    CodePageConverter c;
    c.initConversionTable(128 + cpLatin2); // modulo 128
    EXPECT_EQ(c.convertByte(0x9F, cpWindows1250), 0xE8);
    c.initConversionTable(cpIso88592);
    EXPECT_EQ(c.convertByte(0xB9, cpWindows1250), 0x9A); // š
    EXPECT_EQ(c.convertByte(0x85, cpWindows1250), 0x20); // C1 control
    c.initConversionTable(5);
    c.initConversionTable(-3);
    EXPECT_EQ(c.convertByte(0xB9, cpWindows1250), 0x9A);
    try {
        c.initConversionTable(cpAscii);
        FAIL() << "ASCII accepted";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "Nelze inicializovat se strankou ASCII");
    }
    EXPECT_EQ(c.convertByte(0xB9, cpWindows1250), 0x9A); // kept
    EXPECT_THROW(c.chooseCodePage(cpAscii), ConversionError);
    EXPECT_THROW(c.chooseCodePage(cpIso88592), ConversionError);
}

TEST(CodePageConverter, HookBuffers)
{
    CodePageConverter c;
    c.chooseCodePage(cpLatin2);
    uint8_t buf[] = {0x9F, 0};
    EXPECT_EQ(c.translate(nullptr, buf, false), 0);
    EXPECT_EQ(c.translate(buf, nullptr, false), 0);
    EXPECT_EQ(buf[0], 0x9F);
    uint8_t dst[4] = {1, 2, 3, 4};
    EXPECT_EQ(c.translate(buf, dst, false), -1);
    EXPECT_EQ(dst[0], 0xE8);
    EXPECT_EQ(dst[1], 0);
    uint8_t empty[] = {0};
    EXPECT_EQ(c.translate(empty, empty, true), -1);
    EXPECT_EQ(empty[0], 0);
    // The length-aware forms.
    uint8_t raw[] = {0x9F, 0, 0xAC};
    c.toWindows1250(raw, 3);
    EXPECT_EQ(raw[0], 0xE8);
    EXPECT_EQ(raw[2], 0xC8);
    c.fromWindows1250(raw, 3);
    EXPECT_EQ(raw[0], 0x9F);
    EXPECT_EQ(raw[2], 0xAC);
}

TEST(CodePageConverter, ChoiceBoxPositions)
{
    EXPECT_EQ(CodePageConverter::codePageForChoice(0), cpLatin2);
    EXPECT_EQ(CodePageConverter::codePageForChoice(1), cpKamenicky);
    EXPECT_EQ(CodePageConverter::codePageForChoice(2), cpWindows1250);
    EXPECT_EQ(CodePageConverter::codePageForChoice(3), -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(CodePageConverter::choiceForCodePage(CodePageConverter::codePageForChoice(i)), i);
    EXPECT_EQ(CodePageConverter::choiceForCodePage(cpAscii), -1);
}

} // namespace
} // namespace karto
