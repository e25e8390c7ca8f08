#include "dbf/expr/ExprTree.h"

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr {

namespace {

bool isKind(const Token& t, WordKind kind)
{
    return t.word && t.word->kind() == kind;
}

} // namespace

bool isFunctionWord(const ExprWord* word)
{
    return word && word->kind() == WordKind::Function && !static_cast<const Function*>(word)->isOperator();
}

bool isOperatorWord(const ExprWord* word)
{
    return word && word->kind() == WordKind::Function && static_cast<const Function*>(word)->isOperator();
}

TreeBuilder::TreeBuilder(const std::vector<Token>& tokens) : tokens_(tokens), match_(tokens.size(), 0)
{
    std::vector<size_t> open;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (isKind(tokens_[i], WordKind::LeftBracket)) {
            open.push_back(i);
        } else if (isKind(tokens_[i], WordKind::RightBracket)) {
            if (open.empty())
                raise(msg::kUnequalBrackets);
            match_[open.back()] = i;
            match_[i] = open.back();
            open.pop_back();
        }
    }
    if (!open.empty())
        raise(msg::kUnequalBrackets);
}

void TreeBuilder::raise(const char* message) const
{
    throw ParserError(message);
}

std::unique_ptr<ExprNode> TreeBuilder::build()
{
    // "()" only as the brackets of a function.
    for (size_t i = 0; i + 1 < tokens_.size(); ++i)
        if (isKind(tokens_[i], WordKind::LeftBracket) && isKind(tokens_[i + 1], WordKind::RightBracket)
            && (i == 0 || !isFunctionWord(tokens_[i - 1].word)))
            raise(msg::kEmptyParentheses);
    return build(0, tokens_.size(), 0);
}

std::unique_ptr<ExprNode> TreeBuilder::leaf(size_t at) const
{
    auto node = std::make_unique<ExprNode>();
    node->word = tokens_[at].word;
    node->name = tokens_[at].name;
    node->byShortName = tokens_[at].byShortName;
    return node;
}

std::unique_ptr<ExprNode> TreeBuilder::build(size_t lo, size_t hi, int depth)
{
    if (depth > kMaxTreeDepth)
        raise(msg::kExpressionTooDeep);
    while (hi - lo >= 2 && isKind(tokens_[lo], WordKind::LeftBracket) && match_[lo] == hi - 1) {
        ++lo;
        --hi;
    }
    if (lo >= hi)
        return nullptr;
    if (hi - lo == 1) {
        const ExprWord* w = tokens_[lo].word;
        if (w->kind() == WordKind::Comma || w->kind() == WordKind::LeftBracket || w->kind() == WordKind::RightBracket)
            raise(msg::kOperatorFunctionMissing);
        return leaf(lo);
    }

    // The loosest-binding operator outside brackets; of equal ones the
    // rightmost that has an operand before it (so that equal operators group
    // from the left), or else the leftmost (a run of unary operators).
    size_t best = hi;
    int bestPrecedence = -1;
    for (size_t i = lo; i < hi; ++i) {
        if (isKind(tokens_[i], WordKind::LeftBracket)) {
            i = match_[i];
            continue;
        }
        if (!isOperatorWord(tokens_[i].word))
            continue;
        const int precedence = static_cast<const Function*>(tokens_[i].word)->precedence();
        const bool binary = i > lo && !isOperatorWord(tokens_[i - 1].word) && !isKind(tokens_[i - 1], WordKind::Comma);
        const bool better = precedence > bestPrecedence
                            || (precedence == bestPrecedence && binary);   // rightmost binary one
        if (better) {
            best = i;
            bestPrecedence = precedence;
        }
    }
    if (best < hi) {
        auto node = leaf(best);
        auto left = build(lo, best, depth + 1);
        auto right = build(best + 1, hi, depth + 1);
        if (!right)
            raise(msg::kTooFewArguments);
        if (left)
            node->args.push_back(std::move(left));
        node->args.push_back(std::move(right));
        return node;
    }

    // A function and its bracketed arguments.
    if (!isFunctionWord(tokens_[lo].word) || !isKind(tokens_[lo + 1], WordKind::LeftBracket)
        || match_[lo + 1] != hi - 1)
        raise(msg::kOperatorFunctionMissing);
    auto node = leaf(lo);
    node->withBrackets = true;
    const size_t close = hi - 1;
    if (close > lo + 2) {
        size_t start = lo + 2;
        for (size_t i = start; i <= close; ++i) {
            if (i < close && isKind(tokens_[i], WordKind::LeftBracket)) {
                i = match_[i];
                continue;
            }
            if (i == close || isKind(tokens_[i], WordKind::Comma)) {
                auto arg = build(start, i, depth + 1);
                if (!arg)
                    raise(msg::kTooFewArguments);
                node->args.push_back(std::move(arg));
                start = i + 1;
            }
        }
    }
    return node;
}

} // namespace karto::expr
