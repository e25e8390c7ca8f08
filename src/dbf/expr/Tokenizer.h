#pragma once
// Splits an expression text into its tokens: numbers, quoted texts, names
// and symbols. Only the characters are looked at here; what a name or a
// symbol stands for is decided by the parser's word list.

#include <string>
#include <string_view>
#include <vector>

namespace karto::expr {

enum class TokenKind {
    Integer,      // digits without a point ("1e5" too: it then fails to convert)
    Float,        // digits with a point
    HexInteger,   // "$" and hexadecimal digits; text holds the digits
    String,       // a quoted text; text holds it without its quotes
    Name,         // letters, digits and underscores (or "$" and those)
    Symbol,       // one or two other characters
};

struct RawToken {
    TokenKind kind;
    std::string text;
};

// The text without the leading and trailing characters with codes 0 to 32.
std::string_view trimExpression(std::string_view text);

// The tokens of a trimmed text, in order. Never fails: an unterminated
// quoted text runs to the end of the text, any other character is a
// one-character symbol.
std::vector<RawToken> tokenize(std::string_view text);

} // namespace karto::expr
