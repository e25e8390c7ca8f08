#pragma once
// The XLS writer: a workbook written as a BIFF8 record stream (the workbook
// stream) stored as the stream "Workbook" of a compound document.
//
// Two ways in, as for XLSX:
//
// 1. The whole document (CustomExporterXLS, chosen by saveWorkbook for "xls"
//    and "xlt"): every row held in the model.
//
// 2. Streaming (XLSStreamWriter), for exports of any length: the caller
//    builds in the model only the rows that decide the column widths (the
//    header and the first records), begins the sheet with the total row
//    count and pushes every further row as typed cells. The sheet's records
//    go into in-memory chunks that are kept compressed past a few MiB; the
//    file is written front to back when finish() is called. Memory is that
//    of the distinct texts plus a few MiB. Both ways write the same bytes
//    for the same rows.
//
//    XLSStreamWriter writer(workbook, "out.xls");       // temporary file beside out.xls
//    writer.beginSheet(sheet, 1 + recordCount);          // sheet holds header + first 49
//    for each further record:
//        writer.addString("text"); writer.addNumber(0, 120.0);
//        writer.addNumber(-1, 2.5); writer.addDateTime(44010.0, "dd.mm.yyyy");
//        writer.addBoolean(true); writer.addString("");  // an empty date
//        writer.endRow();
//    writer.endSheet();
//    writer.finish();                                    // renamed over out.xls
//    writer.rowsLeftOut();                               // rows past 65,536
//    writer.fieldsLeftOut();                             // columns past 256
//
// Limits of the format: 65,536 rows (the header and 65,535 records), 256
// columns, 65,535 characters per text. Rows and cells beyond them are not
// written and are counted; longer texts are cut.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/workbook/CustomExporter.h"
#include "export/workbook/SheetStreamWriter.h"
#include "export/workbook/SheetLayout.h"
#include "export/workbook/WorkbookTypes.h"

namespace karto {

class ChunkStreamList;
class ExportCell;
class ExportRow;
class ExportWorkSheet;
class OutputStream;
class ReplacingOutputStream;
class Workbook;
class XLSSharedStrings;
class XLSXPalette;
class XLSXStyleSheet;

class CustomExporterXLS : public CustomExporter {
public:
    static constexpr int kMaxRowCount = 65536;
    static constexpr int kMaxColCount = 256;
    static constexpr int kColWidthPadding = 7;

    void exportToStream(OutputStream& stream) override;
    int colWidthPadding() const override { return kColWidthPadding; }
    int richTextRunPadding() const override { return 2; }
    int maxColCount() const override { return kMaxColCount; }
    int maxRowCount() const override { return kMaxRowCount; }
    // Whether a template marker record is written ("xlt" included): never.
    virtual bool writesTemplateMarker() const { return false; }

    // Rows and columns of the last export that lay past the format's limits.
    int64_t rowsLeftOut() const { return rowsLeftOut_; }
    int fieldsLeftOut() const { return fieldsLeftOut_; }

private:
    int64_t rowsLeftOut_ = 0;
    int fieldsLeftOut_ = 0;
};

class XLSStreamWriter final : public SheetStreamWriter {
public:
    static constexpr int kMaxRows = CustomExporterXLS::kMaxRowCount;
    static constexpr int kMaxColumns = CustomExporterXLS::kMaxColCount;

    // Writes to the stream (not owned) from its current position.
    XLSStreamWriter(Workbook& workbook, OutputStream& stream);
    // Writes to a temporary file beside fileName; finish() renames it over
    // fileName. Destroyed without finish() (an error), the temporary file is
    // removed and an existing fileName stays untouched.
    XLSStreamWriter(Workbook& workbook, const std::string& fileName);
    ~XLSStreamWriter() override;
    XLSStreamWriter(const XLSStreamWriter&) = delete;
    XLSStreamWriter& operator=(const XLSStreamWriter&) = delete;

    // The sheet and its rows, as SheetStreamWriter says.
    void beginSheet(ExportWorkSheet& sheet, int64_t rowCount) override;
    void addString(std::string_view text) override;
    void addNumber(int decimalPlaces, double value) override;
    void addBoolean(bool value) override;
    void addDateTime(double serial, std::string_view numberFormat) override;
    bool endRow() override;
    void endSheet() override;
    void finish() override;

    int64_t rowsWritten() const { return rowsWrittenTotal_; }
    // Rows held or pushed past the format's 65,536 rows.
    int64_t rowsLeftOut() const override { return rowsLeftOut_; }
    // Cells of the widest row past the format's 256 columns.
    int fieldsLeftOut() const override { return fieldsLeftOut_; }

private:
    struct PushedStyle {
        int format = 0;          // cell format index of the style sheet
        int rowHeight = 0;       // font row height of its font, pixels
        bool emptyIfZero = false;
    };
    struct PendingCell {
        ExportCellType type;
        const PushedStyle* style;
        double value;
        uint32_t stringIndex;
        bool emptyText;
        std::string dateText;    // formatted text of a date before 30 December 1899
    };
    struct SheetOutput;

    void start();
    void writeModelRow(ExportRow& row, int heightPixels);
    void writeRowRecord(int heightPixels, int rowXF);
    void writeCell(const ExportCell& cell, int column, int xf);
    void rowDone(int cellsWritten, int cellsInRow);
    const PushedStyle& pushedStyle(ExportCellType type, bool wrap, int decimals, std::string_view numberFormat);
    bool pushing();
    void buildSheetPrefix(ChunkStreamList& out) const;
    void buildSheetSuffix(ChunkStreamList& out) const;
    void buildGlobals(ChunkStreamList& out, std::vector<std::size_t>& boundSheetOffsets);

    Workbook& workbook_;
    std::unique_ptr<ReplacingOutputStream> ownedStream_;
    OutputStream* stream_;
    std::unique_ptr<XLSXStyleSheet> styles_;
    std::unique_ptr<XLSSharedStrings> strings_;
    std::unique_ptr<XLSXPalette> palette_;
    std::vector<std::unique_ptr<SheetOutput>> sheets_;
    bool started_ = false;
    bool finished_ = false;

    // The sheet being written.
    ExportWorkSheet* sheet_ = nullptr;
    std::unique_ptr<ChunkStreamList> rows_;
    SheetLayout layout_;
    int sheetFormat_ = 0;        // cell format of the sheet style (COLINFO)
    int defaultRowHeight_ = 16;
    int colCount_ = 0;           // widest row written, at most 256
    int64_t declaredRows_ = 0;
    int64_t rowIndex_ = 0;       // next row position
    int64_t chunkCells_ = 1;
    std::vector<PendingCell> pending_;
    int pendingCount_ = 0;       // cells pushed in this row, also past column 256
    std::unordered_map<std::string, std::unique_ptr<PushedStyle>> pushedStyles_;
    std::string keyBuffer_;
    std::u16string textBuffer_;

    int64_t rowsWrittenTotal_ = 0;
    int64_t rowsLeftOut_ = 0;
    int fieldsLeftOut_ = 0;
};

} // namespace karto
