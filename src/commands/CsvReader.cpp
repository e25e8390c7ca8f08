#include "commands/CsvReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace karto {

namespace {

constexpr const char* kAfterQuote = "za uzavírací uvozovkou smí být jen oddělovač nebo konec řádku";

std::string linePrefix(int64_t line)
{
    return "Řádek " + std::to_string(line) + ": ";
}

// Position of the first byte of `text` that does not belong to well-formed
// UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF), or npos.
std::size_t invalidUtf8At(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;   // bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return i;
        }
        if (n - i < length || s[i + 1] < low || s[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k)
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
        i += length;
    }
    return std::string_view::npos;
}

// The lower-case form of a letter of ASCII or of U+00C0..U+017F (Latin-1
// and Latin Extended-A: every Czech letter); other characters unchanged.
char32_t lowerLetter(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;   // capital on the even code point
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;   // capital on the odd code point
    if (c == 0x178)
        return 0xFF;
    return c;
}

// A name with its letters in lower case, for comparing names without regard
// to case. Bytes that are not such letters are kept as they are.
std::string folded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC3 && c <= 0xC5 && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            const char32_t lower =
                lowerLetter(((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu));
            out.push_back(static_cast<char>(0xC0 | (lower >> 6)));
            out.push_back(static_cast<char>(0x80 | (lower & 0x3F)));
            i += 2;
            continue;
        }
        out.push_back(static_cast<char>(lowerLetter(c)));
        ++i;
    }
    return out;
}

std::string trimmedSpaces(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

} // namespace

CsvReader::CsvReader(const std::string& path, char delimiter, const CsvLimits& limits)
    : path_(path), delimiter_(delimiter), limits_(limits), file_(std::fopen(path.c_str(), "rb"), &std::fclose)
{
    if (delimiter == '"' || delimiter == '\r' || delimiter == '\n' || delimiter == '\0')
        throw std::invalid_argument("CsvReader: unusable delimiter");
    if (!file_)
        throw CsvError("Soubor \"" + path + "\" nelze otevřít: " + std::strerror(errno));
    limits_.blockBytes = std::max<std::size_t>(limits_.blockBytes, 1);

    // The first read takes at least the three bytes of a byte order mark.
    buffer_.resize(std::max<std::size_t>(limits_.blockBytes, 3));
    fill(buffer_.size());
    if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0)
        pos_ = 3;

    if (!readLine(header_, limits_.maxColumns) || emptyLine_)
        fail(1, "chybí názvy polí");
    for (std::string& name : header_)
        name = trimmedSpaces(name);
    // The line ends with a delimiter: the export's mark of a memo column last.
    if (header_.size() > 1 && header_.back().empty()) {
        header_.pop_back();
        trailingColumn_ = true;
    }
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < header_.size(); ++i) {
        if (header_[i].empty())
            fail(1, "prázdný název pole ve sloupci " + std::to_string(i + 1));
        if (!seen.insert(folded(header_[i])).second)
            fail(1, "pole \"" + header_[i] + "\" je v záhlaví dvakrát");
    }
    headerRead_ = true;
}

CsvReader::~CsvReader() = default;

bool CsvReader::next(CsvRecord& record)
{
    const std::size_t columns = header_.size();
    do {
        if (!readLine(record.values, columns + (trailingColumn_ ? 1 : 0)))
            return false;
    } while (emptyLine_);
    record.line = recordLine_;
    std::size_t count = record.values.size();
    if (count == columns + 1) {
        if (!record.values.back().empty())
            fail(recordLine_, tooManyValues());
        record.values.pop_back();
        --count;
    }
    if (count < columns)
        fail(recordLine_, "méně hodnot (" + std::to_string(count) + "), než má záhlaví sloupců (" +
                              std::to_string(columns) + ")");
    return true;
}

// Reads the next block, `want` bytes or what is left of the file; false at
// the end of the file.
bool CsvReader::fill(std::size_t want)
{
    pos_ = end_ = 0;
    if (atEnd_)
        return false;
    end_ = std::fread(buffer_.data(), 1, want, file_.get());
    if (end_ < want) {
        if (std::ferror(file_.get()))
            throw CsvError("Soubor \"" + path_ + "\" nelze přečíst: " + std::strerror(errno));
        atEnd_ = true;
    }
    return end_ > 0;
}

