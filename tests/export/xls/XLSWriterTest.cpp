#include "export/xls/XLSWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "support/XLSTestSupport.h"
#include "export/xls/Utf16.h"
#include "export/output/OutputStream.h"
#include "export/workbook/SheetLayout.h"
#include "export/workbook/TextMeasure.h"

using namespace karto;
using namespace karto::xlstest;

namespace {

std::string exportWhole(Workbook& workbook, CustomExporterXLS* exporterOut = nullptr)
{
    CustomExporterXLS exporter;
    exporter.beforeExport(workbook);
    MemoryOutputStream out;
    exporter.exportToStream(out);
    if (exporterOut) {
        // Copy the counts for the caller.
        *exporterOut = exporter;
    }
    return out.data();
}

std::vector<std::pair<int, int>> numbersAndLengths(const std::vector<Record>& records)
{
    std::vector<std::pair<int, int>> out;
    for (const auto& r : records)
        out.emplace_back(r.number, static_cast<int>(r.data.size()));
    return out;
}

struct Cell {
    int row, column, xf;
};
Cell cellOf(const Record& r) { return {le16(r.data, 0), le16(r.data, 2), le16(r.data, 4)}; }

} // namespace

// The example table (NAZEV, POCET, CENA, DATUM, PLATNY; one record) gives
// the documented record sequence and fields.
TEST(XLSWriter, WorkedExampleRecordSequence)
{
    DriverWorkbook wb(exampleFields());
    wb.addExampleRecord();
    const SheetLayout layout = calculateSheetLayout(*wb.sheet, 7);
    const std::string stream = workbookStream(exportWhole(wb.workbook));
    const auto records = parseRecords(stream);

    // Split at the sheet's BOF.
    std::size_t sheetStart = 1;
    while (sheetStart < records.size() && records[sheetStart].number != 0x0809)
        ++sheetStart;
    ASSERT_LT(sheetStart, records.size());
    const std::vector<Record> globals(records.begin(), records.begin() + sheetStart);
    const std::vector<Record> sheet(records.begin() + sheetStart, records.end());

    std::vector<std::pair<int, int>> expectedGlobals = {{0x0809, 16}, {0x003D, 18}, {0x0022, 2}};
    for (int i = 0; i < 6; ++i)
        expectedGlobals.push_back({0x0031, 26});
    expectedGlobals.push_back({0x041E, 15});
    expectedGlobals.push_back({0x041E, 25});
    expectedGlobals.push_back({0x0092, 226});
    for (int i = 0; i < 22; ++i)
        expectedGlobals.push_back({0x00E0, 20});
    for (auto rec : std::vector<std::pair<int, int>>{{0x0293, 4}, {0x0085, 16}, {0x01AE, 4}, {0x0017, 8}, {0x00FC, 92}, {0x000A, 0}})
        expectedGlobals.push_back(rec);
    EXPECT_EQ(numbersAndLengths(globals), expectedGlobals);

    // BOF, WINDOW1, DATEMODE.
    EXPECT_EQ(globals[0].data, std::string("\x00\x06\x05\x00\xD2\x1F\xCD\x07\0\0\0\0\0\0\0\0", 16));
    const std::uint16_t window1[] = {0, 105, 13215, 7005, 0x38, 0, 0, 1, 600};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(le16(globals[1].data, 2 * i), window1[i]) << i;
    EXPECT_EQ(le16(globals[2].data, 0), 0);

    // FONT: Arial 10 four times, Arial 9 bold, Arial 9; all black (8).
    struct Font { int height, flags, color, weight; };
    const Font fonts[] = {{200, 0, 8, 400}, {200, 0, 8, 400}, {200, 0, 8, 400}, {200, 0, 8, 400}, {180, 1, 8, 700}, {180, 0, 8, 400}};
    for (int i = 0; i < 6; ++i) {
        const std::string& d = globals[3 + i].data;
        EXPECT_EQ(le16(d, 0), fonts[i].height) << i;
        EXPECT_EQ(le16(d, 2), fonts[i].flags) << i;
        EXPECT_EQ(le16(d, 4), fonts[i].color) << i;
        EXPECT_EQ(le16(d, 6), fonts[i].weight) << i;
        EXPECT_EQ(le16(d, 8), 0) << i;
        EXPECT_EQ(d.substr(10, 4), std::string(4, '\0'));
        EXPECT_EQ(d[14], 5);
        EXPECT_EQ(d[15], 1);
        EXPECT_EQ(utf16At(d, 16, 5), u"Arial");
    }

    // FORMAT 165 "0;\-0" and 166 "dd.mm.yyyy".
    EXPECT_EQ(le16(globals[9].data, 0), 165);
    EXPECT_EQ(le16(globals[9].data, 2), 5);
    EXPECT_EQ(globals[9].data[4], 1);
    EXPECT_EQ(utf16At(globals[9].data, 5, 5), u"0;\\-0");
    EXPECT_EQ(le16(globals[10].data, 0), 166);
    EXPECT_EQ(utf16At(globals[10].data, 5, 10), u"dd.mm.yyyy");

    // PALETTE: 56 entries, entry 9 the header fill, the rest the default palette.
    const std::string& palette = globals[11].data;
    EXPECT_EQ(le16(palette, 0), 56);
    EXPECT_EQ(palette.substr(2, 4), std::string("\0\0\0\0", 4));
    EXPECT_EQ(palette.substr(6, 4), std::string("\xC5\xD9\xF1\0", 4));
    EXPECT_EQ(palette.substr(10, 4), std::string("\xFF\0\0\0", 4));
    EXPECT_EQ(palette.substr(2 + 55 * 4, 4), std::string("\x33\x33\x33\0", 4));

    // XF: 15 style XFs, the default cell XF 15, then one per cell format.
    for (int i = 0; i < 16; ++i) {
        const std::string& d = globals[12 + i].data;
        EXPECT_EQ(le16(d, 0), 0);
        EXPECT_EQ(le16(d, 2), 0);
        EXPECT_EQ(le16(d, 4), i < 15 ? 0xFFF4 : 0x0000) << i;
        EXPECT_EQ(d.substr(6, 4), std::string("\0\0\0\xFC", 4));
        EXPECT_EQ(d.substr(10), std::string(10, '\0'));
    }
    struct XF { int font, format, align; std::uint32_t border2; int pattern; };
    const XF xfs[] = {
        {0, 0, 0x20, 0x00000408, 0},   // 16: cell format 0
        {6, 0, 0x00, 0x00000408, 0},   // 17: sheet style, strings, booleans
        {5, 0, 0x00, 0x04000408, 9},   // 18: header
        {6, 165, 0x03, 0x00000408, 0}, // 19: POCET
        {6, 0, 0x03, 0x00000408, 0},   // 20: CENA
        {6, 166, 0x02, 0x00000408, 0}, // 21: DATUM
    };
    for (int i = 0; i < 6; ++i) {
        const std::string& d = globals[28 + i].data;
        EXPECT_EQ(le16(d, 0), xfs[i].font) << "XF " << 16 + i;
        EXPECT_EQ(le16(d, 2), xfs[i].format) << "XF " << 16 + i;
        EXPECT_EQ(le16(d, 4), 0x0001) << "XF " << 16 + i;
        EXPECT_EQ(std::uint8_t(d[6]), xfs[i].align) << "XF " << 16 + i;
        EXPECT_EQ(d[7], 0);
        EXPECT_EQ(d[8], 0);
        EXPECT_EQ(std::uint8_t(d[9]), 0xFC);
        EXPECT_EQ(le32(d, 10), 0x04080000u) << "XF " << 16 + i;
        EXPECT_EQ(le32(d, 14), xfs[i].border2) << "XF " << 16 + i;
        EXPECT_EQ(le16(d, 18), xfs[i].pattern) << "XF " << 16 + i;
    }

    // STYLE, BOUNDSHEET (the offset of the sheet's BOF), SUPBOOK, EXTERNSHEET.
    EXPECT_EQ(globals[34].data, std::string("\x00\x80\x00\xFF", 4));
    const std::string& bound = globals[35].data;
    EXPECT_EQ(le32(bound, 0), sheet[0].offset);
    EXPECT_EQ(bound.substr(4), std::string("\0\0\x04\x01", 4) + std::string("D\0a\0t\0a\0", 8));
    EXPECT_EQ(globals[36].data, std::string("\x01\x00\x01\x04", 4));
    EXPECT_EQ(globals[37].data, std::string("\x01\x00\0\0\0\0\0\0", 8));

    // SST: counts 6 and 6, the texts in order of first use.
    const std::string& sst = globals[38].data;
    EXPECT_EQ(le32(sst, 0), 6u);
    EXPECT_EQ(le32(sst, 4), 6u);
    std::size_t p = 8;
    for (std::u16string text : {u"NAZEV", u"POCET", u"CENA", u"DATUM", u"PLATNY", u"Šroub M6"}) {
        EXPECT_EQ(le16(sst, p), text.size());
        EXPECT_EQ(sst[p + 2], 1);
        EXPECT_EQ(utf16At(sst, p + 3, text.size()), text);
        p += 3 + 2 * text.size();
    }

    // Sheet: the fixed records, COLINFO, DIMENSIONS, rows, then the tail.
    const std::vector<std::pair<int, int>> head = {{0x0809, 16}, {0x020B, 16}, {0x0080, 8}, {0x0225, 4}, {0x0081, 2},
                                             {0x0026, 8},  {0x0027, 8},  {0x0028, 8}, {0x0029, 8}, {0x00A1, 34}};
    std::vector<std::pair<int, int>> all = numbersAndLengths(sheet);
    ASSERT_GT(all.size(), head.size());
    const std::vector<std::pair<int, int>> headGot(all.begin(), all.begin() + head.size());
    EXPECT_EQ(headGot, head);
    std::size_t i = head.size();
    std::vector<Record> colinfo;
    while (i < sheet.size() && sheet[i].number == 0x007D)
        colinfo.push_back(sheet[i++]);
    std::vector<std::pair<int, int>> tail = {{0x0200, 14}, {0x0208, 16}, {0x00FD, 10}, {0x00FD, 10}, {0x00FD, 10}, {0x00FD, 10},
                                             {0x00FD, 10}, {0x0208, 16}, {0x00FD, 10}, {0x0203, 14}, {0x0203, 14}, {0x0203, 14},
                                             {0x0205, 8},  {0x023E, 18}, {0x00A0, 4},  {0x001D, 15}, {0x000A, 0}};
    const std::vector<std::pair<int, int>> tailGot(all.begin() + i, all.end());
    EXPECT_EQ(tailGot, tail);

    EXPECT_EQ(le16(sheet[0].data, 2), 0x0010);
    EXPECT_EQ(sheet[1].data, std::string("\0\0\0\0\0\0\0\0\xFF\xFF\0\0\0\0\0\0", 16));
    EXPECT_EQ(sheet[2].data, std::string(8, '\0'));
    EXPECT_EQ(sheet[3].data, std::string("\0\0\xF0\x00", 4));
    EXPECT_EQ(sheet[4].data, std::string("\xC0\x00", 2));
    for (int m = 5; m <= 8; ++m)
        EXPECT_DOUBLE_EQ(f64(sheet[m].data, 0), 2 * 0.393700787401574825);
    const std::string& setup = sheet[9].data;
    const std::uint16_t setupWords[] = {9, 100, 0, 0, 0, 2, 0, 0};
    for (int w = 0; w < 8; ++w)
        EXPECT_EQ(le16(setup, 2 * w), setupWords[w]) << w;
    EXPECT_DOUBLE_EQ(f64(setup, 16), 0.3937007874015748);
    EXPECT_DOUBLE_EQ(f64(setup, 24), 0.3937007874015748);
    EXPECT_EQ(le16(setup, 32), 1);

    // COLINFO: columns 0-4 with their measured widths (equal neighbours
    // merged), then 5-256 with the default width; all XF 17.
    ASSERT_GE(colinfo.size(), 2u);
    int nextColumn = 0;
    int previousWidth = -1;
    for (std::size_t c = 0; c + 1 < colinfo.size(); ++c) {
        const std::string& d = colinfo[c].data;
        EXPECT_EQ(le16(d, 0), nextColumn);
        const int width = le16(d, 4);
        EXPECT_NE(width, previousWidth);
        for (int col = le16(d, 0); col <= le16(d, 2); ++col)
            EXPECT_EQ(width, static_cast<int>(std::nearbyint(layout.colWidths[col] / 7.0 * 256))) << col;
        EXPECT_EQ(le16(d, 6), 17);
        EXPECT_EQ(le32(d, 8), 0u);
        nextColumn = le16(d, 2) + 1;
        previousWidth = width;
    }
    EXPECT_EQ(nextColumn, 5);
    EXPECT_EQ(colinfo.back().data, std::string("\x05\x00\x00\x01\x6E\x0B\x11\x00\0\0\0\0", 12));

    std::size_t r = i;
    EXPECT_EQ(sheet[r++].data, std::string(14, '\0'));
    // ROW 0: height 240, options 0x001201C0; the header cells LABELSST XF 18.
    EXPECT_EQ(sheet[r].data, std::string("\0\0\0\0\x01\0\xF0\0\0\0\0\0\xC0\x01\x12\0", 16));
    ++r;
    for (int c = 0; c < 5; ++c, ++r) {
        const Cell cell = cellOf(sheet[r]);
        EXPECT_EQ(cell.row, 0);
        EXPECT_EQ(cell.column, c);
        EXPECT_EQ(cell.xf, 18);
        EXPECT_EQ(le32(sheet[r].data, 6), static_cast<std::uint32_t>(c));
    }
    EXPECT_EQ(sheet[r].data, std::string("\x01\0\0\0\x01\0\xF0\0\0\0\0\0\x40\x01\0\0", 16));
    ++r;
    const int recordXF[] = {17, 19, 20, 21, 17};
    for (int c = 0; c < 5; ++c) {
        const Cell cell = cellOf(sheet[r + c]);
        EXPECT_EQ(cell.row, 1);
        EXPECT_EQ(cell.column, c);
        EXPECT_EQ(cell.xf, recordXF[c]) << c;
    }
    EXPECT_EQ(le32(sheet[r].data, 6), 5u);
    EXPECT_EQ(f64(sheet[r + 1].data, 6), 120.0);
    EXPECT_EQ(f64(sheet[r + 2].data, 6), 2.5);
    EXPECT_EQ(f64(sheet[r + 3].data, 6), 44010.0);
    EXPECT_EQ(sheet[r + 4].data.substr(6), std::string("\x01\x00", 2));
    r += 5;
    EXPECT_EQ(sheet[r++].data, std::string("\xB6\x07\0\0\0\0\0\0\0\0\x3C\0\x64\0\0\0\0\0", 18));
    EXPECT_EQ(sheet[r++].data, std::string("\x64\0\x64\0", 4));
    EXPECT_EQ(sheet[r++].data, std::string("\x03\0\0\0\0\0\0\x01\0\0\0\0\0\0\0", 15));
}

