// `karto --append` without the program: CSV lines appended to tables through
// the program's code page conversion, read back by dbfread; bad lines leave
// the table byte for byte as it was, and so do keys a distinct index tag
// would refuse.

#include "commands/CsvAppend.h"

#include <gtest/gtest.h>

#include <fstream>

#include "convert/CodePageConverter.h"
#include "dbf/index/MdxTestTable.h"
#include "dbf/table/TableDataset.h"
#include "support/CzechLetters.h"
#include "support/DbfBuilder.h"
#include "support/DbfReadBack.h"

namespace karto {
namespace {

using test::DbfSpec;
using test::FieldSpec;
using test::TempDir;
using Bytes = std::vector<uint8_t>;

const std::vector<FieldSpec> kFields = {{"NAZEV", 'C', 60}, {"CENA", 'N', 8, 2}, {"DATUM", 'D', 8},
                                        {"PLATNY", 'L', 1}, {"POPIS", 'M', 10}};

std::string hexOf(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class CsvAppend : public ::testing::Test {
protected:
    void SetUp() override
    {
        DbfSpec spec;
        spec.version = 0x83;
        spec.fields = kFields;
        spec.records.push_back(test::recordBytes(kFields, {{"stary", "1.00", "20200101", "T", ""}}));
        table_ = dir_.write("t.dbf", test::buildDbf(spec));
        Bytes memo(512, 0);
        memo[0] = 1;
        memo_ = dir_.write("t.dbt", memo);
    }
    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir_.file(name), std::ios::binary) << text;
    }
    // Appends the file with a code page chosen; the error message, or "".
    std::string append(const std::string& name, int codePage, int64_t* appended = nullptr)
    {
        CodePageConverter converter;
        converter.chooseCodePage(codePage);
        TableDataset ds;
        ds.setOnTranslate(&converter);
        ds.setTableName(table_);
        ds.setReadOnly(false);
        ds.open();
        try {
            const int64_t n = appendCsvFile(ds, dir_.file(name));
            if (appended)
                *appended = n;
        } catch (const CsvAppendError& e) {
            if (appended)
                *appended = e.appended();
            return e.what();
        }
        return "";
    }

