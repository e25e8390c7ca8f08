#include "dbf/field/FieldStorage.h"

#include "dbf/field/NumberText.h"

namespace karto::storage {

namespace {

// A part of a text date (characters from..from+count of the text): the
// integer rule; not a number counts as 0, beyond 32 bits as 1.
int datePart(std::string_view text, size_t from, size_t count)
{
    if (from >= text.size())
        return 0;
    int64_t v = 0;
    if (!parseIntegerRule(text.substr(from, count), v))
        return 0;
    if (v < INT32_MIN || v > INT32_MAX)
        return 1;
    return static_cast<int>(v);
}

} // namespace

bool parseTextDate(std::string_view text, bool withTime, CivilDate& date, TimeOfDay& time)
{
    date.year = datePart(text, 0, 4);
    date.month = datePart(text, 4, 2);
    date.day = datePart(text, 6, 2);
    time = TimeOfDay();
    if (!isValidDate(date.year, date.month, date.day))
        return false;
    if (withTime) {
        time.hour = datePart(text, 8, 2);
        time.minute = datePart(text, 10, 2);
        time.second = datePart(text, 12, 2);
        if (time.hour < 0 || time.hour >= 24 || time.minute < 0 || time.minute >= 60 || time.second < 0
            || time.second >= 60)
            return false;
    }
    return true;
}

} // namespace karto::storage
