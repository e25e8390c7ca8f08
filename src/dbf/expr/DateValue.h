#pragma once
// Date values of expressions (days since 30 December 1899, 0 for an empty
// date) taken apart for the date functions and the text forms.

#include "dbf/field/DateTimeConvert.h"

namespace karto::expr {

// The calendar date of a non-empty date value; raises ExpressionError
// "Date out of range." for a value outside the years 1 to 9999 (or no
// number at all).
CivilDate civilDateOf(double value);
// The day of the week of a non-empty date value, 0 = Sunday.
int weekDayOf(double value);
// Writes the 8 digits YYYYMMDD of a non-empty date value.
void writeDateDigits(char* dst, double value);
// Today as a date value (no time of day).
double todayDate();

} // namespace karto::expr
