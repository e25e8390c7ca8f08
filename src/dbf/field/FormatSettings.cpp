#include "dbf/field/FormatSettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/NumberText.h"

namespace karto {

namespace {

// Collects short pieces on the stack and hands them to the string in one go.
class Sink {
public:
    explicit Sink(std::string& out) : out_(out) {}
    ~Sink() { flush(); }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    void put(char c)
    {
        if (n_ == sizeof buf_)
            flush();
        buf_[n_++] = c;
    }
    void put(const char* text, size_t len)
    {
        if (len > sizeof buf_ - n_) {
            flush();
            if (len > sizeof buf_) {
                out_.append(text, len);
                return;
            }
        }
        std::memcpy(buf_ + n_, text, len);
        n_ += len;
    }
    void put(const std::string& text) { put(text.data(), text.size()); }
    void digits2(int value)
    {
        put(static_cast<char>('0' + (value / 10) % 10));
        put(static_cast<char>('0' + value % 10));
    }
    void number(int value)
    {
        if (value >= 0 && value < 10) {
            put(static_cast<char>('0' + value));
        } else if (value >= 10 && value < 100) {
            digits2(value);
        } else {
            flush();
            appendInt64(out_, value);
        }
    }
    void flush()
    {
        if (n_ > 0)
            out_.append(buf_, n_);
        n_ = 0;
    }

private:
    std::string& out_;
    char buf_[64];
    size_t n_ = 0;
};

} // namespace

FormatSettings::FormatSettings()
    : shortDayNames{"ne", "po", "\xC3\xBAt", "st", "\xC4\x8Dt", "p\xC3\xA1", "so"},
      longDayNames{"ned\xC4\x9Ble", "pond\xC4\x9Bl\xC3\xAD", "\xC3\xBAter\xC3\xBD", "st\xC5\x99" "eda",
                   "\xC4\x8Dtvrtek", "p\xC3\xA1tek", "sobota"},
      shortMonthNames{"led", "\xC3\xBAno", "b\xC5\x99" "e", "dub", "kv\xC4\x9B", "\xC4\x8Dvn",
                      "\xC4\x8Dvc", "srp", "z\xC3\xA1\xC5\x99", "\xC5\x99\xC3\xADj", "lis", "pro"},
      longMonthNames{"leden", "\xC3\xBAnor", "b\xC5\x99" "ezen", "duben", "kv\xC4\x9Bten",
                     "\xC4\x8D" "erven", "\xC4\x8D" "ervenec", "srpen", "z\xC3\xA1\xC5\x99\xC3\xAD",
                     "\xC5\x99\xC3\xADjen", "listopad", "prosinec"},
      amText("dop."), pmText("odp."),
      thousandSeparator_("\xC2\xA0")
{
    setShortDateFormat("dd.MM.yyyy");
    setLongTimeFormat("H:mm:ss");
}

void FormatSettings::setShortDateFormat(std::string pattern)
{
    shortDateFormat_ = std::move(pattern);
    datePattern_ = compile(shortDateFormat_);
}

void FormatSettings::setLongTimeFormat(std::string pattern)
{
    longTimeFormat_ = std::move(pattern);
    timePattern_ = compile(longTimeFormat_);
}

FormatSettings::Pattern FormatSettings::compile(std::string_view pattern)
{
    Pattern result;
    if (pattern.size() > 4096)
        pattern = pattern.substr(0, 4096);
    bool twelveHour = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\'') {
            // Skip quoted text when looking for AM/PM markers.
            ++i;
            while (i < pattern.size() && pattern[i] != '\'')
                ++i;
            continue;
        }
        if (pattern[i] == 'A' || pattern[i] == 'a')
            twelveHour = true;
    }

    auto addLiteral = [&result](std::string_view text) {
        if (text.empty())
            return;
        if (!result.tokens.empty() && result.tokens.back().kind == tkLiteral
            && result.tokens.back().literalOffset + result.tokens.back().literalLength
                   == result.literals.size()) {
            result.tokens.back().literalLength = static_cast<uint16_t>(result.tokens.back().literalLength + text.size());
        } else {
            result.tokens.push_back(Token{tkLiteral, static_cast<uint16_t>(result.literals.size()),
                                          static_cast<uint16_t>(text.size())});
        }
        result.literals.append(text);
    };
    auto add = [&result](TokenKind kind) { result.tokens.push_back(Token{kind, 0, 0}); };

    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
        case '\'': {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral("'");
                i += 2;
                break;
            }
            size_t j = i + 1;
            std::string text;
            while (j < pattern.size()) {
                if (pattern[j] == '\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        text.push_back('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                text.push_back(pattern[j]);
                ++j;
            }
            addLiteral(text);
            i = j + 1;
            break;
        }
        case 'd': {
            const size_t n = std::min<size_t>(run, 4);
            add(n == 1 ? tkDay : n == 2 ? tkDay2 : n == 3 ? tkDayShortName : tkDayLongName);
            i += n;
            break;
        }
        case 'M': {
            const size_t n = std::min<size_t>(run, 4);
            add(n == 1 ? tkMonth : n == 2 ? tkMonth2 : n == 3 ? tkMonthShortName : tkMonthLongName);
            i += n;
            break;
        }
        case 'y': {
            const size_t n = std::min<size_t>(run, 4);
            add(n <= 2 ? tkYear2 : tkYear4);
            i += n;
            break;
        }
        case 'H':
        case 'h': {
            const size_t n = std::min<size_t>(run, 2);
            if (c == 'h' && twelveHour)
                add(n == 1 ? tkHour12 : tkHour12_2);
            else
                add(n == 1 ? tkHour : tkHour2);
            i += n;
            break;
        }
        case 'm': {
            const size_t n = std::min<size_t>(run, 2);
            add(n == 1 ? tkMinute : tkMinute2);
            i += n;
            break;
        }
        case 's': {
            const size_t n = std::min<size_t>(run, 2);
            add(n == 1 ? tkSecond : tkSecond2);
            i += n;
            break;
        }
        case 'z': {
            const size_t n = run >= 3 ? 3 : 1;
            add(n == 1 ? tkMSec : tkMSec3);
            i += n;
            break;
        }
        case 'A':
        case 'a': {
            const bool pair = i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p');
            add(c == 'A' ? tkAmPmUpper : tkAmPmLower);
            i += pair ? 2 : 1;
            break;
        }
        case 't': {
            // Time zone: not shown; the blanks before it go too.
            if (!result.tokens.empty() && result.tokens.back().kind == tkLiteral) {
                Token& last = result.tokens.back();
                while (last.literalLength > 0 && result.literals[last.literalOffset + last.literalLength - 1] == ' ') {
                    --last.literalLength;
                    result.literals.pop_back();
                }
                if (last.literalLength == 0)
                    result.tokens.pop_back();
            }
            i += run;
            break;
        }
        default:
            addLiteral(pattern.substr(i, 1));
            ++i;
            break;
        }
    }
    return result;
}

