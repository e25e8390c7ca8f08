// ABS, CEILING, ROUND, EMPTY and IIF.
#include <cmath>
#include <cstdint>

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/Routines.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr::routines {

namespace {

constexpr int kMaxRoundDigits = 20;

// x rounded to n decimals (n < 0: to tens, hundreds ...), halves to the even
// neighbour. A value already whole at that scale stays as it is.
double roundTo(double x, int n)
{
    if (!std::isfinite(x))
        return x;
    const double scale = std::pow(10.0, std::abs(n));
    const double y = n >= 0 ? x * scale : x / scale;
    if (!std::isfinite(y) || std::fabs(y) >= 4503599627370496.0)   // 2^52: no fraction left
        return x;
    const double r = std::nearbyint(y);
    return n >= 0 ? r / scale : r * scale;
}

void checkDigits(double n)
{
    if (!(n >= -kMaxRoundDigits && n <= kMaxRoundDigits))
        throw ExpressionError(msg::kRoundDigitsOutOfRange);
}

} // namespace

void absInteger(ExpressionRec& rec)
{
    const int32_t v = rec.intArg(0);
    // The smallest value has no positive counterpart and stays as it is.
    rec.res->put(v < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v);
}

void absFloat(ExpressionRec& rec)
{
    rec.res->put(std::fabs(rec.floatArg(0)));
}

void absLargeInt(ExpressionRec& rec)
{
    rec.res->put(std::fabs(static_cast<double>(rec.largeArg(0))));
}

void ceilInteger(ExpressionRec& rec)
{
    const double c = std::ceil(rec.floatArg(0));
    if (!(c >= -2147483648.0 && c <= 2147483647.0))
        throw ExpressionError(msg::kNumericValueOutOfRange);
    rec.res->put(static_cast<int32_t>(c));
}

void ceilFloat(ExpressionRec& rec)
{
    rec.res->put(std::ceil(rec.floatArg(0)));
}

void roundByInteger(ExpressionRec& rec)
{
    const int32_t n = rec.intArg(1);
    checkDigits(n);
    rec.res->put(roundTo(rec.floatArg(0), n));
}

void roundByFloat(ExpressionRec& rec)
{
    const double n = std::trunc(rec.floatArg(1));
    checkDigits(n);
    rec.res->put(roundTo(rec.floatArg(0), static_cast<int>(n)));
}

void emptyFunction(ExpressionRec& rec)
{
    bool empty = false;
    switch (rec.argsType[0]) {
    case etInteger:
    case etLargeInt:
        empty = rec.wholeArg(0) == 0;
        break;
    case etString: {
        std::string_view s = rec.textArg(0);
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        empty = s.empty();
        break;
    }
    default:
        empty = rec.floatArg(0) == 0.0;
        break;
    }
    rec.res->put(static_cast<uint8_t>(empty ? 1 : 0));
}

void iifString(ExpressionRec& rec)
{
    rec.res->append(rec.textArg(rec.boolArg(0) ? 1 : 2));
}

void iifFloat(ExpressionRec& rec)
{
    rec.res->put(rec.floatArg(rec.boolArg(0) ? 1 : 2));
}

void iifInteger(ExpressionRec& rec)
{
    rec.res->put(rec.intArg(rec.boolArg(0) ? 1 : 2));
}

} // namespace karto::expr::routines
