// The text functions: STR, SUBSTR, LEFT, RIGHT, UPPERCASE, LOWERCASE,
// PROPER, LTRIM, RTRIM and TRIM, LEN, ASC, CHR, SOUNDEX and VAL. Texts are
// 8-bit; casing changes only the ASCII letters.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/Routines.h"
#include "dbf/expr/TableParser.h"
#include "dbf/field/NumberText.h"

namespace karto::expr::routines {

namespace {

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// The default widths of STR by the value's type.
int defaultStrWidth(ExpressionType type)
{
    switch (type) {
    case etInteger:
        return 11;
    case etLargeInt:
        return 20;
    default:
        return 10;
    }
}

// A count argument brought to 0 ... limit.
size_t clampCount(int64_t n, size_t limit)
{
    if (n <= 0)
        return 0;
    return static_cast<uint64_t>(n) < limit ? static_cast<size_t>(n) : limit;
}

// The number VAL reads: the text without leading blanks, cut before the
// first character that is not a sign, a point or a digit, then as much of
// it as forms a number (sign, digits, point, digits). No digits: 0.
double valueOfText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    text.remove_prefix(i);
    size_t n = 0;
    while (n < text.size() && ((text[n] >= '0' && text[n] <= '9') || text[n] == '+' || text[n] == '-' || text[n] == '.'))
        ++n;
    text = text.substr(0, n);
    size_t p = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    const size_t start = p;
    size_t digits = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        ++p;
        ++digits;
    }
    if (p < text.size() && text[p] == '.') {
        ++p;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            ++p;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    double value = 0.0;
    std::from_chars(text.data() + start, text.data() + p, value, std::chars_format::fixed);
    return negative ? -value : value;
}

// A double in the range of a whole-number type, truncated; raises
// ExpressionError "Numeric value out of range." otherwise.
template <typename T>
T wholeOf(double value)
{
    const double t = std::trunc(value);
    // 2^(bits-1): the first value beyond the range, exactly representable.
    const double limit = std::ldexp(1.0, static_cast<int>(sizeof(T)) * 8 - 1);
    if (!(t >= -limit && t < limit))
        throw ExpressionError(msg::kNumericValueOutOfRange);
    return static_cast<T>(t);
}

char soundexCode(char letter)
{
    switch (upperAscii(letter)) {
    case 'B': case 'F': case 'P': case 'V':
        return '1';
    case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z':
        return '2';
    case 'D': case 'T':
        return '3';
    case 'L':
        return '4';
    case 'M': case 'N':
        return '5';
    case 'R':
        return '6';
    default:
        return 0;   // vowels, H, W, Y
    }
}

} // namespace

void strFunction(ExpressionRec& rec)
{
    const ExpressionType type = rec.argsType[0];
    const int64_t width = rec.argCount >= 2 ? rec.intArg(1) : defaultStrWidth(type);
    if (width <= 0) {
        rec.res->commit(0);
        return;
    }
    char* p = rec.res->reserve(static_cast<size_t>(width));   // refuses a width beyond reason
    const int w = static_cast<int>(width);
    const int decimals = rec.argCount >= 3 ? rec.intArg(2) : 0;
    // Whole numbers with decimals, and floats, by the number text rule; a
    // whole number without decimals by the integer rule and the fill.
    if (type == etFloat || decimals != 0) {
        formatNumberField(p, w, decimals, rec.numberArg(0));
    } else {
        char fill = ' ';
        if (rec.argCount >= 4 && !rec.textArg(3).empty())
            fill = rec.textArg(3)[0];
        formatIntegerField(p, w, rec.wholeArg(0), fill);
    }
    rec.res->commit(static_cast<size_t>(width));
}

void substrFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    // A start before the text counts from its first character.
    const int64_t start = rec.intArg(1) < 1 ? 1 : rec.intArg(1);
    if (static_cast<uint64_t>(start - 1) >= s.size()) {
        rec.res->commit(0);
        return;
    }
    const size_t from = static_cast<size_t>(start - 1);
    const size_t rest = s.size() - from;
    const size_t count = rec.argCount >= 3 ? clampCount(rec.intArg(2), rest) : rest;
    rec.res->append(s.data() + from, count);
}

void leftFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    rec.res->append(s.data(), clampCount(rec.intArg(1), s.size()));
}

void rightFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    const size_t n = clampCount(rec.intArg(1), s.size());
    rec.res->append(s.data() + (s.size() - n), n);
}

void upperFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    char* p = rec.res->reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        p[i] = upperAscii(s[i]);
    rec.res->commit(s.size());
}

void lowerFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    char* p = rec.res->reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        p[i] = lowerAscii(s[i]);
    rec.res->commit(s.size());
}

void properFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    char* p = rec.res->reserve(s.size());
    bool wordStart = true;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ' ') {
            p[i] = c;
            wordStart = true;
        } else {
            p[i] = wordStart ? upperAscii(c) : lowerAscii(c);
            wordStart = false;
        }
    }
    rec.res->commit(s.size());
}

void ltrimFunction(ExpressionRec& rec)
{
    std::string_view s = rec.textArg(0);
    if (!rec.context || !rec.context->validatingIndex)
        while (!s.empty() && isBlank(s.front()))
            s.remove_prefix(1);
    rec.res->append(s);
}

void rtrimFunction(ExpressionRec& rec)
{
    std::string_view s = rec.textArg(0);
    if (!rec.context || !rec.context->validatingIndex)
        while (!s.empty() && isBlank(s.back()))
            s.remove_suffix(1);
    rec.res->append(s);
}

void lenInteger(ExpressionRec& rec)
{
    rec.res->put(static_cast<int32_t>(rec.textArg(0).size()));
}

void lenLargeInt(ExpressionRec& rec)
{
    rec.res->put(static_cast<int64_t>(rec.textArg(0).size()));
}

void lenFloat(ExpressionRec& rec)
{
    rec.res->put(static_cast<double>(rec.textArg(0).size()));
}

void ascFunction(ExpressionRec& rec)
{
    const std::string_view s = rec.textArg(0);
    rec.res->put(static_cast<int32_t>(s.empty() ? 0 : static_cast<unsigned char>(s[0])));
}

void chrFunction(ExpressionRec& rec)
{
    if (rec.context && rec.context->validatingIndex) {
        rec.res->append(" ", 1);
        return;
    }
    const int32_t n = rec.intArg(0);
    // Code 0 ends a text: it gives the empty text like a code out of range.
    if (n > 0 && n < 256) {
        const char c = static_cast<char>(static_cast<unsigned char>(n));
        rec.res->append(&c, 1);
    } else {
        rec.res->commit(0);
    }
}

void soundexFunction(ExpressionRec& rec)
{
    std::string_view s = rec.textArg(0);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    char code[4] = {'0', '0', '0', '0'};
    if (!s.empty() && isAsciiLetter(s.front())) {
        code[0] = upperAscii(s.front());
        int n = 1;
        char previous = -1;   // the code of the letter before (0: none)
        for (size_t i = 1; i < s.size() && n < 4 && isAsciiLetter(s[i]); ++i) {
            const char c = soundexCode(s[i]);
            if (c != previous && c != 0)
                code[n++] = c;
            previous = c;
        }
    }
    rec.res->append(code, 4);
}

void valFloat(ExpressionRec& rec)
{
    rec.res->put(valueOfText(rec.textArg(0)));
}

void valInteger(ExpressionRec& rec)
{
    rec.res->put(wholeOf<int32_t>(valueOfText(rec.textArg(0))));
}

void valLargeInt(ExpressionRec& rec)
{
    rec.res->put(wholeOf<int64_t>(valueOfText(rec.textArg(0))));
}

} // namespace karto::expr::routines