void FormatSettings::append(std::string& out, const Pattern& pattern, int year, int month, int day,
                            int hour, int minute, int second, int msec) const
{
    Sink sink(out);
    for (const Token& t : pattern.tokens) {
        switch (t.kind) {
        case tkLiteral:
            sink.put(pattern.literals.data() + t.literalOffset, t.literalLength);
            break;
        case tkDay:
            sink.number(day);
            break;
        case tkDay2:
            sink.digits2(day);
            break;
        case tkDayShortName:
        case tkDayLongName: {
            const int dow = isValidDate(year, month, day) ? dayOfWeek(timeStampDay(year, month, day)) : 0;
            sink.put(t.kind == tkDayShortName ? shortDayNames[dow] : longDayNames[dow]);
            break;
        }
        case tkMonth:
            sink.number(month);
            break;
        case tkMonth2:
            sink.digits2(month);
            break;
        case tkMonthShortName:
        case tkMonthLongName: {
            const int m = (month >= 1 && month <= 12) ? month - 1 : 0;
            sink.put(t.kind == tkMonthShortName ? shortMonthNames[m] : longMonthNames[m]);
            break;
        }
        case tkYear2:
            sink.digits2(year % 100);
            break;
        case tkYear4: {
            if (year >= 1000) {
                sink.number(year);
            } else {
                const char buf[4] = {static_cast<char>('0' + year / 1000 % 10), static_cast<char>('0' + year / 100 % 10),
                                     static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10)};
                sink.put(buf, 4);
            }
            break;
        }
        case tkHour:
            sink.number(hour);
            break;
        case tkHour2:
            sink.digits2(hour);
            break;
        case tkHour12:
        case tkHour12_2: {
            int h = hour % 12;
            if (h == 0)
                h = 12;
            if (t.kind == tkHour12)
                sink.number(h);
            else
                sink.digits2(h);
            break;
        }
        case tkMinute:
            sink.number(minute);
            break;
        case tkMinute2:
            sink.digits2(minute);
            break;
        case tkSecond:
            sink.number(second);
            break;
        case tkSecond2:
            sink.digits2(second);
            break;
        case tkMSec: {
            int v = msec;
            int digits = 3;
            while (digits > 1 && v % 10 == 0) {
                v /= 10;
                --digits;
            }
            char buf[3];
            for (int k = digits - 1; k >= 0; --k) {
                buf[k] = static_cast<char>('0' + v % 10);
                v /= 10;
            }
            sink.put(buf, static_cast<size_t>(digits));
            break;
        }
        case tkMSec3: {
            const char buf[3] = {static_cast<char>('0' + msec / 100 % 10), static_cast<char>('0' + msec / 10 % 10),
                                 static_cast<char>('0' + msec % 10)};
            sink.put(buf, 3);
            break;
        }
        case tkAmPmUpper:
        case tkAmPmLower: {
            const std::string& text = hour < 12 ? amText : pmText;
            if (t.kind == tkAmPmUpper) {
                sink.put(text);
            } else {
                for (char ch : text)
                    sink.put(ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
            }
            break;
        }
        }
    }
}

