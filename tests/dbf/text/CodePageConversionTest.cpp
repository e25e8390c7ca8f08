#include "dbf/text/CodePageConversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CzechLetters.h"

namespace karto {
namespace {

using test::kCzechLetters;

std::string convert(int from, int to, const std::string& text, std::size_t capacity = 64)
{
    std::vector<uint8_t> out(capacity);
    const int n = convertCodePage(from, to, reinterpret_cast<const uint8_t*>(text.data()),
                                  static_cast<int>(text.size()), out.data(), out.size());
    return std::string(reinterpret_cast<const char*>(out.data()), n);
}

TEST(CodePageConversion, CzechLettersBetweenTheThreeCodePages)
{
    std::string latin2, kamenicky, win1250;
    for (const auto& l : kCzechLetters) {
        latin2.push_back(char(l.latin2));
        kamenicky.push_back(char(l.kamenicky));
        win1250.push_back(char(l.win1250));
    }
    const std::pair<int, const std::string*> pages[] = {
        {852, &latin2}, {895, &kamenicky}, {867, &kamenicky}, {1250, &win1250}};
    for (const auto& [from, fromText] : pages)
        for (const auto& [to, toText] : pages)
            EXPECT_EQ(convert(from, to, *fromText), *toText) << from << " -> " << to;
}

TEST(CodePageConversion, InPlaceAndUpToTheZeroByte)
{
    uint8_t text[] = {0x9F, 'x', 0xA0, 0, 0x9F};
    EXPECT_EQ(convertCodePage(852, 1250, text, -1, text, sizeof text), 3);
    EXPECT_EQ(text[0], 0xE8);
    EXPECT_EQ(text[2], 0xE1);
    EXPECT_EQ(text[4], 0x9F); // beyond the zero byte
    // Equal code pages copy; in place nothing changes.
    EXPECT_EQ(convertCodePage(852, 852, text, 2, text, sizeof text), 2);
    EXPECT_EQ(convert(852, 852, "\x9F\xA0"), "\x9F\xA0");
    EXPECT_EQ(convertCodePage(852, 1250, nullptr, 1, text, sizeof text), 0);
}

TEST(CodePageConversion, MissingCharactersAndUnknownCodePages)
{
    EXPECT_EQ(convert(852, 1252, "\x9F" "a"), "?a");       // č is not in Western European
    EXPECT_EQ(convert(1250, 852, "\x81"), "?");             // undefined in Windows 1250
    EXPECT_EQ(convert(895, 1250, "\xC9"), "?");             // box drawing
    EXPECT_EQ(convert(620, 1250, "\x86\x9F"), "\x86\x9F");  // unknown: plain copy
    EXPECT_FALSE(canConvertCodePage(620));
    EXPECT_FALSE(canConvertCodePage(0));
    EXPECT_FALSE(canConvertCodePage(-852));
    EXPECT_TRUE(canConvertCodePage(895));
    EXPECT_TRUE(canConvertCodePage(10029));
}

TEST(CodePageConversion, CapacityAndLongTexts)
{
    EXPECT_EQ(convert(852, 1250, "\x9F\x9F\x9F", 2), "\xE8\xE8");
    const std::string longText(5000, '\x9F');
    EXPECT_EQ(convert(852, 1250, longText, 6000), std::string(5000, '\xE8'));
}

TEST(CodePageConversion, DoubleByteCodePages)
{
    if (!canConvertCodePage(932))
        GTEST_SKIP() << "no code page 932";
    // Shift-JIS "日本" has no Windows 1250 form.
    EXPECT_EQ(convert(932, 1250, "ab\x93\xFA\x96\x7B"), "ab??");
    // § is two bytes in Shift-JIS: never written in part.
    EXPECT_EQ(convert(1250, 932, "\xA7"), "\x81\x98");
    EXPECT_EQ(convert(1250, 932, "a\xA7", 2), "a");
    // A truncated double-byte sequence.
    EXPECT_EQ(convert(932, 1250, "a\x93"), "a?");
    const std::string longText(3000, 'z');
    EXPECT_EQ(convert(932, 852, longText, 4000), longText);
}

} // namespace
} // namespace karto
