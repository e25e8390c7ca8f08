#pragma once
// The expression parser proper: turns a text into words through its word
// list, applies the sign rules and syntax checks, builds the tree, resolves
// each word against its argument types, folds the constant parts and
// compiles the rest (CompiledExpression.h).
//
// Parse errors raise ParserError with the catalogue's messages. After a
// failure nothing of the expression remains.
//
// The word list is the owner's business (TableParser builds it from the
// built-in lists and its field variables); names that no word has are handed
// to unknownName().

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr/CompiledExpression.h"
#include "dbf/expr/DynamicType.h"
#include "dbf/expr/ExprTree.h"
#include "dbf/expr/ExprWord.h"
#include "dbf/expr/ExpressList.h"
#include "dbf/expr/ExpressionRec.h"

namespace karto::expr {

// Longer texts are refused (ParserError "Expression too long ...").
inline constexpr size_t kMaxExpressionLength = 4096;

class CustomExpressionParser {
public:
    CustomExpressionParser();
    virtual ~CustomExpressionParser();
    CustomExpressionParser(const CustomExpressionParser&) = delete;
    CustomExpressionParser& operator=(const CustomExpressionParser&) = delete;

    // Parses and compiles the text, replacing the previous expression. An
    // empty text (after trimming) compiles nothing and returns false.
    bool addExpression(std::string_view text);
    // Frees the compiled expression and the constants.
    void clearExpression();
    bool hasExpression() const { return compiled_ != nullptr; }

    // Runs the compiled expression (ExpressionError on a run-time failure).
    void evaluate() { compiled_->run(); }
    ExpressionType resultType() const { return resultType_; }
    const DynamicType& result() const { return result_; }
    bool resultIsNull() const { return compiled_ && compiled_->resultIsNull(); }
    // The constant or variable the whole expression consists of, if so.
    const ExprWord* rootOperand() const { return rootOperand_; }

    ExpressList& wordsList() { return words_; }
    ExpressionContext& context() { return context_; }
    void setAllowMixedJoins(bool on) { allowMixedJoins_ = on; }
    bool allowMixedJoins() const { return allowMixedJoins_; }
    // The record number RECNO() gives.
    void setRecNo(int32_t recNo) { recNo_.set(recNo); }

protected:
    // A name no word has: returns the word made for it (and added to the
    // word list), or nullptr for "Unknown variable ..."; may raise its own
    // ParserError.
    virtual ExprWord* unknownName(const std::string& name);

private:
    std::vector<Token> lookUpWords(std::string_view text);
    Token lookUp(const std::string& name);
    ExprWord* addConstant(std::unique_ptr<ExprWord> word);
    void applySignRules(std::vector<Token>& tokens);
    void checkSyntax(const std::vector<Token>& tokens) const;
    bool takesTwoArguments(const Token& token) const;
    void resolve(ExprNode& node, int depth);
    const char* check(const Function& candidate, const ExprNode& node) const;
    void fold(ExprNode& node, int depth);
    void bindRecNo(ExprNode& node, int depth);

    ExpressList words_;
    std::vector<std::unique_ptr<ExprWord>> constants_;
    std::unique_ptr<CompiledExpression> compiled_;
    DynamicType result_;
    ExpressionType resultType_ = etUnknown;
    const ExprWord* rootOperand_ = nullptr;
    ExpressionContext context_;
    RecNoVariable recNo_;
    bool allowMixedJoins_ = false;
};

} // namespace karto::expr
