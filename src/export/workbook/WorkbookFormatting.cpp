#include "export/workbook/WorkbookFormatting.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace karto {

std::string& workbookDateFormat()
{
    static std::string format = "%sysdate%";
    return format;
}

std::string& workbookTimeFormat()
{
    static std::string format = "%systime%";
    return format;
}

WorkbookLocaleFormats& workbookLocaleFormats()
{
    static WorkbookLocaleFormats formats;
    return formats;
}

int formatXmlNumber(double value, char* out)
{
    if (!std::isfinite(value) || value == 0.0) {
        out[0] = '0';
        out[1] = '\0';
        return 1;
    }
    // Whole numbers below 10^15 print as integers.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        auto result = std::to_chars(out, out + 31, static_cast<int64_t>(value));
        *result.ptr = '\0';
        return static_cast<int>(result.ptr - out);
    }
    // 15 significant digits: d.dddddddddddddde+XX
    char sci[40];
    auto result = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14);
    *result.ptr = '\0';
    const char* p = sci;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    char digits[20];
    int count = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits[count++] = *p;
    const int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;
    while (count > 1 && digits[count - 1] == '0')
        --count;

    char* o = out;
    if (negative)
        *o++ = '-';
    if (exponent >= 15 || exponent <= -5) {
        *o++ = digits[0];
        if (count > 1) {
            *o++ = '.';
            for (int i = 1; i < count; ++i)
                *o++ = digits[i];
        }
        *o++ = 'E';
        auto e = std::to_chars(o, o + 8, exponent);
        o = e.ptr;
    } else if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i)
            *o++ = i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            *o++ = '.';
            for (int i = exponent + 1; i < count; ++i)
                *o++ = digits[i];
        }
    } else {
        *o++ = '0';
        *o++ = '.';
        for (int i = 0; i < -exponent - 1; ++i)
            *o++ = '0';
        for (int i = 0; i < count; ++i)
            *o++ = digits[i];
    }
    *o = '\0';
    return static_cast<int>(o - out);
}

std::string formatXmlNumber(double value)
{
    char buffer[40];
    const int length = formatXmlNumber(value, buffer);
    return std::string(buffer, length);
}

std::string formatFixedDecimals(double value, int decimals, bool thousandSep)
{
    if (!std::isfinite(value))
        return "0";
    if (decimals < 0)
        decimals = 0;
    if (decimals > 18)
        decimals = 18;
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text == "-0" || text.find_first_not_of("-0.") == std::string::npos)
        if (!text.empty() && text[0] == '-')
            text.erase(0, 1);
    if (thousandSep) {
        std::size_t start = (text[0] == '-') ? 1 : 0;
        std::size_t end = text.find('.');
        if (end == std::string::npos)
            end = text.size();
        std::string grouped = text.substr(0, start);
        for (std::size_t i = start; i < end; ++i) {
            if (i > start && (end - i) % 3 == 0)
                grouped += ',';
            grouped += text[i];
        }
        grouped.append(text, end, std::string::npos);
        text = grouped;
    }
    return text;
}

std::string buildNumberFormat(int decimalPlaces, int integerDigits, bool thousandSep, bool negativeRed)
{
    if (decimalPlaces < 0)
        return std::string();
    std::string digits = thousandSep ? "#,##" : "";
    digits.append(static_cast<std::size_t>(integerDigits > 0 ? integerDigits : 0), '0');
    if (decimalPlaces > 0) {
        digits += '.';
        digits.append(static_cast<std::size_t>(decimalPlaces), '0');
    }
    std::string negative = negativeRed ? "[Red]" : "";
    negative += "\\-";
    negative += digits;
    return digits + ";" + negative;
}

