#include "export/driver/WorkbookExport.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "export/driver/ExporterRegistry.h"
#include "export/text/TextExport.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/SheetStreamWriter.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"

namespace karto {

namespace {

// The first records are held in the model: their texts decide the column widths.
constexpr int kMeasuredRecords = 49;
constexpr ExportColor kHeaderColor = 0x00F1D9C5;   // RGB C5 D9 F1, light blue
constexpr const char* kDateFormat = "dd.mm.yyyy";

enum class CellKind { Integer, Float, Boolean, Date, Text };

CellKind cellKindOf(FieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return CellKind::Integer;
    case ftBoolean:
        return CellKind::Boolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return CellKind::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return CellKind::Date;
    default:
        return CellKind::Text;
    }
}

// One typed cell of the current record, either into a model row or pushed
// into a streaming writer.
template <typename Sink>
void emitRecord(TableDataset& dbf, const std::vector<int>& columns, const std::vector<CellKind>& kinds,
                std::string& text, Sink&& sink)
{
    const uint8_t* record = dbf.currentRecord();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Field& f = dbf.field(columns[i]);
        switch (kinds[i]) {
        case CellKind::Integer:
            // 64-bit: N fields of ten digits and more do not fit 32 bits.
            sink.number(0, static_cast<double>(f.asLargeInt()));
            break;
        case CellKind::Float:
            sink.number(-1, f.asFloat());
            break;
        case CellKind::Boolean:
            sink.boolean(f.asBoolean());
            break;
        case CellKind::Date: {
            const double value = f.asDateTime();
            if (value <= 1.0)
                sink.emptyDate();
            else
                sink.date(value);
            break;
        }
        case CellKind::Text:
            text.clear();
            dbf.appendFieldText(text, columns[i], record);
            sink.text(text);
            break;
        }
    }
}

struct ModelSink {
    ExportRow& row;
    bool measure;
    void number(int decimals, double v) { row.addCellNumber(decimals, v).setCalculateColWidth(measure); }
    void boolean(bool v) { row.addCellBoolean(v).setCalculateColWidth(measure); }
    void date(double v)
    {
        row.addCellDateTime(v).setExcelNumberFormat(kDateFormat).setCalculateColWidth(measure);
    }
    void emptyDate() { row.addCellString(""); }
    void text(const std::string& t) { row.addCellString(t).setCalculateColWidth(measure); }
};

struct StreamSink {
    SheetStreamWriter& writer;
    void number(int decimals, double v) { writer.addNumber(decimals, v); }
    void boolean(bool v) { writer.addBoolean(v); }
    void date(double v) { writer.addDateTime(v, kDateFormat); }
    void emptyDate() { writer.addString(""); }
    void text(const std::string& t) { writer.addString(t); }
};

// Restores the record that was current before the walk, also after an error.
class PositionRestore {
public:
    explicit PositionRestore(TableDataset& dbf) : dbf_(dbf)
    {
        if (!dbf_.isEmpty())
            bookmark_ = dbf_.getBookmark();
    }
    ~PositionRestore()
    {
        try {
            if (bookmark_)
                dbf_.gotoBookmark(*bookmark_);
        } catch (...) {
            // The record is gone (another program); the walk's end stays current.
        }
    }

private:
    TableDataset& dbf_;
    std::optional<TableDataset::Bookmark> bookmark_;
};

// "Formát XLS pojme nejvýše 65535 řádků, 4465 záznamů nebylo exportováno."
std::string formatWarning(const char* pattern, ExportFormat format, int64_t limit, int64_t leftOut)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, exportFormatName(format), static_cast<long long>(limit),
                  static_cast<long long>(leftOut));
    return buffer;
}

WorkbookExportResult writeWorkbook(const std::string& fileName, const ExporterEntry& writerEntry,
                                   TableDataset& dbf, WorkbookProgressReceiver* progress)
{
    workbookDateFormat() = "%sysdate%";
    workbookTimeFormat() = "%systime%";

    Workbook workbook;
    workbook.setProgressReceiver(progress);
    ExportWorkSheet& sheet = workbook.addWorkSheet("Data");
    sheet.style().setFontName("Arial").setFontSize(9);

    const std::vector<int> columns = allColumns(dbf);
    std::vector<CellKind> kinds;
    ExportRow& header = sheet.addRow();
    header.style().setFontStyle(fsBold).setBGColor(kHeaderColor);
    for (const int c : columns) {
        header.addCellString(dbf.field(c).fieldName()).setCalculateColWidth(true);
        kinds.push_back(cellKindOf(dbf.field(c).dataType()));
    }

    ControlsDisabled disabled(dbf);
    PositionRestore restore(dbf);

    // The sheet's dimension comes before its rows: count the visible records.
    int64_t visible = 0;
    for (dbf.first(); !dbf.eof(); dbf.next())
        ++visible;

    std::string text;
    int64_t counter = 1;
    dbf.first();
    for (; !dbf.eof() && counter <= kMeasuredRecords; dbf.next(), ++counter)
        emitRecord(dbf, columns, kinds, text, ModelSink{sheet.addRow(), true});

    const std::unique_ptr<SheetStreamWriter> stream = writerEntry.createStreamWriter(workbook, fileName);
    SheetStreamWriter& writer = *stream;
    writer.beginSheet(sheet, 1 + visible);
    StreamSink sink{writer};
    for (; !dbf.eof(); dbf.next()) {
        emitRecord(dbf, columns, kinds, text, sink);
        writer.endRow();
    }
    writer.endSheet();
    writer.finish();

    WorkbookExportResult result;
    result.recordsLeftOut = writer.rowsLeftOut();
    result.fieldsLeftOut = writer.fieldsLeftOut();
    return result;
}

} // namespace

WorkbookExportResult exportWorkbook(const std::string& fileName, TableDataset& dbf,
                                    WorkbookProgressReceiver* progress)
{
    // A mistyped extension fails before the table is walked.
    const ExporterEntry& writerEntry = ExporterRegistry::instance().require(fileName);
    dbf.checkActive();

    WorkbookExportResult result = writeWorkbook(fileName, writerEntry, dbf, progress);
    // The header takes one of the format's rows.
    if (result.recordsLeftOut > 0)
        result.warning = formatWarning("Formát %s pojme nejvýše %lld řádků, %lld záznamů nebylo exportováno.",
                                       writerEntry.format, writerEntry.maxRowCount - 1, result.recordsLeftOut);
    if (result.fieldsLeftOut > 0) {
        if (!result.warning.empty())
            result.warning += "\n";
        result.warning += formatWarning("Formát %s pojme nejvýše %lld sloupců, %lld polí nebylo exportováno.",
                                        writerEntry.format, writerEntry.maxColCount, result.fieldsLeftOut);
    }
    return result;
}

} // namespace karto
