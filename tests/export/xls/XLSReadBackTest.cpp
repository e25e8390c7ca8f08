// XLS exports read back by an independent reader (python3-xlrd).

#include "export/xls/XLSWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

#include "support/XLSTestSupport.h"
#include "export/driver/ExporterRegistry.h"
#include "export/workbook/SheetLayout.h"

using namespace karto;
using namespace karto::xlstest;
namespace fs = std::filesystem;

namespace {

// Dumps what xlrd sees: one line per fact.
const char* kDumpScript = R"PY(
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
print("sheets", "|".join(book.sheet_names()))
sh = book.sheet_by_index(0)
print("size", sh.nrows, sh.ncols)
rows = [int(r) for r in sys.argv[2].split(",")] if len(sys.argv) > 2 else range(sh.nrows)
for r in rows:
    for c in range(sh.ncols):
        cell = sh.cell(r, c)
        xf = book.xf_list[cell.xf_index]
        font = book.font_list[xf.font_index]
        fmt = book.format_map[xf.format_key].format_str
        fill = book.colour_map.get(xf.background.pattern_colour_index)
        fill = "%02X%02X%02X" % fill if fill and xf.background.fill_pattern == 1 else "-"
        value = cell.value
        if isinstance(value, str):
            value = "'" + value.encode("unicode_escape").decode("ascii").replace(" ", "_") + "'"
        else:
            value = repr(value)
        print("cell", r, c, cell.ctype, value, font.bold, font.weight, font.height, font.name,
              fmt.replace(" ", "_") or "General", fill, xf.alignment.text_wrapped, len(cell.value) if cell.ctype == 1 else -1)
for c in sorted(sh.colinfo_map):
    print("colwidth", c, sh.colinfo_map[c].width)
)PY";

class XLSReadBack : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "python3-xlrd is not installed";
        dir_ = fs::temp_directory_path() / ("karto_xls_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        std::ofstream(dir_ / "dump.py") << kDumpScript;
    }
    void TearDown() override
    {
        if (!dir_.empty())
            fs::remove_all(dir_);
    }

    // Runs the dump over a file; returns its lines keyed by their first words.
    std::vector<std::string> dump(const fs::path& file, const std::string& rows = "")
    {
        const std::string cmd = "/usr/bin/python3 " + (dir_ / "dump.py").string() + " " + file.string() +
                                (rows.empty() ? "" : " " + rows) + " 2>&1";
        std::vector<std::string> lines;
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p)
            return lines;
        char buf[70000];
        while (std::fgets(buf, sizeof buf, p)) {
            std::string line(buf);
            if (!line.empty() && line.back() == '\n')
                line.pop_back();
            lines.push_back(line);
        }
        EXPECT_EQ(::pclose(p), 0) << (lines.empty() ? "" : lines.back());
        return lines;
    }

    static std::map<std::string, std::string> byKey(const std::vector<std::string>& lines)
    {
        // "cell 1 2 ..." -> key "cell 1 2"; "size ..." -> "size"; "colwidth 3 ..." -> "colwidth 3".
        std::map<std::string, std::string> out;
        for (const auto& line : lines) {
            std::istringstream in(line);
            std::string kind, a, b;
            in >> kind;
            std::string key = kind;
            if (kind == "cell") {
                in >> a >> b;
                key += " " + a + " " + b;
            } else if (kind == "colwidth") {
                in >> a;
                key += " " + a;
            }
            std::string rest;
            std::getline(in, rest);
            out[key] = rest.empty() ? rest : rest.substr(1);
        }
        return out;
    }

    fs::path dir_;
};

} // namespace