namespace {

bool replaceFirst(std::string& text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    if (at == std::string::npos)
        return false;
    text = text.substr(0, at) + with + text.substr(at + what.size());
    return true;
}

// Every occurrence of what replaced by with.
std::string replaceAll(const std::string& text, const std::string& what, const std::string& with)
{
    std::string out;
    std::size_t from = 0, at;
    while ((at = text.find(what, from)) != std::string::npos) {
        out.append(text, from, at - from);
        out += with;
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

} // namespace

std::string resolveFormatPlaceholders(const std::string& format)
{
    const WorkbookLocaleFormats& locale = workbookLocaleFormats();
    std::string text = format;
    bool replaced = false;
    replaced |= replaceFirst(text, "%sysdatetimews%", locale.shortDate + " " + locale.shortTime);
    replaced |= replaceFirst(text, "%sysdatetime%", locale.shortDate + " " + locale.longTime);
    replaced |= replaceFirst(text, "%systimews%", locale.shortTime);
    replaced |= replaceFirst(text, "%sysdate%", locale.shortDate);
    replaced |= replaceFirst(text, "%systime%", locale.longTime);
    if (!replaced)
        return format;
    for (char& c : text)
        if (c == 'n')
            c = 'm';
    return replaceAll(text, "ampm", "am/pm");
}

std::string dateTimeDisplayFormat(const std::string& format)
{
    std::string text = resolveFormatPlaceholders(format);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const std::size_t semicolon = text.find(';');
    if (semicolon != std::string::npos)
        text.erase(semicolon);
    text = replaceAll(text, "[h]", "h");
    std::string result;
    int bracket = 0;
    for (char c : text) {
        if (c == '\\')
            continue;
        if (c == '[') {
            ++bracket;
            continue;
        }
        if (c == ']' && bracket > 0) {
            --bracket;
            continue;
        }
        if (bracket == 0)
            result += c;
    }
    return result;
}

namespace {

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const int64_t kSerialEpoch = daysFromCivil(1899, 12, 30);

const char* const kMonthShort[12] = {"led", "úno", "bře", "dub", "kvě", "čvn",
                                     "čvc", "srp", "zář", "říj", "lis", "pro"};
const char* const kMonthLong[12] = {"leden", "únor", "březen", "duben", "květen", "červen",
                                    "červenec", "srpen", "září", "říjen", "listopad", "prosinec"};
const char* const kDayShort[7] = {"ne", "po", "út", "st", "čt", "pá", "so"};
const char* const kDayLong[7] = {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"};

void appendNumber(std::string& out, int value, int width)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    out += buffer;
}

} // namespace

double dateToSerial(int year, int month, int day)
{
    return static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kSerialEpoch);
}

std::string formatDateTime(double serial, const std::string& format)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 1e7)
        return std::string();
    double whole = std::floor(serial);
    int64_t ms = std::llround((serial - whole) * 86400000.0);
    if (ms >= 86400000) {
        whole += 1;
        ms -= 86400000;
    }
    const int64_t days = static_cast<int64_t>(whole) + kSerialEpoch;
    int year, month, day;
    civilFromDays(days, year, month, day);
    const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    const int hour = static_cast<int>(ms / 3600000), minute = static_cast<int>(ms / 60000 % 60),
              second = static_cast<int>(ms / 1000 % 60);
    const bool twelveHour = format.find("am/pm") != std::string::npos;

    std::string out;
    bool lastWasHour = false;
    const std::size_t n = format.size();
    for (std::size_t i = 0; i < n;) {
        const char c = format[i];
        std::size_t run = 1;
        while (i + run < n && format[i + run] == c)
            ++run;
        if (c == '"') {
            const std::size_t close = format.find('"', i + 1);
            const std::size_t end = close == std::string::npos ? n : close;
            out.append(format, i + 1, end - i - 1);
            i = end == n ? n : end + 1;
            continue;
        }
        if (format.compare(i, 5, "am/pm") == 0) {
            out += hour < 12 ? "AM" : "PM";
            i += 5;
            continue;
        }
        switch (c) {
        case 'd':
            if (run == 1) appendNumber(out, day, 1);
            else if (run == 2) appendNumber(out, day, 2);
            else if (run == 3) out += kDayShort[weekday];
            else out += kDayLong[weekday];
            lastWasHour = false;
            break;
        case 'm': {
            std::size_t next = i + run;
            while (next < n && !std::strchr("dmyhs", format[next]))
                ++next;
            const bool minutes = run <= 2 && (lastWasHour || (next < n && format[next] == 's'));
            if (minutes) appendNumber(out, minute, static_cast<int>(run));
            else if (run == 1) appendNumber(out, month, 1);
            else if (run == 2) appendNumber(out, month, 2);
            else if (run == 3) out += kMonthShort[month - 1];
            else out += kMonthLong[month - 1];
            lastWasHour = false;
            break;
        }
        case 'y':
            if (run <= 2) appendNumber(out, year % 100, 2);
            else appendNumber(out, year, 4);
            lastWasHour = false;
            break;
        case 'h': {
            int h = hour;
            if (twelveHour) {
                h %= 12;
                if (h == 0) h = 12;
            }
            appendNumber(out, h, run >= 2 ? 2 : 1);
            lastWasHour = true;
            break;
        }
        case 's':
            appendNumber(out, second, run >= 2 ? 2 : 1);
            lastWasHour = false;
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

} // namespace karto
