#pragma once
// Numbers as the text letters of a table store them, and as the program shows
// them. The decimal separator is always "."; nothing here looks at the locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace karto {

// The decimal digits of a number: value = 0.d1 d2 ... dn x 10^pointPos, with
// d1 not 0; no digits means zero. pointPos is the number of digits before the
// decimal point (negative for values below 0.1: 0.0001 has pointPos -3).
struct DecimalDigits {
    char digits[24] = {};
    int count = 0;
    int pointPos = 0;
    bool negative = false;
};

// The 18 significant digits of a finite double, correctly rounded, trailing
// zeros dropped.
DecimalDigits decimalDigits(double value);
// Rounds to at most n significant digits, half away from zero on the digit
// string; n <= 0 rounds below the first digit (0.6 -> 1, 0.4 -> 0).
void roundDigits(DecimalDigits& d, int n);
// Rounds to a number of digits after the decimal point.
void roundDecimals(DecimalDigits& d, int decimals);

// Integer rule: leading spaces, an optional sign, then decimal digits that fit
// in 64 bits; failing that, the number rule rounded to the nearest integer
// (ties to even) when the result fits in 64 bits. False: not a number.
bool parseIntegerRule(std::string_view text, int64_t& value);
// Number rule: at most 20 characters, optional sign, digits with an optional
// "." and an optional exponent; blanks around it are allowed. No "inf",
// "nan", hexadecimal or thousands separators. False: not a number.
bool parseNumberRule(std::string_view text, double& value);
// The digits of a plain decimal text ("-12.50", "+.5", "007") when it has at
// most 15 significant digits, without going through a double (the double
// would give the same digits back). False for anything else.
bool plainDecimalDigits(std::string_view text, DecimalDigits& d);

// Text of a value as the grid and the exports show it.
// Shortest general form with up to 15 significant digits: 12.5, 0.0001, 1E20,
// 1.5E-5; "NAN", "INF", "-INF" for the values that are no numbers.
void appendGeneralFloat(std::string& out, double value);
void appendGeneral(std::string& out, const DecimalDigits& d);
void appendInt64(std::string& out, int64_t value);
// A money value stored x 10 000, with up to 4 decimals: 12.5, -3.
void appendScaledCurrency(std::string& out, int64_t scaled);

// Writes exactly `width` bytes at dst. Integer text rule: the digits
// right-aligned and padded with `pad`; when they do not fit, all zeros for
// pad '0', else the number text rule with 0 decimals.
void formatIntegerField(char* dst, int width, int64_t value, char pad);
// Number text rule: rounded to `decimals` decimals and 15 significant digits,
// plain form when it fits, else fewer digits, else the exponent form
// (1.2E8), right-aligned; all spaces when nothing fits or the value is no
// number.
void formatNumberField(char* dst, int width, int decimals, double value);

} // namespace karto