void FormatSettings::appendDate(std::string& out, int year, int month, int day) const
{
    append(out, datePattern_, year, month, day, 0, 0, 0, 0);
}

void FormatSettings::appendTime(std::string& out, int hour, int minute, int second, int msec) const
{
    append(out, timePattern_, 0, 1, 1, hour, minute, second, msec);
}

void FormatSettings::appendGroupedNumber(std::string& out, double value, int decimals) const
{
    if (!std::isfinite(value)) {
        out.append(std::isnan(value) ? "NAN" : value < 0 ? "-INF" : "INF");
        return;
    }
    decimals = std::clamp(decimals, 0, 15);
    DecimalDigits d = decimalDigits(value);
    if (d.count > 0)
        roundDigits(d, std::min(15, d.pointPos + decimals));
    if (d.negative && d.count > 0)
        out.push_back('-');
    const int intDigits = d.count > 0 && d.pointPos > 0 ? d.pointPos : 1;
    for (int i = 0; i < intDigits; ++i) {
        if (i > 0 && (intDigits - i) % 3 == 0)
            out.append(thousandSeparator_);
        const char c = (d.count > 0 && d.pointPos > 0 && i < d.count) ? d.digits[i] : '0';
        out.push_back(c);
    }
    if (decimals > 0) {
        out.push_back('.');
        for (int k = 0; k < decimals; ++k) {
            const int idx = d.pointPos + k;   // digit index of the k-th decimal
            out.push_back(d.count > 0 && idx >= 0 && idx < d.count ? d.digits[idx] : '0');
        }
    }
}

} // namespace karto
