#include "export/driver/ExportFormat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace karto;

namespace {

std::string joined(std::span<const char* const> extensions)
{
    std::string text;
    for (const char* extension : extensions)
        text += (text.empty() ? "" : " ") + std::string(extension);
    return text;
}

TEST(ExportFormat, ChosenByTheLowerCasedExtensionOfTheLastPathComponent)
{
    const std::optional<ExportFormat> none;
    const struct {
        const char* file;
        const char* extension;
        std::optional<ExportFormat> format;
    } cases[] = {
        {"out.csv", "csv", ExportFormat::CSV},
        {"OUT.CSV", "csv", ExportFormat::CSV},
        {"out.Txt", "txt", ExportFormat::TXT},
        {"page.htm", "htm", ExportFormat::HTML},
        {"page.HTML", "html", ExportFormat::HTML},
        {"report.XLSX", "xlsx", ExportFormat::XLSX},
        {"report.xlsm", "xlsm", ExportFormat::XLSX},
        {"a.b/report.xltx", "xltx", ExportFormat::XLSX},
        {"r.XLTM", "xltm", ExportFormat::XLSX},
        {"x.tar.xlsx", "xlsx", ExportFormat::XLSX},
        {"C:\\out\\cenik.xls", "xls", ExportFormat::XLS},
        {"report.XLT", "xlt", ExportFormat::XLS},
        {"zpráva.Xlsx", "xlsx", ExportFormat::XLSX},
        {"report", "", none},
        {"report.", "", none},
        {"/a.b/out", "", none},
        {"dir.xlsx/report", "", none},
        {"dir.csv\\report", "", none},
        {"report.xlsb", "xlsb", none},
        {"report.ods", "ods", none},
        {"out.doc", "doc", none},
        {"out.csv.bak", "bak", none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exportFileExtension(c.file), c.extension) << c.file;
        EXPECT_EQ(exportFormatOf(c.file), c.format) << c.file;
    }
}

TEST(ExportFormat, NamesAndExtensions)
{
    const struct {
        ExportFormat format;
        const char* name;
        const char* extensions;   // the proposed one first
    } cases[] = {
        {ExportFormat::CSV, "CSV", "csv"},
        {ExportFormat::TXT, "TXT", "txt"},
        {ExportFormat::HTML, "HTML", "htm html"},
        {ExportFormat::XLSX, "XLSX", "xlsx xlsm xltx xltm"},
        {ExportFormat::XLS, "XLS", "xls xlt"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(exportFormatName(c.format), c.name);
        EXPECT_EQ(joined(exportFormatExtensions(c.format)), c.extensions) << c.name;
        for (const char* extension : exportFormatExtensions(c.format))
            EXPECT_EQ(exportFormatOf(std::string("f.") + extension), c.format) << extension;
    }
}

} // namespace
