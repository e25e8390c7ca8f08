// The workbook export of a table, read back by independent readers
// (openpyxl for XLSX, xlrd for XLS).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/DbfBuilder.h"
#include "dbf/table/TableDataset.h"
#include "export/driver/WorkbookExport.h"
#include "export/workbook/WorkbookErrors.h"

using namespace karto;
using karto::test::DbfSpec;
using karto::test::TempDir;

namespace {

std::string runPython(const std::string& script, const std::string& file)
{
    const std::string scriptPath = file + ".py";
    std::ofstream(scriptPath) << script;
    const std::string command = "/usr/bin/python3 -W ignore " + scriptPath + " '" + file + "' 2>&1";
    std::string output;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            output.append(buffer, n);
        ::pclose(p);
    }
    return output;
}

DbfSpec typedTable()
{
    DbfSpec spec;
    spec.fields = {{"NAZEV", 'C', 12}, {"POCET", 'N', 12}, {"CENA", 'N', 8, 2}, {"DATUM", 'D', 8},
                   {"PLATNY", 'L', 1}};
    spec.records = {
        " \x8a" "roub M6    " "         120" "    2.50" "20200628" "T",   // "Šroub" in Windows 1250
        " big         " "  9876543210" "   -1.25" "        " "F",
        "*deleted     " "           1" "    1.00" "20200101" "T",
    };
    return spec;
}

class WorkbookExport : public ::testing::Test {
protected:
    void open(const DbfSpec& spec)
    {
        ds_.setTableName(dir_.write("T.DBF", karto::test::buildDbf(spec)));
        ds_.open();
    }
    TempDir dir_;
    TableDataset ds_;
};

TEST_F(WorkbookExport, XlsxReadsBackWithTypesAndHeaderStyle)
{
    open(typedTable());
    ds_.next();
    const int before = ds_.recNo();
    const std::string out = dir_.file("out.xlsx");
    const WorkbookExportResult result = exportWorkbook(out, ds_);
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(ds_.recNo(), before) << "the export returns to the current record";

    const std::string got = runPython(R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1])['Data']
for row in ws.iter_rows():
    print('|'.join(repr(c.value) for c in row))
h = ws['A1']
print(h.font.b, h.fill.fgColor.rgb, ws['B2'].number_format, ws['D2'].number_format, ws.max_row)
)", out);
    EXPECT_EQ(got,
              "'NAZEV'|'POCET'|'CENA'|'DATUM'|'PLATNY'\n"
              "'Šroub M6'|120|2.5|datetime.datetime(2020, 6, 28, 0, 0)|True\n"
              "'big'|9876543210|-1.25|None|False\n"
              "True FFC5D9F1 0;\\-0 dd.mm.yyyy 3\n");
}

TEST_F(WorkbookExport, XlsReadsBackWithTypes)
{
    open(typedTable());
    const std::string out = dir_.file("out.xls");
    exportWorkbook(out, ds_);
    const std::string got = runPython(R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s = b.sheet_by_name('Data')
for r in range(s.nrows):
    print('|'.join('%d:%r' % (c.ctype, c.value) for c in s.row(r)))
xf = b.xf_list[s.cell_xf_index(1, 3)]
print(b.format_map[xf.format_key].format_str, b.font_list[b.xf_list[s.cell_xf_index(0, 0)].font_index].bold)
)", out);
    EXPECT_EQ(got,
              "1:'NAZEV'|1:'POCET'|1:'CENA'|1:'DATUM'|1:'PLATNY'\n"
              "1:'Šroub M6'|2:120.0|2:2.5|3:44010.0|4:1\n"
              "1:'big'|2:9876543210.0|2:-1.25|6:''|4:0\n"
              "dd.mm.yyyy 1\n");
}

TEST_F(WorkbookExport, UnknownExtensionFailsBeforeTheWalk)
{
    open(typedTable());
    ds_.next();
    const std::string out = dir_.file("out.xlsq");
    EXPECT_THROW(exportWorkbook(out, ds_), WorkbookFileNameException);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(ds_.recNo(), 2);
}

TEST_F(WorkbookExport, XlsRowAndColumnLimitsAreReported)
{
    DbfSpec spec;
    for (int i = 0; i < 300; ++i)
        spec.fields.push_back({"F" + std::to_string(i), 'L', 1});
    const std::string record = " " + std::string(300, 'T');
    spec.records.assign(70000, record);
    open(spec);
    const std::string out = dir_.file("big.xls");
    const WorkbookExportResult result = exportWorkbook(out, ds_);
    EXPECT_EQ(result.recordsLeftOut, 70000 - 65535);
    EXPECT_EQ(result.fieldsLeftOut, 300 - 256);
    EXPECT_EQ(result.warning,
              "Formát XLS pojme nejvýše 65535 řádků, 4465 záznamů nebylo exportováno.\n"
              "Formát XLS pojme nejvýše 256 sloupců, 44 polí nebylo exportováno.");
    EXPECT_EQ(runPython("import sys, xlrd\ns = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                        "print(s.nrows, s.ncols)\n", out),
              "65536 256\n");
}

} // namespace
