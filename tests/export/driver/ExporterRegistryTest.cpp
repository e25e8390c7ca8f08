#include "export/driver/ExporterRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookErrors.h"
#include "support/DbfBuilder.h"

using namespace karto;

namespace {

TEST(ExporterRegistry, ChoosesTheSpreadsheetWriterByExtension)
{
    const ExporterRegistry& registry = ExporterRegistry::instance();
    const std::optional<ExportFormat> none;
    const struct {
        const char* file;
        std::optional<ExportFormat> format;
        int maxRowCount;
        int maxColCount;
    } cases[] = {
        {"report.XLSX", ExportFormat::XLSX, 1048576, 16384},
        {"report.xlsm", ExportFormat::XLSX, 1048576, 16384},
        {"a.b/report.xltx", ExportFormat::XLSX, 1048576, 16384},
        {"r.xltm", ExportFormat::XLSX, 1048576, 16384},
        {"report.xls", ExportFormat::XLS, 65536, 256},
        {"report.XLT", ExportFormat::XLS, 65536, 256},
        // Other exports and unknown extensions have no spreadsheet writer.
        {"report.csv", none, 0, 0}, {"report.txt", none, 0, 0}, {"report.htm", none, 0, 0},
        {"report.html", none, 0, 0}, {"report", none, 0, 0}, {"report.xlsb", none, 0, 0},
        {"dir.xlsx/report", none, 0, 0}, {"report.", none, 0, 0}, {"report.ods", none, 0, 0},
    };
    for (const auto& c : cases) {
        const ExporterEntry* entry = registry.find(c.file);
        if (!c.format) {
            EXPECT_EQ(entry, nullptr) << c.file;
            continue;
        }
        ASSERT_NE(entry, nullptr) << c.file;
        EXPECT_EQ(entry->format, *c.format) << c.file;
        EXPECT_EQ(entry->maxRowCount, c.maxRowCount) << c.file;
        EXPECT_EQ(entry->maxColCount, c.maxColCount) << c.file;
        EXPECT_EQ(registry.create(c.file)->maxRowCount(), c.maxRowCount) << c.file;
    }
    try {
        registry.require("report.xlsb");
        FAIL();
    } catch (const WorkbookFileNameException& e) {
        EXPECT_STREQ(e.what(), "The file \"report.xlsb\" could not be processed.\r\n\r\n"
                               "The file extension is not assigned to any exporter.");
    }
}

// An extension no writer knows fails before anything is written.
TEST(ExporterRegistry, SaveWithoutAWriterMakesNoFile)
{
    karto::test::TempDir dir;
    Workbook workbook;
    workbook.addWorkSheet("Data").addRow().addCellString("x");
    const std::string target = dir.file("out.csv");
    EXPECT_THROW(saveWorkbook(workbook, target), WorkbookFileNameException);
    EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
