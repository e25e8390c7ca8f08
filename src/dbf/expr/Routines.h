#pragma once
// The evaluation routines of the built-in words. Each reads the arguments of
// its record and writes its result at the destination's write position
// (ExpressionRec.h). Grouped by the file that holds them.

#include "dbf/expr/ExpressionRec.h"

namespace karto::expr::routines {

// ValueRoutines.cpp: a constant's or variable's value copied to the
// destination; the null flag of a string join.
void copyValue(ExpressionRec& rec);
void joinNull(ExpressionRec& rec);

// ArithmeticRoutines.cpp: operators on numbers, dates and booleans.
void negInteger(ExpressionRec& rec);
void negLargeInt(ExpressionRec& rec);
void negFloat(ExpressionRec& rec);
void addInteger(ExpressionRec& rec);
void addLargeInt(ExpressionRec& rec);
void addFloat(ExpressionRec& rec);   // also a date plus days (a double either way)
void subInteger(ExpressionRec& rec);
void subLargeInt(ExpressionRec& rec);
void subFloat(ExpressionRec& rec);   // also days between dates, a date minus days
void mulInteger(ExpressionRec& rec);
void mulLargeInt(ExpressionRec& rec);
void mulFloat(ExpressionRec& rec);
void divInteger(ExpressionRec& rec);
void divLargeInt(ExpressionRec& rec);
void divFloat(ExpressionRec& rec);
void equalNumbers(ExpressionRec& rec);
void unequalNumbers(ExpressionRec& rec);
void lessNumbers(ExpressionRec& rec);
void greaterNumbers(ExpressionRec& rec);
void lessEqualNumbers(ExpressionRec& rec);
void greaterEqualNumbers(ExpressionRec& rec);
void logicalNot(ExpressionRec& rec);
void logicalAnd(ExpressionRec& rec);
void logicalOr(ExpressionRec& rec);

// StringCompare.cpp: comparisons of two texts, exact (case-sensitive by
// byte value or with ASCII case folding) and the partial-match "=".
void equalTextCS(ExpressionRec& rec);
void unequalTextCS(ExpressionRec& rec);
void lessTextCS(ExpressionRec& rec);
void greaterTextCS(ExpressionRec& rec);
void lessEqualTextCS(ExpressionRec& rec);
void greaterEqualTextCS(ExpressionRec& rec);
void equalTextCI(ExpressionRec& rec);
void unequalTextCI(ExpressionRec& rec);
void lessTextCI(ExpressionRec& rec);
void greaterTextCI(ExpressionRec& rec);
void lessEqualTextCI(ExpressionRec& rec);
void greaterEqualTextCI(ExpressionRec& rec);
void partialMatchCS(ExpressionRec& rec);
void partialMatchCI(ExpressionRec& rec);

// MixedJoin.cpp: strings joined with numbers and dates (index keys).
void mixedAdd(ExpressionRec& rec);
void mixedSub(ExpressionRec& rec);

// StringFunctions.cpp
void strFunction(ExpressionRec& rec);
void substrFunction(ExpressionRec& rec);
void leftFunction(ExpressionRec& rec);
void rightFunction(ExpressionRec& rec);
void upperFunction(ExpressionRec& rec);
void lowerFunction(ExpressionRec& rec);
void properFunction(ExpressionRec& rec);
void ltrimFunction(ExpressionRec& rec);
void rtrimFunction(ExpressionRec& rec);
void lenInteger(ExpressionRec& rec);
void lenLargeInt(ExpressionRec& rec);
void lenFloat(ExpressionRec& rec);
void ascFunction(ExpressionRec& rec);
void chrFunction(ExpressionRec& rec);
void soundexFunction(ExpressionRec& rec);
void valFloat(ExpressionRec& rec);
void valInteger(ExpressionRec& rec);
void valLargeInt(ExpressionRec& rec);

// DateFunctions.cpp
void dtosFunction(ExpressionRec& rec);
void cdowFunction(ExpressionRec& rec);
void dateFunction(ExpressionRec& rec);
void dayFunction(ExpressionRec& rec);
void monthFunction(ExpressionRec& rec);
void yearFunction(ExpressionRec& rec);
void recNoFunction(ExpressionRec& rec);

// NumberFunctions.cpp: ABS, CEILING, ROUND, EMPTY, IIF.
void absInteger(ExpressionRec& rec);
void absFloat(ExpressionRec& rec);
void absLargeInt(ExpressionRec& rec);   // gives a float
void ceilInteger(ExpressionRec& rec);
void ceilFloat(ExpressionRec& rec);
void roundByInteger(ExpressionRec& rec);
void roundByFloat(ExpressionRec& rec);
void emptyFunction(ExpressionRec& rec);
void iifString(ExpressionRec& rec);
void iifFloat(ExpressionRec& rec);
void iifInteger(ExpressionRec& rec);

} // namespace karto::expr::routines
