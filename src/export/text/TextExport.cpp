#include "export/text/TextExport.h"

#include <cstring>

#include "dbf/table/TableDataset.h"
#include "export/output/ExportProgress.h"
#include "export/output/ReplacingFile.h"

namespace karto {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

// Appends text without leading and trailing characters of code 32 and below,
// between quotation marks, a quotation mark inside doubled.
void appendQuoted(std::string& out, const std::string& text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    out.push_back('"');
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

// The same for a field's text, formatted straight into the output: trimmed
// in place, and copied again only when it holds a quotation mark.
void appendQuotedField(std::string& out, const TableDataset& dbf, int column, const uint8_t* record)
{
    out.push_back('"');
    const std::size_t start = out.size();
    dbf.appendFieldText(out, column, record);
    std::size_t begin = start, end = out.size();
    while (begin < end && static_cast<unsigned char>(out[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(out[end - 1]) <= 32)
        --end;
    out.resize(end);
    if (begin > start)
        out.erase(start, begin - start);
    if (std::memchr(out.data() + start, '"', out.size() - start)) {
        const std::string text = out.substr(start);
        out.resize(start);
        for (const char c : text) {
            if (c == '"')
                out.push_back('"');
            out.push_back(c);
        }
    }
    out.push_back('"');
}

void exportDelimited(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                     char separator, ExportProgress* progress)
{
    ProgressReset reset(progress);
    dbf.checkActive();
    if (progress) {
        progress->setPosition(0);
        progress->setRange(static_cast<int64_t>(dbf.recordCount()) - 1);
    }

    ControlsDisabled disabled(dbf);
    ReplacingFile file(fileName);
    std::string& out = file.buffer();
    out.append(kBom);

    const std::size_t n = columns.size();
    std::vector<bool> exported(n), logical(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Field& f = dbf.field(columns[i]);
        exported[i] = f.dataType() != ftMemo;
        logical[i] = f.dataType() == ftBoolean;
    }

    for (std::size_t i = 0; i < n; ++i) {
        if (!exported[i])
            continue;
        appendQuoted(out, dbf.field(columns[i]).fieldName());
        if (i + 1 < n)
            out.push_back(separator);
    }
    out.append("\r\n");

    int64_t count = 0;
    for (dbf.first(); !dbf.eof(); dbf.next()) {
        ++count;
        if (progress)
            progress->setPosition(count);
        const uint8_t* record = dbf.currentRecord();
        for (std::size_t i = 0; i < n; ++i) {
            if (!exported[i])
                continue;
            if (logical[i]) {
                const Field& f = dbf.field(columns[i]);
                out.push_back(!f.isNull() && f.asBoolean() ? '1' : '0');
            } else {
                appendQuotedField(out, dbf, columns[i], record);
            }
            if (i + 1 < n)
                out.push_back(separator);
        }
        out.append("\r\n");
        file.flushIfFull();
    }
    file.commit();
}

} // namespace

void exportToCSV(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                 ExportProgress* progress)
{
    exportDelimited(fileName, dbf, columns, ';', progress);
}

void exportToTXT(const std::string& fileName, TableDataset& dbf, const std::vector<int>& columns,
                 ExportProgress* progress)
{
    exportDelimited(fileName, dbf, columns, '\t', progress);
}

std::vector<int> allColumns(const TableDataset& dbf)
{
    std::vector<int> columns;
    for (int i = 0; i < dbf.fieldCount(); ++i)
        if (dbf.field(i).visible())
            columns.push_back(i);
    return columns;
}

} // namespace karto
