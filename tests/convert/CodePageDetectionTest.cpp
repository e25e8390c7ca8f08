// Telling a table's code page: the language driver, the text score, the
// decision between them, and whole tables (built here, the samples, and the
// Czech tables of the corpus of real third-party tables).

#include "convert/CodePageDetection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbf/table/TableDataset.h"
#include "support/CorpusExpected.h"
#include "support/CzechLetters.h"
#include "support/DbfBuilder.h"

namespace karto {
namespace {

using test::kCzechLetters;

// Czech text (UTF-8) as a table in the code page stores it; ASCII stays.
std::string encode(const std::string& utf8, int codePage)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(utf8[i++]);
            continue;
        }
        const std::size_t length = lead >= 0xE0 ? 3 : 2;
        const std::string ch = utf8.substr(i, length);
        i += length;
        bool found = false;
        for (const test::CzechLetter& l : kCzechLetters) {
            if (ch == l.utf8) {
                out.push_back(static_cast<char>(codePage == cpLatin2    ? l.latin2
                                                : codePage == cpKamenicky ? l.kamenicky
                                                                          : l.win1250));
                found = true;
            }
        }
        EXPECT_TRUE(found) << ch;
    }
    return out;
}

const char* const kSentence = "Příliš žluťoučký kůň úpěl ďábelské ódy";
const char* const kAddress = "ŘEDITELSTVÍ SILNIC, ČESKÉ BUDĚJOVICE, Nádražní 12";

const char* nameOf(int codePage)
{
    switch (codePage) {
    case cpLatin2: return "Latin 2";
    case cpKamenicky: return "Kamenický";
    case cpWindows1250: return "Windows 1250";
    default: return "none";
    }
}

const char* nameOf(CodePageSource source)
{
    switch (source) {
    case CodePageSource::LanguageDriver: return "language driver";
    case CodePageSource::Text: return "text";
    default: return "default";
    }
}

TEST(CodePageDetection, LanguageDriverIds)
{
    const std::pair<int, int> cases[] = {
        {0x1F, cpLatin2},  {0x64, cpLatin2},      {0x87, cpLatin2},      {0x22, cpLatin2},
        {0x68, cpKamenicky}, {0x20, cpKamenicky}, {0xC8, cpWindows1250}, {0x9B, cpWindows1250},
        {0x00, -1},        {0x03, -1},            {0x1B, -1},            {0x57, -1},
        {0x97, -1},        {0xC9, -1},            {300, -1},
    };
    for (const auto& [id, want] : cases)
        EXPECT_EQ(codePageOfLanguageDriver(id), want) << "id " << id;
}

TEST(CodePageDetection, LanguageDriverNames)
{
    const std::pair<const char*, int> cases[] = {
        {"DB852CZ0", cpLatin2},       {"db852sl0", cpLatin2},    {"DB852HDC", cpLatin2},
        {"FOXCZ0852", cpLatin2},      {"FOXCZ895", cpKamenicky}, {"DB867CZ0", cpKamenicky},
        {"FOXCZWIN", cpWindows1250},  {"foxczwin", cpWindows1250}, {"FOXCZ01250", cpWindows1250},
        {"DBWINUS0", -1},             {"DB437US0", -1},          {"FOXDE437", -1},
        {"DB0", -1},                  {"", -1},                  {"FOXNOWIN", -1},
    };
    for (const auto& [name, want] : cases)
        EXPECT_EQ(codePageOfLanguageDriverName(name), want) << name;
}

