#pragma once
// The bytes of index keys, by key type.
//
//  - Numeric keys (12 bytes): byte 0 the decimal exponent + 52, byte 1
//    ceil(digits / 2) x 8 + 1 (+ 0x80 when negative), bytes 2-11 the
//    significant digits as packed decimal, high nibble first. The value is
//    0.d1d2d3... x 10^exponent. Zero is 52, 1 and no digits.
//      whole numbers: every digit, trailing zeros dropped;
//      doubles: the shortest decimal form that reads back as the same double
//      (1937.08 gives 193708), rounded at the 15th place after the decimal
//      point and cut to 16 digits.
//  - Date keys (8 bytes): the Julian day number (date-time value + 2415019)
//    as a little-endian double; an empty date (value 0) is 1e100.
//  - Character keys: the text cut or padded with spaces to the key length.

#include <cstdint>
#include <string>

namespace karto::mdx {

constexpr int kNumericKeyLength = 12;
constexpr int kDateKeyLength = 8;
constexpr double kEmptyDateKey = 1e100;

void numericKeyFromInteger(int64_t value, uint8_t* key12);
void numericKeyFromDouble(double value, uint8_t* key12);
// dateTime: days since 30 December 1899; empty when 0 or when isEmpty.
void dateKey(double dateTime, bool isEmpty, uint8_t* key8);
// Copies text into a key of keyLength bytes, cut or padded with spaces.
void characterKey(const char* text, int textLength, int keyLength, uint8_t* key);

// A key as text for messages: character keys as they stand (trailing spaces
// dropped), numbers in decimal ("-1.5"), dates as YYYYMMDD (empty: "").
std::string keyText(char keyType, const uint8_t* key, int keyLength);

} // namespace karto::mdx
