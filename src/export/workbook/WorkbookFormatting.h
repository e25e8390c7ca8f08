#pragma once
// Number and date texts of the workbook export: numbers as the XML parts
// write them, number format texts of number cells, the date-time display
// form used for measuring, and the engine-wide date and time formats.

#include <string>
#include <string_view>

namespace karto {

// Engine globals WorkbookDateFormat / WorkbookTimeFormat ("%sysdate%",
// "%systime%" after start-up); new sheets copy them.
std::string& workbookDateFormat();
std::string& workbookTimeFormat();

// The user's locale formats the placeholders stand for, in number-format
// form. Defaults: short date "dd.mm.yyyy", long time "h:mm:ss", short time
// "h:mm" (Czech). The program sets them once at start.
struct WorkbookLocaleFormats {
    std::string shortDate = "dd.mm.yyyy";
    std::string longTime = "h:mm:ss";
    std::string shortTime = "h:mm";
};
WorkbookLocaleFormats& workbookLocaleFormats();

// Shortest decimal text with at most 15 significant digits, "." as decimal
// separator, no thousands separator, exponent form "1E20", "1.5E-7" when
// the fixed form would need it. Writes into out (at least 32 bytes) and
// returns the length. NaN and infinities give "0".
int formatXmlNumber(double value, char* out);
std::string formatXmlNumber(double value);

// Value with a fixed number of decimals (up to 15 significant digits).
std::string formatFixedDecimals(double value, int decimals, bool thousandSep);

// The number format of a number cell with the given settings:
// "" for -1 decimals; "0;\-0" for 0; "#,##0.00;[Red]\-#,##0.00" and so on.
std::string buildNumberFormat(int decimalPlaces, int integerDigits, bool thousandSep, bool negativeRed);

// Resolves "%sysdate%", "%systime%", "%sysdatetime%", "%sysdatetimews%" and
// "%systimews%" to the locale formats; after a replacement every "n" becomes
// "m" and "ampm" becomes "am/pm". Other texts come back unchanged.
std::string resolveFormatPlaceholders(const std::string& format);

// The display form of a number format for date-time values: placeholders
// resolved, lower-cased, cut at the first ";", "[h]" -> "h", backslashes
// removed, bracketed sections removed.
std::string dateTimeDisplayFormat(const std::string& format);

// A serial date-time (days since 30 December 1899) formatted by a display
// form: d dd ddd dddd m mm mmm mmmm (minutes after h or before s) yy yyyy
// h hh s ss am/pm; other characters copied; "..." copied literally.
std::string formatDateTime(double serial, const std::string& displayFormat);

// Days since 30 December 1899 of a calendar date (proleptic Gregorian).
double dateToSerial(int year, int month, int day);

} // namespace karto
