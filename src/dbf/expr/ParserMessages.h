#pragma once
// The expression parser's message texts: the parse errors shown when a key
// or filter expression cannot be used, and the run-time errors of
// evaluation. Fixed, in English.
#include <string>

namespace karto::msg {

inline constexpr const char* kUnequalBrackets = "Unequal brackets";
inline constexpr const char* kMissingClosingBracket = "Missing closing bracket";
inline constexpr const char* kMissingOperatorBrackets = "Missing operator between )(";
inline constexpr const char* kMissingOperatorAfterBracket = "Missing operator between ) and constant/variable";
inline constexpr const char* kMissingOperatorBeforeBracket = "Missing operator between constant/variable and (";
inline constexpr const char* kEmptyParentheses = "Empty parentheses";
inline constexpr const char* kOperatorFunctionMissing = "Operator/function missing";
inline constexpr const char* kTooFewArguments = "Function or operand has too few arguments";
inline constexpr const char* kArgumentTypeMismatch = "Argument type mismatch";
inline constexpr const char* kTooManyArgumentsGiven = "Function or operand has too many arguments";
inline constexpr const char* kNoFunctionWithName = "No function with this name, remove brackets for variable";
// A function word declared with more than 6 argument letters.
inline constexpr const char* kTooManyArguments = "Too many arguments";

// Limits that keep a hostile text from exhausting time, stack or memory.
inline constexpr const char* kExpressionTooLong = "Expression too long (more than 4096 characters).";
inline constexpr const char* kExpressionTooDeep = "Expression nested too deeply.";
inline constexpr const char* kExpressionResultTooLong = "Expression result too long.";

// Run-time errors of evaluation.
inline constexpr const char* kDivisionByZero = "Division by zero.";
inline constexpr const char* kRoundDigitsOutOfRange = "ROUND digits must lie between -20 and 20.";
inline constexpr const char* kNumericValueOutOfRange = "Numeric value out of range.";
inline constexpr const char* kDateOutOfRange = "Date out of range.";

// Missing operator between 'FIRST' and 'SECOND'
std::string missingOperatorBetween(const std::string& first, const std::string& second);
// Unknown variable 'NAME' found.
std::string unknownVariable(const std::string& name);
// 'TEXT' is not a valid integer value
std::string invalidIntegerValue(const std::string& text);
// 'TEXT' is not a valid floating point value
std::string invalidFloatValue(const std::string& text);

} // namespace karto::msg
