// CSV and TXT exports: exact bytes of small tables, and every value read back
// by Python's csv module as an independent reader.

#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "dbf/Error.h"
#include "support/TableExportSupport.h"
#include "export/text/TextExport.h"

using namespace karto;
using namespace karto::test;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// Every character a delimited or HTML file must carry through: a quotation
// mark, both separators, a line break, markup characters and Czech letters
// (stored in Latin 2). Leading and trailing blanks are trimmed by the export.
const std::string kTricky = "Říp \"x\"; a\tb\r\nc <d> & žluťoučký";

struct Format {
    const char* name;
    void (*exporter)(const std::string&, TableDataset&, const std::vector<int>&, ExportProgress*);
    char separator;
    const char* pythonDelimiter;
};

void PrintTo(const Format& format, std::ostream* os) { *os << format.name; }

const Format kFormats[] = {
    {"csv", exportToCSV, ';', ";"},
    {"txt", exportToTXT, '\t', "tab"},
};

class TextExportTest : public ::testing::TestWithParam<Format> {
protected:
    std::string run(ExportTable& t, const std::vector<int>& columns, ExportProgress* progress = nullptr)
    {
        const std::string path = t.out(std::string("out.") + GetParam().name);
        GetParam().exporter(path, t.ds(), columns, progress);
        return readFile(path);
    }
    // "a;b" with the format's separator in place of ';'.
    std::string sep(std::string text) const
    {
        for (char& c : text)
            if (c == ';')
                c = GetParam().separator;
        return text;
    }
};

DbfSpec smallSpec()
{
    DbfSpec spec;
    spec.fields = {{"NAME", 'C', 10}, {"PRICE", 'N', 8, 2}, {"ACTIVE", 'L', 1}};
    spec.records = {record(spec, {"Chair", "12.50", "T"}), record(spec, {"Stool", "1.50", " "})};
    return spec;
}

TEST_P(TextExportTest, ExactBytesOfASmallTable)
{
    ExportTable t(smallSpec());
    // BOM, every line ending in CR LF, 1.50 as 1.5, logicals as 1 / 0 (an
    // empty logical too) without quotation marks, no separator after the last
    // column.
    EXPECT_EQ(run(t, allColumns(t.ds())),
              kBom + sep("\"NAME\";\"PRICE\";\"ACTIVE\"\r\n\"Chair\";\"12.5\";1\r\n\"Stool\";\"1.5\";0\r\n"));
    // The dataset is left on the last record.
    EXPECT_EQ(t.ds().recNo(), 2);
}

TEST_P(TextExportTest, EdgesOfTheLineForm)
{
    DbfSpec spec;
    spec.version = 0x83;
    spec.fields = {{"A", 'C', 4}, {"B", 'C', 4}, {"M", 'M', 10}};
    DbfSpec empty = spec;
    spec.records = {record(spec, {"1", "2", ""}), record(spec, {"3", "4", ""})};
    {
        // No records: the header line only. A memo column last: every line
        // ends with the separator.
        ExportTable t(empty);
        EXPECT_EQ(run(t, allColumns(t.ds())), kBom + sep("\"A\";\"B\";\r\n"));
    }
    ExportTable t(spec);
    EXPECT_EQ(run(t, {0, 1, 2}), kBom + sep("\"A\";\"B\";\r\n\"1\";\"2\";\r\n\"3\";\"4\";\r\n"));
    // A memo column elsewhere leaves no trace.
    EXPECT_EQ(run(t, {0, 2, 1}), kBom + sep("\"A\";\"B\"\r\n\"1\";\"2\"\r\n\"3\";\"4\"\r\n"));
    // Only memo columns: an empty header line and an empty line per record.
    EXPECT_EQ(run(t, {2}), kBom + "\r\n\r\n\r\n");
}

