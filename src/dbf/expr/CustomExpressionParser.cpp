#include "dbf/expr/CustomExpressionParser.h"

#include <charconv>
#include <cstdint>

#include "dbf/expr/BuiltinWords.h"
#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/TableParser.h"
#include "dbf/expr/Tokenizer.h"

namespace karto::expr {

namespace {

bool isKind(const Token& t, WordKind kind)
{
    return t.word->kind() == kind;
}

bool isSign(const Token& t)
{
    return t.word->kind() == WordKind::Function && (t.name == "+" || t.name == "-");
}

int32_t integerValue(const std::string& text)
{
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw ParserError(msg::invalidIntegerValue(text));
    return value;
}

// "$" and up to 8 hexadecimal digits; values above $7FFFFFFF wrap to the
// negative integers.
int32_t hexValue(const std::string& digits)
{
    size_t first = 0;
    while (first + 1 < digits.size() && digits[first] == '0')
        ++first;
    uint32_t value = 0;
    const char* begin = digits.data() + first;
    const char* end = digits.data() + digits.size();
    const auto [stop, ec] = std::from_chars(begin, end, value, 16);
    if (ec != std::errc() || stop != end)
        throw ParserError(msg::invalidIntegerValue("$" + digits));
    return static_cast<int32_t>(value);
}

double floatValue(const std::string& text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw ParserError(msg::invalidFloatValue(text));
    return value;
}

// A folded value's text (the name of the constant that stands for it).
template <typename T>
std::string numberName(T value)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

} // namespace

CustomExpressionParser::CustomExpressionParser() = default;
CustomExpressionParser::~CustomExpressionParser() = default;

ExprWord* CustomExpressionParser::unknownName(const std::string&)
{
    return nullptr;
}

void CustomExpressionParser::clearExpression()
{
    compiled_.reset();
    constants_.clear();
    resultType_ = etUnknown;
    rootOperand_ = nullptr;
    result_.rewind();
}

ExprWord* CustomExpressionParser::addConstant(std::unique_ptr<ExprWord> word)
{
    constants_.push_back(std::move(word));
    return constants_.back().get();
}

bool CustomExpressionParser::addExpression(std::string_view text)
{
    clearExpression();
    text = trimExpression(text);
    if (text.empty())
        return false;
    if (text.size() > kMaxExpressionLength)
        throw ParserError(msg::kExpressionTooLong);
    try {
        std::vector<Token> tokens = lookUpWords(text);
        applySignRules(tokens);
        checkSyntax(tokens);
        std::unique_ptr<ExprNode> root = TreeBuilder(tokens).build();
        if (!root)
            throw ParserError(msg::kOperatorFunctionMissing);
        resolve(*root, 0);
        fold(*root, 0);
        bindRecNo(*root, 0);
        compiled_ = std::make_unique<CompiledExpression>(*root, result_, &context_);
        resultType_ = root->type();
        rootOperand_ = root->word->isOperand() ? root->word : nullptr;
    } catch (const ExpressionError& e) {
        // A constant part that cannot be computed (1/0).
        clearExpression();
        throw ParserError(e.what());
    } catch (...) {
        clearExpression();
        throw;
    }
    return true;
}

std::vector<Token> CustomExpressionParser::lookUpWords(std::string_view text)
{
    const std::vector<RawToken> raw = tokenize(text);
    int open = 0;
    int close = 0;
    for (const RawToken& t : raw) {
        if (t.kind == TokenKind::Symbol && t.text == "(")
            ++open;
        else if (t.kind == TokenKind::Symbol && t.text == ")")
            ++close;
    }
    if (open != close)
        throw ParserError(msg::kUnequalBrackets);

    std::vector<Token> tokens;
    tokens.reserve(raw.size());
    for (const RawToken& t : raw) {
        switch (t.kind) {
        case TokenKind::Integer:
            tokens.push_back({addConstant(std::make_unique<IntegerConstant>(t.text, integerValue(t.text))), t.text});
            break;
        case TokenKind::HexInteger: {
            const int32_t value = hexValue(t.text);
            const std::string name = std::to_string(value);
            tokens.push_back({addConstant(std::make_unique<IntegerConstant>(name, value)), name});
            break;
        }
        case TokenKind::Float:
            tokens.push_back({addConstant(std::make_unique<FloatConstant>(t.text, floatValue(t.text))), t.text});
            break;
        case TokenKind::String:
            tokens.push_back({addConstant(std::make_unique<StringConstant>(t.text)), t.text});
            break;
        case TokenKind::Name:
        case TokenKind::Symbol:
            tokens.push_back(lookUp(t.text));
            break;
        }
    }
    return tokens;
}

Token CustomExpressionParser::lookUp(const std::string& name)
{
    auto found = words_.findName(name);
    if (!found.empty())
        return {found.front(), name, false};
    found = words_.findShortName(name);
    if (!found.empty())
        return {found.front(), name, true};
    ExprWord* word = unknownName(name);
    if (!word)
        throw ParserError(msg::unknownVariable(name));
    return {word, name, false};
}

bool CustomExpressionParser::takesTwoArguments(const Token& token) const
{
    if (token.word->kind() != WordKind::Function || !static_cast<const Function*>(token.word)->isOperator())
        return false;
    for (const ExprWord* w : words_.findName(token.name))
        if (w->kind() == WordKind::Function && static_cast<const Function*>(w)->maxArgs() == 2)
            return true;
    return false;
}

// A "+" or "-" at the start, after "(", "," or an operator of two arguments
// is a sign. A run of signs becomes its first one, a negation ("-@") when
// it holds an odd number of minus signs.
void CustomExpressionParser::applySignRules(std::vector<Token>& tokens)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isSign(tokens[i]))
            continue;
        const bool signPlace = i == 0 || isKind(tokens[i - 1], WordKind::LeftBracket)
                               || isKind(tokens[i - 1], WordKind::Comma) || takesTwoArguments(tokens[i - 1]);
        if (!signPlace)
            continue;
        size_t j = i;
        int minus = 0;
        while (j < tokens.size() && isSign(tokens[j])) {
            if (tokens[j].name == "-")
                ++minus;
            ++j;
        }
        if (minus % 2 == 1)
            tokens[i] = lookUp("-@");
        tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i + 1), tokens.begin() + static_cast<std::ptrdiff_t>(j));
    }
}