// The text in each code page, with and without a language driver that agrees
// or lies; text that tells nothing leaves it to the driver, then Latin 2.
TEST(CodePageDetection, DecisionTable)
{
    const std::string sentence = kSentence;
    const std::string address = kAddress;
    // é á í ó ú only: the same bytes in Latin 2 and Kamenický, not Czech
    // letters in Windows 1250.
    const std::string acutes = "Tábor, Písek, Jílové, Ústí, Bóly";
    struct Case {
        const char* what;
        std::string text;
        int textCodePage;   // the code page the text is written in
        int languageCodePage;
        int want;
        CodePageSource source;
    };
    const Case cases[] = {
        {"Latin 2, no driver", sentence, cpLatin2, -1, cpLatin2, CodePageSource::Text},
        {"Kamenický, no driver", sentence, cpKamenicky, -1, cpKamenicky, CodePageSource::Text},
        {"Windows 1250, no driver", sentence, cpWindows1250, -1, cpWindows1250, CodePageSource::Text},
        {"upper-case Kamenický, no driver", address, cpKamenicky, -1, cpKamenicky, CodePageSource::Text},
        {"upper-case Windows 1250, no driver", address, cpWindows1250, -1, cpWindows1250,
         CodePageSource::Text},
        {"Latin 2 under its driver", sentence, cpLatin2, cpLatin2, cpLatin2, CodePageSource::LanguageDriver},
        {"a Latin 2 driver over Kamenický text", sentence, cpKamenicky, cpLatin2, cpKamenicky,
         CodePageSource::Text},
        {"a Latin 2 driver over Windows 1250 text", address, cpWindows1250, cpLatin2, cpWindows1250,
         CodePageSource::Text},
        {"a Kamenický driver over Latin 2 text", sentence, cpLatin2, cpKamenicky, cpLatin2,
         CodePageSource::Text},
        {"a Windows 1250 driver over Kamenický text", sentence, cpKamenicky, cpWindows1250, cpKamenicky,
         CodePageSource::Text},
        {"pure ASCII, no driver", "Praha 4, Na Pankraci 12", cpLatin2, -1, cpLatin2, CodePageSource::Default},
        {"pure ASCII under Kamenický", "Praha 4", cpLatin2, cpKamenicky, cpKamenicky,
         CodePageSource::LanguageDriver},
        {"pure ASCII under Windows 1250", "Praha 4", cpLatin2, cpWindows1250, cpWindows1250,
         CodePageSource::LanguageDriver},
        {"nothing at all, no driver", "", cpLatin2, -1, cpLatin2, CodePageSource::Default},
        {"acute accents only, no driver", acutes, cpKamenicky, -1, cpLatin2, CodePageSource::Default},
        {"acute accents only under Kamenický", acutes, cpLatin2, cpKamenicky, cpKamenicky,
         CodePageSource::LanguageDriver},
        {"acute accents only under Windows 1250", acutes, cpLatin2, cpWindows1250, cpLatin2,
         CodePageSource::Text},
        // One letter that reads as Czech in both is no reason to doubt the driver.
        {"one shared letter under Windows 1250", "Vltava", cpLatin2, cpWindows1250, cpWindows1250,
         CodePageSource::LanguageDriver},
        {"one telling word against the driver", "Černá", cpKamenicky, cpLatin2, cpKamenicky,
         CodePageSource::Text},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CodePageTextScore score;
        score.add(encode(c.text, c.textCodePage));
        const DetectedCodePage found = decideCodePage(c.languageCodePage, score);
        EXPECT_STREQ(nameOf(found.codePage), nameOf(c.want))
            << "scores: Latin 2 " << score.score(cpLatin2) << ", Kamenický " << score.score(cpKamenicky)
            << ", Windows 1250 " << score.score(cpWindows1250);
        EXPECT_STREQ(nameOf(found.source), nameOf(c.source));
    }
}

// Bytes below 0x80 count nothing; each upper byte counts as its weight in
// the code page it is read in.
TEST(CodePageDetection, ScoreAddsTheWeightOfEveryUpperByte)
{
    CodePageTextScore score;
    EXPECT_EQ(score.score(cpLatin2), 0);
    score.add("plain ASCII text 123");
    EXPECT_EQ(score.upperBytes(), 0);
    EXPECT_EQ(score.score(cpKamenicky), 0);
    // 0xE8: č in Windows 1250 (+3), Ŕ in Latin 2 (+1), a Greek letter in
    // Kamenický (-3).
    score.add("\xe8\xe8");
    EXPECT_EQ(score.upperBytes(), 2);
    EXPECT_EQ(score.score(cpWindows1250), 6);
    EXPECT_EQ(score.score(cpLatin2), 2);
    EXPECT_EQ(score.score(cpKamenicky), -6);
    EXPECT_EQ(score.score(cpIso88592), 0);
}

// --- whole tables ------------------------------------------------------------------

DetectedCodePage detectFile(const std::string& path)
{
    TableDataset ds;
    ds.setTableName(path);
    ds.open();
    return detectCodePage(ds);
}

