#include "export/xlsx/XLSXWriter.h"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "export/driver/ExporterRegistry.h"
#include "export/output/OutputStream.h"
#include "export/workbook/TextMeasure.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookErrors.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xlsx/XmlWriter.h"
#include "support/ThreadCount.h"
#include "support/ZipTestReader.h"

using namespace karto;
using karto::test::findEntry;
using karto::test::readZip;
using karto::test::runningThreads;
using karto::test::ZipTestEntry;

namespace {

// One value of a record, typed as the export driver types table fields.
struct Value {
    char kind;  // 'S' text, 'I' integer, 'F' float, 'D' date (serial, <= 1 = empty), 'L' logical
    std::string text;
    double number = 0;
};

Value text(std::string s) { return {'S', std::move(s), 0}; }
Value integer(double v) { return {'I', {}, v}; }
Value real(double v) { return {'F', {}, v}; }
Value date(double serial) { return {'D', {}, serial}; }
Value logical(bool v) { return {'L', {}, v ? 1.0 : 0.0}; }

// What the export driver does: sheet "Data" in Arial 9, a bold light-blue
// header row of field names, then one row per record; the header and the
// first 49 records ask for column widths.
ExportWorkSheet& startSheet(Workbook& workbook, const std::vector<std::string>& names)
{
    ExportWorkSheet& sheet = workbook.addWorkSheet("Data");
    sheet.style().setFontName("Arial").setFontSize(9);
    ExportRow& header = sheet.addRow();
    header.style().setFontStyle(fsBold).setBGColor(0x00F1D9C5);
    for (const std::string& name : names)
        header.addCellString(name).setCalculateColWidth(true);
    return sheet;
}

void addModelRecord(ExportWorkSheet& sheet, const std::vector<Value>& record, bool measure)
{
    ExportRow& row = sheet.addRow();
    for (const Value& v : record) {
        switch (v.kind) {
        case 'S': row.addCellString(v.text).setCalculateColWidth(measure); break;
        case 'I': row.addCellNumber(0, v.number).setCalculateColWidth(measure); break;
        case 'F': row.addCellNumber(-1, v.number).setCalculateColWidth(measure); break;
        case 'L': row.addCellBoolean(v.number != 0).setCalculateColWidth(measure); break;
        case 'D':
            if (v.number <= 1)
                row.addCellString("");
            else
                row.addCellDateTime(v.number).setExcelNumberFormat("dd.mm.yyyy").setCalculateColWidth(measure);
            break;
        }
    }
}

void pushRecord(XLSXStreamWriter& writer, const std::vector<Value>& record)
{
    for (const Value& v : record) {
        switch (v.kind) {
        case 'S': writer.addString(v.text); break;
        case 'I': writer.addNumber(0, v.number); break;
        case 'F': writer.addNumber(-1, v.number); break;
        case 'L': writer.addBoolean(v.number != 0); break;
        case 'D':
            if (v.number <= 1)
                writer.addString("");
            else
                writer.addDateTime(v.number, "dd.mm.yyyy");
            break;
        }
    }
    writer.endRow();
}

// The whole export through the model only.
std::string exportModel(const std::vector<std::string>& names, const std::vector<std::vector<Value>>& records)
{
    Workbook workbook;
    ExportWorkSheet& sheet = startSheet(workbook, names);
    int counter = 1;
    for (const auto& record : records)
        addModelRecord(sheet, record, counter++ < 50);
    MemoryOutputStream out;
    XLSXStreamWriter writer(workbook, out);
    writer.setZipClock([] {
        std::tm t{};
        t.tm_year = 120;
        t.tm_mon = 5;
        t.tm_mday = 28;
        t.tm_hour = 12;
        return t;
    });
    writer.finish();
    return out.data();
}

// The export as the command line runs it: header and 49 records in the
// model, the rest pushed.
std::string exportStreamed(const std::vector<std::string>& names, const std::vector<std::vector<Value>>& records,
                           int64_t rowLimit = 0, int64_t* leftOut = nullptr, bool* direct = nullptr,
                           const ParallelDeflateOptions& deflate = {}, WorkbookProgressReceiver* progress = nullptr)
{
    Workbook workbook;
    workbook.setProgressReceiver(progress);
    ExportWorkSheet& sheet = startSheet(workbook, names);
    std::size_t i = 0;
    for (; i < records.size() && i < 49; ++i)
        addModelRecord(sheet, records[i], true);
    MemoryOutputStream out;
    XLSXStreamWriter writer(workbook, out);
    writer.setDeflateOptions(deflate);
    if (rowLimit > 0)
        writer.setMaxRowCount(rowLimit);
    writer.beginSheet(sheet, 1 + static_cast<int64_t>(records.size()));
    if (direct)
        *direct = writer.rowsGoStraightIntoTheArchive();
    for (; i < records.size(); ++i)
        pushRecord(writer, records[i]);
    writer.endSheet();
    writer.finish();
    if (leftOut)
        *leftOut = writer.rowsLeftOut();
    return out.data();
}

std::string writeTempFile(const std::string& bytes, const std::string& suffix)
{
    char path[] = "/tmp/karto-xlsx-XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    const std::string name = std::string(path) + suffix;
    std::rename(path, name.c_str());
    std::ofstream(name, std::ios::binary) << bytes;
    return name;
}

std::string runPython(const std::string& script, const std::string& file)
{
    const std::string scriptFile = writeTempFile(script, ".py");
    std::string output;
    const std::string command = "/usr/bin/python3 " + scriptFile + " " + file + " 2>&1";
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, p))
            output += buffer;
        pclose(p);
    }
    std::remove(scriptFile.c_str());
    return output;
}

