#include "dbf/text/LanguageDriver.h"

#include <array>
#include <charconv>

namespace karto {

namespace {

struct CatalogueRow {
    uint8_t id;
    uint16_t codePage;
    uint32_t locale;
    const char* namePart;
    bool special = false; // the one driver whose name is built differently
};

constexpr CatalogueRow kCatalogueRows[] = {
    {0x00, 0, 0x10000, ""},
    {0x01, 437, 0x0409, "US0"},
    {0x02, 850, 0x0809, "UK0"},
    {0x03, 1252, 0x0809, "UK0"},
    {0x04, 10000, 0x0809, "UK0"},
    {0x08, 865, 0x0406, "DA0"},
    {0x09, 437, 0x0413, "NL0"},
    {0x0A, 850, 0x0413, "NL0"},
    {0x0B, 437, 0x040B, "FI0"},
    {0x0C, 850, 0x040B, "FI0"},
    {0x0D, 437, 0x040C, "FR0"},
    {0x0E, 850, 0x040C, "FR0"},
    {0x0F, 437, 0x0407, "DE0"},
    {0x10, 850, 0x0407, "DE0"},
    {0x11, 437, 0x0410, "IT0"},
    {0x12, 850, 0x0410, "IT1"},
    {0x13, 932, 0x0411, "JP0"},
    {0x14, 850, 0x040A, "ES0"},
    {0x15, 437, 0x041D, "SV0"},
    {0x16, 850, 0x041D, "SV1"},
    {0x17, 865, 0x0414, "NO0"},
    {0x18, 437, 0x040A, "ES1"},
    {0x19, 437, 0x0809, "UK0"},
    {0x1A, 850, 0x0809, "UK0"},
    {0x1B, 437, 0x0409, "US0"},
    {0x1C, 863, 0x0C0C, "CF1"},
    {0x1D, 850, 0x0C0C, "CF1"},
    {0x1F, 852, 0x0405, "CZ0"},
    {0x20, 867, 0x0405, "CZ0"},
    {0x22, 852, 0x040E, "HDC"},
    {0x23, 852, 0x0415, "PO0"},
    {0x24, 860, 0x0416, "PT0"},
    {0x25, 850, 0x0416, "PT0"},
    {0x26, 866, 0x0419, "RU0"},
    {0x37, 850, 0x0409, "US0"},
    {0x4D, 936, 0x0804, "CN0"},
    {0x4E, 949, 0x0412, "KO0"},
    {0x4F, 950, 0x0404, "TW0"},
    {0x50, 874, 0x041E, "TH0"},
    {0x56, 932, 0x0411, "JP1"},
    {0x57, 1252, 0x0000, "US0"},
    {0x58, 1252, 0x0809, "WE0"},
    {0x59, 1252, 0x040A, "ES0"},
    {0x5E, 437, 0x0407, "DE"},
    {0x5F, 437, 0x0414, "NO"},
    {0x60, 850, 0x0414, "NO"},
    {0x61, 1252, 0x0407, "DE"},
    {0x62, 1252, 0x0414, "NO"},
    {0x64, 852, 0x0405, "CZ0"},
    {0x65, 866, 0x0419, "RU0"},
    {0x66, 865, 0x0414, "NO"},
    {0x67, 861, 0x040F, "IC0"},
    {0x68, 895, 0x0405, "CZ0"},
    {0x69, 620, 0x0415, "PO1"},
    {0x6A, 737, 0x0408, "GR0"},
    {0x6B, 857, 0x041F, "TR0"},
    {0x78, 950, 0x0C04, "CH0"},
    {0x79, 949, 0x0412, "KO0"},
    {0x7A, 936, 0x21004, "CS0"},
    {0x7B, 932, 0x0411, "JP0"},
    {0x7C, 874, 0x041E, "TH0"},
    {0x7D, 1255, 0x040D, "REW"},
    {0x7E, 1256, 0x0401, "AR0"},
    {0x85, 862, 0x040D, "REW"},
    {0x86, 437, 0x0408, "GR0"},
    {0x87, 852, 0x041B, "SL0"},
    {0x88, 857, 0x041F, "TR0"},
    {0x8E, 868, 0x0402, "", true},
    {0x96, 10007, 0x0419, "RU0"},
    {0x97, 10029, 0x0405, "CZ0"},
    {0x98, 10006, 0x0408, "GR0"},
    {0x9B, 1250, 0x0405, ""},
    {0x9C, 850, 0x0405, ""},
    {0xC8, 1250, 0x0405, "CZ0"},
    {0xC9, 1251, 0x0419, "RU0"},
    {0xCA, 1254, 0x041F, "TR0"},
    {0xCB, 1253, 0x0408, "GR0"},
};

struct Entry {
    int codePage = 0;
    uint32_t locale = 0;
    uint32_t nameKey = 0;  // the name part read as a little-endian number
    const char* namePart = "";
    bool special = false;
};

constexpr uint32_t nameKey(std::string_view part)
{
    uint32_t key = 0;
    for (std::size_t i = 0; i < part.size() && i < 3; ++i)
        key |= uint32_t(static_cast<unsigned char>(part[i])) << (8 * i);
    return key;
}

constexpr std::array<Entry, 256> makeCatalogue()
{
    std::array<Entry, 256> entries{};
    for (const CatalogueRow& row : kCatalogueRows) {
        Entry& e = entries[row.id];
        e.codePage = row.codePage;
        e.locale = row.locale;
        e.namePart = row.namePart;
        e.nameKey = nameKey(row.namePart);
        e.special = row.special;
    }
    return entries;
}

constexpr std::array<Entry, 256> kCatalogue = makeCatalogue();

enum class KeyKind { Locale, NamePart };

// Scans every id; see codePageToLanguageDriver. Ids that name no code page
// (id 0 and the undefined ones) never match: with any code page and an empty
// name part they would otherwise turn a name that means nothing into an id.
int findId(int codePage, uint32_t key, KeyKind kind, bool preferFoxPro)
{
    if (kind == KeyKind::NamePart && key == 0)
        return 0;
    int dbase = 0;
    int foxpro = 0;
    for (int id = 0; id < 256; ++id) {
        const Entry& e = kCatalogue[id];
        if (e.codePage == 0 || (codePage != 0 && e.codePage != codePage))
            continue;
        if ((kind == KeyKind::Locale ? e.locale : e.nameKey) != key)
            continue;
        if (languageDriverFamily(id) == DriverFamily::dBase)
            dbase = id;
        else
            foxpro = id;
    }
    if (dbase != 0 && (!preferFoxPro || foxpro == 0))
        return dbase;
    return foxpro;
}

int codePageFromName(std::string_view part)
{
    if (part == "WIN")
        return 1252;
    if (part == "REW")
        return 1255;
    int value = 0;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (ec != std::errc() || end != part.data() + part.size() || part.empty() || value < 0)
        return 0;
    return value;
}

// Characters `first` to `last` (1-based) of the name, as far as it reaches.
std::string_view characters(std::string_view name, std::size_t first, std::size_t last)
{
    if (name.size() < first)
        return {};
    return name.substr(first - 1, std::min(last, name.size()) - first + 1);
}

} // namespace

DriverFamily languageDriverFamily(int id)
{
    return (id == 0 || (id >= 5 && id <= 93)) ? DriverFamily::dBase : DriverFamily::FoxPro;
}

int languageDriverToCodePage(int id)
{
    return (id >= 0 && id < 256) ? kCatalogue[id].codePage : 0;
}

uint32_t languageDriverLocale(int id)
{
    return (id >= 0 && id < 256) ? kCatalogue[id].locale : 0;
}

std::string_view languageDriverNamePart(int id)
{
    return (id >= 0 && id < 256) ? std::string_view(kCatalogue[id].namePart) : std::string_view();
}

int codePageToLanguageDriver(int codePage, uint32_t locale, bool preferFoxPro)
{
    int id = findId(codePage, locale, KeyKind::Locale, preferFoxPro);
    if (id == 0 && codePage != 0)
        id = findId(0, locale, KeyKind::Locale, preferFoxPro);
    return id;
}

int languageDriverNameToId(std::string_view name)
{
    const bool fox = name.substr(0, 3) == "FOX";
    const std::string_view cpPart = fox ? characters(name, 6, 8) : characters(name, 3, 5);
    const std::string_view namePart = fox ? characters(name, 4, 5) : characters(name, 6, 8);
    return findId(codePageFromName(cpPart), nameKey(namePart), KeyKind::NamePart, fox);
}

std::string languageDriverName(int codePage, uint32_t locale, bool foxPro)
{
    const int id = codePageToLanguageDriver(codePage, locale, foxPro);
    const Entry& e = kCatalogue[id];
    if (e.special)
        return "BGDB868";
    if (e.namePart[0] == '\0')
        return {};
    const std::string pageText = codePage == 1252 ? std::string("WIN") : std::to_string(codePage);
    if (foxPro)
        return "FOX" + std::string(e.namePart) + pageText;
    return "DB" + pageText + e.namePart;
}

} // namespace karto
