#include "export/workbook/ExporterRegistry.h"

#include "export/workbook/WorkbookErrors.h"
#include "export/xlsx/XLSXWriter.h"

namespace karto {

std::string exporterExtension(const std::string& fileName)
{
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

ExporterRegistry::ExporterRegistry()
{
    formats_.push_back({"XLSX", {"xlsx", "xlsm", "xltx", "xltm"},
                        [] { return std::unique_ptr<CustomExporter>(new CustomExporterXLSX()); },
                        CustomExporterXLSX::kMaxRowCount, CustomExporterXLSX::kMaxColCount});
    // The XLS writer installs itself through setFactory("XLS", ...).
    formats_.push_back({"XLS", {"xls", "xlt"}, nullptr, 65536, 256});
}

ExporterRegistry& ExporterRegistry::instance()
{
    static ExporterRegistry registry;
    return registry;
}

const ExporterFormat* ExporterRegistry::find(const std::string& fileName) const
{
    const std::string extension = exporterExtension(fileName);
    if (extension.empty())
        return nullptr;
    for (const ExporterFormat& format : formats_)
        for (const std::string& candidate : format.extensions)
            if (candidate == extension)
                return &format;
    return nullptr;
}

const ExporterFormat& ExporterRegistry::require(const std::string& fileName) const
{
    const ExporterFormat* format = find(fileName);
    if (!format)
        throw WorkbookFileNameException("The file \"" + fileName +
                                        "\" could not be processed.\r\n\r\nThe file extension is not "
                                        "assigned to any exporter.");
    return *format;
}

std::unique_ptr<CustomExporter> ExporterRegistry::create(const std::string& fileName) const
{
    const ExporterFormat& format = require(fileName);
    if (!format.factory)
        throw WorkbookException("No writer is available for the format " + format.name + ".");
    return format.factory();
}

void ExporterRegistry::setFactory(const std::string& formatName,
                                  std::function<std::unique_ptr<CustomExporter>()> factory)
{
    for (ExporterFormat& format : formats_)
        if (format.name == formatName)
            format.factory = std::move(factory);
}

} // namespace karto
