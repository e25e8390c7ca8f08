#include "dbf/text/Windows1250.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "support/CzechLetters.h"

namespace karto {
namespace {

using test::kCzechLetters;

TEST(Windows1250, CzechLettersBothWays)
{
    std::string all1250, allUtf8;
    for (const auto& l : kCzechLetters) {
        EXPECT_EQ(windows1250ToUnicode(l.win1250), l.unicode) << l.utf8;
        uint8_t b = 0;
        ASSERT_TRUE(unicodeToWindows1250(l.unicode, b)) << l.utf8;
        EXPECT_EQ(b, l.win1250) << l.utf8;
        EXPECT_EQ(windows1250ToUtf8(std::string(1, char(l.win1250))), l.utf8);
        EXPECT_EQ(utf8ToWindows1250(l.utf8), std::string(1, char(l.win1250)));
        all1250.push_back(char(l.win1250));
        allUtf8 += l.utf8;
    }
    EXPECT_EQ(windows1250ToUtf8(all1250), allUtf8);
    EXPECT_EQ(utf8ToWindows1250(allUtf8), all1250);
    EXPECT_EQ(windows1250ToUtf8("P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2"),
              "Příliš žluťoučký kůň");
}

// The C library's iconv reads Windows 1250 independently of our table.
TEST(Windows1250, AgreesWithIconvForEveryDefinedByte)
{
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "no CP1250 in iconv";
    int compared = 0;
    for (int b = 1; b < 256; ++b) {
        char in = static_cast<char>(b);
        char out[8] = {};
        char* inp = &in;
        char* outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1))
            continue; // undefined in Windows 1250
        EXPECT_EQ(windows1250ToUtf8(std::string(1, in)), std::string(out, sizeof out - outLeft)) << b;
        ++compared;
    }
    iconv_close(cd);
    EXPECT_EQ(compared, 250);
}

TEST(Windows1250, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    const std::string utf8 = windows1250ToUtf8(all);
    EXPECT_EQ(utf8ToWindows1250(utf8), all);
    EXPECT_EQ(windows1250ToUnicode(0x81), char32_t(0x81)); // undefined: C1 control
}

TEST(Windows1250, AppendsWithoutGrowingWhenCapacitySuffices)
{
    std::string out = "x";
    out.reserve(64);
    const char* before = out.data();
    appendWindows1250AsUtf8(out, std::string_view("\x8A" "ab\x80"));
    appendWindows1250AsUtf8(out, "plain", 5);
    appendWindows1250AsUtf8(out, "", 0);
    EXPECT_EQ(out.data(), before);
    EXPECT_EQ(out, "xŠab€plain");
    std::string zero = windows1250ToUtf8(std::string_view("a\0b", 3));
    EXPECT_EQ(zero, std::string("a\0b", 3));
}

TEST(Windows1250, Utf8ThatDoesNotFit)
{
    struct Case {
        const char* utf8;
        const char* expected;
    } cases[] = {
        {"日本", "??"},                    // not in the code page
        {"a\xC3", "a?"},                   // truncated sequence
        {"\xC0\xAF", "??"},                // overlong
        {"\xED\xA0\x80", "???"},           // surrogate
        {"\xF0\x9F\x98\x80!", "?!"},       // outside the basic plane
        {"\x80x", "?x"},                   // stray continuation byte
        {"–—€", "\x96\x97\x80"},           // punctuation the code page has
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8ToWindows1250(c.utf8), c.expected) << c.utf8;
    EXPECT_EQ(utf8ToWindows1250("日", '_'), "_");
    uint8_t b = 0;
    EXPECT_FALSE(unicodeToWindows1250(0x00E0, b)); // à
    EXPECT_FALSE(unicodeToWindows1250(0x110000, b));
}

} // namespace
} // namespace karto
