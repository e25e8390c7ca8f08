#include "dbf/expr/DateValue.h"

#include <ctime>

#include "dbf/expr/ParserMessages.h"
#include "dbf/expr/TableParser.h"

namespace karto::expr {

namespace {

int32_t dayNumberOf(double value)
{
    // The range dateTimeToTimeStamp accepts without raising.
    if (!(value > -693594.0 && value < 2958466.0))
        throw ExpressionError(msg::kDateOutOfRange);
    return dateTimeToTimeStamp(value).date;
}

} // namespace

CivilDate civilDateOf(double value)
{
    return civilFromTimeStampDay(dayNumberOf(value));
}

int weekDayOf(double value)
{
    return dayOfWeek(dayNumberOf(value));
}

void writeDateDigits(char* dst, double value)
{
    const CivilDate d = civilDateOf(value);
    int parts[3] = {d.year, d.month, d.day};
    int widths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        int v = parts[p];
        for (int i = widths[p] - 1; i >= 0; --i) {
            dst[i] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        dst += widths[p];
    }
}

double todayDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<double>(timeStampDay(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - kDateDelta);
}

} // namespace karto::expr
