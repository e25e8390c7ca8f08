#include "dbf/index/IndexKey.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

namespace {

constexpr int kExponentBias = 52;
constexpr int kMaxDigits = 20;

// Stores count digits (ASCII, no leading zero) of 0.digits x 10^exponent;
// trailing zeros are dropped and at most 20 digits kept.
void packDigits(const char* digits, int count, int exponent, bool negative, uint8_t* key)
{
    while (count > 0 && digits[count - 1] == '0')
        --count;
    std::memset(key, 0, kNumericKeyLength);
    if (count == 0) {
        key[0] = kExponentBias;
        key[1] = 1;
        return;
    }
    count = std::min(count, kMaxDigits);
    key[0] = static_cast<uint8_t>(std::clamp(exponent + kExponentBias, 0, 255));
    key[1] = static_cast<uint8_t>((count + 1) / 2 * 8 + 1 + (negative ? 0x80 : 0));
    for (int i = 0; i < count; ++i) {
        const uint8_t nibble = static_cast<uint8_t>(digits[i] - '0');
        key[2 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? nibble << 4 : nibble);
    }
}

void packZero(uint8_t* key)
{
    packDigits(nullptr, 0, 0, false, key);
}

} // namespace

void numericKeyFromInteger(int64_t value, uint8_t* key)
{
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (magnitude == 0) {
        packZero(key);
        return;
    }
    char digits[24];
    const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
    packDigits(digits, count, count, negative, key);
}

void numericKeyFromDouble(double value, uint8_t* key)
{
    if (std::isnan(value) || value == 0) {
        packZero(key);
        return;
    }
    const bool negative = value < 0;
    if (std::isinf(value)) {
        packDigits("1", 1, 255 - kExponentBias, negative, key);
        return;
    }
    // Shortest round-trip form: d.ddddde[+-]x
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific).ptr;
    const char* e = std::find(static_cast<const char*>(text), end, 'e');
    // The digits, and room for one more in front when rounding carries.
    char buffer[72];
    char* digits = buffer + 1;
    int count = 0;
    for (const char* p = text; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits[count++] = *p;
    const char* x = e + 1;
    const bool below = x < end && *x == '-';
    if (x < end && (*x == '-' || *x == '+'))
        ++x;
    int magnitude = 0;
    std::from_chars(x, end, magnitude);
    int exponent = (below ? -magnitude : magnitude) + 1;   // 0.digits x 10^exponent
    // At most 15 places after the decimal point: digit k (from 1) lies at
    // place k - exponent.
    const int keep = exponent + 15;
    if (count > keep) {
        if (keep < 0) {
            count = 0;
        } else {
            const bool up = digits[keep] >= '5';
            count = keep;
            if (up) {
                int i = keep - 1;
                while (i >= 0 && digits[i] == '9') {
                    digits[i] = '0';
                    --i;
                }
                if (i >= 0) {
                    ++digits[i];
                } else {
                    *--digits = '1';
                    ++count;
                    ++exponent;
                }
            }
        }
    }
    count = std::min(count, 16);
    packDigits(digits, count, exponent, negative, key);
}

void dateKey(double dateTime, bool isEmpty, uint8_t* key)
{
    const double julian = (isEmpty || dateTime == 0) ? kEmptyDateKey : dateTime + 2415019.0;
    uint64_t bits;
    std::memcpy(&bits, &julian, sizeof bits);
    storeLE64(key, bits);
}

void characterKey(const char* text, int textLength, int keyLength, uint8_t* key)
{
    const int n = std::clamp(textLength, 0, keyLength);
    if (n > 0)
        std::memcpy(key, text, static_cast<size_t>(n));
    std::memset(key + n, ' ', static_cast<size_t>(keyLength - n));
}

std::string keyText(char keyType, const uint8_t* key, int keyLength)
{
    if (keyType == 'N' || keyType == 'F') {
        const int count = ((key[1] & 0x7F) - 1) / 8 * 2;
        std::string digits;
        for (int i = 0; i < count && i < 20; ++i) {
            const uint8_t b = key[2 + i / 2];
            digits += static_cast<char>('0' + (i % 2 == 0 ? b >> 4 : b & 0x0F));
        }
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
        if (digits.empty())
            return "0";
        const int exponent = key[0] - kExponentBias;
        std::string out;
        if (exponent <= 0) {
            out = "0." + std::string(static_cast<size_t>(-exponent), '0') + digits;
        } else if (exponent >= static_cast<int>(digits.size())) {
            out = digits + std::string(static_cast<size_t>(exponent) - digits.size(), '0');
        } else {
            out = digits.substr(0, static_cast<size_t>(exponent)) + "." +
                  digits.substr(static_cast<size_t>(exponent));
        }
        return (key[1] & 0x80) ? "-" + out : out;
    }
    if (keyType == 'D') {
        uint64_t bits = loadLE64(key);
        double julian;
        std::memcpy(&julian, &bits, sizeof julian);
        // A Julian day number outside the calendar's years 1 to 9999 (the
        // empty date among them) has no text.
        if (!(julian >= kJulianDayDelta + 1.0) || !(julian < kJulianDayDelta + kMaxTimeStampDay + 1.0))
            return {};
        const CivilDate date =
            civilFromTimeStampDay(static_cast<int32_t>(std::floor(julian)) - kJulianDayDelta);
        char out[16];
        std::snprintf(out, sizeof out, "%04d%02d%02d", date.year, date.month, date.day);
        return out;
    }
    if (keyType == 'C') {
        std::string s(reinterpret_cast<const char*>(key), static_cast<size_t>(keyLength));
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
            s.pop_back();
        return s;
    }
    std::string hex;
    char two[4];
    for (int i = 0; i < keyLength; ++i) {
        std::snprintf(two, sizeof two, "%02X", key[i]);
        hex += two;
    }
    return hex;
}

} // namespace karto::mdx
