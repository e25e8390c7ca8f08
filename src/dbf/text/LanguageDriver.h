#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace karto {

// The catalogue of language drivers: the one-byte id a DBF header names its
// character set by (dBase III to dBase 5 and FoxPro), with the code page,
// locale and name part of each id, and the lookups between ids, code pages,
// locales and dBase 7 language driver names ("DB852CZ0", "FOXCZ895", ...).

enum class DriverFamily { dBase, FoxPro };

// Locale identifiers used by the lookups.
constexpr uint32_t kLocaleCzech = 0x0405;
// Locale of id 0, which names no character set.
constexpr uint32_t kLocaleNone = 0x10000;

// dBase for ids 0 and 5-93, FoxPro for 1-4 and 94-255 (and for ids outside
// 0-255, which name nothing).
DriverFamily languageDriverFamily(int id);

// The code page of an id; 0 for an id that names none or lies outside 0-255.
int languageDriverToCodePage(int id);

// The locale of an id; 0 when not defined (id 0 has kLocaleNone).
uint32_t languageDriverLocale(int id);

// The name part of an id (up to three characters: "CZ0", "DE"); empty when the
// id has none.
std::string_view languageDriverNamePart(int id);

// The id for a code page (0: any) and a locale: among the ids whose code page
// and locale match, the last of the dBase family unless the FoxPro family is
// preferred and has one, else the last of the FoxPro family; when nothing
// matches with the code page, tries again with any code page; 0 when nothing
// matches. Czech Windows 1250 gives 0xC8; 852 Czech gives 0x1F, or 0x64 when
// FoxPro is preferred.
int codePageToLanguageDriver(int codePage, uint32_t locale, bool preferFoxPro = false);

// The id for a dBase 7 language driver name ("DBWINUS0" -> 0x57,
// "DB852CZ0" -> 0x1F); 0 when the name matches nothing.
int languageDriverNameToId(std::string_view name);

// The dBase 7 language driver name for a code page and a locale, in the dBase
// form ("DB852CZ0", "DBWINUS0") or the FoxPro form ("FOXCZ0852"); empty when
// the driver found has no name part.
std::string languageDriverName(int codePage, uint32_t locale, bool foxPro = false);

} // namespace karto