// Values, cell types, number formats, fonts, the header fill and the column
// widths of the example table as xlrd reads them.
TEST_F(XLSReadBack, ExampleTableValuesTypesFontsAndWidths)
{
    DriverWorkbook wb(exampleFields());
    wb.addExampleRecord();
    ExportRow& memo = wb.sheet->addRow();
    memo.addCellString("Řádek 1\r\nŘádek 2").setCalculateColWidth(true);
    memo.addCellNumber(0, -7);
    memo.addCellNumber(-1, 0.0);
    memo.addCellString("");   // an empty date
    memo.addCellBoolean(false);
    const SheetLayout layout = calculateSheetLayout(*wb.sheet, 7);
    const fs::path file = dir_ / "cenik.xls";
    saveWorkbook(wb.workbook, file.string());
    ASSERT_TRUE(fs::exists(file));

    const auto facts = byKey(dump(file));
    EXPECT_EQ(facts.at("sheets"), "Data");
    EXPECT_EQ(facts.at("size"), "3 5");
    // ctype: 1 text, 2 number, 3 date, 4 boolean, 6 blank.
    EXPECT_EQ(facts.at("cell 0 0"), "1 'NAZEV' 1 700 180 Arial General C5D9F1 0 5");
    EXPECT_EQ(facts.at("cell 0 4"), "1 'PLATNY' 1 700 180 Arial General C5D9F1 0 6");
    EXPECT_EQ(facts.at("cell 1 0"), "1 '\\u0160roub_M6' 0 400 180 Arial General - 0 8");
    EXPECT_EQ(facts.at("cell 1 1"), "2 120.0 0 400 180 Arial 0;\\-0 - 0 -1");
    EXPECT_EQ(facts.at("cell 1 2"), "2 2.5 0 400 180 Arial General - 0 -1");
    EXPECT_EQ(facts.at("cell 1 3"), "3 44010.0 0 400 180 Arial dd.mm.yyyy - 0 -1");
    EXPECT_EQ(facts.at("cell 1 4"), "4 1 0 400 180 Arial General - 0 -1");
    // The memo text keeps its line break (as a line feed) and wraps.
    EXPECT_EQ(facts.at("cell 2 0"), "1 '\\u0158\\xe1dek_1\\n\\u0158\\xe1dek_2' 0 400 180 Arial General - 1 15");
    EXPECT_EQ(facts.at("cell 2 1"), "2 -7.0 0 400 180 Arial 0;\\-0 - 0 -1");
    EXPECT_EQ(facts.at("cell 2 2"), "2 0.0 0 400 180 Arial General - 0 -1");
    EXPECT_EQ(facts.at("cell 2 3"), "6 '' 0 400 180 Arial General - 0 -1");
    EXPECT_EQ(facts.at("cell 2 4"), "4 0 0 400 180 Arial General - 0 -1");
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(facts.at("colwidth " + std::to_string(c)),
                  std::to_string(static_cast<int>(std::nearbyint(layout.colWidths[c] / 7.0 * 256))))
            << c;
    EXPECT_EQ(facts.at("colwidth 5"), "2926");
    EXPECT_EQ(facts.at("colwidth 255"), "2926");
}

