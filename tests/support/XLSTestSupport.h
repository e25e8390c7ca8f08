#pragma once
// Helpers of the XLS writer tests: the workbook stream out of a compound
// document, its records, and the example table's workbook built as the
// export driver builds it.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/workbook/ExportCell.h"
#include "export/workbook/ExportRow.h"
#include "export/workbook/ExportWorkSheet.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"

namespace karto::xlstest {

inline std::uint16_t le16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(std::uint8_t(s.at(at)) | std::uint8_t(s.at(at + 1)) << 8);
}
inline std::uint32_t le32(const std::string& s, std::size_t at)
{
    return le16(s, at) | std::uint32_t(le16(s, at + 2)) << 16;
}
inline double f64(const std::string& s, std::size_t at)
{
    std::uint64_t bits = le32(s, at) | std::uint64_t(le32(s, at + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

// The stream "Workbook" of a document written by our compound document
// writer, whose data (or mini stream) lies in consecutive sectors.
inline std::string workbookStream(const std::string& doc)
{
    const std::uint32_t dirSector = le32(doc, 48);
    const std::size_t dir = 512 + std::size_t(dirSector) * 512;
    const std::uint32_t rootStart = le32(doc, dir + 116);
    const std::size_t entry = dir + 128;
    if (le16(doc, entry) != 'W')
        throw std::runtime_error("no Workbook entry");
    const std::uint32_t start = le32(doc, entry + 116);
    const std::uint32_t size = le32(doc, entry + 120);
    const std::size_t at = size < 4096 ? 512 + std::size_t(rootStart) * 512 + std::size_t(start) * 64
                                       : 512 + std::size_t(start) * 512;
    return doc.substr(at, size);
}

struct Record {
    std::uint16_t number;
    std::string data;
    std::size_t offset;   // of the record header in the stream
};

inline std::vector<Record> parseRecords(const std::string& stream)
{
    std::vector<Record> out;
    std::size_t p = 0;
    while (p + 4 <= stream.size()) {
        const std::uint16_t number = le16(stream, p);
        const std::uint16_t length = le16(stream, p + 2);
        if (p + 4 + length > stream.size())
            throw std::runtime_error("truncated record");
        out.push_back({number, stream.substr(p + 4, length), p});
        p += 4 + length;
    }
    if (p != stream.size())
        throw std::runtime_error("trailing bytes");
    return out;
}

// UTF-16LE characters of a string.
inline std::u16string utf16At(const std::string& s, std::size_t at, std::size_t chars)
{
    std::u16string out;
    for (std::size_t i = 0; i < chars; ++i)
        out.push_back(static_cast<char16_t>(le16(s, at + 2 * i)));
    return out;
}

// A workbook as the export driver builds it: sheet "Data" in Arial 9, a bold
// header row on light blue, one row per record.
struct DriverWorkbook {
    Workbook workbook;
    ExportWorkSheet* sheet;

    explicit DriverWorkbook(const std::vector<std::string>& fieldNames)
    {
        workbookDateFormat() = "%sysdate%";
        workbookTimeFormat() = "%systime%";
        sheet = &workbook.addWorkSheet("Data");
        sheet->style().setFontName("Arial");
        sheet->style().setFontSize(9);
        ExportRow& header = sheet->addRow();
        header.style().setFontStyle(fsBold).setBGColor(0x00F1D9C5);
        for (const auto& name : fieldNames)
            header.addCellString(name).setCalculateColWidth(true);
    }
    // The example's record: Šroub M6, 120, 2.5, 28 June 2020, true.
    ExportRow& addExampleRecord(bool measure = true)
    {
        ExportRow& row = sheet->addRow();
        row.addCellString("Šroub M6").setCalculateColWidth(measure);
        row.addCellNumber(0, 120).setCalculateColWidth(measure);
        row.addCellNumber(-1, 2.5).setCalculateColWidth(measure);
        row.addCellDateTime(44010).setExcelNumberFormat("dd.mm.yyyy").setCalculateColWidth(measure);
        row.addCellBoolean(true).setCalculateColWidth(measure);
        return row;
    }
};

inline const std::vector<std::string>& exampleFields()
{
    static const std::vector<std::string> names = {"NAZEV", "POCET", "CENA", "DATUM", "PLATNY"};
    return names;
}

} // namespace karto::xlstest
