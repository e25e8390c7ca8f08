#include <gtest/gtest.h>

#include <limits>

#include "dbf/field/DateTimeConvert.h"

using namespace karto;

TEST(DateTimeConvert, DateTimeConversions)
{
    EXPECT_EQ(timeStampDay(1, 1, 1), 1);
    EXPECT_EQ(timeStampDay(1899, 12, 30), kDateDelta);
    EXPECT_EQ(timeStampDay(9999, 12, 31), kMaxTimeStampDay);
    const CivilDate d = civilFromTimeStampDay(737791);
    EXPECT_EQ(d.year, 2021);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(dayOfWeek(737791), 5);   // a Friday
    // Before 1899 the time of day is subtracted.
    const TimeStamp ts = dateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.date, kDateDelta - 1);
    EXPECT_EQ(ts.time, 6 * 3600 * 1000);
    EXPECT_EQ(timeStampToDateTime(ts), -1.25);
    EXPECT_THROW(dateTimeToTimeStamp(std::numeric_limits<double>::quiet_NaN()), ConvertError);
    EXPECT_THROW(dateTimeToTimeStamp(-693594.0), ConvertError);
    EXPECT_THROW(dateTimeToTimeStamp(3e6), ConvertError);
}