// Rows pushed through the streaming writer give the same bytes as the same
// rows held in the model (rows past the first 49 records ask for no width).
TEST(XLSWriter, StreamedRowsEqualModelRows)
{
    auto fill = [](ExportRow& row, int i) {
        row.addCellString(i % 7 == 0 ? "Řádek 1\r\nŘádek 2" : "Text " + std::to_string(i % 13));
        row.addCellNumber(0, i % 5 == 0 ? 0.0 : i * 3.0);
        row.addCellNumber(-1, i * 0.25);
        if (i % 4 == 0)
            row.addCellString("");
        else
            row.addCellDateTime(44000 + i).setExcelNumberFormat("dd.mm.yyyy");
        row.addCellBoolean(i % 2 == 0);
    };
    const int records = 2500;   // more than one chunk of 10,000 cells
    DriverWorkbook model(exampleFields());
    for (int i = 0; i < records; ++i) {
        ExportRow& row = model.sheet->addRow();
        fill(row, i);
        if (i < 49)
            for (int c = 0; c < row.cellCount(); ++c)
                if (!(i % 4 == 0 && c == 3))
                    row.cell(c).setCalculateColWidth(true);
    }
    const std::string whole = exportWhole(model.workbook);

    DriverWorkbook streamed(exampleFields());
    for (int i = 0; i < 49; ++i) {
        ExportRow& row = streamed.sheet->addRow();
        fill(row, i);
        for (int c = 0; c < row.cellCount(); ++c)
            if (!(i % 4 == 0 && c == 3))
                row.cell(c).setCalculateColWidth(true);
    }
    MemoryOutputStream out;
    XLSStreamWriter writer(streamed.workbook, out);
    writer.beginSheet(*streamed.sheet, 1 + records);
    for (int i = 49; i < records; ++i) {
        writer.addString(i % 7 == 0 ? "Řádek 1\r\nŘádek 2" : "Text " + std::to_string(i % 13));
        writer.addNumber(0, i % 5 == 0 ? 0.0 : i * 3.0);
        writer.addNumber(-1, i * 0.25);
        if (i % 4 == 0)
            writer.addString("");
        else
            writer.addDateTime(44000 + i, "dd.mm.yyyy");
        writer.addBoolean(i % 2 == 0);
        EXPECT_TRUE(writer.endRow());
    }
    writer.endSheet();
    writer.finish();
    EXPECT_EQ(writer.rowsWritten(), 1 + records);
    EXPECT_EQ(writer.rowsLeftOut(), 0);
    EXPECT_TRUE(out.data() == whole);
}

