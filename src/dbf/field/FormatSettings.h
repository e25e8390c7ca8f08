#pragma once
// The user's locale settings that the text forms of field values use.
//
// The engine never asks the system for them: the program fills one
// FormatSettings from the user's locale and hands it in; tests pin their own.
// The decimal separator is always "." and is not a setting.
//
// Date and time patterns use these letters (runs of the same letter):
//   d  dd      day of the month, without / with a leading zero
//   ddd dddd   short / long day name
//   M  MM      month, without / with a leading zero
//   MMM MMMM   short / long month name
//   yy yyyy    year in two / four digits (y and yyy count as yy and yyyy)
//   H  HH      hour 0-23; h hh: hour 1-12 when the pattern has AP, else 0-23
//   m  mm      minute;  s ss  second
//   z  zzz     milliseconds without trailing zeros / in three digits
//   AP ap A a  "AM"/"PM" or "am"/"pm"
//   t          time zone: ignored (with the blanks before it)
// Text between single quotes is copied as it stands; '' is one quote. Every
// other character is copied. All texts (patterns, names, separators) are
// UTF-8 and come out as they went in.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace karto {

class FormatSettings {
public:
    // Czech defaults: "dd.MM.yyyy", "H:mm:ss", a no-break space between
    // thousands, Czech day and month names.
    FormatSettings();

    const std::string& shortDateFormat() const { return shortDateFormat_; }
    void setShortDateFormat(std::string pattern);
    const std::string& longTimeFormat() const { return longTimeFormat_; }
    void setLongTimeFormat(std::string pattern);
    const std::string& thousandSeparator() const { return thousandSeparator_; }
    void setThousandSeparator(std::string separator) { thousandSeparator_ = std::move(separator); }

    // Day names Sunday first; month names January first.
    std::array<std::string, 7> shortDayNames;
    std::array<std::string, 7> longDayNames;
    std::array<std::string, 12> shortMonthNames;
    std::array<std::string, 12> longMonthNames;
    std::string amText = "AM";
    std::string pmText = "PM";

    // Appends a date (a valid one: year 1-9999) in the short date format.
    void appendDate(std::string& out, int year, int month, int day) const;
    // Appends a time of day in the long time format.
    void appendTime(std::string& out, int hour, int minute, int second, int msec) const;
    // Appends a number with `decimals` decimals (0-15), "." as the decimal
    // separator and the thousands grouped by the thousands separator
    // (1 200 000.5000 with a space). NaN and infinities give "NAN", "INF".
    void appendGroupedNumber(std::string& out, double value, int decimals) const;

private:
    enum TokenKind : uint8_t {
        tkLiteral, tkDay, tkDay2, tkDayShortName, tkDayLongName, tkMonth, tkMonth2,
        tkMonthShortName, tkMonthLongName, tkYear2, tkYear4, tkHour, tkHour2, tkHour12,
        tkHour12_2, tkMinute, tkMinute2, tkSecond, tkSecond2, tkMSec, tkMSec3, tkAmPmUpper,
        tkAmPmLower,
    };
    struct Token {
        TokenKind kind;
        uint16_t literalOffset;
        uint16_t literalLength;
    };
    struct Pattern {
        std::vector<Token> tokens;
        std::string literals;
    };

    static Pattern compile(std::string_view pattern);
    void append(std::string& out, const Pattern& pattern, int year, int month, int day,
                int hour, int minute, int second, int msec) const;

    std::string shortDateFormat_;
    std::string longTimeFormat_;
    std::string thousandSeparator_;
    Pattern datePattern_;
    Pattern timePattern_;
};

} // namespace karto
