#include "export/driver/ExportFormat.h"

#include <array>

namespace karto {

namespace {

struct FormatExtensions {
    ExportFormat format;
    const char* name;
    std::span<const char* const> extensions;
};

constexpr const char* kCsv[] = {"csv"};
constexpr const char* kTxt[] = {"txt"};
constexpr const char* kHtml[] = {"htm", "html"};
constexpr const char* kXlsx[] = {"xlsx", "xlsm", "xltx", "xltm"};
constexpr const char* kXls[] = {"xls", "xlt"};

// In the order of the enumeration.
constexpr std::array<FormatExtensions, 5> kFormats = {{
    {ExportFormat::CSV, "CSV", kCsv},
    {ExportFormat::TXT, "TXT", kTxt},
    {ExportFormat::HTML, "HTML", kHtml},
    {ExportFormat::XLSX, "XLSX", kXlsx},
    {ExportFormat::XLS, "XLS", kXls},
}};

const FormatExtensions& entryOf(ExportFormat format)
{
    return kFormats[static_cast<std::size_t>(format)];
}

} // namespace

std::string exportFileExtension(const std::string& fileName)
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

std::optional<ExportFormat> exportFormatOf(const std::string& fileName)
{
    const std::string extension = exportFileExtension(fileName);
    if (extension.empty())
        return std::nullopt;
    for (const FormatExtensions& entry : kFormats)
        for (const char* candidate : entry.extensions)
            if (extension == candidate)
                return entry.format;
    return std::nullopt;
}

const char* exportFormatName(ExportFormat format)
{
    return entryOf(format).name;
}

std::span<const char* const> exportFormatExtensions(ExportFormat format)
{
    return entryOf(format).extensions;
}

} // namespace karto