// Rows past 65,536 and cells past 256 columns are left out and counted.
TEST(XLSWriter, RowsAndColumnsPastTheLimitsAreCounted)
{
    DriverWorkbook wb(exampleFields());
    MemoryOutputStream out;
    XLSStreamWriter writer(wb.workbook, out);
    writer.beginSheet(*wb.sheet, 70001);
    for (int i = 0; i < 70000; ++i) {
        writer.addString("r" + std::to_string(i));
        writer.addNumber(0, i);
        writer.endRow();
    }
    writer.finish();
    EXPECT_EQ(writer.rowsWritten(), 65536);
    EXPECT_EQ(writer.rowsLeftOut(), 70001 - 65536);
    EXPECT_EQ(writer.fieldsLeftOut(), 0);
    const auto records = parseRecords(workbookStream(out.data()));
    int lastRow = -1;
    for (const auto& r : records) {
        if (r.number == 0x0208)
            lastRow = le16(r.data, 0);
        if (r.number == 0x00FC) {
            EXPECT_EQ(le32(r.data, 4), 5u + 65535u);   // no text of a left-out row
        }
    }
    EXPECT_EQ(lastRow, 65535);

    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("F" + std::to_string(i));
    DriverWorkbook wide(names);
    ExportRow& row = wide.sheet->addRow();
    for (int i = 0; i < 300; ++i)
        row.addCellNumber(0, i).setCalculateColWidth(true);
    CustomExporterXLS exporter;
    const auto wideRecords = parseRecords(workbookStream(exportWhole(wide.workbook, &exporter)));
    EXPECT_EQ(exporter.fieldsLeftOut(), 44);
    EXPECT_EQ(exporter.rowsLeftOut(), 0);
    int maxColumn = -1;
    const Record* lastColinfo = nullptr;
    for (const auto& r : wideRecords) {
        if (r.number == 0x00FD || r.number == 0x0203)
            maxColumn = std::max<int>(maxColumn, le16(r.data, 2));
        if (r.number == 0x007D)
            lastColinfo = &r;
    }
    EXPECT_EQ(maxColumn, 255);
    ASSERT_NE(lastColinfo, nullptr);
    EXPECT_EQ(le16(lastColinfo->data, 0), 256);
    EXPECT_EQ(le16(lastColinfo->data, 2), 256);
}

