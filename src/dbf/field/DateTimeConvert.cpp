#include "dbf/field/DateTimeConvert.h"

#include <cmath>
#include <cstdio>

namespace karto {

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date (era arithmetic,
// valid for any year the callers pass).
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Timestamp day 1 (1 January 0001) is day -719162 counted from 1970.
constexpr int64_t kUnixToTimeStamp = 719163;

[[noreturn]] void throwInvalidTimeStamp(int64_t date, int64_t msecs)
{
    char text[96];
    std::snprintf(text, sizeof text, "'%lld.%lld' is not a valid timestamp",
                  static_cast<long long>(date), static_cast<long long>(msecs));
    throw ConvertError(text);
}

[[noreturn]] void throwInvalidDateTime(double value)
{
    char text[96];
    std::snprintf(text, sizeof text, "'%.15g' is not a valid date and time", value);
    throw ConvertError(text);
}

} // namespace

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

bool isValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1
           && day <= daysInMonth(year, month);
}

int32_t timeStampDay(int year, int month, int day)
{
    return static_cast<int32_t>(daysFromCivil(year, month, day) + kUnixToTimeStamp);
}

CivilDate civilFromTimeStampDay(int32_t day)
{
    int64_t z = static_cast<int64_t>(day) - kUnixToTimeStamp + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilDate result;
    result.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    result.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    result.year = static_cast<int>(yoe + era * 400 + (result.month <= 2 ? 1 : 0));
    return result;
}

int dayOfWeek(int32_t timeStampDay)
{
    // Day 1 was a Monday.
    int r = static_cast<int>(timeStampDay % 7);
    return r < 0 ? r + 7 : r;
}

TimeOfDay timeOfDayFromMSecs(int32_t msecs)
{
    TimeOfDay t;
    if (msecs < 0)
        msecs = 0;
    t.msec = msecs % 1000;
    msecs /= 1000;
    t.second = msecs % 60;
    msecs /= 60;
    t.minute = msecs % 60;
    t.hour = msecs / 60;
    return t;
}

TimeStamp checkedTimeStamp(int64_t date, int64_t msecs)
{
    if (msecs == kMSecsPerDay) {
        // A whole day of milliseconds is the next midnight.
        if (date > 0 && date < kMaxTimeStampDay)
            return TimeStamp{static_cast<int32_t>(date + 1), 0};
    }
    if (date <= 0 || date > kMaxTimeStampDay || msecs < 0 || msecs >= kMSecsPerDay)
        throwInvalidTimeStamp(date, msecs);
    return TimeStamp{static_cast<int32_t>(date), static_cast<int32_t>(msecs)};
}

double timeStampToDateTime(TimeStamp ts)
{
    const double date = static_cast<double>(ts.date) - kDateDelta;
    const double frac = static_cast<double>(ts.time) / static_cast<double>(kMSecsPerDay);
    return date < 0 ? date - frac : date + frac;
}

TimeStamp dateTimeToTimeStamp(double dateTime)
{
    // Day 1 is date-time -693593; the day after 9999-12-31 is 2958466.
    if (!(dateTime > -693594.0 && dateTime < 2958466.0))
        throwInvalidDateTime(dateTime);
    const double scaled = std::nearbyint(dateTime * static_cast<double>(kMSecsPerDay));
    const auto total = static_cast<int64_t>(scaled);   // |scaled| < 2^58
    const int64_t days = total / kMSecsPerDay;          // toward zero
    int64_t time = total % kMSecsPerDay;
    if (time < 0)
        time = -time;
    const int64_t date = kDateDelta + days;
    if (date <= 0 || date > kMaxTimeStampDay)
        throwInvalidDateTime(dateTime);
    return TimeStamp{static_cast<int32_t>(date), static_cast<int32_t>(time)};
}

TimeStamp msecsToTimeStamp(double msecs)
{
    const double limit = static_cast<double>(kMaxTimeStampDay + 1) * static_cast<double>(kMSecsPerDay);
    if (!(msecs >= 0.0 && msecs < limit)) {
        char text[96];
        std::snprintf(text, sizeof text, "'%.15g' is not a valid timestamp", msecs);
        throw ConvertError(text);
    }
    const auto total = static_cast<int64_t>(std::nearbyint(msecs));
    return checkedTimeStamp(total / kMSecsPerDay, total % kMSecsPerDay);
}

double timeStampToMSecs(TimeStamp ts)
{
    return static_cast<double>(static_cast<int64_t>(ts.date) * kMSecsPerDay + ts.time);
}

} // namespace karto
