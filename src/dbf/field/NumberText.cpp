#include "dbf/field/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace karto {

namespace {

void stripTrailingZeros(DecimalDigits& d)
{
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    if (d.count == 0) {
        d.pointPos = 0;
        d.negative = false;
    }
}

bool isBlank(char c)
{
    return c == ' ';
}

// Length of the text `d` gives in plain form: sign, integer digits ("0"
// below 1), then the decimals it carries, then zeros up to `decimals` while
// the total stays within `width`. Writes into buf (at least 64 bytes).
int buildPlain(const DecimalDigits& d, int decimals, int width, char* buf, int* intLen)
{
    int n = 0;
    if (d.negative && d.count > 0)
        buf[n++] = '-';
    if (d.count == 0 || d.pointPos <= 0) {
        buf[n++] = '0';
    } else {
        for (int i = 0; i < d.pointPos; ++i)
            buf[n++] = i < d.count ? d.digits[i] : '0';
    }
    *intLen = n;
    if (decimals <= 0)
        return n;
    int written = 0;
    if (d.count > 0 && d.count > d.pointPos) {
        buf[n++] = '.';
        for (int i = d.pointPos; i < d.count; ++i) {
            buf[n++] = i < 0 ? '0' : d.digits[i];
            ++written;
        }
    }
    if (written == 0) {
        if (n + 2 > width)
            return n;
        buf[n++] = '.';
        buf[n++] = '0';
        written = 1;
    }
    while (written < decimals && n < width) {
        buf[n++] = '0';
        ++written;
    }
    return n;
}

// Exponent form: sign, first digit, "." and the further digits, then "E",
// "-" for a negative exponent and the exponent digits; no "E" part for 0.
int buildExponent(const DecimalDigits& d, char* buf, int* headLen)
{
    int n = 0;
    if (d.negative && d.count > 0)
        buf[n++] = '-';
    buf[n++] = d.count > 0 ? d.digits[0] : '0';
    const int afterFirst = n;
    if (d.count > 1) {
        buf[n++] = '.';
        for (int i = 1; i < d.count; ++i)
            buf[n++] = d.digits[i];
    }
    int exp = d.count > 0 ? d.pointPos - 1 : 0;
    int expLen = 0;
    if (exp != 0) {
        char tmp[16];
        int t = 0;
        buf[n++] = 'E';
        ++expLen;
        if (exp < 0) {
            buf[n++] = '-';
            ++expLen;
            exp = -exp;
        }
        while (exp > 0) {
            tmp[t++] = static_cast<char>('0' + exp % 10);
            exp /= 10;
        }
        while (t > 0) {
            buf[n++] = tmp[--t];
            ++expLen;
        }
    }
    *headLen = afterFirst + expLen;
    return n;
}

void placeRight(char* dst, int width, const char* text, int len)
{
    std::memset(dst, ' ', static_cast<size_t>(width - len));
    std::memcpy(dst + (width - len), text, static_cast<size_t>(len));
}

} // namespace

DecimalDigits decimalDigits(double value)
{
    DecimalDigits d;
    if (!std::isfinite(value) || value == 0.0)
        return d;
    char buf[48];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 17);
    const char* p = buf;
    const char* end = res.ptr;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    while (p < end && *p != 'e') {
        if (*p != '.')
            d.digits[d.count++] = *p;
        ++p;
    }
    int exp = 0;
    if (p < end && *p == 'e') {
        ++p;
        bool neg = false;
        if (p < end && (*p == '-' || *p == '+')) {
            neg = *p == '-';
            ++p;
        }
        while (p < end) {
            exp = exp * 10 + (*p - '0');
            ++p;
        }
        if (neg)
            exp = -exp;
    }
    d.pointPos = exp + 1;
    stripTrailingZeros(d);
    return d;
}

void roundDigits(DecimalDigits& d, int n)
{
    if (d.count <= n || d.count == 0) {
        stripTrailingZeros(d);
        return;
    }
    if (n < 0) {
        d.count = 0;
        stripTrailingZeros(d);
        return;
    }
    const bool up = d.digits[n] >= '5';
    d.count = n;
    if (up) {
        int i = n - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[i];
        } else {
            // 999 -> 1000: one digit more in front.
            d.digits[0] = '1';
            d.count = 1;
            ++d.pointPos;
        }
    }
    stripTrailingZeros(d);
}

