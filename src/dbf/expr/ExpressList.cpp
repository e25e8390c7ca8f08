#include "dbf/expr/ExpressList.h"

#include <algorithm>

namespace karto::expr {

namespace {

unsigned char upperAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

const std::string& shortNameOf(const ExprWord* word)
{
    return static_cast<const Function*>(word)->shortName();
}

bool hasShortName(const ExprWord* word)
{
    return word->kind() == WordKind::Function && !shortNameOf(word).empty();
}

// The range of words whose key compares equal to name.
template <typename Key>
std::span<ExprWord* const> equalRange(const std::vector<ExprWord*>& list, std::string_view name, Key key)
{
    const auto lo = std::lower_bound(list.begin(), list.end(), name, [&](const ExprWord* w, std::string_view n) {
        return compareNames(key(w), n) < 0;
    });
    auto hi = lo;
    while (hi != list.end() && compareNames(key(*hi), name) == 0)
        ++hi;
    return {lo, hi};
}

} // namespace

int compareNames(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = upperAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = upperAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void ExpressList::add(ExprWord* word)
{
    // lower_bound: before every word of the same name.
    const auto at = std::lower_bound(words_.begin(), words_.end(), word, [](const ExprWord* w, const ExprWord* n) {
        return compareNames(w->name(), n->name()) < 0;
    });
    words_.insert(at, word);
    if (hasShortName(word)) {
        const auto s = std::lower_bound(shortWords_.begin(), shortWords_.end(), word,
                                        [](const ExprWord* w, const ExprWord* n) {
                                            return compareNames(shortNameOf(w), shortNameOf(n)) < 0;
                                        });
        shortWords_.insert(s, word);
    }
}

void ExpressList::clear()
{
    words_.clear();
    shortWords_.clear();
}

std::span<ExprWord* const> ExpressList::findName(std::string_view name) const
{
    return equalRange(words_, name, [](const ExprWord* w) -> std::string_view { return w->name(); });
}

std::span<ExprWord* const> ExpressList::findShortName(std::string_view name) const
{
    return equalRange(shortWords_, name, [](const ExprWord* w) -> std::string_view { return shortNameOf(w); });
}

} // namespace karto::expr
