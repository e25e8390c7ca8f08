#include "export/xls/XLSWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "export/xls/ChunkStreamList.h"
#include "export/xls/CompoundFile.h"
#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportCellBorders.h"
#include "export/workbook/ExportFont.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/output/OutputStream.h"
#include "export/output/ReplacingOutputStream.h"
#include "export/workbook/TextMeasure.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookErrors.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xls/XLSSharedStrings.h"
#include "export/xls/XLSXPalette.h"
#include "export/workbook/XLSXStyleSheet.h"
#include "export/xls/Utf16.h"

namespace karto {

namespace {

// Record numbers.
constexpr std::uint16_t rBOF = 0x0809;
constexpr std::uint16_t rWINDOW1 = 0x003D;
constexpr std::uint16_t rDATEMODE = 0x0022;
constexpr std::uint16_t rFONT = 0x0031;
constexpr std::uint16_t rFORMAT = 0x041E;
constexpr std::uint16_t rPALETTE = 0x0092;
constexpr std::uint16_t rXF = 0x00E0;
constexpr std::uint16_t rSTYLE = 0x0293;
constexpr std::uint16_t rBOUNDSHEET = 0x0085;
constexpr std::uint16_t rSUPBOOK = 0x01AE;
constexpr std::uint16_t rEXTERNSHEET = 0x0017;
constexpr std::uint16_t rEOF = 0x000A;
constexpr std::uint16_t rINDEX = 0x020B;
constexpr std::uint16_t rGUTS = 0x0080;
constexpr std::uint16_t rDEFAULTROWHEIGHT = 0x0225;
constexpr std::uint16_t rWSBOOL = 0x0081;
constexpr std::uint16_t rLEFTMARGIN = 0x0026;
constexpr std::uint16_t rRIGHTMARGIN = 0x0027;
constexpr std::uint16_t rTOPMARGIN = 0x0028;
constexpr std::uint16_t rBOTTOMMARGIN = 0x0029;
constexpr std::uint16_t rSETUP = 0x00A1;
constexpr std::uint16_t rCOLINFO = 0x007D;
constexpr std::uint16_t rDIMENSIONS = 0x0200;
constexpr std::uint16_t rROW = 0x0208;
constexpr std::uint16_t rLABELSST = 0x00FD;
constexpr std::uint16_t rBLANK = 0x0201;
constexpr std::uint16_t rNUMBER = 0x0203;
constexpr std::uint16_t rBOOLERR = 0x0205;
constexpr std::uint16_t rLABEL = 0x0204;
constexpr std::uint16_t rWINDOW2 = 0x023E;
constexpr std::uint16_t rSCL = 0x00A0;
constexpr std::uint16_t rSELECTION = 0x001D;

constexpr int kFirstCellXF = 16;             // XF of cell format 0
constexpr int kCellsPerChunk = 10000;
// Sheet records kept uncompressed before closed chunks are compressed.
constexpr std::size_t kPlainSheetBytes = 1u << 20;
constexpr double kInchesPerCm = 0.393700787401574825;
constexpr double kMarginCm = 2.0;
constexpr int kDefaultColumnPixels = 80;

// Little-endian record building on a byte vector (a chunk being written).
class Bytes {
public:
    explicit Bytes(std::vector<std::uint8_t>& b) : b_(b) {}