void roundDecimals(DecimalDigits& d, int decimals)
{
    if (d.count == 0)
        return;
    roundDigits(d, d.pointPos + decimals);
}

bool parseNumberRule(std::string_view text, double& value)
{
    if (text.size() > 20)
        return false;
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    bool negative = false;
    if (b < e && (text[b] == '+' || text[b] == '-')) {
        negative = text[b] == '-';
        ++b;
    }
    // Validate the shape first: from_chars would also take "inf" and "nan".
    size_t i = b;
    int mantissaDigits = 0;
    while (i < e && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++mantissaDigits;
    }
    if (i < e && text[i] == '.') {
        ++i;
        while (i < e && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-'))
            ++i;
        int expDigits = 0;
        while (i < e && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != e)
        return false;
    // from_chars takes no "+" in the exponent's place either; copy without it.
    char buf[24];
    size_t n = 0;
    for (size_t k = b; k < e; ++k) {
        if (text[k] == '+')
            continue;
        buf[n++] = text[k];
    }
    double v = 0;
    auto res = std::from_chars(buf, buf + n, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != buf + n)
        return false;
    value = negative ? -v : v;
    return true;
}

bool parseIntegerRule(std::string_view text, int64_t& value)
{
    size_t i = 0;
    const size_t e = text.size();
    while (i < e && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < e && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < e) {
        uint64_t mag = 0;
        const uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
        bool ok = true;
        size_t k = i;
        for (; k < e; ++k) {
            const char c = text[k];
            if (c < '0' || c > '9') {
                ok = false;
                break;
            }
            const auto digit = static_cast<uint64_t>(c - '0');
            if (mag > (limit - digit) / 10) {
                ok = false;
                break;
            }
            mag = mag * 10 + digit;
        }
        if (ok) {
            value = negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag);
            return true;
        }
    }
    double d = 0;
    if (!parseNumberRule(text, d))
        return false;
    const double r = std::nearbyint(d);   // ties to even in the default rounding mode
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
        return false;
    value = static_cast<int64_t>(r);
    return true;
}

bool plainDecimalDigits(std::string_view text, DecimalDigits& d)
{
    size_t i = 0;
    const size_t e = text.size();
    d = DecimalDigits();
    if (i < e && (text[i] == '+' || text[i] == '-')) {
        d.negative = text[i] == '-';
        ++i;
    }
    int intDigits = 0;      // significant digits before the point
    int leadingFracZeros = 0;
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < e; ++i) {
        const char c = text[i];
        if (c == '.') {
            if (sawPoint)
                return false;
            sawPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        sawDigit = true;
        if (d.count == 0 && c == '0') {
            if (sawPoint)
                ++leadingFracZeros;
            continue;
        }
        if (d.count >= 20)
            return false;
        d.digits[d.count++] = c;
        if (!sawPoint)
            ++intDigits;
    }
    if (!sawDigit)
        return false;
    d.pointPos = intDigits > 0 ? intDigits : -leadingFracZeros;
    stripTrailingZeros(d);
    return d.count <= 15;
}

void appendGeneral(std::string& out, const DecimalDigits& d)
{
    char buf[48];
    int n = 0;
    if (d.count == 0) {
        out.push_back('0');
        return;
    }
    if (d.negative)
        buf[n++] = '-';
    if (d.pointPos > 15 || d.pointPos < -3) {
        int head = 0;
        DecimalDigits copy = d;
        copy.negative = false;
        n += buildExponent(copy, buf + n, &head);
    } else if (d.pointPos <= 0) {
        buf[n++] = '0';
        buf[n++] = '.';
        for (int i = d.pointPos; i < 0; ++i)
            buf[n++] = '0';
        for (int i = 0; i < d.count; ++i)
            buf[n++] = d.digits[i];
    } else {
        for (int i = 0; i < d.pointPos; ++i)
            buf[n++] = i < d.count ? d.digits[i] : '0';
        if (d.count > d.pointPos) {
            buf[n++] = '.';
            for (int i = d.pointPos; i < d.count; ++i)
                buf[n++] = d.digits[i];
        }
    }
    out.append(buf, static_cast<size_t>(n));
}

void appendGeneralFloat(std::string& out, double value)
{
    if (std::isnan(value)) {
        out.append("NAN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-INF" : "INF");
        return;
    }
    DecimalDigits d = decimalDigits(value);
    roundDigits(d, 15);
    appendGeneral(out, d);
}

void appendInt64(std::string& out, int64_t value)
{
    char buf[24];
    char* p = buf + sizeof buf;
    uint64_t mag = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    if (value < 0)
        *--p = '-';
    out.append(p, static_cast<size_t>(buf + sizeof buf - p));
}

void appendScaledCurrency(std::string& out, int64_t scaled)
{
    const uint64_t mag = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    char buf[32];
    char* p = buf + sizeof buf;
    uint64_t whole = mag / 10000;
    unsigned frac = static_cast<unsigned>(mag % 10000);
    // Decimals first (written backwards), without trailing zeros.
    int fracDigits = 4;
    while (fracDigits > 0 && frac % 10 == 0) {
        frac /= 10;
        --fracDigits;
    }
    for (int i = 0; i < fracDigits; ++i) {
        *--p = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    if (fracDigits > 0)
        *--p = '.';
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (scaled < 0)
        *--p = '-';
    out.append(p, static_cast<size_t>(buf + sizeof buf - p));
}

void formatIntegerField(char* dst, int width, int64_t value, char pad)
{
    if (width <= 0)
        return;
    char buf[24];
    char* p = buf + sizeof buf;
    uint64_t mag = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    if (value < 0)
        *--p = '-';
    const int len = static_cast<int>(buf + sizeof buf - p);
    if (len <= width) {
        std::memset(dst, pad, static_cast<size_t>(width - len));
        std::memcpy(dst + (width - len), p, static_cast<size_t>(len));
    } else if (pad == '0') {
        std::memset(dst, '0', static_cast<size_t>(width));
    } else {
        formatNumberField(dst, width, 0, static_cast<double>(value));
    }
}

void formatNumberField(char* dst, int width, int decimals, double value)
{
    if (width <= 0)
        return;
    if (!std::isfinite(value)) {
        std::memset(dst, ' ', static_cast<size_t>(width));
        return;
    }
    if (decimals < 0)
        decimals = 0;
    // Fields are at most 255 characters wide; more decimals than that
    // cannot show anyway.
    if (decimals > 255)
        decimals = 255;
    const DecimalDigits full = decimalDigits(value);
    DecimalDigits r = full;
    roundDigits(r, full.count == 0 ? 0 : std::min(15, full.pointPos + decimals));
    char buf[640];

    // A form is written when it fits; otherwise it is redone with fewer
    // significant digits: fewer by the excess, by one less when the part
    // before the point (or the exponent) alone fills the width. `build`
    // writes the form into buf, returns its length and sets the length of
    // that leading part; it returns -1 when the digits cannot take the form.
    auto tryForm = [&](auto build) {
        int lead = 0;
        int len = build(r, &lead);
        if (len >= 0 && len <= width) {
            placeRight(dst, width, buf, len);
            return true;
        }
        if (len < 0)
            return false;
        const int excess = len - width;
        const int digits = r.count - (lead == width ? excess - 1 : excess);
        if (digits <= 0)
            return false;
        DecimalDigits fewer = full;
        roundDigits(fewer, digits);
        len = build(fewer, &lead);
        if (len < 0 || len > width)
            return false;
        placeRight(dst, width, buf, len);
        return true;
    };
    const auto plain = [&](const DecimalDigits& d, int* lead) {
        return d.pointPos <= 15 ? buildPlain(d, decimals, width, buf, lead) : -1;
    };
    const auto exponent = [&](const DecimalDigits& d, int* lead) { return buildExponent(d, buf, lead); };
    if (tryForm(plain) || tryForm(exponent))
        return;
    std::memset(dst, ' ', static_cast<size_t>(width));
}

} // namespace karto
