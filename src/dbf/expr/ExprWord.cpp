#include "dbf/expr/ExprWord.h"

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr {

Function::Function(std::string name, std::string shortName, std::string typeSpec, int minArgs,
                   ExpressionType resultType, ExprFunc routine, std::string description)
    : ExprWord(std::move(name), WordKind::Function, resultType),
      shortName_(std::move(shortName)),
      typeSpec_(std::move(typeSpec)),
      minArgs_(minArgs < 0 ? static_cast<int>(typeSpec_.size()) : minArgs),
      routine_(routine),
      description_(std::move(description))
{
    if (typeSpec_.size() > static_cast<size_t>(kMaxArgs))
        throw ParserError(msg::kTooManyArguments);
}

char typeLetter(ExpressionType type)
{
    switch (type) {
    case etInteger:
        return 'I';
    case etString:
        return 'S';
    case etBoolean:
        return 'B';
    case etLargeInt:
        return 'L';
    case etFloat:
        return 'F';
    case etDateTime:
        return 'D';
    default:
        return '?';
    }
}

ExpressionType typeOfLetter(char letter)
{
    switch (letter) {
    case 'I':
        return etInteger;
    case 'S':
        return etString;
    case 'B':
        return etBoolean;
    case 'L':
        return etLargeInt;
    case 'F':
        return etFloat;
    case 'D':
        return etDateTime;
    default:
        return etUnknown;
    }
}

} // namespace karto::expr
