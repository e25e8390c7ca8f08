#pragma once
// Calendar arithmetic for field values.
//
// Two day counts meet here:
//  - the date-time double the dataset exchanges: days since 30 December 1899,
//    the fraction being the time of day (for days before 1899 the fraction is
//    subtracted, so -1.25 is 29 December 1899, 6:00);
//  - the timestamp form of dBase 7 and FoxPro: a day number counted from
//    1 January 0001 (that day being 1) plus milliseconds since midnight.
// The proleptic Gregorian calendar is used throughout; years run from 1 to 9999.

#include <cstdint>
#include <string>

#include "dbf/Error.h"

namespace karto {

// A value that cannot be turned into a date-time, or a number that does not
// fit where it has to go.
class ConvertError : public KartoError {
public:
    using KartoError::KartoError;
};

inline constexpr int64_t kMSecsPerDay = 86'400'000;
// Timestamp day number of 30 December 1899 (date-time 0).
inline constexpr int32_t kDateDelta = 693'594;
// Julian day number minus timestamp day number.
inline constexpr int32_t kJulianDayDelta = 1'721'425;
// Timestamp day number of 31 December 9999, the last day there is.
inline constexpr int32_t kMaxTimeStampDay = 3'652'059;

struct TimeStamp {
    int32_t date = 0;   // days since 1 January 0001, that day being 1
    int32_t time = 0;   // milliseconds since midnight
};

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);
// Whether year/month/day names a day between 1 January 0001 and 31 December 9999.
bool isValidDate(int year, int month, int day);

// Timestamp day number of a valid date.
int32_t timeStampDay(int year, int month, int day);
// The date of a timestamp day number in 1 ... kMaxTimeStampDay.
CivilDate civilFromTimeStampDay(int32_t day);
// Day of the week, 0 = Sunday.
int dayOfWeek(int32_t timeStampDay);

TimeOfDay timeOfDayFromMSecs(int32_t msecs);

// Timestamp to date-time. Raises ConvertError "'%d.%d' is not a valid
// timestamp" when the day number is 0 or less, lies beyond 9999, or the
// milliseconds are negative or more than a day. Exactly one day of
// milliseconds is midnight of the next day.
TimeStamp checkedTimeStamp(int64_t date, int64_t msecs);
double timeStampToDateTime(TimeStamp ts);

// Date-time to timestamp, the time rounded to the millisecond. Raises
// ConvertError for NaN, infinities and date-times outside 0001-9999.
TimeStamp dateTimeToTimeStamp(double dateTime);

// Milliseconds of the dBase 7 timestamp form (day number x 86 400 000 + time)
// to a timestamp; raises ConvertError when the value is not a valid timestamp.
TimeStamp msecsToTimeStamp(double msecs);
double timeStampToMSecs(TimeStamp ts);

} // namespace karto