const std::vector<std::string> kExampleNames = {"NAZEV", "POCET", "CENA", "DATUM", "PLATNY"};

std::vector<Value> exampleRecord()
{
    return {text("Šroub M6"), integer(120), real(2.5), date(dateToSerial(2020, 6, 28)), logical(true)};
}

const char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

} // namespace

TEST(XLSXWriter, WorkedExampleEveryPart)
{
    if (!arialMetricsAvailable())
        GTEST_SKIP() << "Liberation Sans (Arial metrics) is not installed";
    const std::string bytes = exportModel(kExampleNames, {exampleRecord()});
    const auto entries = readZip(bytes);
    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    for (const auto& e : entries)
        EXPECT_EQ(e.dosDateTime, (((2020u - 1980) * 512 + 6 * 32 + 28) << 16) | (12u * 2048)) << e.name;
    EXPECT_EQ(names, (std::vector<std::string>{"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/sharedStrings.xml",
                                               "[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                               "xl/workbook.xml", "docProps/core.xml", "docProps/app.xml",
                                               "xl/theme/theme1.xml"}));

    // Column widths: the widest of the bold header and the record, + 7 pixels.
    auto widest = [](const std::string& header, const std::string& value) {
        ExportFont bold, plain;
        bold.setName("Arial");
        bold.setSize(9);
        bold.style().bold = efsYes;
        plain.setName("Arial");
        plain.setSize(9);
        return std::max(textWidth(bold, header), textWidth(plain, value)) + 7;
    };
    const int widths[5] = {widest("NAZEV", "Šroub M6"), widest("POCET", "120"), widest("CENA", "2.5"),
                           widest("DATUM", "28.06.2020"), widest("PLATNY", "True")};
    std::string cols;
    for (int c = 0; c < 5;) {
        int last = c;
        while (last + 1 < 5 && widths[last + 1] == widths[c])
            ++last;
        cols += "<col min=\"" + std::to_string(c + 1) + "\" max=\"" + std::to_string(last + 1) + "\" width=\"" +
                formatXmlNumber(widths[c] / 7.0) + "\" customWidth=\"1\" style=\"2\"/>";
        c = last + 1;
    }
    // For reference: the widths as measured here.
    EXPECT_EQ(widths[0], 60);
    EXPECT_EQ(widths[1], 48);
    EXPECT_EQ(widths[3], 69);

    const std::string sheet =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheetPr><outlinePr summaryBelow=\"1\" summaryRight=\"1\"/></sheetPr><dimension ref=\"A1:E2\"/>"
        "<sheetViews><sheetView workbookViewId=\"0\"><selection activeCell=\"A1\" sqref=\"A1\"/></sheetView>"
        "</sheetViews><sheetFormatPr baseColWidth=\"10\" defaultColWidth=\"11.4285714285714\" "
        "defaultRowHeight=\"12\" customHeight=\"1\"/><cols>" +
        cols +
        "<col min=\"6\" max=\"16384\" width=\"11.4285714285714\" style=\"2\"/></cols><sheetData>"
        "<row s=\"1\" customFormat=\"1\" ht=\"12\" customHeight=\"1\" r=\"1\">"
        "<c r=\"A1\" s=\"1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" s=\"1\" t=\"s\"><v>2</v></c><c r=\"D1\" s=\"1\" t=\"s\"><v>3</v></c>"
        "<c r=\"E1\" s=\"1\" t=\"s\"><v>4</v></c></row>"
        "<row ht=\"12\" customHeight=\"1\" r=\"2\"><c r=\"A2\" s=\"2\" t=\"s\"><v>5</v></c>"
        "<c r=\"B2\" s=\"3\"><v>120</v></c><c r=\"C2\" s=\"4\"><v>2.5</v></c><c r=\"D2\" s=\"5\"><v>44010</v></c>"
        "<c r=\"E2\" s=\"2\" t=\"b\"><v>1</v></c></row></sheetData>"
        "<pageMargins left=\"0.78740157480315\" right=\"0.78740157480315\" top=\"0.78740157480315\" "
        "bottom=\"0.78740157480315\" header=\"0.393700787401575\" footer=\"0.393700787401575\"/>"
        "<pageSetup orientation=\"portrait\" pageOrder=\"downThenOver\" paperSize=\"9\" fitToWidth=\"0\" "
        "fitToHeight=\"0\"/></worksheet>";
    EXPECT_EQ(entries[0].data, sheet);

    const std::string plainFont9 =
        "<font><b val=\"0\"/><i val=\"0\"/><strike val=\"0\"/><u val=\"none\"/><sz val=\"9\"/>"
        "<color rgb=\"FF000000\"/><name val=\"Arial\"/></font>";
    const std::string xfHead = "\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" applyFill=\"1\" applyAlignment=\"1\">";
    const std::string styles =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<numFmts count=\"2\"><numFmt numFmtId=\"165\" formatCode=\"0;\\-0\"/>"
        "<numFmt numFmtId=\"166\" formatCode=\"dd.mm.yyyy\"/></numFmts>"
        "<fonts count=\"3\"><font><b val=\"0\"/><i val=\"0\"/><strike val=\"0\"/><u val=\"none\"/><sz val=\"10\"/>"
        "<color rgb=\"FF000000\"/><name val=\"Arial\"/></font>"
        "<font><b/><i val=\"0\"/><strike val=\"0\"/><u val=\"none\"/><sz val=\"9\"/>"
        "<color rgb=\"FF000000\"/><name val=\"Arial\"/></font>" +
        plainFont9 +
        "</fonts><fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill><fill><patternFill patternType=\"solid\">"
        "<fgColor rgb=\"FFC5D9F1\"/><bgColor indexed=\"64\"/></patternFill></fill></fills>"
        "<borders count=\"1\"><border><left style=\"none\"><color rgb=\"FF000000\"/></left>"
        "<right style=\"none\"><color rgb=\"FF000000\"/></right><top style=\"none\"><color rgb=\"FF000000\"/></top>"
        "<bottom style=\"none\"><color rgb=\"FF000000\"/></bottom></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"6\">"
        "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0" + xfHead + "<alignment/></xf>"
        "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2" + xfHead + "<alignment vertical=\"top\"/></xf>"
        "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0" + xfHead + "<alignment vertical=\"top\"/></xf>"
        "<xf numFmtId=\"165\" fontId=\"2\" fillId=\"0" + xfHead +
        "<alignment horizontal=\"right\" vertical=\"top\"/></xf>"
        "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0" + xfHead +
        "<alignment horizontal=\"right\" vertical=\"top\"/></xf>"
        "<xf numFmtId=\"166\" fontId=\"2\" fillId=\"0" + xfHead +
        "<alignment horizontal=\"center\" vertical=\"top\"/></xf>"
        "</cellXfs></styleSheet>";
    EXPECT_EQ(entries[1].data, styles);

    EXPECT_EQ(entries[2].data, std::string(kDecl) +
                                   "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                                   "count=\"6\" uniqueCount=\"6\"><si><t>NAZEV</t></si><si><t>POCET</t></si>"
                                   "<si><t>CENA</t></si><si><t>DATUM</t></si><si><t>PLATNY</t></si>"
                                   "<si><t>Šroub M6</t></si></sst>");

    EXPECT_EQ(entries[3].data,
              std::string(kDecl) +
                  "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Override PartName=\"/xl/theme/theme1.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
                  "<Override PartName=\"/xl/styles.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                  "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                  "<Override PartName=\"/docProps/app.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
                  "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                  "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\" />"
                  "<Override PartName=\"/xl/sharedStrings.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
                  "<Override PartName=\"/docProps/core.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>");

    EXPECT_EQ(entries[4].data,
              std::string(kDecl) +
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId3\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
                  "Target=\"docProps/app.xml\"/><Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
                  "Target=\"docProps/core.xml\"/><Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                  "Target=\"xl/workbook.xml\"/></Relationships>");

    EXPECT_EQ(entries[5].data,
              std::string(kDecl) +
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                  "Target=\"styles.xml\"/><Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme\" "
                  "Target=\"theme/theme1.xml\"/><Relationship Id=\"rId4\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                  "Target=\"sharedStrings.xml\"/><Relationship Id=\"rId5\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/></Relationships>");

    EXPECT_EQ(entries[6].data,
              std::string(kDecl) +
                  "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                  "<fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4506\"/>"
                  "<workbookPr defaultThemeVersion=\"124226\" /><sheets>"
                  "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId5\"/></sheets><definedNames></definedNames>"
                  "<calcPr calcId=\"125725\" /></workbook>");

    EXPECT_EQ(entries[7].data,
              std::string(kDecl) +
                  "<cp:coreProperties "
                  "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                  "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                  "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
                  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><dc:creator></dc:creator>"
                  "<dc:description></dc:description><cp:keywords></cp:keywords><dc:subject></dc:subject>"
                  "<dc:title></dc:title></cp:coreProperties>");

    EXPECT_EQ(entries[8].data,
              std::string(kDecl) +
                  "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
                  "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
                  "<Application>Microsoft Excel</Application><AppVersion>12.000</AppVersion></Properties>");

    const std::string& theme = entries[9].data;
    EXPECT_EQ(theme.size(), 4377u);
    EXPECT_EQ(theme.substr(0, sizeof kDecl - 1), kDecl);
    EXPECT_NE(theme.find("name=\"Orbelle-Design\""), std::string::npos);
    EXPECT_TRUE(theme.ends_with("</a:themeElements><a:objectDefaults/><a:extraClrSchemeLst/></a:theme>"));
}

