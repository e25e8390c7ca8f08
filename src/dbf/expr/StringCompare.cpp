// Comparisons of two texts. Exact comparisons go byte by byte, by unsigned
// value, a text that is a beginning of the other being the smaller; the
// case-insensitive ones fold the ASCII letters only (Czech letters compare
// as they are). The partial-match "=" reads its right text as a pattern
// with "*" at either end.
#include <algorithm>
#include <string_view>
#include <vector>

#include "dbf/expr/Routines.h"

namespace karto::expr::routines {

namespace {

unsigned char foldAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

template <bool Fold>
unsigned char key(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return Fold ? foldAscii(u) : u;
}

template <bool Fold>
int compareText(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = key<Fold>(a[i]);
        const unsigned char y = key<Fold>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

template <bool Fold>
bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compareText<Fold>(a, b) == 0;
}

// Knuth-Morris-Pratt, so that long texts and patterns take linear time. The
// table of the pattern's borders is kept per thread and reused.
template <bool Fold>
bool contains(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    if (part.size() > text.size())
        return false;
    thread_local std::vector<size_t> border;
    if (border.size() < part.size())
        border.resize(part.size());
    border[0] = 0;
    for (size_t i = 1, k = 0; i < part.size(); ++i) {
        while (k > 0 && key<Fold>(part[i]) != key<Fold>(part[k]))
            k = border[k - 1];
        if (key<Fold>(part[i]) == key<Fold>(part[k]))
            ++k;
        border[i] = k;
    }
    for (size_t i = 0, k = 0; i < text.size(); ++i) {
        while (k > 0 && key<Fold>(text[i]) != key<Fold>(part[k]))
            k = border[k - 1];
        if (key<Fold>(text[i]) == key<Fold>(part[k]))
            ++k;
        if (k == part.size())
            return true;
    }
    return false;
}

template <bool Fold>
bool matchesPattern(std::string_view text, std::string_view pattern)
{
    const bool starStart = !pattern.empty() && pattern.front() == '*';
    const bool starEnd = !pattern.empty() && pattern.back() == '*';
    if (starStart && starEnd) {
        const std::string_view inner = pattern.size() >= 2 ? pattern.substr(1, pattern.size() - 2) : std::string_view();
        return contains<Fold>(text, inner);
    }
    if (starStart) {
        const std::string_view tail = pattern.substr(1);
        return text.size() >= tail.size() && sameText<Fold>(text.substr(text.size() - tail.size()), tail);
    }
    if (starEnd) {
        const std::string_view head = pattern.substr(0, pattern.size() - 1);
        return text.size() >= head.size() && sameText<Fold>(text.substr(0, head.size()), head);
    }
    return sameText<Fold>(text, pattern);
}

template <bool Fold>
int compareArgs(const ExpressionRec& rec)
{
    return compareText<Fold>(rec.textArg(0), rec.textArg(1));
}

void putBool(ExpressionRec& rec, bool value)
{
    rec.res->put(static_cast<uint8_t>(value ? 1 : 0));
}

} // namespace

void equalTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) == 0); }
void unequalTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) != 0); }
void lessTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) < 0); }
void greaterTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) > 0); }
void lessEqualTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) <= 0); }
void greaterEqualTextCS(ExpressionRec& rec) { putBool(rec, compareArgs<false>(rec) >= 0); }

void equalTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) == 0); }
void unequalTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) != 0); }
void lessTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) < 0); }
void greaterTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) > 0); }
void lessEqualTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) <= 0); }
void greaterEqualTextCI(ExpressionRec& rec) { putBool(rec, compareArgs<true>(rec) >= 0); }

void partialMatchCS(ExpressionRec& rec) { putBool(rec, matchesPattern<false>(rec.textArg(0), rec.textArg(1))); }
void partialMatchCI(ExpressionRec& rec) { putBool(rec, matchesPattern<true>(rec.textArg(0), rec.textArg(1))); }

} // namespace karto::expr::routines