TEST(CodePageDetection, TableWithoutDriverSampleAndMemo)
{
    test::TempDir dir;
    // Kamenický text under a Latin 2 driver: the text says otherwise.
    test::DbfSpec spec;
    spec.languageId = 0x64;
    spec.fields = {{"NAZEV", 'C', 40}};
    spec.records = {" " + encode(kSentence, cpKamenicky), " " + encode(kAddress, cpKamenicky)};
    DetectedCodePage found = detectFile(dir.write("LIES.DBF", test::buildDbf(spec)));
    EXPECT_EQ(found.codePage, cpKamenicky);
    EXPECT_EQ(found.source, CodePageSource::Text);

    // Only the first kSampleRecords records are read: Windows 1250 text after
    // them is not seen.
    spec.languageId = 0;
    spec.records.assign(kSampleRecords, " ASCII only");
    spec.records.push_back(" " + encode(kSentence, cpWindows1250));
    found = detectFile(dir.write("LONG.DBF", test::buildDbf(spec)));
    EXPECT_EQ(found.codePage, cpLatin2);
    EXPECT_EQ(found.source, CodePageSource::Default);

    // Memo text counts: ASCII fields, a Kamenický memo (dBase III, block 1).
    spec.version = 0x83;
    spec.fields = {{"KOD", 'C', 4}, {"POZNAMKA", 'M', 10}};
    spec.records = {std::string(" A1  ") + "         1"};
    std::vector<uint8_t> memo(512, 0);
    memo[0] = 2;   // next free block
    const std::string text = encode(std::string(kSentence) + ". " + kAddress, cpKamenicky) + "\x1a\x1a";
    memo.insert(memo.end(), text.begin(), text.end());
    memo.resize(1024, 0);
    dir.write("MEMO.DBT", memo);
    found = detectFile(dir.write("MEMO.DBF", test::buildDbf(spec)));
    EXPECT_EQ(found.codePage, cpKamenicky);
    EXPECT_EQ(found.source, CodePageSource::Text);

    // A dBase 7 table names its code page by its driver name.
    test::DbfSpec seven;
    seven.version = 0x04;
    seven.driverName = "FOXCZ895";
    seven.fields = {{"NAZEV", 'C', 10}};
    seven.records = {" Praha"};
    found = detectFile(dir.write("SEVEN.DBF", test::buildDbf(seven)));
    EXPECT_EQ(found.codePage, cpKamenicky);
    EXPECT_EQ(found.source, CodePageSource::LanguageDriver);
}

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The three samples, as they are and with their language byte taken away
// (then the text alone decides).
TEST(CodePageDetection, Samples)
{
    const std::string folder = std::string(KARTO_SOURCE_DIR) + "/samples/";
    const std::pair<const char*, int> cases[] = {
        {"CENIK", cpLatin2}, {"ADRESY", cpKamenicky}, {"SKLAD", cpWindows1250}};
    test::TempDir dir;
    for (const auto& [name, want] : cases) {
        SCOPED_TRACE(name);
        DetectedCodePage found = detectFile(folder + name + ".DBF");
        EXPECT_EQ(found.codePage, want);
        EXPECT_EQ(found.source, CodePageSource::LanguageDriver);

        std::vector<uint8_t> bytes = fileBytes(folder + name + ".DBF");
        ASSERT_GT(bytes.size(), 32u);
        bytes[29] = 0;
        const std::string memo = folder + name + ".DBT";
        if (std::filesystem::exists(memo))
            dir.write(std::string(name) + ".DBT", fileBytes(memo));
        found = detectFile(dir.write(std::string(name) + ".DBF", bytes));
        EXPECT_EQ(found.codePage, want) << "without its language byte";
        EXPECT_EQ(found.source, CodePageSource::Text);
    }
}

// Every table of the corpus with Czech text (its SUMMARY.md lists them) is
// read in the code page its text is in. The draci-doupe tables use only
// é á í ó ú, the same bytes in Latin 2 and Kamenický: either is right, and
// with a US language byte Latin 2 is taken. The schema-only tables read in
// the code page their language byte names, else Latin 2.
TEST(CodePageDetection, CzechTablesOfTheCorpus)
{
    if (!std::filesystem::exists(test::corpus::kDir + "/SUMMARY.md"))
        GTEST_SKIP() << "no corpus at " << test::corpus::kDir;
    const std::pair<const char*, int> cases[] = {
        {"NDbfReader/CzechEncoding.dbf", cpWindows1250},
        {"NDbfReader/BigCzechData.dbf", cpWindows1250},
        {"NDbfReader/WhiteSpaces.dbf", cpWindows1250},
        {"NDbfReader/ZeroSizeColumn.dbf", cpLatin2},
        {"Lego_xpp/A_proj/Him/Support/MAJ.DBF", cpWindows1250},
        {"draci-doupe/BAZINY.DBF", cpLatin2},
        {"draci-doupe/DOMY.DBF", cpLatin2},
        {"draci-doupe/PRIDOMKY.DBF", cpLatin2},
        {"draci-doupe/PRIJMENI.DBF", cpLatin2},
        {"draci-doupe/ULICE.DBF", cpLatin2},
        {"draci-doupe/ZEME.DBF", cpLatin2},
        {"php-xbase/foxpro/91.dbf", cpWindows1250},
        {"php-xbase/foxpro/1.dbf", cpLatin2},
    };
    for (const auto& [table, want] : cases) {
        SCOPED_TRACE(table);
        const DetectedCodePage found = detectFile(test::corpus::kDir + "/" + table);
        EXPECT_STREQ(nameOf(found.codePage), nameOf(want)) << "decided by " << nameOf(found.source);
    }
}

} // namespace
} // namespace karto
