#pragma once
// The XLSX package writer: a workbook written as Office Open XML parts in a
// ZIP archive.
//
// Two ways in:
//
// 1. The whole document (CustomExporterXLSX, chosen by saveWorkbook for
//    "xlsx", "xlsm", "xltx", "xltm"): every row held in the model.
//
// 2. Streaming (XLSXStreamWriter), for exports of any length: the caller
//    builds in the model only the rows that decide the column widths (the
//    header and the first records, with their column-width requests), then
//    begins the sheet with the total row count and pushes every further row
//    as typed cells; the rows go straight into the ZIP entry's deflate
//    stream. Memory is that of the distinct texts plus a few MiB. Both ways
//    write the same bytes for the same rows.
//
//    XLSXStreamWriter writer(workbook, "out.xlsx");     // temporary file beside out.xlsx
//    writer.beginSheet(sheet, 1 + recordCount);          // sheet holds header + first 49
//    for each further record:
//        writer.addString("text"); writer.addNumber(0, 120.0);
//        writer.addNumber(-1, 2.5); writer.addDateTime(44010.0, "dd.mm.yyyy");
//        writer.addBoolean(true); writer.addString("");  // an empty date
//        writer.endRow();
//    writer.endSheet();
//    writer.finish();                                    // renamed over out.xlsx
//    writer.rowsLeftOut();                               // rows past 1,048,576
//
// The sheet and shared-string parts are deflated on the machine's cores
// (ParallelDeflater) while the rows are written; only the compression runs
// on other threads, which see nothing but the bytes they compress.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/workbook/CustomExporter.h"
#include "export/workbook/SheetStreamWriter.h"
#include "export/workbook/SheetLayout.h"
#include "export/xlsx/ParallelDeflater.h"

namespace karto {

class ExportCell;
class ExportRow;
class ExportWorkSheet;
class OutputStream;
class ReplacingOutputStream;
class Workbook;
class XLSXSharedStrings;
class XLSXStyleSheet;
class ZipWriter;

class CustomExporterXLSX : public CustomExporter {
public:
    static constexpr int kMaxRowCount = 1048576;
    static constexpr int kMaxColCount = 16384;
    static constexpr int kColWidthPadding = 7;

    void exportToStream(OutputStream& stream) override;
    int colWidthPadding() const override { return kColWidthPadding; }
    int richTextRunPadding() const override { return 2; }
    int maxColCount() const override { return kMaxColCount; }
    int maxRowCount() const override { return kMaxRowCount; }
    // The word of the workbook part's content type.
    static const char* contentTypeWord() { return "sheet"; }
};

class XLSXStreamWriter final : public SheetStreamWriter {
public:
    // Writes to the stream (not owned) from its current position.
    XLSXStreamWriter(Workbook& workbook, OutputStream& stream);
    // Writes to a temporary file beside fileName; finish() renames it over
    // fileName. Destroyed without finish() (an error), the temporary file is
    // removed and an existing fileName stays untouched.
    XLSXStreamWriter(Workbook& workbook, const std::string& fileName);
    ~XLSXStreamWriter() override;
    XLSXStreamWriter(const XLSXStreamWriter&) = delete;
    XLSXStreamWriter& operator=(const XLSXStreamWriter&) = delete;

    // The sheet and its rows, as SheetStreamWriter says.
    void beginSheet(ExportWorkSheet& sheet, int64_t rowCount) override;
    void addString(std::string_view text) override;
    void addNumber(int decimalPlaces, double value) override;
    void addBoolean(bool value) override;
    void addDateTime(double serial, std::string_view numberFormat) override;
    bool endRow() override;
    void endSheet() override;
    void finish() override;

    // The clock of the ZIP entry times (the local time unless replaced);
    // call before beginSheet.
    void setZipClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }
    // How the parts are compressed (threads, chunk size); call before
    // beginSheet. Threads 1 is the single-threaded writer.
    void setDeflateOptions(const ParallelDeflateOptions& options) { deflateOptions_ = options; }

