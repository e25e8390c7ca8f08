#include "dbf/expr/ParserMessages.h"

namespace karto::msg {

std::string missingOperatorBetween(const std::string& first, const std::string& second)
{
    return "Missing operator between '" + first + "' and '" + second + "'";
}

std::string unknownVariable(const std::string& name)
{
    return "Unknown variable '" + name + "' found.";
}

std::string invalidIntegerValue(const std::string& text)
{
    return "'" + text + "' is not a valid integer value";
}

std::string invalidFloatValue(const std::string& text)
{
    return "'" + text + "' is not a valid floating point value";
}

} // namespace karto::msg
