// The date functions: DTOS, CDOW, DATE, DAY, MONTH, YEAR; and the routine
// RECNO stands for until the parser binds it to the record number.
#include "dbf/expr/DateValue.h"
#include "dbf/expr/Routines.h"

namespace karto::expr::routines {

namespace {

// The short day names, Sunday first, in the system's 8-bit code page
// (Windows 1250, Czech: ne, po, út, st, čt, pá, so).
const char* const kShortDayNames[7] = {"ne", "po", "\xFAt", "st", "\xE8t", "p\xE1", "so"};

bool emptyDate(const ExpressionRec& rec)
{
    return rec.nullArg(0) || rec.floatArg(0) == 0.0;
}

} // namespace

void dtosFunction(ExpressionRec& rec)
{
    char* p = rec.res->reserve(8);
    if (emptyDate(rec))
        for (int i = 0; i < 8; ++i)
            p[i] = ' ';
    else
        writeDateDigits(p, rec.floatArg(0));
    rec.res->commit(8);
}

void cdowFunction(ExpressionRec& rec)
{
    if (emptyDate(rec)) {
        rec.res->appendFill(' ', 3);
        return;
    }
    rec.res->append(kShortDayNames[weekDayOf(rec.floatArg(0))]);
}

void dateFunction(ExpressionRec& rec)
{
    rec.res->put(todayDate());
}

void dayFunction(ExpressionRec& rec)
{
    rec.res->put(static_cast<int32_t>(emptyDate(rec) ? 0 : civilDateOf(rec.floatArg(0)).day));
}

void monthFunction(ExpressionRec& rec)
{
    rec.res->put(static_cast<int32_t>(emptyDate(rec) ? 0 : civilDateOf(rec.floatArg(0)).month));
}

void yearFunction(ExpressionRec& rec)
{
    rec.res->put(static_cast<int32_t>(emptyDate(rec) ? 0 : civilDateOf(rec.floatArg(0)).year));
}

void recNoFunction(ExpressionRec& rec)
{
    rec.res->put(int32_t{0});
}

} // namespace karto::expr::routines