    TempDir dir_;
    std::string table_;
    std::string memo_;
};

TEST_F(CsvAppend, CzechLettersLandInTheChosenCodePage)
{
    std::string letters;
    for (const auto& l : test::kCzechLetters)
        letters += l.utf8;
    struct Case {
        int codePage;
        const char* reading;   // dbfread's codec, or hex
    };
    for (const Case c : {Case{cpLatin2, "cp852"}, Case{cpKamenicky, "hex"}, Case{cpWindows1250, "cp1250"}}) {
        SCOPED_TRACE(c.reading);
        SetUp();
        const Bytes before = TempDir::read(table_);
        write("in.csv", "\xEF\xBB\xBFnazev;Popis;CENA;datum;platny\r\n" + letters + ";\"memo " + letters +
                            "\r\ndruhý řádek\";12.5;31.12.2021;N\r\n;;;2021-01-02;\n");
        int64_t appended = -1;
        ASSERT_EQ(append("in.csv", c.codePage, &appended), "");
        EXPECT_EQ(appended, 2);
        const Bytes after = TempDir::read(table_);
        EXPECT_TRUE(std::equal(before.begin() + 8, before.end() - 1, after.begin() + 8))
            << "the header's other bytes and the old record are unchanged";

        if (!test::independentReaderAvailable())
            GTEST_SKIP() << "python3-dbfread is not installed";
        const test::ReadBackTable back = test::readBackTable(table_, c.reading);
        ASSERT_TRUE(back.ok) << back.error;
        ASSERT_EQ(back.records.size(), 3u);
        EXPECT_EQ(back.headerCount, 3);
        std::string stored;
        for (const auto& l : test::kCzechLetters)
            stored += static_cast<char>(c.codePage == cpLatin2      ? l.latin2
                                        : c.codePage == cpKamenicky ? l.kamenicky
                                                                    : l.win1250);
        const bool hex = std::string(c.reading) == "hex";
        const std::string memoText = "memo " + stored + "\r\ndruh" +
                                     (c.codePage == cpLatin2      ? std::string("\xEC")
                                      : c.codePage == cpKamenicky ? std::string("\x98")
                                                                  : std::string("\xFD")) +
                                     " " +
                                     (c.codePage == cpLatin2      ? std::string("\xFD")
                                      : c.codePage == cpKamenicky ? std::string("\xA9")
                                                                  : std::string("\xF8")) +
                                     "\xE1" "dek";
        const auto& r = back.records[1].values;
        if (hex) {
            EXPECT_EQ(r[0], hexOf(stored));
        } else {
            EXPECT_EQ(r[0], letters);
            EXPECT_EQ(r[4], "memo " + letters + "\r\ndruhý řádek");
        }
        if (hex) {
            // Kamenický á is 0xA0.
            std::string expected = memoText;
            expected[expected.size() - 4] = static_cast<char>(0xA0);
            EXPECT_EQ(r[4], hexOf(expected));
        }
        EXPECT_EQ(r[1], "12.5");
        EXPECT_EQ(r[2], "2021-12-31");
        EXPECT_EQ(r[3], "False");
        const auto& empty = back.records[2].values;
        EXPECT_EQ(empty[0], "");
        EXPECT_EQ(empty[1], std::nullopt);
        EXPECT_EQ(empty[2], "2021-01-02");
        EXPECT_EQ(back.records[0].values[0], hex ? hexOf("stary") : "stary");
    }
}

TEST_F(CsvAppend, BadLinesLeaveTheTableUnchanged)
{
    struct Case {
        const char* csv;
        int codePage;
        const char* message;
    };
    const Case cases[] = {
        {"NAZEV;CENA\nok;1\nzle;abc\n", cpLatin2, "Řádek 3, pole CENA: 'abc' is not a number for field 'CENA'."},
        {"NAZEV;CENA\nx;123456789\n", cpLatin2, "Řádek 2, pole CENA: 123456789 does not fit into field 'CENA'"},
        {"NAZEV;DATUM\nx;2021-02-30\n", cpLatin2, "Řádek 2, pole DATUM: '2021-02-30' is not a valid date"},
        {"NAZEV;PLATNY\nx;snad\n", cpLatin2, "Řádek 2, pole PLATNY: 'snad' is not a logical value"},
        {"NAZEV\n1234567890123456789012345678901234567890123456789012345678901\n", cpLatin2,
         "Řádek 2, pole NAZEV: Text of 61 characters does not fit into field 'NAZEV' (60 characters)."},
        {"NAZEV\nΩ\n", cpWindows1250, "Řádek 2, pole NAZEV: Character 'Ω' of field 'NAZEV' has no byte"},
        {"NAZEV\nł\n", cpKamenicky, "Řádek 2, pole NAZEV: Character 'ł' of field 'NAZEV' has no byte"},
        {"POPIS\nł\n", cpKamenicky, "Řádek 2, pole POPIS: Character 'ł' of field 'POPIS' has no byte"},
        {"NAZEV;BARVA\nx;y\n", cpLatin2, "Řádek 1: neznámé pole \"BARVA\""},
        {"NAZEV;CENA\nx;1;2\n", cpLatin2, "Řádek 2"},
        {"NAZEV;CENA\nx\n", cpLatin2, "Řádek 2"},
    };
    const Bytes before = TempDir::read(table_);
    const Bytes memoBefore = TempDir::read(memo_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        write("bad.csv", c.csv);
        int64_t appended = -1;
        const std::string message = append("bad.csv", c.codePage, &appended);
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        EXPECT_EQ(appended, 0);
        EXPECT_EQ(TempDir::read(table_), before);
        EXPECT_EQ(TempDir::read(memo_), memoBefore);
    }
}

TEST_F(CsvAppend, TabDelimitedTextFilesAndProgress)
{
    write("in.txt", "NAZEV\tCENA\na\t1\nb\t2\nc\t3\n");
    CodePageConverter converter;
    TableDataset ds;
    ds.setOnTranslate(&converter);
    ds.setTableName(table_);
    ds.setReadOnly(false);
    ds.open();
    std::vector<std::pair<int64_t, int64_t>> seen;
    EXPECT_EQ(appendCsvFile(ds, dir_.file("in.txt"), [&](int64_t done, int64_t total) {
                  seen.emplace_back(done, total);
              }),
              3);
    EXPECT_EQ(seen.front(), std::make_pair(int64_t{0}, int64_t{3}));
    EXPECT_EQ(seen.back(), std::make_pair(int64_t{3}, int64_t{3}));
    EXPECT_EQ(ds.recordCount(), 4);
    ds.close();

    ds.setReadOnly(true);
    ds.open();
    try {
        appendCsvFile(ds, dir_.file("in.txt"));
        ADD_FAILURE() << "appended to a read-only dataset";
    } catch (const CsvAppendError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot modify a read-only dataset"), std::string::npos);
    }
}

// A table with a production index: a distinct tag on the name, a unique one
// on the price.
class CsvAppendIndexed : public ::testing::Test {
protected:
    void SetUp() override
    {
        table_.make({{{"jablko", "1"}}, {{"hruska", "2"}}},
                    {{"NAZEV", "NAZEV", false, iuDistinct}, {"CENA", "CENA", false, iuUnique}});
    }
    std::string append(const std::string& csv, int64_t& appended)
    {
        std::ofstream(table_.dir().file("in.csv"), std::ios::binary) << csv;
        CodePageConverter converter;
        converter.chooseCodePage(cpWindows1250);
        TableDataset ds;
        ds.setOnTranslate(&converter);
        ds.setTableName(table_.path());
        ds.setReadOnly(false);
        ds.open();
        try {
            appended = appendCsvFile(ds, table_.dir().file("in.csv"));
        } catch (const CsvAppendError& e) {
            appended = e.appended();
            return e.what();
        }
        return "";
    }

