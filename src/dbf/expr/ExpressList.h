#pragma once
// A list of words sorted by name (ASCII letters compared without regard to
// case). A word added under a name already present goes before the words of
// that name. Words that have a short name are kept a second time, sorted by
// it; a name that no word has is looked up among the short names.
//
// The list does not own its words.

#include <span>
#include <string_view>
#include <vector>

#include "dbf/expr/ExprWord.h"

namespace karto::expr {

// ASCII case-insensitive three-way comparison of two names.
int compareNames(std::string_view a, std::string_view b);

class ExpressList {
public:
    void add(ExprWord* word);
    void clear();

    // The words named `name`, in list order (empty when there are none).
    std::span<ExprWord* const> findName(std::string_view name) const;
    // The words whose short name is `name`, in short-list order.
    std::span<ExprWord* const> findShortName(std::string_view name) const;

    const std::vector<ExprWord*>& words() const { return words_; }

private:
    std::vector<ExprWord*> words_;
    std::vector<ExprWord*> shortWords_;
};

} // namespace karto::expr