    // The row limit, 1,048,576 unless lowered (tests use a small one).
    void setMaxRowCount(int64_t rows) { maxRows_ = rows; }
    int64_t maxRowCount() const { return maxRows_; }

    int64_t rowsWritten() const { return rowsWrittenTotal_; }
    // After beginSheet: true when the rows go straight into the archive,
    // false when they wait in a temporary file (the columns' cell format
    // could not be numbered before the rows: no held cell has the sheet
    // style's format, e.g. a header without records, or only number and
    // date fields).
    bool rowsGoStraightIntoTheArchive() const { return direct_; }
    // Rows pushed or held past the format's row limit.
    int64_t rowsLeftOut() const override { return rowsLeftOut_; }

private:
    // Cell format and font row height of a pushed cell kind.
    struct PushedStyle {
        int index = -1;
        int height = 0;
    };

    void start();
    void writeHeldRows(ExportWorkSheet& sheet);
    void writeModelRow(ExportRow& row, int height);
    void beginRowChunk(int cellCount);
    void appendRowStart(int styleIndex, int heightPixels, bool customHeight);
    void appendCellStart(int column, int styleIndex);
    const std::string& rowNumber();
    void appendModelCell(const ExportCell& cell, int styleIndex);
    const PushedStyle& pushedStyle(PushedStyle& slot, int type, int decimals, bool wrap,
                                   std::string_view numberFormat);
    bool pushing() const;
    std::string sheetPrefix(int64_t rowCount, int colCount, int sheetStyleIndex) const;
    static std::string sheetSuffix();
    void writeSheetData(const void* data, std::size_t size);
    void flushRowBuffer(bool force);
    void writeSharedStrings();
    const std::string& columnName(int column);

    Workbook& workbook_;
    std::unique_ptr<ReplacingOutputStream> ownedStream_;
    OutputStream* stream_;
    std::function<std::tm()> clock_;
    ParallelDeflateOptions deflateOptions_;
    std::unique_ptr<ZipWriter> zip_;
    std::unique_ptr<XLSXStyleSheet> styles_;
    std::unique_ptr<XLSXSharedStrings> strings_;
    bool started_ = false;
    bool finished_ = false;
    int sheetsWritten_ = 0;

    // The sheet being written.
    ExportWorkSheet* sheet_ = nullptr;
    SheetLayout layout_;
    int charWidth_ = 7;
    int colCount_ = 0;          // columns of the held rows
    int maxCells_ = 0;          // widest row written
    int64_t declaredRows_ = 0;  // rows in the sheet as declared (within the limit)
    int64_t rowIndex_ = 0;      // position of the next row
    int64_t chunkCells_ = 0;
    std::string rowBuffer_;     // XML of rows not yet compressed
    std::string cellBuffer_;    // cells of the pushed row being built
    std::string rowNumber_;     // the text of rowIndex_ + 1
    int64_t rowNumberOf_ = -1;  // the rowIndex_ rowNumber_ is for
    bool direct_ = true;        // rows go straight into the ZIP entry
    std::FILE* spill_ = nullptr;  // else: a raw deflate segment in a temporary file
    std::unique_ptr<ParallelDeflater> spillDeflater_;
    uint64_t spillBytes_ = 0;   // compressed

    // Pushed row state and the caches of pushed cell kinds.
    int pushedCells_ = 0;
    int pushedHeight_ = 0;
    PushedStyle stringStyle_[2];
    PushedStyle booleanStyle_;
    PushedStyle numberStyles_[34];  // decimals -1 ... 32
    std::vector<std::pair<std::string, PushedStyle>> dateStyles_;
    std::vector<std::string> columnNames_;

    int64_t maxRows_ = CustomExporterXLSX::kMaxRowCount;
    int64_t rowsWrittenTotal_ = 0;
    int64_t rowsLeftOut_ = 0;
};

} // namespace karto
