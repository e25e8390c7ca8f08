#pragma once
// The built-in words, created once for the whole run, in seven lists: the
// general list (punctuation, every operator and every function that does not
// compare strings) and, for case-insensitive and case-sensitive matching,
// the string order comparisons ("<", ">", "<=", ">=", "<>"), the exact "="
// and the partial-match "=". RECNO is kept apart: each parser adds it last.

#include <memory>
#include <vector>

#include "dbf/expr/ExprWord.h"
#include "dbf/expr/ExpressList.h"

namespace karto::expr {

struct BuiltinWords {
    ExpressList general;
    ExpressList compareCI;
    ExpressList exactEqualCI;
    ExpressList partialEqualCI;
    ExpressList compareCS;
    ExpressList exactEqualCS;
    ExpressList partialEqualCS;
    Function* recNo = nullptr;

    std::vector<std::unique_ptr<ExprWord>> owned;
};

// Thread-safe; built on first use.
const BuiltinWords& builtinWords();

// Precedence numbers: a higher number binds more loosely.
inline constexpr int kPrecedenceNegate = 20;
inline constexpr int kPrecedenceArithmetic = 40;
inline constexpr int kPrecedenceCompare = 80;
inline constexpr int kPrecedenceNot = 85;
inline constexpr int kPrecedenceAnd = 90;
inline constexpr int kPrecedenceOr = 100;

} // namespace karto::expr
