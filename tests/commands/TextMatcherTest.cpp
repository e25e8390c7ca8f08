#include "commands/TextMatcher.h"

#include <gtest/gtest.h>

#include <QString>

#include "commands/UpperCase.h"
#include "dbf/text/Windows1250.h"

namespace karto {
namespace {

struct MatchCase {
    const char* needle;
    const char* text;
    bool expected;
};

class TextMatcherCases : public ::testing::TestWithParam<MatchCase> {};

TEST_P(TextMatcherCases, UpperCasedSubstring)
{
    const MatchCase& c = GetParam();
    TextMatcher matcher(c.needle, qtUpperCase());
    EXPECT_EQ(matcher.matches(c.text), c.expected) << c.needle << " in " << c.text;
    // The Windows 1250 road gives the same answer where the text has a
    // Windows 1250 form.
    const std::string bytes = utf8ToWindows1250(c.text, '\x01');
    if (bytes.find('\x01') == std::string::npos) {
        EXPECT_EQ(matcher.matchesWindows1250(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  c.expected)
            << c.needle << " in " << c.text << " (Windows 1250)";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextMatcherCases,
    ::testing::Values(MatchCase{"nov", "NOVÁK", true}, MatchCase{"nov", "Novotná", true},
                      MatchCase{"NOV", "novotná", true}, MatchCase{"Č", "abčd", true},
                      MatchCase{"č", "ČERNÝ", true}, MatchCase{"ťoup", "ŤOUPALOVÁ", true},
                      MatchCase{"ů", "RŮŽIČKA", true}, MatchCase{"c", "ČERNÝ", false},
                      MatchCase{"e", "É", false}, MatchCase{"strasse", "Straße", true},
                      MatchCase{"ß", "STRASSE", true}, MatchCase{"praha", "Praha 4", true},
                      MatchCase{"", "cokoli", false}, MatchCase{"x", "", false},
                      MatchCase{"dlouhý text", "dlouhý", false}, MatchCase{"1.5", "21.50", true},
                      MatchCase{"\xff", "a\xff", true}));

TEST(TextMatcher, UpperNeedleAndEveryWindows1250Character)
{
    TextMatcher matcher("příliš žluťoučký", qtUpperCase());
    EXPECT_EQ(matcher.upperNeedle(), "PŘÍLIŠ ŽLUŤOUČKÝ");
    EXPECT_TRUE(TextMatcher("", qtUpperCase()).empty());

    // Each character of the code page matches its own upper-case form on
    // both roads.
    for (int b = 1; b < 256; ++b) {
        const uint8_t byte = static_cast<uint8_t>(b);
        const std::string text = windows1250ToUtf8(std::string_view(reinterpret_cast<const char*>(&byte), 1));
        const QString upper = QString::fromStdString(text).toUpper();
        TextMatcher m(upper.toStdString(), qtUpperCase());
        EXPECT_TRUE(m.matches(text)) << b;
        EXPECT_TRUE(m.matchesWindows1250(&byte, 1)) << b;
    }
}

} // namespace
} // namespace karto
