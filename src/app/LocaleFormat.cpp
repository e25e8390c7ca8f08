#include "app/LocaleFormat.h"

#include <QLocale>

namespace karto {

FormatSettings systemFormatSettings()
{
    const QLocale locale = QLocale::system();
    FormatSettings settings;   // Czech formats
    // Without a locale of its own (the C/POSIX locale of scripts and services)
    // the program keeps the Czech formats its users expect.
    if (locale.language() == QLocale::C)
        return settings;
    settings.setShortDateFormat(locale.dateFormat(QLocale::ShortFormat).toStdString());
    settings.setLongTimeFormat(locale.timeFormat(QLocale::LongFormat).toStdString());
    settings.setThousandSeparator(locale.groupSeparator().toStdString());
    for (int day = 0; day < 7; ++day) {
        // Sunday first; QLocale counts Monday as 1 and Sunday as 7.
        const int qtDay = day == 0 ? 7 : day;
        settings.shortDayNames[day] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
        settings.longDayNames[day] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
    }
    for (int month = 0; month < 12; ++month) {
        settings.shortMonthNames[month] = locale.monthName(month + 1, QLocale::ShortFormat).toStdString();
        settings.longMonthNames[month] = locale.monthName(month + 1, QLocale::LongFormat).toStdString();
    }
    settings.amText = locale.amText().toStdString();
    settings.pmText = locale.pmText().toStdString();
    return settings;
}

} // namespace karto
