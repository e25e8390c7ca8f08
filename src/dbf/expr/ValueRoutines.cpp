// The value-fetch routine of constants and variables, and the null flag of a
// string join.
#include "dbf/expr/Routines.h"

namespace karto::expr::routines {

void copyValue(ExpressionRec& rec)
{
    const DynamicType& src = *rec.args[0];
    switch (rec.argsType[0]) {
    case etString:
        rec.res->append(src.text());
        break;
    case etInteger:
        rec.res->put(src.get<int32_t>());
        break;
    case etBoolean:
        rec.res->put(src.get<uint8_t>());
        break;
    case etLargeInt:
        rec.res->put(src.get<int64_t>());
        break;
    default:
        rec.res->put(src.get<double>());
        break;
    }
    rec.isNull = rec.nullArg(0);
}

// The parts of a join have written their texts already; the join is null
// when every part is.
void joinNull(ExpressionRec& rec)
{
    bool allNull = true;
    for (int i = 0; i < rec.argCount; ++i)
        allNull = allNull && rec.nullArg(i);
    rec.isNull = allNull;
}

} // namespace karto::expr::routines