void CustomExpressionParser::checkSyntax(const std::vector<Token>& tokens) const
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& a = tokens[i];
        if (i + 1 == tokens.size()) {
            if (isKind(a, WordKind::LeftBracket))
                throw ParserError(msg::kMissingClosingBracket);
            break;
        }
        const Token& b = tokens[i + 1];
        if (a.word->isOperand() && b.word->isOperand())
            throw ParserError(msg::missingOperatorBetween(a.word->name(), b.word->name()));
        if (isKind(a, WordKind::RightBracket) && isKind(b, WordKind::LeftBracket))
            throw ParserError(msg::kMissingOperatorBrackets);
        if (isKind(a, WordKind::RightBracket) && b.word->isOperand())
            throw ParserError(msg::kMissingOperatorAfterBracket);
        if (a.word->isOperand() && isKind(b, WordKind::LeftBracket))
            throw ParserError(msg::kMissingOperatorBeforeBracket);
    }
}

const char* CustomExpressionParser::check(const Function& candidate, const ExprNode& node) const
{
    const int argCount = static_cast<int>(node.args.size());
    if (argCount < candidate.minArgs())
        return msg::kTooFewArguments;
    const std::string& spec = candidate.typeSpec();
    for (size_t i = 0; i < node.args.size() && i < spec.size(); ++i)
        if (node.args[i]->type() != typeOfLetter(spec[i]))
            return msg::kArgumentTypeMismatch;
    if (argCount > candidate.maxArgs())
        return msg::kTooManyArgumentsGiven;
    if (candidate.isMixedJoin() && !allowMixedJoins_)
        return msg::kArgumentTypeMismatch;
    if (candidate.isOperator() ? node.withBrackets : !node.withBrackets)
        return msg::kNoFunctionWithName;
    return nullptr;
}

void CustomExpressionParser::resolve(ExprNode& node, int depth)
{
    if (depth > kMaxTreeDepth)
        throw ParserError(msg::kExpressionTooDeep);
    for (auto& arg : node.args)
        resolve(*arg, depth + 1);
    if (node.word->kind() != WordKind::Function)
        return;
    const auto candidates = node.byShortName ? words_.findShortName(node.name) : words_.findName(node.name);
    const char* lastError = msg::kNoFunctionWithName;
    for (ExprWord* w : candidates) {
        if (w->kind() != WordKind::Function)
            continue;
        const char* error = check(*static_cast<const Function*>(w), node);
        if (!error) {
            node.word = w;
            return;
        }
        lastError = error;
    }
    if (!node.args.empty() || node.withBrackets)
        throw ParserError(lastError);
    // A bare name that is no usable function: a field of that name.
    for (ExprWord* w : words_.findName(node.name)) {
        if (w->kind() == WordKind::Variable) {
            node.word = w;
            return;
        }
    }
    ExprWord* variable = unknownName(node.name);
    if (!variable)
        throw ParserError(msg::unknownVariable(node.name));
    node.word = variable;
}

void CustomExpressionParser::fold(ExprNode& node, int depth)
{
    for (auto& arg : node.args)
        fold(*arg, depth + 1);
    if (node.word->kind() != WordKind::Function || static_cast<const Function*>(node.word)->isVarying())
        return;
    for (const auto& arg : node.args)
        if (arg->word->kind() != WordKind::Constant)
            return;
    DynamicType value;
    CompiledExpression(node, value, &context_).run();
    std::unique_ptr<ExprWord> constant;
    switch (node.type()) {
    case etInteger:
        constant = std::make_unique<IntegerConstant>(numberName(value.get<int32_t>()), value.get<int32_t>());
        break;
    case etLargeInt:
        constant = std::make_unique<LargeIntConstant>(numberName(value.get<int64_t>()), value.get<int64_t>());
        break;
    case etFloat:
        constant = std::make_unique<FloatConstant>(numberName(value.get<double>()), value.get<double>());
        break;
    case etDateTime:
        constant = std::make_unique<DateTimeConstant>(numberName(value.get<double>()), value.get<double>());
        break;
    case etBoolean:
        constant = std::make_unique<BooleanConstant>(value.get<uint8_t>() ? "TRUE" : "FALSE", value.get<uint8_t>() != 0);
        break;
    case etString:
        constant = std::make_unique<StringConstant>(value.text());
        break;
    default:
        return;
    }
    node.word = addConstant(std::move(constant));
    node.args.clear();
    node.withBrackets = false;
}

void CustomExpressionParser::bindRecNo(ExprNode& node, int depth)
{
    if (node.word == builtinWords().recNo) {
        node.word = &recNo_;
        node.args.clear();
        return;
    }
    for (auto& arg : node.args)
        bindRecNo(*arg, depth + 1);
}

} // namespace karto::expr
