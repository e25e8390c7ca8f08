// The reader of the CSV and TXT files that --append adds to a table: the
// forms it reads (whatever the block boundaries fall on), the inputs it
// refuses with their messages, the header mapped onto a table's fields, and
// the files of the CSV and TXT exports read back to the dataset's texts.

#include "commands/CsvReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <utility>

#include "export/text/TextExport.h"
#include "support/TableExportSupport.h"

namespace karto {
namespace {

using test::TempDir;
using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";

// Records as (line, values).
using Rows = std::vector<std::pair<int64_t, std::vector<std::string>>>;

struct ReadResult {
    std::vector<std::string> header;
    Rows records;
    std::string error;
};

ReadResult readAll(const std::string& path, char delimiter, const CsvLimits& limits = {})
{
    ReadResult result;
    try {
        CsvReader reader(path, delimiter, limits);
        result.header = reader.header();
        CsvRecord record;
        while (reader.next(record))
            result.records.emplace_back(record.line, record.values);
    } catch (const CsvError& e) {
        result.error = e.what();
    }
    return result;
}

std::string writeText(const TempDir& dir, const std::string& name, const std::string& text)
{
    const std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

// Block sizes that put a block boundary between every pair of bytes, in
// CR LF, in a doubled quotation mark, in a byte order mark and in a UTF-8
// sequence; and the usual one.
const std::size_t kBlockSizes[] = {1, 2, 3, 5, 64 * 1024};

struct GoodCase {
    const char* name;
    std::string bytes;
    char delimiter;
    std::vector<std::string> header;
    Rows records;
};

TEST(CsvReader, ReadsEveryFormOfTheExportAndMore)
{
    const GoodCase cases[] = {
        {"export form: BOM, CR LF, quoted", kBom + "\"A\";\"B\";C\r\n\"1\";\"2\";0\r\n\"x\";\"\";1\r\n", ';',
         {"A", "B", "C"}, {{2, {"1", "2", "0"}}, {3, {"x", "", "1"}}}},
        {"no BOM, LF, bare", "A;B\nx;y\n", ';', {"A", "B"}, {{2, {"x", "y"}}}},
        {"doubled quotation mark", "A\n\"say \"\"hi\"\"\"\n\"\"\"\"\n", ';', {"A"},
         {{2, {"say \"hi\""}}, {3, {"\""}}}},
        {"delimiter and line breaks inside quotes", "A;B\r\n\"a;b\";\"c\r\nd\ne\"\r\nz;w\r\n", ';', {"A", "B"},
         {{2, {"a;b", "c\r\nd\ne"}}, {5, {"z", "w"}}}},
        {"tab delimiter", "A\tB\n\"x;y\"\tz;\n", '\t', {"A", "B"}, {{2, {"x;y", "z;"}}}},
        {"empty values", "A;B;C\n;\"\";\nx;;\n", ';', {"A", "B", "C"}, {{2, {"", "", ""}}, {3, {"x", "", ""}}}},
        {"empty lines skipped, trailing ones too", "A;B\r\n\r\n1;2\n\n3;4\r\n\r\n\n\r\n", ';', {"A", "B"},
         {{3, {"1", "2"}}, {5, {"3", "4"}}}},
        {"last line without its end", "A;B\n1;\"2\"", ';', {"A", "B"}, {{2, {"1", "2"}}}},
        {"last line ending in a lone CR", "A;B\n1;2\r", ';', {"A", "B"}, {{2, {"1", "2"}}}},
        {"header only", kBom + "\"A\";\"B\"\r\n", ';', {"A", "B"}, {}},
        {"memo column last: trailing delimiters", kBom + "\"A\";\"B\";\r\n\"1\";\"2\";\r\n3;4\r\n", ';',
         {"A", "B"}, {{2, {"1", "2"}}, {3, {"3", "4"}}}},
        {"one column: \"\" is a value, an empty line is not", "A\n\"\"\n\nx\n", ';', {"A"},
         {{2, {""}}, {4, {"x"}}}},
        {"spaces around header names dropped, values kept", " Name ;\" CITY\"\n a ; b \n", ';',
         {"Name", "CITY"}, {{2, {" a ", " b "}}}},
        {"quotation mark inside a bare value", "A;B\nab\"c;d\"\n", ';', {"A", "B"}, {{2, {"ab\"c", "d\""}}}},
        {"space before a quotation mark: bare", "A\n \"x\"\n", ';', {"A"}, {{2, {" \"x\""}}}},
        {"CR inside a bare value", "A\na\rb\n", ';', {"A"}, {{2, {"a\rb"}}}},
        {"Czech letters and other UTF-8", kBom + "JMÉNO;Poznámka\r\nŽluťoučký kůň;€ 𝄞\r\n", ';',
         {"JMÉNO", "Poznámka"}, {{2, {"Žluťoučký kůň", "€ 𝄞"}}}},
        {"byte order mark only once", kBom + "A\n" + kBom + "x\n", ';', {"A"}, {{2, {kBom + "x"}}}},
    };
    TempDir dir;
    for (const GoodCase& c : cases) {
        const std::string path = writeText(dir, "in.csv", c.bytes);
        for (const std::size_t block : kBlockSizes) {
            CsvLimits limits;
            limits.blockBytes = block;
            const ReadResult r = readAll(path, c.delimiter, limits);
            EXPECT_EQ(r.error, "") << c.name << ", block " << block;
            EXPECT_EQ(r.header, c.header) << c.name << ", block " << block;
            EXPECT_EQ(r.records, c.records) << c.name << ", block " << block;
        }
    }
}

struct BadCase {
    const char* name;
    std::string bytes;
    const char* message;
};

TEST(CsvReader, RefusesBrokenFilesNamingTheLine)
{
    const BadCase cases[] = {
        {"quotation mark left open", "A;B\n1;2\n\"x;\n\n", "Řádek 3: neukončené uvozovky"},
        {"quotation mark left open on a later line of the record", "A;B;C\n1;\"a\nb\";\"c\n",
         "Řádek 3: neukončené uvozovky"},
        {"character after a closing quotation mark", "A;B\n1;2\n\"x\"y;2\n",
         "Řádek 3: za uzavírací uvozovkou smí být jen oddělovač nebo konec řádku"},
        {"CR without LF after a closing quotation mark", "A;B\n\"x\"\r;2\n",
         "Řádek 2: za uzavírací uvozovkou smí být jen oddělovač nebo konec řádku"},
        {"space after a closing quotation mark", "A\n\"x\" \n",
         "Řádek 2: za uzavírací uvozovkou smí být jen oddělovač nebo konec řádku"},
        {"Latin 2 byte in the header", "N\xA0ZEV\n", "Řádek 1: text není v kódování UTF-8"},
        {"bad UTF-8 on the second line of a quoted value", "A\n\"ok\nbad \xC3\x28\"\n",
         "Řádek 3: text není v kódování UTF-8"},
        {"overlong UTF-8", "A\n\xC0\xAF\n", "Řádek 2: text není v kódování UTF-8"},
        {"UTF-8 surrogate", "A\n\xED\xA0\x80\n", "Řádek 2: text není v kódování UTF-8"},
        {"UTF-8 above U+10FFFF", "A\n\xF4\x90\x80\x80\n", "Řádek 2: text není v kódování UTF-8"},
        {"UTF-8 cut at the end of the file", "A\nx\xE2\x82", "Řádek 2: text není v kódování UTF-8"},
        {"NUL in a bare value", "A\nx\0y\n"s, "Řádek 2: nulový znak (NUL)"},
        {"NUL in a quoted value", "A\n\"x\n\0\"\n"s, "Řádek 3: nulový znak (NUL)"},
        {"more values than names", "A;B\n1;2\n1;2;3\n", "Řádek 3: více hodnot, než má záhlaví sloupců (2)"},
        {"a trailing value that is not empty", "A;B;\n1;2;3\n",
         "Řádek 2: více hodnot, než má záhlaví sloupců (2)"},
        {"trailing delimiter without one in the header", "A;B\n1;2;\n",
         "Řádek 2: více hodnot, než má záhlaví sloupců (2)"},
        {"fewer values than names", "A;B\n1;2\n3\n", "Řádek 3: méně hodnot (1), než má záhlaví sloupců (2)"},
        {"a line of spaces is not empty", "A;B\n  \n", "Řádek 2: méně hodnot (1), než má záhlaví sloupců (2)"},
        {"empty file", "", "Řádek 1: chybí názvy polí"},
        {"byte order mark only", kBom, "Řádek 1: chybí názvy polí"},
        {"empty first line", "\r\nA\r\n", "Řádek 1: chybí názvy polí"},
        {"empty name inside the header", "A;;B\n", "Řádek 1: prázdný název pole ve sloupci 2"},
        {"name of spaces", " ;A\n", "Řádek 1: prázdný název pole ve sloupci 1"},
        {"only name quoted empty", "\"\"\n", "Řádek 1: prázdný název pole ve sloupci 1"},
        {"two trailing delimiters in the header", "A;;\n", "Řádek 1: prázdný název pole ve sloupci 2"},
        {"duplicate name", "a;B;A\n", "Řádek 1: pole \"A\" je v záhlaví dvakrát"},
        {"duplicate name with Czech letters", "Kód;KÓD\n", "Řádek 1: pole \"KÓD\" je v záhlaví dvakrát"},
    };
    TempDir dir;
    for (const BadCase& c : cases) {
        const std::string path = writeText(dir, "in.csv", c.bytes);
        for (const std::size_t block : kBlockSizes) {
            CsvLimits limits;
            limits.blockBytes = block;
            EXPECT_EQ(readAll(path, ';', limits).error, c.message) << c.name << ", block " << block;
        }
    }
}

TEST(CsvReader, RecordsAndHeadersAreBounded)
{
    TempDir dir;
    CsvLimits limits;
    limits.maxRecordBytes = 10;
    limits.maxColumns = 3;
    // Ten bytes of values are read (line breaks inside quotes counted), one more is not.
    EXPECT_EQ(readAll(writeText(dir, "a.csv", "A;B\n12345;\"678\n9\"\n"), ';', limits).records,
              (Rows{{2, {"12345", "678\n9"}}}));
    EXPECT_EQ(readAll(writeText(dir, "b.csv", "A;B\n12345;\"678\n9x\"\n"), ';', limits).error,
              "Řádek 2: záznam je delší než 10 bajtů");
    EXPECT_EQ(readAll(writeText(dir, "c.csv", "A;B;C\n"), ';', limits).header,
              (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(readAll(writeText(dir, "d.csv", "A;B;C;D\n"), ';', limits).error, "Řádek 1: více než 3 sloupců");
}

TEST(CsvReader, ReadsAFileOfSeveralMegabytesRecordByRecord)
{
    // About 6 MB: records with a line break inside a value, and one value of
    // 300 KB that spans several blocks.
    TempDir dir;
    const std::string path = dir.file("big.csv");
    const std::string huge(300 * 1024, 'x');
    {
        std::ofstream out(path, std::ios::binary);
        out << kBom << "\"KOD\";\"NAZEV\";\"POZNAMKA\"\r\n";
        for (int i = 0; i < 60000; ++i)
            out << '"' << i << "\";\"Název " << i << "\";\"první řádek\r\ndruhý \"\"řádek\"\" " << i
                << ", doplněný, aby byl delší\"\r\n";
        out << "\"huge\";\"" << huge << "\";\"\"\r\n";
    }
    CsvReader reader(path, ';');
    CsvRecord record;
    int count = 0;
    while (reader.next(record)) {
        if (count < 60000) {
            ASSERT_EQ(record.line, 2 + 2 * count);
            ASSERT_EQ(record.values[0], std::to_string(count));
            ASSERT_EQ(record.values[2],
                      "první řádek\r\ndruhý \"řádek\" " + std::to_string(count) + ", doplněný, aby byl delší");
        }
        ++count;
    }
    EXPECT_EQ(count, 60001);
    EXPECT_EQ(record.line, 2 + 2 * 60000);
    // The last record stays in place after the end of the file is reached.
    ASSERT_EQ(record.values.size(), 3u);
    EXPECT_EQ(record.values[0], "huge");
    EXPECT_TRUE(record.values[1] == huge);
    EXPECT_EQ(record.values[2], "");
}

TEST(CsvReader, MissingFileIsNamed)
{
    TempDir dir;
    const std::string path = dir.file("chybí.csv");
    EXPECT_EQ(readAll(path, ';').error.rfind("Soubor \"" + path + "\" nelze otevřít: ", 0), 0u);
}

TEST(CsvReader, DelimiterFollowsTheFileName)
{
    const std::pair<const char*, char> cases[] = {
        {"a.txt", '\t'}, {"/data/NOVINKY.TXT", '\t'}, {"x.Txt", '\t'}, {".txt", '\t'}, {"a.csv", ';'},
        {"a.txt.csv", ';'}, {"a.txt/b", ';'}, {"txt", ';'}, {"atxt", ';'}, {"", ';'},
    };
    for (const auto& [name, delimiter] : cases)
        EXPECT_EQ(csvDelimiterFor(name), delimiter) << name;
}

TEST(CsvReader, HeaderNamesMapToFieldsWithoutRegardToCase)
{
    const std::vector<std::string> fields = {"NÁZEV", "CENA", "ŽLUŤ_Ř", "X"};
    EXPECT_EQ(mapCsvColumns({"cena", "Název", "žluť_ř"}, fields), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(mapCsvColumns({"x"}, fields), (std::vector<int>{3}));
    EXPECT_EQ(mapCsvColumns({}, fields), (std::vector<int>{}));
    try {
        mapCsvColumns({"CENA", "Množství"}, fields);
        FAIL() << "no error";
    } catch (const CsvError& e) {
        EXPECT_STREQ(e.what(), "Řádek 1: neznámé pole \"Množství\"");
    }
}

// A table exported by the CSV and TXT exports reads back to the header of its
// field names (memo columns left out) and every record's field texts as the
// dataset gives them, trimmed as the export trims, logical values as 1 / 0.
TEST(CsvReader, ExportedTablesReadBackToTheDatasetsTexts)
{
    using test::record;
    test::DbfSpec spec;
    spec.version = 0x83;
    spec.fields = {{"NAME", 'C', 60}, {"PRICE", 'N', 8, 2}, {"ACTIVE", 'L', 1}, {"BORN", 'D', 8},
                   {"NOTE", 'M', 10}};
    spec.records = {
        record(spec, {"  Židle  ", "12.50", "T", "20201231"}),
        record(spec, {"Říp \"x\"; a\tb\r\nc\nd <e> & žluťoučký kůň", "-0.25", " ", ""}),
        record(spec, {"ĚŠČŘŽÝÁÍÉÚŮĎŤŇÓ \"\"", "", "F", "19991231"}),
        record(spec, {"", "1", "t", "20000229"}),
    };
    test::ExportTable t(spec);
    TableDataset& ds = t.ds();

    Rows expected;
    int64_t line = 2;
    for (ds.first(); !ds.eof(); ds.next()) {
        std::vector<std::string> values;
        for (int i = 0; i < 4; ++i) {
            const Field& f = ds.field(i);
            if (f.dataType() == ftBoolean) {
                values.push_back(!f.isNull() && f.asBoolean() ? "1" : "0");
                continue;
            }
            std::string text = f.asString();
            const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
            while (!text.empty() && blank(text.back()))
                text.pop_back();
            text.erase(0, static_cast<std::size_t>(std::find_if_not(text.begin(), text.end(), blank) - text.begin()));
            values.push_back(text);
        }
        expected.emplace_back(line, values);
        for (const std::string& v : values)
            line += std::count(v.begin(), v.end(), '\n');
        ++line;
    }
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(expected[0].second[0], "Židle");
    EXPECT_EQ(expected[1].second[0], "Říp \"x\"; a\tb\r\nc\nd <e> & žluťoučký kůň");

    for (const char* name : {"out.csv", "OUT.TXT"}) {
        const std::string path = t.out(name);
        (csvDelimiterFor(name) == ';' ? exportToCSV : exportToTXT)(path, ds, allColumns(ds), nullptr);
        const ReadResult r = readAll(path, csvDelimiterFor(name));
        EXPECT_EQ(r.error, "") << name;
        EXPECT_EQ(r.header, (std::vector<std::string>{"NAME", "PRICE", "ACTIVE", "BORN"})) << name;
        EXPECT_EQ(r.records, expected) << name;
        EXPECT_EQ(mapCsvColumns(r.header, {"NAME", "PRICE", "ACTIVE", "BORN", "NOTE"}),
                  (std::vector<int>{0, 1, 2, 3}));
    }
}

} // namespace
} // namespace karto
