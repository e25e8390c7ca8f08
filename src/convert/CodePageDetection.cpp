#include "convert/CodePageDetection.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/LanguageDriver.h"
#include "dbf/text/Windows1250.h"

namespace karto {

namespace {

// The code pages in the order that settles a tie.
constexpr int kCandidates[] = {cpLatin2, cpKamenicky, cpWindows1250};

int codePageOfNumber(int number)
{
    switch (number) {
    case 852: return cpLatin2;
    case 867:   // dBase's number for Kamenický
    case 895: return cpKamenicky;
    case 1250: return cpWindows1250;
    default: return -1;
    }
}

bool oneOf(std::u32string_view characters, char32_t ch)
{
    return characters.find(ch) != std::u32string_view::npos;
}

// The weight of a character, by its Windows 1250 byte (see CodePageTextScore).
std::array<int8_t, 256> buildWeights()
{
    constexpr std::u32string_view frequent = U"áéíýěčřšžÁÉÍÝĚČŘŠŽ";
    constexpr std::u32string_view czech = U"ůúňďťóŮÚŇĎŤÓ";
    constexpr std::u32string_view neighbours = U"äôľĺŕöüÄÔĽĹŔÖÜ";
    constexpr std::u32string_view signs = U"\u00A0§°×÷ß«»„“”‘’–—…";
    std::array<int8_t, 256> weights{};
    for (int b = 0x80; b < 0x100; ++b) {
        const char32_t ch = windows1250ToUnicode(static_cast<uint8_t>(b));
        int8_t w = -3;
        if (oneOf(frequent, ch))
            w = 3;
        else if (oneOf(czech, ch))
            w = 2;
        else if (oneOf(neighbours, ch))
            w = 1;
        else if (oneOf(signs, ch))
            w = 0;
        weights[static_cast<std::size_t>(b)] = w;
    }
    // Below 0x80 a weight is only ever looked up for an upper-half byte that
    // the code page's reading made plain: a graphic become a space or a
    // dash, a letter without a Windows 1250 form become a plain letter.
    for (int b = 0; b < 0x80; ++b)
        weights[static_cast<std::size_t>(b)] = -3;
    return weights;
}

const std::array<int8_t, 256>& weights()
{
    static const std::array<int8_t, 256> table = buildWeights();
    return table;
}

int languageCodePageOf(const TableDataset& dataset)
{
    const TableFile* file = dataset.tableFile();
    if (file && file->dbfVersion() == xBaseVII)
        return codePageOfLanguageDriverName(file->languageDriverName());
    return codePageOfLanguageDriver(dataset.languageId());
}

} // namespace

int codePageOfLanguageDriver(int id)
{
    return codePageOfNumber(languageDriverToCodePage(id));
}

int codePageOfLanguageDriverName(std::string_view rawName)
{
    std::string name(rawName);
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    // The Czech FoxPro Windows driver says "WIN", which elsewhere means 1252.
    if (name == "FOXCZWIN")
        return cpWindows1250;
    auto digitsFrom = [&](std::size_t at, std::size_t most) {
        int value = 0;
        std::size_t n = 0;
        for (; at + n < name.size() && n < most && name[at + n] >= '0' && name[at + n] <= '9'; ++n)
            value = value * 10 + (name[at + n] - '0');
        return n >= 3 ? value : 0;
    };
    if (name.starts_with("DB"))
        return codePageOfNumber(digitsFrom(2, 4));
    if (name.starts_with("FOX")) {
        // The code page ends the name: FOX, a name part, the number.
        std::size_t start = name.size();
        while (start > 3 && name[start - 1] >= '0' && name[start - 1] <= '9')
            --start;
        return codePageOfNumber(digitsFrom(start, 5));
    }
    return -1;
}

void CodePageTextScore::add(std::string_view bytes)
{
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b >= 0x80) {
            ++counts_[b - 0x80];
            ++upperBytes_;
        }
    }
}

int64_t CodePageTextScore::score(int codePage) const
{
    if (codePage != cpLatin2 && codePage != cpKamenicky && codePage != cpWindows1250)
        return 0;
    const std::array<int8_t, 256>& w = weights();
    int64_t sum = 0;
    for (int i = 0; i < 128; ++i) {
        if (counts_[static_cast<std::size_t>(i)] == 0)
            continue;
        const uint8_t read = CodePageConverter::windows1250ByteOf(codePage, static_cast<uint8_t>(0x80 + i));
        sum += counts_[static_cast<std::size_t>(i)] * w[read];
    }
    return sum;
}

DetectedCodePage decideCodePage(int languageCodePage, const CodePageTextScore& text)
{
    int64_t best = text.score(kCandidates[0]);
    for (const int c : kCandidates)
        best = std::max(best, text.score(c));
    auto inTheRunning = [&](int c) { return text.score(c) > best - kClearLead; };
    auto firstWith = [&](auto rule) {
        for (const int c : kCandidates)
            if (rule(c))
                return c;
        return static_cast<int>(cpLatin2);
    };

    const bool named = std::find(std::begin(kCandidates), std::end(kCandidates), languageCodePage) !=
                       std::end(kCandidates);
    if (named) {
        if (inTheRunning(languageCodePage))
            return {languageCodePage, CodePageSource::LanguageDriver};
        // The text clearly says otherwise.
        return {firstWith([&](int c) { return text.score(c) == best; }), CodePageSource::Text};
    }
    int running = 0;
    for (const int c : kCandidates)
        running += inTheRunning(c) ? 1 : 0;
    return {firstWith(inTheRunning), running == 1 ? CodePageSource::Text : CodePageSource::Default};
}

DetectedCodePage detectCodePage(const TableDataset& dataset)
{
    dataset.checkActive();
    CodePageTextScore text;
    std::vector<int> characterFields;
    std::vector<int> memoFields;
    for (int i = 0; i < dataset.fieldCount(); ++i) {
        const FieldType type = dataset.field(i).dataType();
        if (type == ftString)
            characterFields.push_back(i);
        else if (type == ftMemo)
            memoFields.push_back(i);
    }
    const int records = std::min(dataset.recordCount(), kSampleRecords);
    std::size_t memoBytes = 0;
    std::vector<uint8_t> record;
    for (int n = 1; n <= records; ++n) {
        if (!dataset.readRecord(n, record))
            break;
        for (const int f : characterFields)
            text.add(dataset.storedText(f, record.data()));
        if (n > kSampleMemoRecords || memoBytes >= kSampleMemoBytes)
            continue;
        for (const int f : memoFields) {
            try {
                const std::string memo = dataset.storedMemo(f, record.data());
                const std::size_t take = std::min(memo.size(), kSampleMemoBytes - memoBytes);
                text.add(std::string_view(memo).substr(0, take));
                memoBytes += take;
            } catch (const KartoError&) {
                // A damaged memo value tells nothing.
            }
            if (memoBytes >= kSampleMemoBytes)
                break;
        }
    }
    return decideCodePage(languageCodePageOf(dataset), text);
}

} // namespace karto
