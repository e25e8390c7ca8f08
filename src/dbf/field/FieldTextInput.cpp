#include "dbf/field/FieldTextInput.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/FieldStorage.h"

namespace karto {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

[[noreturn]] void refuse(const std::string& field, const std::string& message,
                         FieldValueProblem problem = FieldValueProblem::Other, std::string_view value = {})
{
    throw FieldValueError(field, message, problem, std::string(value));
}

std::string quoted(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    out.append(text);
    out += '\'';
    return out;
}

// Whether text is a plain decimal number: sign, digits, ".", digits,
// exponent; at least one digit before the exponent.
bool isNumberText(std::string_view t, bool& integral)
{
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < t.size() && isDigit(t[i]))
        ++i, ++digits;
    integral = true;
    if (i < t.size() && t[i] == '.') {
        integral = false;
        ++i;
        while (i < t.size() && isDigit(t[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        integral = false;
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        size_t expDigits = 0;
        while (i < t.size() && isDigit(t[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == t.size();
}

double parseDouble(std::string_view t)
{
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    double value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    if (r.ec != std::errc() || !std::isfinite(value))
        return NAN;
    return value;
}

// Reads a run of digits as a number; false when it is empty or too long.
bool digitsValue(std::string_view t, int& value)
{
    if (t.empty() || t.size() > 9)
        return false;
    value = 0;
    for (const char c : t) {
        if (!isDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool parseTimeText(std::string_view t, int& hour, int& minute, int& second)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        if (i == t.size() || t[i] == ':') {
            parts.push_back(t.substr(start, i - start));
            start = i + 1;
        }
    }
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    second = 0;
    if (!digitsValue(parts[0], hour) || !digitsValue(parts[1], minute) ||
        (parts.size() == 3 && !digitsValue(parts[2], second)))
        return false;
    return hour < 24 && minute < 60 && second < 60 && parts[1].size() == 2;
}

} // namespace

bool parseDateText(std::string_view text, const FormatSettings& settings, int& year, int& month, int& day)
{
    const std::string_view t = trimmed(text);
    auto all = [&](size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i)
            if (!isDigit(t[i]))
                return false;
        return true;
    };
    // YYYY-MM-DD and YYYYMMDD.
    if (t.size() == 10 && t[4] == '-' && t[7] == '-' && all(0, 4) && all(5, 2) && all(8, 2)) {
        digitsValue(t.substr(0, 4), year);
        digitsValue(t.substr(5, 2), month);
        digitsValue(t.substr(8, 2), day);
        return isValidDate(year, month, day);
    }
    if (t.size() == 8 && all(0, 8)) {
        digitsValue(t.substr(0, 4), year);
        digitsValue(t.substr(4, 2), month);
        digitsValue(t.substr(6, 2), day);
        return isValidDate(year, month, day);
    }
    // The short date form: the order of day, month and year in its pattern.
    const std::string& pattern = settings.shortDateFormat();
    std::vector<char> order;
    int yearLetters = 0;
    bool quoted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || (c != 'd' && c != 'M' && c != 'y'))
            continue;
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if ((c == 'M' || c == 'd') && run > 2)
            return false;   // month or day names are not typed as numbers here
        if (c == 'y')
            yearLetters = static_cast<int>(run);
        order.push_back(c);
        i += run - 1;
    }
    if (order.size() != 3)
        return false;
    std::vector<std::string_view> numbers;
    for (size_t i = 0; i < t.size();) {
        if (isDigit(t[i])) {
            size_t j = i;
            while (j < t.size() && isDigit(t[j]))
                ++j;
            numbers.push_back(t.substr(i, j - i));
            i = j;
        } else {
            // Separators only: a letter is no part of a numeric date.
            if ((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= 'A' && t[i] <= 'Z') ||
                static_cast<unsigned char>(t[i]) >= 0x80)
                return false;
            ++i;
        }
    }
    if (numbers.size() != 3)
        return false;
    for (size_t k = 0; k < 3; ++k) {
        int value = 0;
        if (!digitsValue(numbers[k], value))
            return false;
        if (order[k] == 'd') {
            day = value;
        } else if (order[k] == 'M') {
            month = value;
        } else {
            if (numbers[k].size() <= 2 && yearLetters <= 2)
                value += value < 50 ? 2000 : 1900;
            else if (numbers[k].size() != 4)
                return false;
            year = value;
        }
    }
    return isValidDate(year, month, day);
}

void setFieldFromText(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record,
                      std::string_view text, const FormatSettings& settings,
                      const std::string& displayName)
{
    const std::string_view t = trimmed(text);
    const FieldType type = def.fieldType();
    switch (type) {
    case ftString:
    case ftMemo:
    case ftBlob:
    case ftDBaseOle:
    case ftAutoInc:
    case ftBytes:
    case ftUnknown:
        refuse(displayName, msg::fieldCannotBeModified(displayName), FieldValueProblem::ReadOnly);
    default:
        break;
    }
    if (t.empty()) {
        setFieldData(def, format, record, type, nullptr);
        return;
    }

    // Encoded into a copy first: a refusal leaves the record as it was.
    thread_local std::vector<uint8_t> copy;
    copy.assign(record.begin(), record.end());
    const std::span<uint8_t> work(copy);
    const storage::Storage s = storage::storageOf(def.nativeFieldType(), format.version, def.size());
    const bool textStorage = s == storage::Storage::Text;
    auto doesNotFit = [&]() -> void {
        refuse(displayName, std::string(t) + " does not fit into field '" + displayName + "' (" +
                                std::to_string(def.size()) + " characters, " +
                                std::to_string(def.precision()) + " decimals).",
               FieldValueProblem::NumberTooWide, t);
    };
    try {
        switch (type) {
        case ftBoolean: {
            uint16_t flag;
            if (equalsNoCase(t, "1") || equalsNoCase(t, "T") || equalsNoCase(t, "Y") || equalsNoCase(t, "True"))
                flag = 1;
            else if (equalsNoCase(t, "0") || equalsNoCase(t, "F") || equalsNoCase(t, "N") ||
                     equalsNoCase(t, "False"))
                flag = 0;
            else
                refuse(displayName, quoted(t) + " is not a logical value for field '" + displayName + "'.",
                       FieldValueProblem::NotLogical, t);
            setFieldData(def, format, work, ftBoolean, &flag);
            break;
        }
        case ftDate:
        case ftDateTime: {
            std::string_view datePart = t;
            int hour = 0, minute = 0, second = 0;
            const size_t blank = t.find(' ');
            if (type == ftDateTime && blank != std::string_view::npos) {
                datePart = t.substr(0, blank);
                if (!parseTimeText(trimmed(t.substr(blank + 1)), hour, minute, second))
                    refuse(displayName, quoted(t) + " is not a valid date and time for field '" + displayName + "'.",
                           FieldValueProblem::InvalidDate, t);
            }
            int year = 0, month = 0, day = 0;
            if (!parseDateText(datePart, settings, year, month, day))
                refuse(displayName, quoted(t) + " is not a valid date for field '" + displayName + "'.",
                       FieldValueProblem::InvalidDate, t);
            const int32_t msecs = ((hour * 60 + minute) * 60 + second) * 1000;
            const double value = timeStampToDateTime(TimeStamp{timeStampDay(year, month, day), msecs});
            setFieldData(def, format, work, type, &value);
            break;
        }
        default: {
            bool integral = false;
            if (!isNumberText(t, integral))
                refuse(displayName, quoted(t) + " is not a number for field '" + displayName + "'.",
                       FieldValueProblem::NotANumber, t);
            const bool integerField = type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint;
            if (integerField) {
                int64_t value = 0;
                std::string_view digits = t;
                if (!digits.empty() && digits.front() == '+')
                    digits.remove_prefix(1);
                if (integral) {
                    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
                    if (r.ec != std::errc())
                        doesNotFit();
                } else {
                    const double d = parseDouble(t);
                    if (std::isnan(d) || !(std::fabs(d) < 9.2e18))
                        doesNotFit();
                    value = std::llround(d);
                }
                setFieldData(def, format, work, ftLargeint, &value);
            } else if (type == ftBCD || def.nativeFieldType() == 'Y') {
                const double d = parseDouble(t);
                if (std::isnan(d) || !(std::fabs(d) < 9.2e14))
                    doesNotFit();
                const int64_t scaled = std::llround(d * 10000.0);
                setFieldData(def, format, work, ftBCD, &scaled);
            } else {
                const double d = parseDouble(t);
                if (std::isnan(d))
                    doesNotFit();
                setFieldData(def, format, work, type == ftCurrency ? ftCurrency : ftFloat, &d);
            }
            break;
        }
        }
    } catch (const ConvertError&) {
        doesNotFit();
    }
    if (textStorage && type != ftBoolean && type != ftDate && type != ftDateTime) {
        // The number text rule falls back to an exponent form or blanks when
        // the integer part does not fit: that is no longer the value typed.
        const uint8_t* p = copy.data() + def.offset();
        bool blank = true;
        for (int i = 0; i < def.size(); ++i) {
            if (p[i] == 'E')
                doesNotFit();
            if (p[i] != ' ')
                blank = false;
        }
        if (blank)
            doesNotFit();
    }
    std::memcpy(record.data(), copy.data(), record.size());
}

} // namespace karto
