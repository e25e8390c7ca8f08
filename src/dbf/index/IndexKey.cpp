#include "dbf/index/IndexKey.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "dbf/io/ByteOrder.h"

namespace karto::mdx {

namespace {

constexpr int kExponentBias = 52;
constexpr int kMaxDigits = 20;

// Stores digits (ASCII, no leading zero, at most 20) of 0.digits x 10^exponent.
void packDigits(std::string digits, int exponent, bool negative, uint8_t* key)
{
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    std::memset(key, 0, kNumericKeyLength);
    if (digits.empty()) {
        key[0] = kExponentBias;
        key[1] = 1;
        return;
    }
    if (digits.size() > kMaxDigits)
        digits.resize(kMaxDigits);
    key[0] = static_cast<uint8_t>(std::clamp(exponent + kExponentBias, 0, 255));
    const int d = static_cast<int>(digits.size());
    key[1] = static_cast<uint8_t>((d + 1) / 2 * 8 + 1 + (negative ? 0x80 : 0));
    for (int i = 0; i < d; ++i) {
        const uint8_t nibble = static_cast<uint8_t>(digits[static_cast<size_t>(i)] - '0');
        key[2 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? nibble << 4 : nibble);
    }
}

} // namespace

void numericKeyFromInteger(int64_t value, uint8_t* key)
{
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (magnitude == 0) {
        packDigits({}, 0, false, key);
        return;
    }
    const std::string digits = std::to_string(magnitude);
    packDigits(digits, static_cast<int>(digits.size()), negative, key);
}

void numericKeyFromDouble(double value, uint8_t* key)
{
    if (std::isnan(value) || value == 0) {
        packDigits({}, 0, false, key);
        return;
    }
    const bool negative = value < 0;
    if (std::isinf(value)) {
        packDigits("1", 255 - kExponentBias, negative, key);
        return;
    }
    // Shortest round-trip form: d.ddddde[+-]x
    char buffer[64];
    const auto res = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                   std::chars_format::scientific);
    const std::string text(buffer, res.ptr);
    const size_t e = text.find('e');
    std::string digits;
    for (size_t i = 0; i < e; ++i)
        if (text[i] >= '0' && text[i] <= '9')
            digits += text[i];
    int exponent = std::stoi(text.substr(e + 1)) + 1;   // 0.digits x 10^exponent
    // At most 15 places after the decimal point: digit k (from 1) lies at
    // place k - exponent.
    const int keep = exponent + 15;
    if (static_cast<int>(digits.size()) > keep) {
        if (keep < 0) {
            digits.clear();
        } else {
            const bool up = digits[static_cast<size_t>(keep)] >= '5';
            digits.resize(static_cast<size_t>(keep));
            if (up) {
                int i = keep - 1;
                while (i >= 0 && digits[static_cast<size_t>(i)] == '9') {
                    digits[static_cast<size_t>(i)] = '0';
                    --i;
                }
                if (i >= 0) {
                    ++digits[static_cast<size_t>(i)];
                } else {
                    digits.insert(digits.begin(), '1');
                    ++exponent;
                }
            }
        }
    }
    if (digits.size() > 16)
        digits.resize(16);
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty()) {
        packDigits({}, 0, false, key);
        return;
    }
    packDigits(digits, exponent, negative, key);
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
        if (!(julian < 1e99) || !(julian > 0))
            return {};
        // Civil date of a Julian day number (days from 1 March 0000).
        const int64_t jdn = static_cast<int64_t>(std::floor(julian));
        int64_t a = jdn + 32044;
        const int64_t b = (4 * a + 3) / 146097;
        const int64_t c = a - 146097 * b / 4;
        const int64_t d = (4 * c + 3) / 1461;
        const int64_t e = c - 1461 * d / 4;
        const int64_t m = (5 * e + 2) / 153;
        const int64_t day = e - (153 * m + 2) / 5 + 1;
        const int64_t month = m + 3 - 12 * (m / 10);
        const int64_t year = 100 * b + d - 4800 + m / 10;
        char out[80];
        std::snprintf(out, sizeof out, "%04lld%02lld%02lld", static_cast<long long>(year),
                      static_cast<long long>(month), static_cast<long long>(day));
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
