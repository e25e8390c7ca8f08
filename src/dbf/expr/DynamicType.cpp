#include "dbf/expr/DynamicType.h"

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr {

void DynamicType::throwTooLong()
{
    throw ExpressionError(msg::kExpressionResultTooLong);
}

void DynamicType::grow(size_t needed)
{
    size_t size = memory_.size();
    while (size < needed)
        size *= 2;
    memory_.resize(size, 0);
}

} // namespace karto::expr