// 70,000 records: the header and 65,535 records are written, the rest counted;
// 300 fields: 256 columns.
TEST_F(XLSReadBack, LargeAndWideTables)
{
    {
        DriverWorkbook wb(exampleFields());
        const fs::path file = dir_ / "big.xls";
        XLSStreamWriter writer(wb.workbook, file.string());
        writer.beginSheet(*wb.sheet, 70001);
        for (int i = 0; i < 70000; ++i) {
            writer.addString("Záznam " + std::to_string(i + 1));
            writer.addNumber(0, i + 1);
            writer.addNumber(-1, (i + 1) * 0.5);
            writer.addDateTime(43831 + i % 3000, "dd.mm.yyyy");
            writer.addBoolean(i % 2 == 1);
            writer.endRow();
        }
        writer.endSheet();
        writer.finish();
        EXPECT_EQ(writer.rowsLeftOut(), 70000 - 65535);
        const auto facts = byKey(dump(file, "0,1,65535"));
        EXPECT_EQ(facts.at("size"), "65536 5");
        EXPECT_EQ(facts.at("cell 65535 0").substr(0, 19), "1 'Z\\xe1znam_65535'");
        EXPECT_EQ(facts.at("cell 65535 1").substr(0, 9), "2 65535.0");
        EXPECT_EQ(facts.at("cell 65535 3").substr(0, 8), "3 " + std::to_string(43831 + 65534 % 3000) + ".");
    }
    {
        std::vector<std::string> names;
        for (int i = 0; i < 300; ++i)
            names.push_back("POLE" + std::to_string(i));
        DriverWorkbook wb(names);
        for (int r = 0; r < 3; ++r) {
            ExportRow& row = wb.sheet->addRow();
            for (int i = 0; i < 300; ++i)
                row.addCellNumber(0, r * 1000 + i).setCalculateColWidth(true);
        }
        const fs::path file = dir_ / "wide.xls";
        saveWorkbook(wb.workbook, file.string());
        const auto facts = byKey(dump(file, "0,3"));
        EXPECT_EQ(facts.at("size"), "4 256");
        EXPECT_EQ(facts.at("cell 0 255").substr(0, 11), "1 'POLE255'");
        EXPECT_EQ(facts.at("cell 3 255").substr(0, 8), "2 2255.0");
    }
}

// A text longer than 65,535 characters arrives cut to 65,535.
TEST_F(XLSReadBack, LongTextIsCut)
{
    DriverWorkbook wb({"POZN"});
    wb.sheet->addRow().addCellString(std::string(30000, 'a') + std::string(40000, 'b'));
    const fs::path file = dir_ / "long.xls";
    saveWorkbook(wb.workbook, file.string());
    const auto facts = byKey(dump(file, "1"));
    const std::string& cell = facts.at("cell 1 0");
    EXPECT_EQ(cell.substr(cell.rfind(' ') + 1), "65535");
}

// Two sheets: each BOUNDSHEET points at its sheet; "xlt" writes the same format.
TEST_F(XLSReadBack, TwoSheetsAndTemplateExtension)
{
    DriverWorkbook wb(exampleFields());
    wb.addExampleRecord();
    ExportWorkSheet& second = wb.workbook.addWorkSheet("Druhý");
    second.addRow().addCellString("jen text");
    second.addRow().addCellNumber(-1, 3.25);
    const fs::path file = dir_ / "report.XLT";
    saveWorkbook(wb.workbook, file.string());
    const auto facts = byKey(dump(file));
    EXPECT_EQ(facts.at("sheets"), "Data|Druhý");
    const std::string py = "import sys, xlrd\n"
                           "b = xlrd.open_workbook(sys.argv[1])\n"
                           "s = b.sheet_by_index(1)\n"
                           "sys.exit(0 if (s.nrows, s.cell_value(0, 0), s.cell_value(1, 0)) == (2, 'jen text', 3.25) else 1)\n";
    std::ofstream(dir_ / "second.py") << py;
    EXPECT_EQ(std::system(("/usr/bin/python3 " + (dir_ / "second.py").string() + " " + file.string()).c_str()), 0);
}

// The file is written beside the target and replaces it only when complete.
TEST_F(XLSReadBack, TargetIsReplacedOnlyWhenComplete)
{
    const fs::path file = dir_ / "out.xls";
    std::ofstream(file) << "old";
    {
        DriverWorkbook wb(exampleFields());
        XLSStreamWriter writer(wb.workbook, file.string());
        writer.beginSheet(*wb.sheet, 1);
        writer.endSheet();
        // No finish(): an error left the export here.
    }
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "old");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir_))
        files += entry.path().extension() != ".py";
    EXPECT_EQ(files, 1);

    DriverWorkbook wb(exampleFields());
    XLSStreamWriter writer(wb.workbook, file.string());
    writer.beginSheet(*wb.sheet, 1);
    writer.endSheet();
    writer.finish();
    const auto facts = byKey(dump(file));
    EXPECT_EQ(facts.at("size"), "1 5");
    EXPECT_EQ(facts.at("colwidth 5"), "2926");
}
