#pragma once
// The token list of an expression after word lookup, and the tree built
// from it: operators split their range at the loosest-binding operator
// outside brackets, functions take the comma-separated ranges inside their
// brackets.

#include <memory>
#include <string>
#include <vector>

#include "dbf/expr/ExprWord.h"

namespace karto::expr {

struct Token {
    ExprWord* word = nullptr;
    std::string name;          // the text the word was looked up by
    bool byShortName = false;  // found among the short names
};

struct ExprNode {
    ExprWord* word = nullptr;
    std::string name;
    bool byShortName = false;
    bool withBrackets = false;   // a function written with its brackets
    std::vector<std::unique_ptr<ExprNode>> args;

    ExpressionType type() const { return word->resultType(); }
};

// Deeper trees are refused (ParserError "Expression nested too deeply.").
inline constexpr int kMaxTreeDepth = 512;

bool isFunctionWord(const ExprWord* word);
bool isOperatorWord(const ExprWord* word);

// Builds the tree of a token list whose bracket counts are equal. Raises
// ParserError with the catalogue's messages.
class TreeBuilder {
public:
    explicit TreeBuilder(const std::vector<Token>& tokens);
    std::unique_ptr<ExprNode> build();

private:
    std::unique_ptr<ExprNode> build(size_t lo, size_t hi, int depth);
    std::unique_ptr<ExprNode> leaf(size_t at) const;
    [[noreturn]] void raise(const char* message) const;

    const std::vector<Token>& tokens_;
    std::vector<size_t> match_;   // the partner of each bracket
};

} // namespace karto::expr