TEST_P(TextExportTest, EveryValueReadsBackWithPythonCsv)
{
    DbfSpec spec;
    spec.version = 0x83;
    spec.fields = {{"NAME", 'C', 60}, {"PRICE", 'N', 8, 2}, {"QTY", 'N', 5},
                   {"ACTIVE", 'L', 1}, {"BORN", 'D', 8}, {"NOTE", 'M', 10}};
    spec.records = {
        record(spec, {"  Židle  ", "12.50", "3", "T", "20201231"}),
        record(spec, {"  " + kTricky + " ", "1.5", "", " ", ""}),
        record(spec, {"smazaný", "1", "1", "T", "20000101"}, true),   // deleted: left out
        record(spec, {"Xfiltered", "2", "2", "F", "20000101"}),        // filtered out
        record(spec, {"Čistá \"voda\"", "-0.25", "-7", "F", "19991231"}),
    };
    ExportTable t(spec);
    t.ds().setOnFilterRecord([](TableDataset& ds, bool& accept) {
        accept = ds.field(0).asString().rfind("X", 0) != 0;
    });
    t.ds().setFiltered(true);
    const std::string path = t.out(std::string("out.") + GetParam().name);
    GetParam().exporter(path, t.ds(), allColumns(t.ds()), nullptr);

    // A quotation mark inside a value is doubled.
    EXPECT_NE(readFile(path).find("\"Čistá \"\"voda\"\"\""), std::string::npos);

    bool ok = false;
    const std::string out = runPython(R"(
import csv, sys
delimiter = '\t' if sys.argv[2] == 'tab' else ';'
with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:
    for row in csv.reader(f, delimiter=delimiter):
        print(' '.join(c.encode('utf-8').hex() or '-' for c in row))
)", {path, GetParam().pythonDelimiter}, ok);
    ASSERT_TRUE(ok) << out;
    // The memo column is left out; as the last column it leaves a trailing
    // separator, which the reader sees as one more empty cell.
    const std::vector<std::vector<std::string>> expected = {
        {"NAME", "PRICE", "QTY", "ACTIVE", "BORN", ""},
        {"Židle", "12.5", "3", "1", "31.12.2020", ""},
        {kTricky, "1.5", "", "0", "", ""},
        {"Čistá \"voda\"", "-0.25", "-7", "0", "31.12.1999", ""},
    };
    EXPECT_EQ(hexRows(out), expected);
}

TEST_P(TextExportTest, ProgressRunsOverTheRecordsAndEndsAtZero)
{
    DbfSpec spec;
    spec.fields = {{"N", 'N', 4}};
    for (int i = 1; i <= 10; ++i)
        spec.records.push_back(record(spec, {std::to_string(i)}));
    ExportTable t(spec);
    ProgressLog progress;
    run(t, allColumns(t.ds()), &progress);
    EXPECT_EQ(progress.range, 9);
    ASSERT_GE(progress.positions.size(), 2u);
    EXPECT_EQ(progress.positions[progress.positions.size() - 2], 10);
    EXPECT_EQ(progress.positions.back(), 0);
}

TEST_P(TextExportTest, TargetInAMissingFolderIsNotCreated)
{
    ExportTable t(smallSpec());
    const std::string target = t.out("missing/out.csv");
    try {
        GetParam().exporter(target, t.ds(), allColumns(t.ds()), nullptr);
        FAIL() << "no error";
    } catch (const KartoError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + target + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(t.files(), std::vector<std::string>{"T.DBF"});
}

TEST_P(TextExportTest, FailedExportLeavesTheTargetUntouched)
{
    // Enough records that part of the file has been written out when the
    // walk fails.
    DbfSpec spec;
    spec.fields = {{"NAME", 'C', 60}};
    for (int i = 0; i < 30000; ++i)
        spec.records.push_back(record(spec, {"record " + std::to_string(i)}));
    ExportTable t(spec);
    const std::string target = t.out(std::string("out.") + GetParam().name);
    std::ofstream(target) << "old";
    int seen = 0;
    t.ds().setOnFilterRecord([&seen](TableDataset&, bool&) {
        if (++seen > 25000)
            throw std::runtime_error("walk failed");
    });
    t.ds().setFiltered(true);
    seen = 0;
    EXPECT_THROW(GetParam().exporter(target, t.ds(), allColumns(t.ds()), nullptr), std::runtime_error);
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(t.files(), (std::vector<std::string>{"T.DBF", std::string("out.") + GetParam().name}));
    EXPECT_FALSE(t.ds().controlsDisabled());
}

TEST_P(TextExportTest, LinkIsFollowedAndADeviceWrittenDirectly)
{
    ExportTable t(smallSpec());
    const std::string real = t.out("real.out");
    const std::string link = t.out("link.out");
    std::ofstream(real) << "old";
    std::filesystem::create_symlink(real, link);
    GetParam().exporter(link, t.ds(), allColumns(t.ds()), nullptr);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real).rfind(kBom + "\"NAME\"", 0), 0u);

    // A device node (the null device, made here when allowed) stays one.
    const std::string device = t.out("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        GetParam().exporter(device, t.ds(), allColumns(t.ds()), nullptr);
        EXPECT_TRUE(std::filesystem::is_character_file(device));
    }
    for (const std::string& name : t.files())
        EXPECT_NE(name[0], '.') << "temporary file left: " << name;
}

INSTANTIATE_TEST_SUITE_P(Formats, TextExportTest, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