namespace {

// Records of every kind the driver makes, with texts that need escaping,
// wrapped texts, empty dates and 64-bit integers.
std::vector<std::vector<Value>> mixedRecords(int count, bool withText)
{
    std::vector<std::vector<Value>> records;
    for (int i = 0; i < count; ++i) {
        std::vector<Value> r;
        if (withText)
            r.push_back(text(i % 7 == 0 ? "Řádek\r\ndruhý" : "Položka " + std::to_string(i % 13)));
        r.push_back(integer(i % 5 == 0 ? 12345678901.0 : -i));
        r.push_back(real(i * 0.25 - 3));
        r.push_back(date(i % 11 == 3 && i > 60 ? 0 : dateToSerial(2000 + i % 20, 1 + i % 12, 1 + i % 28)));
        if (withText)
            r.push_back(logical(i % 2 == 0));
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<std::string> partsOf(const std::string& bytes)
{
    std::vector<std::string> parts;
    for (const auto& e : readZip(bytes))
        parts.push_back(e.name + "\n" + e.data);
    return parts;
}

ParallelDeflateOptions deflateOn(unsigned threads, std::size_t chunkSize = 512 * 1024, unsigned inFlight = 0)
{
    ParallelDeflateOptions options;
    options.threads = threads;
    options.chunkSize = chunkSize;
    options.chunksInFlight = inFlight;
    return options;
}

// Every progress notification, one line each.
class ProgressLog : public WorkbookProgressReceiver {
public:
    void workbookProgress(ExportProgressNotificationType kind, int64_t position, int64_t count,
                          const std::string& text) override
    {
        lines.push_back(std::to_string(kind) + " " + std::to_string(position) + "/" + std::to_string(count) + " " +
                        text);
    }
    std::vector<std::string> lines;
};

} // namespace

TEST(XLSXWriter, StreamedRowsGiveTheSameBytesAsTheModel)
{
    // With a text column the rows go straight into the archive; with only
    // numbers and dates (an empty date first appears late) they wait in a
    // temporary file. Both must equal the whole-model export part by part.
    for (const bool withText : {true, false}) {
        const std::vector<std::string> names =
            withText ? kExampleNames : std::vector<std::string>{"POCET", "CENA", "DATUM"};
        const auto records = mixedRecords(30000, withText);
        const std::string model = exportModel(names, records);
        bool direct = false;
        const std::string streamed = exportStreamed(names, records, 0, nullptr, &direct);
        EXPECT_EQ(direct, withText);
        EXPECT_EQ(partsOf(model), partsOf(streamed)) << (withText ? "direct" : "spilled");
    }
}

TEST(XLSXWriter, SameFileOnAnyNumberOfThreads)
{
    // Chunks of 61 bytes cut cells, shared strings and UTF-8 letters; the
    // parts, their order and the progress reported are those of the
    // single-threaded writer, with the rows straight in the archive or
    // through the temporary file.
    for (const bool withText : {true, false}) {
        const std::vector<std::string> names =
            withText ? kExampleNames : std::vector<std::string>{"POCET", "CENA", "DATUM"};
        const auto records = mixedRecords(1500, withText);
        ProgressLog singleProgress;
        const std::string single = exportStreamed(names, records, 0, nullptr, nullptr, deflateOn(1), &singleProgress);
        for (const auto& options : {deflateOn(2, 61), deflateOn(3, 4093, 2), deflateOn(0)}) {
            const std::string label = std::string(withText ? "direct" : "spilled") + ", chunk " +
                                      std::to_string(options.chunkSize);
            ProgressLog progress;
            const std::string parallel = exportStreamed(names, records, 0, nullptr, nullptr, options, &progress);
            EXPECT_EQ(partsOf(parallel), partsOf(single)) << label;
            EXPECT_EQ(progress.lines, singleProgress.lines) << label;
        }
    }
}

TEST(XLSXWriter, HeaderOnlyAndFewRecords)
{
    for (int count : {0, 1, 49, 50, 51}) {
        const auto records = mixedRecords(count, true);
        EXPECT_EQ(partsOf(exportModel(kExampleNames, records)), partsOf(exportStreamed(kExampleNames, records)))
            << count;
    }
    const auto entries = readZip(exportStreamed(kExampleNames, {}));
    const std::string& sheet = entries[0].data;
    EXPECT_NE(sheet.find("<dimension ref=\"A1:E1\"/>"), std::string::npos);
    EXPECT_NE(sheet.find("<sheetData><row s=\"1\""), std::string::npos);
    ASSERT_NE(findEntry(entries, "xl/sharedStrings.xml"), nullptr);
}

TEST(XLSXWriter, RowsPastTheLimitAreCountedNotWritten)
{
    int64_t leftOut = 0;
    const auto records = mixedRecords(120, true);
    const auto entries = readZip(exportStreamed(kExampleNames, records, 100, &leftOut));
    EXPECT_EQ(leftOut, 21);  // 1 header + 99 records written
    const std::string& sheet = entries[0].data;
    EXPECT_NE(sheet.find("<dimension ref=\"A1:E100\"/>"), std::string::npos);
    EXPECT_NE(sheet.find("r=\"100\">"), std::string::npos);
    EXPECT_EQ(sheet.find("r=\"101\">"), std::string::npos);
}

TEST(XLSXWriter, SharedStringsAndEscapes)
{
    const std::vector<std::string> texts = {"a<b & c>d", "_x0041_", "form\ffeed", "  leading", "CR\r\nLF",
                                            "a  b", "a b", "a<b & c>d"};
    std::vector<std::vector<Value>> records;
    for (const auto& t : texts)
        records.push_back({text(t)});
    const auto entries = readZip(exportStreamed({"TEXT"}, records));
    const std::string& sst = findEntry(entries, "xl/sharedStrings.xml")->data;
    EXPECT_NE(sst.find("count=\"8\" uniqueCount=\"8\""), std::string::npos);  // TEXT + 7 distinct
    EXPECT_NE(sst.find("<si><t>a&lt;b &amp; c>d</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t>_x005F_x0041_</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t>form_x000C_feed</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t xml:space=\"preserve\">  leading</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t>CR&#13;\nLF</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t xml:space=\"preserve\">a  b</t></si>"), std::string::npos);
    EXPECT_NE(sst.find("<si><t>a b</t></si>"), std::string::npos);
    const std::string& sheet = entries[0].data;
    // The same text twice: one entry, the same index.
    EXPECT_NE(sheet.find("<c r=\"A2\" s=\"2\" t=\"s\"><v>1</v></c>"), std::string::npos);
    EXPECT_NE(sheet.find("<c r=\"A9\" s=\"2\" t=\"s\"><v>1</v></c>"), std::string::npos);
    // CR LF: wrapped, the row stays 12 points.
    EXPECT_NE(sheet.find("<row ht=\"12\" customHeight=\"1\" r=\"6\"><c r=\"A6\" s=\"3\" t=\"s\">"), std::string::npos);
    EXPECT_NE(findEntry(entries, "xl/styles.xml")->data.find("<alignment vertical=\"top\" wrapText=\"1\"/>"),
              std::string::npos);
}

TEST(XLSXWriter, EmptyDateIsAPlainStringCell)
{
    const auto entries = readZip(exportStreamed(kExampleNames, {exampleRecord(), {text("x"), integer(1), real(1),
                                                                                  date(0), logical(false)}}));
    EXPECT_NE(entries[0].data.find("<c r=\"D3\" s=\"2\"></c>"), std::string::npos);
    EXPECT_NE(entries[0].data.find("<c r=\"E3\" s=\"2\" t=\"b\"><v>0</v></c>"), std::string::npos);
}

TEST(XLSXWriter, NoIntegerOrDateFieldsWriteEmptyNumFmts)
{
    const auto entries = readZip(exportStreamed({"A", "B"}, {{text("x"), real(1.5)}}));
    EXPECT_NE(findEntry(entries, "xl/styles.xml")->data.find("<numFmts count=\"0\"/>"), std::string::npos);
}

TEST(XLSXWriter, OpenpyxlReadsValuesFormatsAndStyles)
{
    std::vector<std::vector<Value>> records = {exampleRecord()};
    for (const auto& t : {"a<b & c>d", "_x0041_", "form\ffeed", "  leading", "CR\r\nLF"})
        records.push_back({text(t), integer(9876543210.0), real(-0.125), date(0), logical(false)});
    // openpyxl for values, formats and styles; the shared strings are also
    // decoded on their own (ElementTree and the _xHHHH_ rule), since
    // openpyxl leaves _xHHHH_ escapes other than _x005F_ undecoded.
    const std::string script = R"PY(
import sys, re, zipfile, warnings, openpyxl
import xml.etree.ElementTree as ET
warnings.simplefilter('ignore')
z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None
ws = openpyxl.load_workbook(sys.argv[1]).active
print(ws.title, ws.max_row, ws.max_column)
print([c.value for c in ws[1]])
r = ws[2]
print(repr(r[0].value), r[1].value, r[2].value, r[3].value.date(), r[4].value)
print(r[1].number_format, r[3].number_format, r[3].alignment.horizontal, r[1].alignment.horizontal)
h = ws['A1']
print(h.font.b, h.font.sz, h.fill.fgColor.rgb, ws['A2'].font.b, ws['A2'].font.name)
for row in ws.iter_rows(min_row=3):
    print(row[1].value, row[2].value, row[3].value, row[4].value)
ns = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
sst = ET.fromstring(z.read('xl/sharedStrings.xml'))
texts = [''.join(t.text or '' for t in si.iter(ns + 't')) for si in sst]
texts = [re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), t) for t in texts]
print(texts[6:])
)PY";
    const std::string expected =
        "Data 7 5\n"
        "['NAZEV', 'POCET', 'CENA', 'DATUM', 'PLATNY']\n"
        "'Šroub M6' 120 2.5 2020-06-28 True\n"
        "0;\\-0 dd.mm.yyyy center right\n"
        "True 9.0 FFC5D9F1 False Arial\n"
        "9876543210 -0.125 None False\n"
        "9876543210 -0.125 None False\n"
        "9876543210 -0.125 None False\n"
        "9876543210 -0.125 None False\n"
        "9876543210 -0.125 None False\n"
        "['a<b & c>d', '_x0041_', 'form\\x0cfeed', '  leading', 'CR\\r\\nLF']\n";
    // Once in one piece, once cut into chunks of 61 bytes on two threads.
    for (const auto& deflate : {deflateOn(0), deflateOn(2, 61)}) {
        const std::string file =
            writeTempFile(exportStreamed(kExampleNames, records, 0, nullptr, nullptr, deflate), ".xlsx");
        const std::string output = runPython(script, file);
        std::remove(file.c_str());
        EXPECT_EQ(output, expected) << "chunk " << deflate.chunkSize;
    }
}