// An empty date is a BLANK with the plain string format; a zero is NUMBER 0;
// a text longer than 65,535 characters is cut.
TEST(XLSWriter, BlankZeroAndLongTexts)
{
    DriverWorkbook wb(exampleFields());
    ExportRow& row = wb.sheet->addRow();
    row.addCellString(std::string(70000, 'x'));
    row.addCellNumber(0, 0.0);
    row.addCellNumber(-1, std::nan(""));
    row.addCellString("");
    row.addCellBoolean(false);
    const auto records = parseRecords(workbookStream(exportWhole(wb.workbook)));
    std::map<int, Record> rowOne;
    for (const auto& r : records)
        if ((r.number == 0x00FD || r.number == 0x0203 || r.number == 0x0201 || r.number == 0x0205) && le16(r.data, 0) == 1)
            rowOne[le16(r.data, 2)] = r;
    ASSERT_EQ(rowOne.size(), 5u);
    EXPECT_EQ(rowOne[0].number, 0x00FD);
    EXPECT_EQ(rowOne[1].number, 0x0203);
    EXPECT_EQ(f64(rowOne[1].data, 6), 0.0);
    EXPECT_EQ(rowOne[2].number, 0x0201);      // not a number
    EXPECT_EQ(rowOne[3].number, 0x0201);      // empty text
    EXPECT_EQ(le16(rowOne[3].data, 4), le16(rowOne[0].data, 4));
    EXPECT_EQ(rowOne[4].number, 0x0205);      // false is a value
    std::uint16_t longCount = 0;
    for (const auto& r : records)
        if (r.number == 0x00FC) {
            std::size_t p = 8;
            for (int t = 0; t < 5; ++t)
                p += 3 + 2 * le16(r.data, p);
            longCount = le16(r.data, p);
        }
    EXPECT_EQ(longCount, 65535);
}

TEST(XLSWriter, Utf8ToUtf16)
{
    std::u16string out;
    utf8ToUtf16("Šroub \xF0\x9F\x98\x80 a\xC3", out);
    EXPECT_EQ(out, u"Šroub \U0001F600 a\uFFFD");
    utf8ToUtf16("\xE2\x82x\xC0\xAF", out);
    EXPECT_EQ(out, u"\uFFFDx\uFFFD");   // an overlong form is one bad sequence
    std::string back;
    utf16ToUtf8(u"Šroub \U0001F600 \xD800x", back);
    EXPECT_EQ(back, "Šroub \xF0\x9F\x98\x80 \xEF\xBF\xBDx");
}
