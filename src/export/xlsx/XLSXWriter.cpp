#include "export/xlsx/XLSXWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/output/ReplacingOutputStream.h"
#include "export/workbook/TextMeasure.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookErrors.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xlsx/XLSXPackageParts.h"
#include "export/xlsx/XLSXSharedStrings.h"
#include "export/workbook/XLSXStyleSheet.h"
#include "export/xlsx/XLSXStylesPart.h"
#include "export/xlsx/XmlWriter.h"
#include "export/xlsx/ZipWriter.h"

namespace karto {

namespace {

constexpr std::size_t kRowBufferFlush = 1 << 16;
constexpr int64_t kCellsPerChunk = 10000;
constexpr double kInchesPerCm = 0.393700787401574825;
constexpr double kMaxColWidthChars = 255.99609375;

void appendInt(std::string& out, int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendNumber(std::string& out, double value)
{
    char buffer[40];
    const int length = formatXmlNumber(value, buffer);
    out.append(buffer, static_cast<std::size_t>(length));
}

std::string columnLetters(int column)
{
    char letters[8];
    int length = 0;
    int n = column + 1;
    while (n > 0 && length < 8) {
        letters[length++] = static_cast<char>('A' + (n - 1) % 26);
        n = (n - 1) / 26;
    }
    return std::string(std::make_reverse_iterator(letters + length), std::make_reverse_iterator(letters));
}

// One cell's XML put together on the stack and appended in one piece. Only
// for cells of bounded length: a reference, a style, a shared-string index
// or a number (at most some 100 bytes).
class CellXml {
public:
    CellXml& operator<<(std::string_view text)
    {
        std::memcpy(end_, text.data(), text.size());
        end_ += text.size();
        return *this;
    }
    CellXml& operator<<(int64_t value)
    {
        end_ = std::to_chars(end_, buffer_ + sizeof buffer_, value).ptr;
        return *this;
    }
    CellXml& number(double value)
    {
        end_ += formatXmlNumber(value, end_);
        return *this;
    }
    void appendTo(std::string& out) const { out.append(buffer_, static_cast<std::size_t>(end_ - buffer_)); }

private:
    char buffer_[160];
    char* end_ = buffer_;
};

// "<c r="B12" s="3"", the cell's attributes to follow.
void cellStart(CellXml& xml, std::string_view column, std::string_view row, int styleIndex)
{
    xml << "<c r=\"" << column << row << "\" s=\"" << styleIndex << "\"";
}

std::string widthText(int pixels, int charWidth)
{
    double width = static_cast<double>(pixels) / charWidth;
    if (!(width >= 0))
        width = 0;
    if (width > kMaxColWidthChars)
        width = kMaxColWidthChars;
    return formatXmlNumber(width);
}

} // namespace

// ---------------------------------------------------------------------------
// The whole document through the model.

void CustomExporterXLSX::exportToStream(OutputStream& stream)
{
    if (!owner_)
        throw WorkbookException("No workbook to export.");
    XLSXStreamWriter writer(*owner_, stream);
    writer.finish();
}

// ---------------------------------------------------------------------------

XLSXStreamWriter::XLSXStreamWriter(Workbook& workbook, OutputStream& stream)
    : workbook_(workbook), stream_(&stream)
{
}

XLSXStreamWriter::XLSXStreamWriter(Workbook& workbook, const std::string& fileName)
    : workbook_(workbook), ownedStream_(std::make_unique<ReplacingOutputStream>(fileName)),
      stream_(ownedStream_.get())
{
}

XLSXStreamWriter::~XLSXStreamWriter()
{
    if (spill_)
        std::fclose(spill_);
}

void XLSXStreamWriter::start()
{
    if (started_)
        return;
    if (finished_)
        throw WorkbookException("The export is already complete.");
    workbook_.checkTitles();
    workbook_.notifyProgress(epnStart, 0, 1, "Export");
    zip_ = clock_ ? std::make_unique<ZipWriter>(clock_) : std::make_unique<ZipWriter>();
    zip_->setDeflateOptions(deflateOptions_);
    zip_->openStream(*stream_, zmWrite);
    styles_ = std::make_unique<XLSXStyleSheet>(workbook_);
    strings_ = std::make_unique<XLSXSharedStrings>();
    started_ = true;
}

const std::string& XLSXStreamWriter::columnName(int column)
{
    while (static_cast<int>(columnNames_.size()) <= column)
        columnNames_.push_back(columnLetters(static_cast<int>(columnNames_.size())));
    return columnNames_[column];
}

void XLSXStreamWriter::beginSheet(ExportWorkSheet& sheet, int64_t rowCount)
{
    start();
    if (sheet_)
        throw WorkbookException("The previous sheet has not been completed.");
    if (sheetsWritten_ >= workbook_.workSheetCount() || &workbook_.workSheet(sheetsWritten_) != &sheet)
        throw WorkbookException("Sheets must be written in the order of the workbook.");
    sheet_ = &sheet;
    workbook_.notifyProgress(epnWorksheet, sheetsWritten_, workbook_.workSheetCount(), sheet.title());

    layout_ = calculateSheetLayout(sheet, CustomExporterXLSX::kColWidthPadding);
    const ExportFont& standard = workbook_.fonts().at(0);
    charWidth_ = characterWidth(standard.name(), standard.size());
    if (charWidth_ <= 0)
        charWidth_ = 7;
    colCount_ = static_cast<int>(layout_.colWidths.size());
    maxCells_ = colCount_;
    const int64_t held = sheet.rowCount();
    declaredRows_ = std::min<int64_t>(std::max(rowCount, held), maxRows_);
    rowIndex_ = 0;
    chunkCells_ = 0;
    rowBuffer_.clear();
    pushedCells_ = 0;
    pushedHeight_ = layout_.defaultRowHeight;
    cellBuffer_.clear();
    stringStyle_[0] = stringStyle_[1] = booleanStyle_ = PushedStyle{};
    for (PushedStyle& style : numberStyles_)
        style = PushedStyle{};
    dateStyles_.clear();

    // The cell formats are numbered in order of first use: number those of
    // the held rows now (writing them finds the same numbers).
    const int64_t heldInLimit = std::min<int64_t>(held, maxRows_);
    for (int64_t r = 0; r < heldInLimit; ++r) {
        ExportRow& row = sheet.row(static_cast<int>(r));
        if (row.hasStyle() || !row.excelNumberFormat().empty())
            styles_->createAddStyleUnique(row.style(), row.excelNumberFormat());
        for (int c = 0; c < row.cellCount(); ++c)
            styles_->createAddStyleUnique(row.cell(c).style(), row.cell(c).numberFormat());
    }

    // The columns carry the sheet style's format, numbered after all rows.
    // When more rows are to come, its number is known now only if some held
    // cell already has that format; otherwise the rows wait in a temporary
    // file until the start of the part can be written.
    int sheetStyle;
    if (declaredRows_ > heldInLimit) {
        sheetStyle = styles_->findStyle(sheet.style(), sheet.excelNumberFormat());
    } else {
        sheetStyle = styles_->createAddStyleUnique(sheet.style(), sheet.excelNumberFormat());
    }
    direct_ = sheetStyle >= 0;

    const std::string partName = "xl\\worksheets\\sheet" + std::to_string(sheetsWritten_ + 1) + ".xml";
    if (direct_) {
        zip_->beginEntry(partName, zcDeflate);
        const std::string prefix = sheetPrefix(declaredRows_, colCount_, sheetStyle);
        zip_->writeEntry(prefix);
    } else {
        spill_ = std::tmpfile();
        if (!spill_)
            throw WorkbookException("Cannot create a temporary file for the worksheet data.");
        spillBytes_ = 0;
        spillDeflater_ = std::make_unique<ParallelDeflater>(
            [this](const char* data, std::size_t size) {
                if (std::fwrite(data, 1, size, spill_) != size)
                    throw WorkbookException("Cannot write the temporary worksheet data.");
                spillBytes_ += size;
            },
            deflateOptions_);
    }
    writeHeldRows(sheet);
}

void XLSXStreamWriter::writeHeldRows(ExportWorkSheet& sheet)
{
    for (int r = 0; r < sheet.rowCount(); ++r) {
        if (rowIndex_ >= maxRows_) {
            ++rowsLeftOut_;
            ++rowIndex_;
            continue;
        }
        writeModelRow(sheet.row(r), layout_.rowHeights[static_cast<std::size_t>(r)]);
    }
}

void XLSXStreamWriter::beginRowChunk(int cellCount)
{
    if (chunkCells_ == 0 || chunkCells_ > kCellsPerChunk) {
        chunkCells_ = 1;
        workbook_.notifyProgress(epnRow, rowIndex_, declaredRows_, std::to_string(rowIndex_));
    }
    chunkCells_ += cellCount;
}

void XLSXStreamWriter::appendRowStart(int styleIndex, int heightPixels, bool customHeight)
{
    std::string& out = rowBuffer_;
    out += "<row";
    if (styleIndex >= 0) {
        out += " s=\"";
        appendInt(out, styleIndex);
        out += "\" customFormat=\"1\"";
    }
    out += " ht=\"";
    appendNumber(out, heightPixels * 0.75);
    out += customHeight ? "\" customHeight=\"1\" r=\"" : "\" r=\"";
    appendInt(out, rowIndex_ + 1);
    out += "\">";
}

const std::string& XLSXStreamWriter::rowNumber()
{
    if (rowNumberOf_ != rowIndex_) {  // written once per row
        rowNumber_.clear();
        appendInt(rowNumber_, rowIndex_ + 1);
        rowNumberOf_ = rowIndex_;
    }
    return rowNumber_;
}

void XLSXStreamWriter::appendCellStart(int column, int styleIndex)
{
    CellXml xml;
    cellStart(xml, columnName(column), rowNumber(), styleIndex);
    xml.appendTo(cellBuffer_);
}

void XLSXStreamWriter::appendModelCell(const ExportCell& cell, int styleIndex)
{
    appendCellStart(cell.index(), styleIndex);
    std::string& out = cellBuffer_;
    switch (cell.cellType()) {
    case ectString: {
        const auto& text = static_cast<const ExportCellString&>(cell).text();
        if (text.empty()) {
            out += "></c>";
        } else {
            out += " t=\"s\"><v>";
            appendInt(out, strings_->add(text));
            out += "</v></c>";
        }
        break;
    }
    case ectNumber: {
        const auto& number = static_cast<const ExportCellNumber&>(cell);
        const double value = number.value();
        if (!std::isfinite(value) || (value == 0.0 && (!number.valueAssigned() || number.emptyIfZero()))) {
            out += "></c>";
        } else {
            out += "><v>";
            appendNumber(out, value);
            out += "</v></c>";
        }
        break;
    }
    case ectBoolean:
        out += static_cast<const ExportCellBoolean&>(cell).booleanValue() ? " t=\"b\"><v>1</v></c>"
                                                                         : " t=\"b\"><v>0</v></c>";
        break;
    case ectDateTime: {
        const auto& date = static_cast<const ExportCellDateTime&>(cell);
        double serial = date.value();
        if (workbook_.use1904DateSystem)
            serial -= 1462;
        if (serial >= 0 || !std::isfinite(serial)) {
            out += "><v>";
            appendNumber(out, serial);
            out += "</v></c>";
        } else {
            out += " t=\"inlineStr\"><is><t>";
            appendXmlText(out, date.formattedText());
            out += "</t></is></c>";
        }
        break;
    }
    }
}

void XLSXStreamWriter::writeModelRow(ExportRow& row, int height)
{
    beginRowChunk(row.cellCount());
    int rowStyle = -1;
    if (row.hasStyle() || !row.excelNumberFormat().empty())
        rowStyle = styles_->createAddStyleUnique(row.style(), row.excelNumberFormat());
    appendRowStart(rowStyle, height, row.calculateRowHeight() != erhForceAuto);
    cellBuffer_.clear();
    for (int c = 0; c < row.cellCount(); ++c) {
        ExportCell& cell = row.cell(c);
        appendModelCell(cell, styles_->createAddStyleUnique(cell.style(), cell.numberFormat()));
    }
    rowBuffer_ += cellBuffer_;
    rowBuffer_ += "</row>";
    cellBuffer_.clear();
    maxCells_ = std::max(maxCells_, row.cellCount());
    ++rowIndex_;
    ++rowsWrittenTotal_;
    flushRowBuffer(false);
}

// ---------------------------------------------------------------------------
// Pushed rows.

bool XLSXStreamWriter::pushing() const
{
    if (!sheet_)
        throw WorkbookException("No worksheet has been begun.");
    return rowIndex_ < maxRows_;
}

const XLSXStreamWriter::PushedStyle& XLSXStreamWriter::pushedStyle(PushedStyle& slot, int type, int decimals,
                                                                   bool wrap, std::string_view numberFormat)
{
    if (slot.index >= 0)
        return slot;
    // A cell of this kind as the model makes it, in a row without its own style.
    ExportRow scratch(sheet_, static_cast<int>(std::min<int64_t>(rowIndex_, 2147483647)));
    ExportCell* cell = nullptr;
    switch (type) {
    case ectString: cell = &scratch.addCellString(wrap ? "\r\n" : ""); break;
    case ectNumber: cell = &scratch.addCellNumber(decimals, 0.0); break;
    case ectBoolean: cell = &scratch.addCellBoolean(false); break;
    default:
        cell = &scratch.addCellDateTime(0.0);
        cell->setExcelNumberFormat(std::string(numberFormat));
        break;
    }
    slot.index = styles_->createAddStyleUnique(cell->style(), cell->numberFormat());
    slot.height = fontRowHeight(cell->style().font());
    return slot;
}

void XLSXStreamWriter::addString(std::string_view text)
{
    if (!pushing()) {
        ++pushedCells_;
        return;
    }
    const bool wrap = text.find("\r\n") != std::string_view::npos;
    const PushedStyle& style = pushedStyle(stringStyle_[wrap ? 1 : 0], ectString, 0, wrap, {});
    CellXml xml;
    cellStart(xml, columnName(pushedCells_), rowNumber(), style.index);
    if (text.empty())
        xml << "></c>";
    else
        xml << " t=\"s\"><v>" << strings_->add(text) << "</v></c>";
    xml.appendTo(cellBuffer_);
    pushedHeight_ = std::max(pushedHeight_, style.height);
    ++pushedCells_;
}

void XLSXStreamWriter::addNumber(int decimalPlaces, double value)
{
    if (!pushing()) {
        ++pushedCells_;
        return;
    }
    if (decimalPlaces < -1)
        decimalPlaces = -1;
    if (decimalPlaces > 32)
        decimalPlaces = 32;
    const PushedStyle& style = pushedStyle(numberStyles_[decimalPlaces + 1], ectNumber, decimalPlaces, false, {});
    CellXml xml;
    cellStart(xml, columnName(pushedCells_), rowNumber(), style.index);
    if (!std::isfinite(value))
        xml << "></c>";
    else
        (xml << "><v>").number(value) << "</v></c>";
    xml.appendTo(cellBuffer_);
    pushedHeight_ = std::max(pushedHeight_, style.height);
    ++pushedCells_;
}

void XLSXStreamWriter::addBoolean(bool value)
{
    if (!pushing()) {
        ++pushedCells_;
        return;
    }
    const PushedStyle& style = pushedStyle(booleanStyle_, ectBoolean, 0, false, {});
    CellXml xml;
    cellStart(xml, columnName(pushedCells_), rowNumber(), style.index);
    xml << (value ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>");
    xml.appendTo(cellBuffer_);
    pushedHeight_ = std::max(pushedHeight_, style.height);
    ++pushedCells_;
}

void XLSXStreamWriter::addDateTime(double serial, std::string_view numberFormat)
{
    if (!pushing()) {
        ++pushedCells_;
        return;
    }
    PushedStyle* slot = nullptr;
    for (auto& entry : dateStyles_)
        if (entry.first == numberFormat) {
            slot = &entry.second;
            break;
        }
    if (!slot) {
        dateStyles_.emplace_back(std::string(numberFormat), PushedStyle{});
        slot = &dateStyles_.back().second;
    }
    const PushedStyle& style = pushedStyle(*slot, ectDateTime, 0, false, numberFormat);
    double value = serial;
    if (workbook_.use1904DateSystem)
        value -= 1462;
    if (value >= 0 || !std::isfinite(value)) {
        CellXml xml;
        cellStart(xml, columnName(pushedCells_), rowNumber(), style.index);
        (xml << "><v>").number(value) << "</v></c>";
        xml.appendTo(cellBuffer_);
    } else {
        appendCellStart(pushedCells_, style.index);
        cellBuffer_ += " t=\"inlineStr\"><is><t>";
        appendXmlText(cellBuffer_,
                      formatDateTime(serial, dateTimeDisplayFormat(std::string(numberFormat))));
        cellBuffer_ += "</t></is></c>";
    }
    pushedHeight_ = std::max(pushedHeight_, style.height);
    ++pushedCells_;
}

bool XLSXStreamWriter::endRow()
{
    if (!pushing()) {
        ++rowsLeftOut_;
        ++rowIndex_;
        pushedCells_ = 0;
        return false;
    }
    beginRowChunk(pushedCells_);
    appendRowStart(-1, pushedHeight_, true);
    rowBuffer_ += cellBuffer_;
    rowBuffer_ += "</row>";
    cellBuffer_.clear();
    maxCells_ = std::max(maxCells_, pushedCells_);
    pushedCells_ = 0;
    pushedHeight_ = layout_.defaultRowHeight;
    ++rowIndex_;
    ++rowsWrittenTotal_;
    flushRowBuffer(false);
    return true;
}

// ---------------------------------------------------------------------------

void XLSXStreamWriter::writeSheetData(const void* data, std::size_t size)
{
    if (direct_)
        zip_->writeEntry(data, size);
    else
        spillDeflater_->write(data, size);
}

void XLSXStreamWriter::flushRowBuffer(bool force)
{
    if (rowBuffer_.empty() || (!force && rowBuffer_.size() < kRowBufferFlush))
        return;
    writeSheetData(rowBuffer_.data(), rowBuffer_.size());
    rowBuffer_.clear();
}

std::string XLSXStreamWriter::sheetPrefix(int64_t rowCount, int colCount, int sheetStyleIndex) const
{
    std::string out;
    XmlWriter xml(out);
    xml.declaration();
    xml.startElement("worksheet");
    xml.attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    xml.attribute("xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");

    xml.startElement("sheetPr");
    xml.emptyElement("outlinePr", {{"summaryBelow", "1"}, {"summaryRight", "1"}});
    xml.endElement();

    const int lastColumn = std::max(colCount, 1) - 1;
    const int64_t lastRow = std::max<int64_t>(rowCount, 1);
    std::string ref = "A1";
    if (lastColumn > 0 || lastRow > 1)
    {
        ref += ':';
        ref += columnLetters(lastColumn);
        appendInt(ref, lastRow);
    }
    xml.emptyElement("dimension", {{"ref", ref}});

    xml.startElement("sheetViews");
    xml.startElement("sheetView");
    xml.attribute("workbookViewId", "0");
    xml.emptyElement("selection", {{"activeCell", "A1"}, {"sqref", "A1"}});
    xml.endElement();
    xml.endElement();

    const std::string defaultWidth = widthText(layout_.defaultColWidth, charWidth_);
    xml.emptyElement("sheetFormatPr", {{"baseColWidth", "10"},
                                       {"defaultColWidth", defaultWidth},
                                       {"defaultRowHeight", formatXmlNumber(layout_.defaultRowHeight * 0.75)},
                                       {"customHeight", "1"}});

    // Columns: consecutive columns of equal width and format share one element.
    std::string cols;
    XmlWriter colXml(cols);
    int runStart = -1, runWidth = 0;
    auto closeRun = [&](int runEnd) {
        if (runStart < 0)
            return;
        colXml.startElement("col");
        colXml.attribute("min", runStart + 1);
        colXml.attribute("max", runEnd + 1);
        colXml.attribute("width", widthText(runWidth, charWidth_));
        colXml.attribute("customWidth", "1");
        colXml.attribute("style", sheetStyleIndex);
        colXml.endElement();
        runStart = -1;
    };
    for (int c = 0; c < colCount; ++c) {
        int width = c < static_cast<int>(layout_.colWidths.size()) ? layout_.colWidths[c] : -1;
        if (width < 0)
            width = layout_.defaultColWidth;
        const bool written = sheetStyleIndex != 0 || width != layout_.defaultColWidth;
        if (!written) {
            closeRun(c - 1);
            continue;
        }
        if (runStart >= 0 && width == runWidth)
            continue;
        closeRun(c - 1);
        runStart = c;
        runWidth = width;
    }
    closeRun(colCount - 1);
    if (sheetStyleIndex > 0 && colCount < CustomExporterXLSX::kMaxColCount) {
        colXml.startElement("col");
        colXml.attribute("min", colCount + 1);
        colXml.attribute("max", CustomExporterXLSX::kMaxColCount);
        colXml.attribute("width", defaultWidth);
        colXml.attribute("style", sheetStyleIndex);
        colXml.endElement();
    }
    if (!cols.empty()) {
        xml.startElement("cols");
        xml.raw(cols);
        xml.endElement();
    }

    xml.startElement("sheetData");
    xml.raw("");  // the start tag is complete; the rows follow
    return out;
}

std::string XLSXStreamWriter::sheetSuffix()
{
    std::string out = "</sheetData>";
    XmlWriter xml(out);
    const std::string margin = formatXmlNumber(2 * kInchesPerCm);
    const std::string headerMargin = formatXmlNumber((2 - 1) * kInchesPerCm);
    xml.emptyElement("pageMargins", {{"left", margin},
                                     {"right", margin},
                                     {"top", margin},
                                     {"bottom", margin},
                                     {"header", headerMargin},
                                     {"footer", headerMargin}});
    xml.emptyElement("pageSetup", {{"orientation", "portrait"},
                                   {"pageOrder", "downThenOver"},
                                   {"paperSize", "9"},
                                   {"fitToWidth", "0"},
                                   {"fitToHeight", "0"}});
    out += "</worksheet>";
    return out;
}

void XLSXStreamWriter::endSheet()
{
    if (!sheet_)
        throw WorkbookException("No worksheet has been begun.");
    if (pushedCells_ > 0)
        endRow();
    flushRowBuffer(true);
    const std::string suffix = sheetSuffix();
    if (direct_) {
        zip_->writeEntry(suffix);
        zip_->finishEntry();
    } else {
        const DeflatedInput spilled = spillDeflater_->finishSegment();
        spillDeflater_.reset();
        const int sheetStyle = styles_->createAddStyleUnique(sheet_->style(), sheet_->excelNumberFormat());
        const int64_t rows = std::min<int64_t>(rowIndex_, maxRows_);
        const std::string prefix = sheetPrefix(rows, std::max(colCount_, maxCells_), sheetStyle);
        const std::string partName = "xl\\worksheets\\sheet" + std::to_string(sheetsWritten_ + 1) + ".xml";
        zip_->beginEntry(partName, zcDeflate);
        zip_->writeEntry(prefix);
        if (std::fflush(spill_) != 0 || std::fseek(spill_, 0, SEEK_SET) != 0)
            throw WorkbookException("Cannot read the temporary worksheet data.");
        zip_->appendDeflated(spill_, spillBytes_, spilled.crc, spilled.size);
        zip_->writeEntry(suffix);
        zip_->finishEntry();
        std::fclose(spill_);
        spill_ = nullptr;
    }
    sheet_ = nullptr;
    ++sheetsWritten_;
}

void XLSXStreamWriter::writeSharedStrings()
{
    const uint32_t count = strings_->count();
    zip_->beginEntry("xl\\sharedStrings.xml", zcDeflate);
    std::string out = kXlsxDeclaration;
    out += "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"";
    appendInt(out, count);
    out += "\" uniqueCount=\"";
    appendInt(out, count);
    out += "\">";
    for (uint32_t i = 0; i < count; ++i) {
        if (i % 10000 == 0)
            workbook_.notifyProgress(epnSharedString, i, count);
        out += "<si>";
        XLSXSharedStrings::appendElement(out, strings_->text(i));
        out += "</si>";
        if (out.size() >= kRowBufferFlush) {
            zip_->writeEntry(out);
            out.clear();
        }
    }
    out += "</sst>";
    zip_->writeEntry(out);
    zip_->finishEntry();
    workbook_.notifyProgress(epnSharedString, count, count);
}

void XLSXStreamWriter::finish()
{
    start();
    if (sheet_)
        endSheet();
    while (sheetsWritten_ < workbook_.workSheetCount()) {
        ExportWorkSheet& sheet = workbook_.workSheet(sheetsWritten_);
        beginSheet(sheet, sheet.rowCount());
        endSheet();
    }
    const int sheetCount = workbook_.workSheetCount();
    workbook_.notifyProgress(epnWorksheet, sheetCount, sheetCount);

    zip_->addFromString("xl\\styles.xml", xlsxStylesPart(*styles_));
    const bool hasSharedStrings = strings_->count() > 0;
    if (hasSharedStrings)
        writeSharedStrings();
    zip_->addFromString("[Content_Types].xml", xlsxContentTypesPart(sheetCount, hasSharedStrings));
    zip_->addFromString("_rels\\.rels", xlsxRootRelationshipsPart());
    zip_->addFromString("xl\\_rels\\workbook.xml.rels", xlsxWorkbookRelationshipsPart(sheetCount, hasSharedStrings));
    zip_->addFromString("xl\\workbook.xml", xlsxWorkbookPart(workbook_));
    zip_->addFromString("docProps\\core.xml", xlsxCorePropertiesPart(workbook_));
    zip_->addFromString("docProps\\app.xml", xlsxAppPropertiesPart(workbook_));
    zip_->addFromString("xl\\theme\\theme1.xml", xlsxThemePart());

    workbook_.notifyProgress(epnSave, 0, 1, "Saving");
    zip_->close();
    if (ownedStream_)
        ownedStream_->commit();
    finished_ = true;
    workbook_.notifyProgress(epnFinish, 1, 1);
}

} // namespace karto