    test::MdxTestTable table_{{{"NAZEV", 'C', 20}, {"CENA", 'N', 8, 2}}};
};

TEST_F(CsvAppendIndexed, DistinctKeysRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* csv;
        const char* message;
    };
    const Case cases[] = {
        {"NAZEV;CENA\nmrkev;3\nhruska;4\n",
         "Řádek 3: Key violation. (Key already present in file).\r\nIndex: NAZEV\r\nRecord=2 Key='hruska'."},
        {"NAZEV;CENA\nmrkev;3\nzeli;4\nmrkev;5\nzeli;6\n", "Řádek 4: klíč 'mrkev' značky NAZEV už má řádek 2"},
        // The bad line comes after a line whose key is new.
        {"CENA;NAZEV\n7;salat\n8;jablko\n",
         "Řádek 3: Key violation. (Key already present in file).\r\nIndex: NAZEV\r\nRecord=1 Key='jablko'."},
    };
    const Bytes tableBefore = table_.tableBytes();
    const Bytes mdxBefore = table_.mdxBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        int64_t appended = -1;
        EXPECT_EQ(append(c.csv, appended), c.message);
        EXPECT_EQ(appended, 0);
        EXPECT_EQ(table_.tableBytes(), tableBefore);
        EXPECT_EQ(table_.mdxBytes(), mdxBefore);
    }
    EXPECT_TRUE(table_.checked());
}

TEST_F(CsvAppendIndexed, UniqueTagsRefuseNothingAndGoodFilesAppend)
{
    // Prices 1 and 2 are in the unique tag already, and two lines share 9.
    int64_t appended = -1;
    EXPECT_EQ(append("NAZEV;CENA\nmrkev;1\nzeli;9\nsalat;9\nkedluben;2\n", appended), "");
    EXPECT_EQ(appended, 4);
    EXPECT_TRUE(table_.checked());
    // The names now in the index are refused in turn.
    const Bytes tableBefore = table_.tableBytes();
    EXPECT_EQ(append("NAZEV\nokurka\nsalat\n", appended),
              "Řádek 3: Key violation. (Key already present in file).\r\nIndex: NAZEV\r\nRecord=5 Key='salat'.");
    EXPECT_EQ(appended, 0);
    EXPECT_EQ(table_.tableBytes(), tableBefore);
    EXPECT_TRUE(table_.checked());
}

// dBase 7: a distinct tag on an autoincrement field, alone and in an
// expression. Its keys come only with the append, so the lines are not
// compared by them (their empty records would all share one).
TEST(CsvAppendAutoIncrement, DistinctTagsOnTheCounterAreLeftToTheAppend)
{
    test::MdxTestTable t({{"ID", '+', 4, 0, 0, 3}, {"NAZEV", 'C', 10}}, 0, 0x04);
    t.make({{{std::string("\x80\x00\x00\x01", 4), "a"}}, {{std::string("\x80\x00\x00\x02", 4), "b"}}},
           {{"ID", "ID", false, iuDistinct}, {"IDTEXT", "STR(ID,6)", false, iuDistinct},
            {"NAZEV", "NAZEV", false, iuDistinct}},
           "DB852CZ0");
    std::ofstream(t.dir().file("in.csv"), std::ios::binary) << "NAZEV\nc\nd\ne\n";
    TableDataset ds;
    ds.setTableName(t.path());
    ds.setReadOnly(false);
    ds.open();
    EXPECT_EQ(appendCsvFile(ds, t.dir().file("in.csv")), 3);
    ds.close();
    EXPECT_TRUE(t.checked());
}

} // namespace
} // namespace karto