TEST(XLSXWriter, FileReplacedOnlyWhenComplete)
{
    char dir[] = "/tmp/karto-xlsxdir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string target = std::string(dir) + "/out.xlsx";
    std::ofstream(target) << "old";
    auto listing = [&] {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir)) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    };
    auto content = [&] {
        std::ifstream in(target, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    {   // An error half-way (a font name XML cannot hold): the old file stays, no temporary file.
        Workbook workbook;
        ExportWorkSheet& sheet = startSheet(workbook, {"A"});
        sheet.style().setFontName("Bad\x01Name");
        sheet.addRow().addCellString("x");
        XLSXStreamWriter writer(workbook, target);
        EXPECT_THROW(writer.finish(), XmlWriterInvalidString);
    }
    EXPECT_EQ(content(), "old");
    EXPECT_EQ(listing(), std::vector<std::string>{"out.xlsx"});

    // A compressing thread fails (no memory) while the rows are written: the
    // export ends with the ZIP error, the old file stays, no thread is left.
    const int threadsBefore = runningThreads();
    for (const bool direct : {true, false}) {
        Workbook workbook;
        ExportWorkSheet& sheet = startSheet(workbook, direct ? kExampleNames : std::vector<std::string>{"POCET"});
        const auto records = mixedRecords(400, direct);
        ParallelDeflateOptions deflate = deflateOn(2, 1000);
        deflate.beforeChunk = [](uint64_t chunk) {
            if (chunk == 5)
                throw std::bad_alloc();
        };
        try {
            XLSXStreamWriter writer(workbook, target);
            writer.setDeflateOptions(deflate);
            writer.beginSheet(sheet, 1 + static_cast<int64_t>(records.size()));
            for (const auto& record : records)
                pushRecord(writer, direct ? record : std::vector<Value>{record[0]});
            writer.endSheet();
            writer.finish();
            ADD_FAILURE() << "no error";
        } catch (const ZipException& e) {
            EXPECT_STREQ(e.what(), "zlib error -4: insufficient memory");
        }
        EXPECT_EQ(content(), "old");
        EXPECT_EQ(listing(), std::vector<std::string>{"out.xlsx"});
        EXPECT_EQ(runningThreads(), threadsBefore);
    }

    {   // The model path through the registry.
        Workbook workbook;
        ExportWorkSheet& sheet = startSheet(workbook, kExampleNames);
        addModelRecord(sheet, exampleRecord(), true);
        saveWorkbook(workbook, target);
    }
    EXPECT_EQ(readZip(content()).size(), 10u);
    EXPECT_EQ(listing(), std::vector<std::string>{"out.xlsx"});
    std::remove(target.c_str());
    rmdir(dir);
}

TEST(Workbook, InvalidTitlesRaise)
{
    Workbook workbook;
    workbook.addWorkSheet("Data");
    workbook.addWorkSheet("DATA");
    MemoryOutputStream out;
    XLSXStreamWriter writer(workbook, out);
    try {
        writer.finish();
        FAIL();
    } catch (const WorkbookException& e) {
        EXPECT_STREQ(e.what(), "There are invalid title names in your export (e.g. duplicates or empty titles).");
    }
    ExportWorkSheet& odd = workbook.addWorkSheet("a/b:c*d?e\"f\\g");
    EXPECT_EQ(odd.title(), "a-b-c-d-e-f-g");
    EXPECT_EQ(workbook.addWorkSheet("").title(), "Worksheet 4");
}