// Reads one line (with the line breaks inside its quoted values) into
// `values`, reusing their strings; false, with `values` untouched, when the
// file ended before the line's first byte. Sets emptyLine_ when the line
// held nothing but its end.
bool CsvReader::readLine(std::vector<std::string>& values, std::size_t maxValues)
{
    enum class State {
        ValueStart,   // before a value's first character
        Bare,         // in a value without quotation marks
        BareCr,       // a CR in a bare value: the line's end if LF follows
        Quoted,       // between quotation marks
        Closed,       // after a quotation mark in a quoted value: closed or doubled
        ClosedCr,     // a CR after a closed value: LF must follow
    };
    State state = State::ValueStart;
    recordLine_ = line_;
    std::size_t count = 0, size = 0;
    bool started = false, quoted = false;
    int64_t valueLine = line_, quoteLine = line_;
    std::string* value = nullptr;

    const auto beginValue = [&] {
        if (count == maxValues)
            fail(recordLine_, headerRead_ ? tooManyValues() : "více než " + std::to_string(maxValues) + " sloupců");
        if (count == values.size())
            values.emplace_back();
        value = &values[count++];
        value->clear();
        valueLine = line_;
    };
    const auto append = [&](const char* text, std::size_t n) {
        size += n;
        if (size > limits_.maxRecordBytes)
            fail(recordLine_, "záznam je delší než " + std::to_string(limits_.maxRecordBytes) + " bajtů");
        value->append(text, n);
    };
    const auto endValue = [&] { checkText(*value, valueLine); };
    const auto endLine = [&] {
        endValue();
        emptyLine_ = count == 1 && !quoted && value->empty();
        values.resize(count);
        return true;
    };

    for (;;) {
        if (pos_ == end_ && !fill(limits_.blockBytes)) {
            if (!started)
                return false;
            if (state == State::Quoted)
                fail(quoteLine, "neukončené uvozovky");
            return endLine();
        }
        if (!started) {
            started = true;
            beginValue();
        }
        const char* const data = buffer_.data();
        switch (state) {
        case State::ValueStart:
            if (data[pos_] == '"') {
                ++pos_;
                quoted = true;
                quoteLine = line_;
                state = State::Quoted;
            } else {
                state = State::Bare;
            }
            break;
        case State::Bare: {
            std::size_t p = pos_;
            for (char c; p < end_ && (c = data[p]) != delimiter_ && c != '\n' && c != '\r' && c != '\0';)
                ++p;
            if (p > pos_)
                append(data + pos_, p - pos_);
            pos_ = p;
            if (p == end_)
                break;
            const char c = data[pos_++];
            if (c == delimiter_) {
                endValue();
                beginValue();
                state = State::ValueStart;
            } else if (c == '\n') {
                ++line_;
                return endLine();
            } else if (c == '\r') {
                state = State::BareCr;
            } else {
                fail(line_, "nulový znak (NUL)");
            }
            break;
        }
        case State::BareCr:
            if (data[pos_] == '\n') {
                ++pos_;
                ++line_;
                return endLine();
            }
            append("\r", 1);
            state = State::Bare;
            break;
        case State::Quoted: {
            std::size_t p = pos_;
            for (char c; p < end_ && (c = data[p]) != '"' && c != '\n' && c != '\0';)
                ++p;
            if (p > pos_)
                append(data + pos_, p - pos_);
            pos_ = p;
            if (p == end_)
                break;
            const char c = data[pos_++];
            if (c == '"') {
                state = State::Closed;
            } else if (c == '\n') {
                append("\n", 1);
                ++line_;
            } else {
                fail(line_, "nulový znak (NUL)");
            }
            break;
        }
        case State::Closed: {
            const char c = data[pos_++];
            if (c == '"') {
                append("\"", 1);
                state = State::Quoted;
            } else if (c == delimiter_) {
                endValue();
                beginValue();
                state = State::ValueStart;
            } else if (c == '\n') {
                ++line_;
                return endLine();
            } else if (c == '\r') {
                state = State::ClosedCr;
            } else {
                fail(line_, c == '\0' ? "nulový znak (NUL)" : kAfterQuote);
            }
            break;
        }
        case State::ClosedCr:
            if (data[pos_] != '\n')
                fail(line_, kAfterQuote);
            ++pos_;
            ++line_;
            return endLine();
        }
    }
}

// Refuses a value that is not UTF-8, naming the line of the first bad byte.
void CsvReader::checkText(const std::string& value, int64_t line) const
{
    const std::size_t bad = invalidUtf8At(value);
    if (bad != std::string_view::npos)
        fail(line + std::count(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(bad), '\n'),
             "text není v kódování UTF-8");
}

std::string CsvReader::tooManyValues() const
{
    return "více hodnot, než má záhlaví sloupců (" + std::to_string(header_.size()) + ")";
}

void CsvReader::fail(int64_t line, const std::string& what) const
{
    throw CsvError(linePrefix(line) + what);
}

char csvDelimiterFor(std::string_view fileName)
{
    if (fileName.size() < 4)
        return ';';
    std::string ending(fileName.substr(fileName.size() - 4));
    for (char& c : ending)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return ending == ".txt" ? '\t' : ';';
}

std::vector<int> mapCsvColumns(const std::vector<std::string>& header, const std::vector<std::string>& fieldNames)
{
    std::unordered_map<std::string, int> fields;
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        fields.emplace(folded(fieldNames[i]), static_cast<int>(i));
    std::vector<int> columns;
    columns.reserve(header.size());
    for (const std::string& name : header) {
        const auto found = fields.find(folded(name));
        if (found == fields.end())
            throw CsvError(linePrefix(1) + "neznámé pole \"" + name + "\"");
        columns.push_back(found->second);
    }
    return columns;
}

} // namespace karto
