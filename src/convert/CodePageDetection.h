#pragma once
// Telling which of the three code pages a table's text is in: Latin 2
// (852), Kamenický (895) or Windows 1250.
//
// Two witnesses are asked. The language driver the table names (header byte
// 29, or the dBase 7 driver name) when it names one of the three; and the
// text itself: the upper-half bytes of a bounded sample of the character and
// memo values, scored by how much they read as Czech in each code page. The
// language driver decides unless the text clearly says otherwise; without
// one the text decides; text that does not tell the candidates apart (pure
// ASCII, or only letters the candidates share) leaves it to the language
// driver, then to Latin 2.
//
// Usage:
//     const DetectedCodePage found = detectCodePage(dataset);   // open table
//     converter.chooseCodePage(found.codePage);
//
// Cost: at most the first kSampleRecords records and a few memo values are
// read, whatever the table's size.

#include <array>
#include <cstdint>
#include <string_view>

#include "convert/CodePageConverter.h"

namespace karto {

class TableDataset;

// What decided the code page.
enum class CodePageSource {
    LanguageDriver,   // the table's language driver named it (the text agreed or did not tell)
    Text,             // the text: no language driver names one, or the text clearly says otherwise
    Default,          // neither told: Latin 2 (or the first the text left in the running)
};

struct DetectedCodePage {
    int codePage = cpLatin2;   // cpLatin2, cpKamenicky or cpWindows1250
    CodePageSource source = CodePageSource::Default;
};

// The code page number a language driver id names: ids whose code page is
// 852 (0x1F, 0x64, 0x87 Czech and Slovak; 0x22, 0x23 Hungarian and Polish)
// give cpLatin2, 895 or dBase's 867 for the same Kamenický (0x68, 0x20)
// cpKamenicky, 1250 (0xC8, 0x9B) cpWindows1250; -1 for every other id.
int codePageOfLanguageDriver(int id);

// The same for a dBase 7 language driver name, in either letter case:
// "DB852CZ0" and other "DB852..." names, "FOXCZ895", "DB867CZ0",
// "FOXCZWIN", and the FoxPro forms that end in the code page ("FOXCZ0852",
// "FOXCZ01250"); -1 for any other name.
int codePageOfLanguageDriverName(std::string_view name);

// How Czech a text sample reads in each of the three code pages.
//
// Only bytes 0x80-0xFF tell the code pages apart. Each is read as the
// character it is in the code page (through the conversion table's reading
// of that code page into Windows 1250) and weighed:
//   +3  a frequent Czech letter: á é í ý ě č ř š ž, either case
//   +2  another Czech letter: ů ú ň ď ť ó, either case
//   +1  a Slovak or German letter Czech tables hold in names: ä ô ľ ĺ ŕ ö ü
//    0  a sign text in any of them may hold: no-break space § ° × ÷ ß « »
//       and the Windows 1250 quotes, dashes and ellipsis
//   -3  anything else: letters of other languages, box drawing and other
//       graphics, Greek and mathematical signs, undefined bytes
// A code page's score is the sum over the sample. Czech text in its own code
// page collects the positive weights; read in another one, many of its
// bytes land on graphics or foreign letters.
class CodePageTextScore {
public:
    // Adds text as the table stores it (bytes below 0x80 count nothing).
    void add(std::string_view bytes);
    // The score of cpLatin2, cpKamenicky or cpWindows1250 (0 for others).
    int64_t score(int codePage) const;
    // Bytes 0x80-0xFF added so far.
    int64_t upperBytes() const { return upperBytes_; }

private:
    std::array<int64_t, 128> counts_{};   // how often each byte 0x80 + i was seen
    int64_t upperBytes_ = 0;
};

// How far ahead a code page's score must be to count as a clear lead: two
// frequent letters' worth. A lead that small may come from a word or two; a
// whole table in one code page leads the others by hundreds.
inline constexpr int64_t kClearLead = 6;

// The decision from the two witnesses. languageCodePage: what the language
// driver names (codePageOfLanguageDriver...), -1 for none.
//  - The language driver's code page, unless another leads it clearly: then
//    the best scored (source Text).
//  - No language driver: the code page that alone is within kClearLead of
//    the best score (source Text); when several are, the first of Latin 2,
//    Kamenický, Windows 1250 among them (source Default).
// On equal best scores the same order decides.
DetectedCodePage decideCodePage(int languageCodePage, const CodePageTextScore& text);

// How many records and memo values the sample reads at most.
inline constexpr int kSampleRecords = 500;
inline constexpr int kSampleMemoRecords = 50;
inline constexpr std::size_t kSampleMemoBytes = 64 * 1024;

// The code page of an open table: its language driver (header byte 29, or
// the driver name of a dBase 7 table) and a sample of its text: the
// character fields of the first kSampleRecords records (deleted ones
// included) and the text memos of the first kSampleMemoRecords, at most
// kSampleMemoBytes of them in all. A memo that cannot be read is left out.
// Raises the dataset's error when it is closed.
DetectedCodePage detectCodePage(const TableDataset& dataset);

} // namespace karto