    std::size_t begin(std::uint16_t number)
    {
        const std::size_t start = b_.size();
        u16(number);
        u16(0);
        return start;
    }
    void end(std::size_t start)
    {
        const std::size_t length = b_.size() - start - 4;
        b_[start + 2] = static_cast<std::uint8_t>(length);
        b_[start + 3] = static_cast<std::uint8_t>(length >> 8);
    }
    void u8(unsigned v) { b_.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v)
    {
        b_.push_back(static_cast<std::uint8_t>(v));
        b_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void f64(double v)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    void chars(std::u16string_view s)
    {
        for (char16_t c : s)
            u16(c);
    }
    // Long form: 16-bit count, flag 1, UTF-16 characters.
    void longString(std::u16string_view s)
    {
        s = s.substr(0, cutLength(s, 65535));
        u16(static_cast<unsigned>(s.size()));
        u8(1);
        chars(s);
    }
    // Short form: 8-bit count, flag 1, UTF-16 characters.
    void shortString(std::u16string_view s, std::size_t maxChars = 255)
    {
        s = s.substr(0, cutLength(s, maxChars));
        u8(static_cast<unsigned>(s.size()));
        u8(1);
        chars(s);
    }
    std::size_t size() const { return b_.size(); }

    // A cut that does not separate the halves of a surrogate pair.
    static std::size_t cutLength(std::u16string_view s, std::size_t maxChars)
    {
        if (s.size() <= maxChars)
            return s.size();
        std::size_t n = maxChars;
        if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF)
            --n;
        return n;
    }

private:
    std::vector<std::uint8_t>& b_;
};

void cellHeader(Bytes& b, std::uint16_t number, std::uint16_t length, int row, int column, int xf)
{
    b.u16(number);
    b.u16(length);
    b.u16(static_cast<unsigned>(row));
    b.u16(static_cast<unsigned>(column));
    b.u16(static_cast<unsigned>(xf));
}

void blankRecord(Bytes& b, int row, int column, int xf) { cellHeader(b, rBLANK, 6, row, column, xf); }

void numberRecord(Bytes& b, int row, int column, int xf, double value)
{
    cellHeader(b, rNUMBER, 14, row, column, xf);
    b.f64(value);
}

void boolRecord(Bytes& b, int row, int column, int xf, bool value)
{
    cellHeader(b, rBOOLERR, 8, row, column, xf);
    b.u8(value ? 1 : 0);
    b.u8(0);
}

void labelSstRecord(Bytes& b, int row, int column, int xf, std::uint32_t index)
{
    cellHeader(b, rLABELSST, 10, row, column, xf);
    b.u32(index);
}

void labelRecord(Bytes& b, int row, int column, int xf, std::u16string_view text)
{
    text = text.substr(0, Bytes::cutLength(text, 65535));
    const std::size_t start = b.begin(rLABEL);
    b.u16(static_cast<unsigned>(row));
    b.u16(static_cast<unsigned>(column));
    b.u16(static_cast<unsigned>(xf));
    b.longString(text);
    b.end(start);
}

// A number that is written as BLANK: not a number (or infinite), or zero
// while unassigned or while empty-if-zero is set.
bool blankNumber(double value, bool assigned, bool emptyIfZero)
{
    if (!std::isfinite(value))
        return true;
    return value == 0.0 && (!assigned || emptyIfZero);
}

int roundHalfEven(double v)
{
    return static_cast<int>(std::nearbyint(v));   // default rounding mode: to nearest, ties to even
}

int horizontalCode(CellHAlignment a)
{
    return (a >= cahAuto && a <= cahDistributed) ? static_cast<int>(a) : 0;
}

int verticalCode(CellVAlignment a)
{
    switch (a) {
    case cavTop: return 0x00;
    case cavCenter: return 0x10;
    case cavBottom: return 0x20;
    case cavJustify: return 0x30;
    case cavDistributed: return 0x40;
    case cavAuto:
    default: return 0x20;
    }
}

int lineCode(CellBorderStyle s)
{
    return (s == ebAuto || s == ebNone) ? 0 : static_cast<int>(s) - 1;
}

bool realLine(CellBorderStyle s) { return s != ebAuto && s != ebNone; }

} // namespace

// ---------------------------------------------------------------------------
// The whole document.

void CustomExporterXLS::exportToStream(OutputStream& stream)
{
    if (!owner_)
        throw WorkbookException("No workbook to export.");
    XLSStreamWriter writer(*owner_, stream);
    for (int i = 0; i < owner_->workSheetCount(); ++i) {
        ExportWorkSheet& sheet = owner_->workSheet(i);
        writer.beginSheet(sheet, sheet.rowCount());
        writer.endSheet();
    }
    writer.finish();
    rowsLeftOut_ = writer.rowsLeftOut();
    fieldsLeftOut_ = writer.fieldsLeftOut();
}

// ---------------------------------------------------------------------------
// Streaming writer.

// The finished records of one sheet (BOF to EOF) and what its BOUNDSHEET needs.
struct XLSStreamWriter::SheetOutput {
    std::unique_ptr<ChunkStreamList> records;
    std::u16string title;
    WorksheetVisibility visibility = ewvVisible;
};

XLSStreamWriter::XLSStreamWriter(Workbook& workbook, OutputStream& stream)
    : workbook_(workbook), stream_(&stream)
{
}

XLSStreamWriter::XLSStreamWriter(Workbook& workbook, const std::string& fileName)
    : workbook_(workbook), ownedStream_(std::make_unique<ReplacingOutputStream>(fileName)),
      stream_(ownedStream_.get())
{
}

XLSStreamWriter::~XLSStreamWriter() = default;

void XLSStreamWriter::start()
{
    if (started_)
        return;
    started_ = true;
    workbook_.notifyProgress(epnStart, 0, 1, "Export");
    styles_ = std::make_unique<XLSXStyleSheet>(workbook_);
    strings_ = std::make_unique<XLSSharedStrings>();
    palette_ = std::make_unique<XLSXPalette>();
}

void XLSStreamWriter::beginSheet(ExportWorkSheet& sheet, int64_t rowCount)
{
    if (finished_ || sheet_)
        throw WorkbookException("A sheet cannot begin now.");
    start();
    sheet_ = &sheet;
    const int sheetIndex = static_cast<int>(sheets_.size());
    workbook_.notifyProgress(epnWorksheet, sheetIndex, workbook_.workSheetCount(), sheet.title());

    declaredRows_ = std::max<int64_t>(rowCount, sheet.rowCount());
    rowIndex_ = 0;
    chunkCells_ = 1;
    colCount_ = 0;
    rows_ = std::make_unique<ChunkStreamList>(kPlainSheetBytes);
    pushedStyles_.clear();
    pending_.clear();
    pendingCount_ = 0;

    layout_ = calculateSheetLayout(sheet, CustomExporterXLS::kColWidthPadding);
    defaultRowHeight_ = layout_.defaultRowHeight;
    // The columns' format is asked for before any row, so it gets its number first.
    sheetFormat_ = styles_->createAddStyleUnique(sheet.style(), sheet.excelNumberFormat());

    for (int i = 0; i < sheet.rowCount(); ++i) {
        const int height = i < static_cast<int>(layout_.rowHeights.size()) ? layout_.rowHeights[i] : defaultRowHeight_;
        writeModelRow(sheet.row(i), height);
    }
}

void XLSStreamWriter::writeRowRecord(int heightPixels, int rowXF)
{
    Bytes b(rows_->current());
    b.u16(rROW);
    b.u16(16);
    b.u16(static_cast<unsigned>(rowIndex_));
    b.u16(0);                                    // first column
    b.u16(1);                                    // column limit
    b.u16(static_cast<unsigned>(std::max(heightPixels, 0) * 15) & 0x7FFF);
    b.u16(0);
    b.u16(0);
    std::uint32_t options = 0x100 | 0x40;        // always set; height not automatic
    if (rowXF >= 0)
        options |= 0x80 | (static_cast<std::uint32_t>(rowXF) << 16);
    b.u32(options);
}

void XLSStreamWriter::writeModelRow(ExportRow& row, int heightPixels)
{
    const int cells = row.cellCount();
    if (rowIndex_ >= kMaxRows) {
        ++rowsLeftOut_;
        ++rowIndex_;
        return;
    }
    const bool ownFormat = row.hasStyle() || !row.excelNumberFormat().empty();
    if (heightPixels >= 0 || ownFormat) {
        if (row.hidden())
            heightPixels = 0;
        int rowXF = -1;
        if (ownFormat)
            rowXF = styles_->createAddStyleUnique(row.style(), row.excelNumberFormat()) + kFirstCellXF;
        writeRowRecord(heightPixels, rowXF);
        if (row.hidden()) {
            // The hidden flag lives in the options word just written.
            auto& bytes = rows_->current();
            bytes[bytes.size() - 4] |= 0x20;
        }
    }
    const int written = std::min(cells, kMaxColumns);
    for (int c = 0; c < written; ++c) {
        ExportCell& cell = row.cell(c);
        const int xf = styles_->createAddStyleUnique(cell.style(), cell.numberFormat()) + kFirstCellXF;
        writeCell(cell, c, xf);
    }
    rowDone(written, cells);
}

void XLSStreamWriter::writeCell(const ExportCell& cell, int column, int xf)
{
    Bytes b(rows_->current());
    const int row = static_cast<int>(rowIndex_);
    switch (cell.cellType()) {
    case ectString: {
        const auto& s = static_cast<const ExportCellString&>(cell);
        if (s.text().empty()) {
            blankRecord(b, row, column, xf);
        } else {
            labelSstRecord(b, row, column, xf, strings_->add(s.text()));
        }
        break;
    }
    case ectNumber: {
        const auto& n = static_cast<const ExportCellNumber&>(cell);
        if (blankNumber(n.value(), n.valueAssigned(), n.emptyIfZero()))
            blankRecord(b, row, column, xf);
        else
            numberRecord(b, row, column, xf, n.value());
        break;
    }
    case ectBoolean: {
        const auto& n = static_cast<const ExportCellBoolean&>(cell);
        if (blankNumber(n.value(), n.valueAssigned(), n.emptyIfZero()))
            blankRecord(b, row, column, xf);
        else
            boolRecord(b, row, column, xf, n.booleanValue());
        break;
    }
    case ectDateTime: {
        const auto& d = static_cast<const ExportCellDateTime&>(cell);
        const double serial = d.value() - (workbook_.use1904DateSystem ? 1462.0 : 0.0);
        if (blankNumber(d.value(), d.valueAssigned(), d.emptyIfZero())) {
            blankRecord(b, row, column, xf);
        } else if (serial >= 0) {
            numberRecord(b, row, column, xf, serial);
        } else {
            utf8ToUtf16(d.formattedText(), textBuffer_);
            labelRecord(b, row, column, xf, textBuffer_);
        }
        break;
    }
    }
}

void XLSStreamWriter::rowDone(int cellsWritten, int cellsInRow)
{
    colCount_ = std::max(colCount_, cellsWritten);
    fieldsLeftOut_ = std::max(fieldsLeftOut_, cellsInRow - kMaxColumns);
    ++rowsWrittenTotal_;
    chunkCells_ += cellsWritten;
    if (chunkCells_ > kCellsPerChunk) {
        workbook_.notifyProgress(epnRow, rowIndex_, declaredRows_);
        chunkCells_ = 1;
        rows_->newChunk();
    }
    ++rowIndex_;
}

bool XLSStreamWriter::pushing()
{
    if (!sheet_)
        throw WorkbookException("No sheet has begun.");
    ++pendingCount_;
    return rowIndex_ < kMaxRows && pendingCount_ <= kMaxColumns;
}

const XLSStreamWriter::PushedStyle& XLSStreamWriter::pushedStyle(ExportCellType type, bool wrap, int decimals,
                                                                 std::string_view numberFormat)
{
    keyBuffer_.clear();
    keyBuffer_ += static_cast<char>('0' + type);
    keyBuffer_ += wrap ? '1' : '0';
    keyBuffer_ += std::to_string(decimals);
    keyBuffer_ += ';';
    keyBuffer_.append(numberFormat);
    auto found = pushedStyles_.find(keyBuffer_);
    if (found != pushedStyles_.end())
        return *found->second;

    // A cell made as the model makes it, in a row of its own that is not part
    // of the sheet, gives the style the pushed cells share.
    ExportRow scratch(sheet_, static_cast<int>(std::min<int64_t>(rowIndex_, 0x7FFFFFFF)));
    ExportCell* cell = nullptr;
    bool emptyIfZero = false;
    switch (type) {
    case ectString:
        cell = &scratch.addCellString(wrap ? "\r\n" : "x");
        break;
    case ectNumber: {
        auto& n = scratch.addCellNumber(decimals, 0.0);
        emptyIfZero = n.emptyIfZero();
        cell = &n;
        break;
    }
    case ectBoolean: {
        auto& n = scratch.addCellBoolean(false);
        emptyIfZero = n.emptyIfZero();
        cell = &n;
        break;
    }
    case ectDateTime: {
        auto& n = scratch.addCellDateTime(0.0);
        n.setExcelNumberFormat(std::string(numberFormat));
        emptyIfZero = n.emptyIfZero();
        cell = &n;
        break;
    }
    }
    auto style = std::make_unique<PushedStyle>();
    style->format = styles_->createAddStyleUnique(cell->style(), cell->numberFormat());
    style->rowHeight = fontRowHeight(cell->style().font());
    style->emptyIfZero = emptyIfZero;
    return *pushedStyles_.emplace(keyBuffer_, std::move(style)).first->second;
}

void XLSStreamWriter::addString(std::string_view text)
{
    if (!pushing())
        return;
    PendingCell cell{ectString, nullptr, 0.0, 0, text.empty(), {}};
    const bool wrap = text.find("\r\n") != std::string_view::npos;
    cell.style = &pushedStyle(ectString, wrap, 0, {});
    if (!text.empty())
        cell.stringIndex = strings_->add(text);
    pending_.push_back(std::move(cell));
}

void XLSStreamWriter::addNumber(int decimalPlaces, double value)
{
    if (!pushing())
        return;
    const std::string format = buildNumberFormat(decimalPlaces, 1, false, false);
    pending_.push_back({ectNumber, &pushedStyle(ectNumber, false, decimalPlaces, format), value, 0, false, {}});
}

void XLSStreamWriter::addBoolean(bool value)
{
    if (!pushing())
        return;
    pending_.push_back({ectBoolean, &pushedStyle(ectBoolean, false, 0, {}), value ? 1.0 : 0.0, 0, false, {}});
}

void XLSStreamWriter::addDateTime(double serial, std::string_view numberFormat)
{
    if (!pushing())
        return;
    PendingCell cell{ectDateTime, &pushedStyle(ectDateTime, false, 0, numberFormat), serial, 0, false, {}};
    const double written = serial - (workbook_.use1904DateSystem ? 1462.0 : 0.0);
    if (written < 0 && std::isfinite(serial))
        cell.dateText = formatDateTime(serial, dateTimeDisplayFormat(std::string(numberFormat)));
    pending_.push_back(std::move(cell));
}

bool XLSStreamWriter::endRow()
{
    if (!sheet_)
        throw WorkbookException("No sheet has begun.");
    const int cellsInRow = pendingCount_;
    pendingCount_ = 0;
    if (rowIndex_ >= kMaxRows) {
        pending_.clear();
        ++rowsLeftOut_;
        ++rowIndex_;
        return false;
    }
    int height = defaultRowHeight_;
    for (const PendingCell& c : pending_)
        height = std::max(height, c.style->rowHeight);
    writeRowRecord(height, -1);
    Bytes b(rows_->current());
    const int row = static_cast<int>(rowIndex_);
    const double offset = workbook_.use1904DateSystem ? 1462.0 : 0.0;
    int column = 0;
    for (const PendingCell& c : pending_) {
        const int xf = c.style->format + kFirstCellXF;
        switch (c.type) {
        case ectString:
            if (c.emptyText)
                blankRecord(b, row, column, xf);
            else
                labelSstRecord(b, row, column, xf, c.stringIndex);
            break;
        case ectNumber:
            if (blankNumber(c.value, true, c.style->emptyIfZero))
                blankRecord(b, row, column, xf);
            else
                numberRecord(b, row, column, xf, c.value);
            break;
        case ectBoolean:
            if (blankNumber(c.value, true, c.style->emptyIfZero))
                blankRecord(b, row, column, xf);
            else
                boolRecord(b, row, column, xf, c.value != 0.0);
            break;
        case ectDateTime:
            if (blankNumber(c.value, true, c.style->emptyIfZero)) {
                blankRecord(b, row, column, xf);
            } else if (c.value - offset >= 0) {
                numberRecord(b, row, column, xf, c.value - offset);
            } else {
                utf8ToUtf16(c.dateText, textBuffer_);
                labelRecord(b, row, column, xf, textBuffer_);
            }
            break;
        }
        ++column;
    }
    pending_.clear();
    rowDone(column, cellsInRow);
    return true;
}

void XLSStreamWriter::endSheet()
{
    if (!sheet_)
        throw WorkbookException("No sheet has begun.");
    if (!pending_.empty() || pendingCount_ > 0)
        endRow();
    workbook_.notifyProgress(epnRow, rowIndex_, rowIndex_);

    buildSheetSuffix(*rows_);
    auto out = std::make_unique<SheetOutput>();
    out->records = std::make_unique<ChunkStreamList>();
    buildSheetPrefix(*out->records);
    out->records->takeChunks(*rows_);
    utf8ToUtf16(sheet_->title(), out->title);
    out->visibility = sheet_->visibility();
    sheets_.push_back(std::move(out));
    rows_.reset();
    sheet_ = nullptr;
    const int count = workbook_.workSheetCount();
    workbook_.notifyProgress(epnWorksheet, count, count);
}

void XLSStreamWriter::buildSheetPrefix(ChunkStreamList& out) const
{
    Bytes b(out.current());
    std::size_t r;

    r = b.begin(rBOF);
    b.u16(0x0600); b.u16(0x0010); b.u16(8146); b.u16(1997); b.u32(0); b.u32(0);
    b.end(r);

    r = b.begin(rINDEX);
    b.u32(0); b.u32(0); b.u32(65535); b.u32(0);
    b.end(r);

    r = b.begin(rGUTS);
    b.u16(0); b.u16(0); b.u16(0); b.u16(0);
    b.end(r);

    const int fontHeight = fontRowHeight(sheet_->style().font());
    r = b.begin(rDEFAULTROWHEIGHT);
    b.u16(defaultRowHeight_ == fontHeight ? 0 : 1);
    b.u16(static_cast<unsigned>(std::max(defaultRowHeight_, 0) * 15));
    b.end(r);

    r = b.begin(rWSBOOL);
    b.u16(0x00C0);
    b.end(r);

    const double margin = kMarginCm * kInchesPerCm;
    for (std::uint16_t number : {rLEFTMARGIN, rRIGHTMARGIN, rTOPMARGIN, rBOTTOMMARGIN}) {
        r = b.begin(number);
        b.f64(margin);
        b.end(r);
    }

    r = b.begin(rSETUP);
    b.u16(9);      // A4
    b.u16(100);    // scale
    b.u16(0);      // first page number
    b.u16(0);      // fit to width
    b.u16(0);      // fit to height
    b.u16(0x0002); // portrait, down then over, printer settings valid
    b.u16(0);      // resolution
    b.u16(0);      // vertical resolution
    b.f64((kMarginCm - 1.0) * kInchesPerCm);   // header margin
    b.f64((kMarginCm - 1.0) * kInchesPerCm);   // footer margin
    b.u16(1);      // copies
    b.end(r);

    // Column widths in 1/256 of the standard font's character width.
    const ExportFont& standard = workbook_.fonts().at(0);
    int charWidth = characterWidth(standard.name(), standard.size());
    if (charWidth <= 0)
        charWidth = 7;
    const int defaultWidth = layout_.defaultColWidth > 0 ? layout_.defaultColWidth : kDefaultColumnPixels;
    auto units = [&](int pixels) {
        const double v = static_cast<double>(pixels) / charWidth * 256.0;
        return static_cast<unsigned>(std::clamp(roundHalfEven(v), 0, 65535));
    };
    const unsigned xf = static_cast<unsigned>(sheetFormat_ + kFirstCellXF);
    std::size_t lastRecord = 0;
    unsigned lastWidth = 0;
    for (int i = 0; i < colCount_; ++i) {
        int pixels = i < static_cast<int>(layout_.colWidths.size()) ? layout_.colWidths[i] : -1;
        if (pixels < 0)
            pixels = defaultWidth;
        const unsigned width = units(pixels);
        if (i > 0 && width == lastWidth) {
            // Same width, format, hidden flag and level as the column before:
            // extend that record.
            auto& bytes = out.current();
            bytes[lastRecord + 6] = static_cast<std::uint8_t>(i);
            bytes[lastRecord + 7] = static_cast<std::uint8_t>(i >> 8);
            continue;
        }
        lastRecord = b.begin(rCOLINFO);
        b.u16(static_cast<unsigned>(i)); b.u16(static_cast<unsigned>(i)); b.u16(width); b.u16(xf); b.u16(0); b.u16(0);
        b.end(lastRecord);
        lastWidth = width;
    }
    r = b.begin(rCOLINFO);
    b.u16(static_cast<unsigned>(colCount_)); b.u16(256); b.u16(units(defaultWidth)); b.u16(xf); b.u16(0); b.u16(0);
    b.end(r);

    r = b.begin(rDIMENSIONS);
    b.u32(0); b.u32(0); b.u16(0); b.u16(0); b.u16(0);
    b.end(r);
    out.newChunk();
}

void XLSStreamWriter::buildSheetSuffix(ChunkStreamList& out) const
{
    Bytes b(out.current());
    std::size_t r = b.begin(rWINDOW2);
    unsigned flags = 0x05A0 | 0x0002 | 0x0010 | 0x0004;   // gridlines, zeros and headers shown
    if (sheets_.empty())
        flags |= 0x0200;                                   // the first sheet is selected
    b.u16(flags); b.u16(0); b.u16(0); b.u16(0); b.u16(0); b.u16(60); b.u16(100); b.u32(0);
    b.end(r);

    r = b.begin(rSCL);
    b.u16(100); b.u16(100);
    b.end(r);

    r = b.begin(rSELECTION);
    b.u8(3); b.u16(0); b.u16(0); b.u16(0); b.u16(1); b.u16(0); b.u16(0); b.u8(0); b.u8(0);
    b.end(r);

    r = b.begin(rEOF);
    b.end(r);
    out.newChunk();
}

void XLSStreamWriter::buildGlobals(ChunkStreamList& out, std::vector<std::size_t>& boundSheetOffsets)
{
    Bytes b(out.current());
    std::size_t r;

    r = b.begin(rBOF);
    b.u16(0x0600); b.u16(0x0005); b.u16(8146); b.u16(1997); b.u32(0); b.u32(0);
    b.end(r);

    r = b.begin(rWINDOW1);
    b.u16(0); b.u16(105); b.u16(13215); b.u16(7005); b.u16(0x0038);
    b.u16(0);     // active sheet: the document has no open sheet
    b.u16(0); b.u16(1); b.u16(600);
    b.end(r);

    r = b.begin(rDATEMODE);
    b.u16(workbook_.use1904DateSystem ? 1 : 0);
    b.end(r);

    // FONT: the standard font four times (index 4 does not exist), then the
    // other fonts of the document.
    const ExportFontList& fonts = workbook_.fonts();
    std::u16string name;
    auto fontRecord = [&](const ExportFont& f) {
        const ExportFontStyle& st = f.style();
        unsigned underline = 0;
        switch (st.underline) {
        case efuSingle: underline = 0x01; break;
        case efuDouble: underline = 0x02; break;
        case efuSingleAccounting: underline = 0x21; break;
        case efuDoubleAccounting: underline = 0x22; break;
        default: break;
        }
        unsigned flags = 0;
        if (st.bold == efsYes) flags |= 1;
        if (st.italic == efsYes) flags |= 2;
        if (underline != 0) flags |= 4;
        if (st.strikeOut == efsYes) flags |= 8;
        const int size = f.size() >= 0 ? f.size() : 10;
        const int color = palette_->createAddColorUnique(exportColorToRgb(f.color()));
        const std::size_t at = b.begin(rFONT);
        b.u16(static_cast<unsigned>(std::min(size * 20, 0xFFFF)));
        b.u16(flags);
        b.u16(static_cast<unsigned>(color));
        b.u16(st.bold == efsYes ? 700 : 400);
        b.u16(st.escapement == efeSuperscript ? 1 : st.escapement == efeSubscript ? 2 : 0);
        b.u8(underline);
        b.u8(0); b.u8(0); b.u8(0);
        utf8ToUtf16(f.name(), name);
        b.shortString(name);
        b.end(at);
    };
    for (int i = 0; i < 4; ++i)
        fontRecord(fonts.at(0));
    for (int id = 1; id < fonts.count(); ++id)
        fontRecord(fonts.at(id));

    // FORMAT: the formats that are not built in.
    for (const XLSXNumberFormat& format : styles_->customNumberFormats()) {
        r = b.begin(rFORMAT);
        b.u16(static_cast<unsigned>(format.id));
        utf8ToUtf16(resolveFormatPlaceholders(format.text), name);
        b.longString(name);
        b.end(r);
    }

    // XF records are composed now, so that their colours are in the palette
    // written before them.
    std::vector<std::uint8_t> xfBytes;
    Bytes x(xfBytes);
    auto styleXF = [&](unsigned typeWord) {
        const std::size_t at = x.begin(rXF);
        x.u16(0); x.u16(0); x.u16(typeWord); x.u8(0); x.u8(0); x.u8(0); x.u8(0xFC); x.u32(0); x.u32(0); x.u16(0);
        x.end(at);
    };
    for (int i = 0; i < 15; ++i)
        styleXF(0xFFF4);
    styleXF(0x0000);
    const auto& fills = styles_->fills();
    for (const XLSXStyle& st : styles_->styles()) {
        const int fontIndex = st.fontId == 0 ? 0 : st.fontId + 4;
        unsigned align = static_cast<unsigned>(horizontalCode(st.alignment) + verticalCode(st.vAlignment));
        if (st.wrapText)
            align |= 0x08;
        unsigned indent = 0;
        if (st.alignment == cahLeft || st.alignment == cahRight)
            indent = static_cast<unsigned>(std::clamp(st.indent, 0, 15));
        const ExportCellBorders& borders = workbook_.borders().at(st.borderId);
        const ExportCellBorder& left = borders.line(cbLeft);
        const ExportCellBorder& right = borders.line(cbRight);
        const ExportCellBorder& top = borders.line(cbTop);
        const ExportCellBorder& bottom = borders.line(cbBottom);
        std::uint32_t border1 = static_cast<std::uint32_t>(lineCode(left.style)) |
                                static_cast<std::uint32_t>(lineCode(right.style)) << 4 |
                                static_cast<std::uint32_t>(lineCode(top.style)) << 8 |
                                static_cast<std::uint32_t>(lineCode(bottom.style)) << 12;
        if (left.style != ebNone)
            border1 |= static_cast<std::uint32_t>(palette_->createAddColorUnique(exportColorToRgb(left.color)) & 0x7F) << 16;
        if (right.style != ebNone)
            border1 |= static_cast<std::uint32_t>(palette_->createAddColorUnique(exportColorToRgb(right.color)) & 0x7F) << 23;
        if (realLine(borders.line(cbDiagonalDown).style))
            border1 |= 1u << 30;
        if (realLine(borders.line(cbDiagonalUp).style))
            border1 |= 1u << 31;
        std::uint32_t border2 = 0;
        if (top.style != ebNone)
            border2 |= static_cast<std::uint32_t>(palette_->createAddColorUnique(exportColorToRgb(top.color)) & 0x7F);
        if (bottom.style != ebNone)
            border2 |= static_cast<std::uint32_t>(palette_->createAddColorUnique(exportColorToRgb(bottom.color)) & 0x7F) << 7;
        unsigned pattern = 0;
        if (st.fillId > 0 && st.fillId < static_cast<int>(fills.size()) && fills[st.fillId].kind != XLSXFill::None) {
            const XLSXFill& fill = fills[st.fillId];
            const std::uint32_t rgb = fill.kind == XLSXFill::Gray125 ? 0x808080u : exportColorToRgb(fill.color);
            pattern = static_cast<unsigned>(palette_->createAddColorUnique(rgb)) & 0x7F;
            border2 |= 0x04000000;
        }
        const std::size_t at = x.begin(rXF);
        x.u16(static_cast<unsigned>(fontIndex));
        x.u16(static_cast<unsigned>(std::max(st.numFmtId, 0)));
        x.u16(static_cast<unsigned>(st.protection & 3));
        x.u8(align);
        x.u8(0);
        x.u8(indent);
        x.u8(0xFC);
        x.u32(border1);
        x.u32(border2);
        x.u16(pattern);
        x.end(at);
    }

    r = b.begin(rPALETTE);
    b.u16(XLSXPalette::kCount);
    for (int i = 0; i < XLSXPalette::kCount; ++i) {
        const std::uint32_t c = palette_->color(i + XLSXPalette::kFirstIndex);
        b.u8((c >> 16) & 0xFF); b.u8((c >> 8) & 0xFF); b.u8(c & 0xFF); b.u8(0);
    }
    b.end(r);
    out.append(xfBytes.data(), xfBytes.size());

    r = b.begin(rSTYLE);
    b.u16(0x8000); b.u8(0); b.u8(0xFF);
    b.end(r);

    for (const auto& sheet : sheets_) {
        r = b.begin(rBOUNDSHEET);
        boundSheetOffsets.push_back(b.size());
        b.u32(0);
        b.u8(static_cast<unsigned>(sheet->visibility));
        b.u8(0);
        b.shortString(sheet->title, 31);
        b.end(r);
    }

    const unsigned sheetCount = static_cast<unsigned>(sheets_.size());
    r = b.begin(rSUPBOOK);
    b.u16(sheetCount); b.u16(0x0401);
    b.end(r);

    r = b.begin(rEXTERNSHEET);
    b.u16(sheetCount);
    for (unsigned i = 0; i < sheetCount; ++i) {
        b.u16(0); b.u16(i); b.u16(i);
    }
    b.end(r);
}

void XLSStreamWriter::finish()
{
    if (finished_)
        return;
    if (sheet_)
        endSheet();
    start();

    // Globals: the records up to EXTERNSHEET in one chunk, the shared
    // strings (produced while the document is written), EOF; then the
    // sheets. The BOUNDSHEET offsets are filled in while the first chunk is
    // still open.
    ChunkStreamList head;
    std::vector<std::size_t> boundSheetOffsets;
    buildGlobals(head, boundSheetOffsets);
    XLSSharedStrings::RecordSource sst(*strings_);
    std::uint64_t position = head.currentSize() + sst.remaining() + 4;
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (position > 0xFFFFFFFFu)
            throw WorkbookException("The workbook is too large for the XLS format.");
        head.patch32(0, boundSheetOffsets[i], static_cast<std::uint32_t>(position));
        position += sheets_[i]->records->size();
    }
    ChunkStreamList tail;
    {
        Bytes b(tail.current());
        const std::size_t r = b.begin(rEOF);
        b.end(r);
    }
    tail.newChunk();
    for (auto& sheet : sheets_)
        tail.takeChunks(*sheet->records);
    sheets_.clear();
    head.rewind();
    tail.rewind();
    ConcatByteSource stream({&head, &sst, &tail});

    workbook_.notifyProgress(epnSave, 0, 1, "Saving");
    stream.setReadProgress([this](std::uint64_t mib, std::uint64_t total) {
        workbook_.notifyProgress(epnCompress, static_cast<int64_t>(mib), static_cast<int64_t>(total));
    });
    CompoundFile::saveToStream(*stream_, stream, u"Workbook");
    if (ownedStream_)
        ownedStream_->commit();
    finished_ = true;
    workbook_.notifyProgress(epnFinish, 1, 1);
}

} // namespace karto
