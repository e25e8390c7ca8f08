// Operators on numbers, dates and booleans. Whole numbers are computed in
// their own width and wrap around on overflow; a whole-number or float
// division by zero raises ExpressionError. "+" and "-" give null when both
// operands are null.
#include <cstdint>
#include <limits>

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/Routines.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr::routines {

namespace {

int32_t wrap32(uint32_t v)
{
    return static_cast<int32_t>(v);
}

int64_t wrap64(uint64_t v)
{
    return static_cast<int64_t>(v);
}

void nullWhenBothNull(ExpressionRec& rec)
{
    rec.isNull = rec.nullArg(0) && rec.nullArg(1);
}

// Numbers compared in the widest of their types: doubles when either is a
// float, 64-bit integers otherwise.
int compareNumbers(const ExpressionRec& rec)
{
    if (rec.argsType[0] == etFloat || rec.argsType[1] == etFloat) {
        const double a = rec.numberArg(0);
        const double b = rec.numberArg(1);
        return a < b ? -1 : (a > b ? 1 : (a == b ? 0 : 2));   // 2: unordered (NaN)
    }
    const int64_t a = rec.wholeArg(0);
    const int64_t b = rec.wholeArg(1);
    return a < b ? -1 : (a > b ? 1 : 0);
}

void putBool(ExpressionRec& rec, bool value)
{
    rec.res->put(static_cast<uint8_t>(value ? 1 : 0));
}

} // namespace

void negInteger(ExpressionRec& rec)
{
    rec.res->put(wrap32(0u - static_cast<uint32_t>(rec.intArg(0))));
}

void negLargeInt(ExpressionRec& rec)
{
    rec.res->put(wrap64(0u - static_cast<uint64_t>(rec.largeArg(0))));
}

void negFloat(ExpressionRec& rec)
{
    rec.res->put(-rec.floatArg(0));
}

void addInteger(ExpressionRec& rec)
{
    rec.res->put(wrap32(static_cast<uint32_t>(rec.intArg(0)) + static_cast<uint32_t>(rec.intArg(1))));
    nullWhenBothNull(rec);
}

void addLargeInt(ExpressionRec& rec)
{
    rec.res->put(wrap64(static_cast<uint64_t>(rec.wholeArg(0)) + static_cast<uint64_t>(rec.wholeArg(1))));
    nullWhenBothNull(rec);
}

void addFloat(ExpressionRec& rec)
{
    rec.res->put(rec.numberArg(0) + rec.numberArg(1));
    nullWhenBothNull(rec);
}

void subInteger(ExpressionRec& rec)
{
    rec.res->put(wrap32(static_cast<uint32_t>(rec.intArg(0)) - static_cast<uint32_t>(rec.intArg(1))));
    nullWhenBothNull(rec);
}

void subLargeInt(ExpressionRec& rec)
{
    rec.res->put(wrap64(static_cast<uint64_t>(rec.wholeArg(0)) - static_cast<uint64_t>(rec.wholeArg(1))));
    nullWhenBothNull(rec);
}

void subFloat(ExpressionRec& rec)
{
    rec.res->put(rec.numberArg(0) - rec.numberArg(1));
    nullWhenBothNull(rec);
}

void mulInteger(ExpressionRec& rec)
{
    rec.res->put(wrap32(static_cast<uint32_t>(rec.intArg(0)) * static_cast<uint32_t>(rec.intArg(1))));
}

void mulLargeInt(ExpressionRec& rec)
{
    rec.res->put(wrap64(static_cast<uint64_t>(rec.wholeArg(0)) * static_cast<uint64_t>(rec.wholeArg(1))));
}

void mulFloat(ExpressionRec& rec)
{
    rec.res->put(rec.numberArg(0) * rec.numberArg(1));
}

void divInteger(ExpressionRec& rec)
{
    const int32_t a = rec.intArg(0);
    const int32_t b = rec.intArg(1);
    if (b == 0)
        throw ExpressionError(msg::kDivisionByZero);
    // The one quotient beyond the range wraps like the other operators.
    rec.res->put(b == -1 ? wrap32(0u - static_cast<uint32_t>(a)) : a / b);
}

void divLargeInt(ExpressionRec& rec)
{
    const int64_t a = rec.wholeArg(0);
    const int64_t b = rec.wholeArg(1);
    if (b == 0)
        throw ExpressionError(msg::kDivisionByZero);
    rec.res->put(b == -1 ? wrap64(0u - static_cast<uint64_t>(a)) : a / b);
}

void divFloat(ExpressionRec& rec)
{
    const double b = rec.numberArg(1);
    if (b == 0.0)
        throw ExpressionError(msg::kDivisionByZero);
    rec.res->put(rec.numberArg(0) / b);
}

void equalNumbers(ExpressionRec& rec)
{
    putBool(rec, compareNumbers(rec) == 0);
}

void unequalNumbers(ExpressionRec& rec)
{
    putBool(rec, compareNumbers(rec) != 0);
}

void lessNumbers(ExpressionRec& rec)
{
    putBool(rec, compareNumbers(rec) == -1);
}

void greaterNumbers(ExpressionRec& rec)
{
    putBool(rec, compareNumbers(rec) == 1);
}

void lessEqualNumbers(ExpressionRec& rec)
{
    const int c = compareNumbers(rec);
    putBool(rec, c == -1 || c == 0);
}

void greaterEqualNumbers(ExpressionRec& rec)
{
    const int c = compareNumbers(rec);
    putBool(rec, c == 1 || c == 0);
}

void logicalNot(ExpressionRec& rec)
{
    putBool(rec, !rec.boolArg(0));
}

void logicalAnd(ExpressionRec& rec)
{
    putBool(rec, rec.boolArg(0) && rec.boolArg(1));
}

void logicalOr(ExpressionRec& rec)
{
    putBool(rec, rec.boolArg(0) || rec.boolArg(1));
}

} // namespace karto::expr::routines
