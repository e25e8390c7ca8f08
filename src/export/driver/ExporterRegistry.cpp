#include "export/driver/ExporterRegistry.h"

#include "export/output/ReplacingOutputStream.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookErrors.h"
#include "export/xls/XLSWriter.h"
#include "export/xlsx/XLSXWriter.h"

namespace karto {

namespace {

template <typename Exporter>
std::unique_ptr<CustomExporter> createExporter()
{
    return std::make_unique<Exporter>();
}

template <typename Writer>
std::unique_ptr<SheetStreamWriter> createStreamWriter(Workbook& workbook, const std::string& fileName)
{
    return std::make_unique<Writer>(workbook, fileName);
}

} // namespace

ExporterRegistry::ExporterRegistry()
{
    entries_.push_back({ExportFormat::XLSX, CustomExporterXLSX::kMaxRowCount, CustomExporterXLSX::kMaxColCount,
                        &createExporter<CustomExporterXLSX>, &createStreamWriter<XLSXStreamWriter>});
    entries_.push_back({ExportFormat::XLS, CustomExporterXLS::kMaxRowCount, CustomExporterXLS::kMaxColCount,
                        &createExporter<CustomExporterXLS>, &createStreamWriter<XLSStreamWriter>});
}

const ExporterRegistry& ExporterRegistry::instance()
{
    static const ExporterRegistry registry;
    return registry;
}

const ExporterEntry* ExporterRegistry::find(const std::string& fileName) const
{
    const std::optional<ExportFormat> format = exportFormatOf(fileName);
    if (!format)
        return nullptr;
    for (const ExporterEntry& entry : entries_)
        if (entry.format == *format)
            return &entry;
    return nullptr;
}

const ExporterEntry& ExporterRegistry::require(const std::string& fileName) const
{
    const ExporterEntry* entry = find(fileName);
    if (!entry)
        throw WorkbookFileNameException("The file \"" + fileName +
                                        "\" could not be processed.\r\n\r\nThe file extension is not "
                                        "assigned to any exporter.");
    return *entry;
}

std::unique_ptr<CustomExporter> ExporterRegistry::create(const std::string& fileName) const
{
    return require(fileName).createExporter();
}

void saveWorkbook(Workbook& workbook, const std::string& fileName)
{
    std::unique_ptr<CustomExporter> exporter = ExporterRegistry::instance().create(fileName);
    exporter->beforeExport(workbook);
    ReplacingOutputStream output(fileName);
    workbook.checkTitles();
    exporter->exportToStream(output);
    output.commit();
}

} // namespace karto
