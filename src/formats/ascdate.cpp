// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ascdate.h"

#include "formats/civiltime.h"
#include "formats/linetokens.h"
#include "formats/textprint.h"
#include "formats/textscan.h"

namespace {

constexpr int MonthCount = 12;
constexpr int HoursPerHalfDay = 12;
const char *const MonthNames[MonthCount] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char *const DayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
// German spellings where they differ ("Mär" in UTF-8).
struct OtherName
{
    const char *name;
    int month;
};
const OtherName GermanMonths[] = {
    {"M\xC3\xA4r", 3}, {"Mrz", 3}, {"Mai", 5}, {"Okt", 10}, {"Dez", 12}};

int monthOf(const char *begin, const char *end)
{
    for (int m = 0; m < MonthCount; ++m) {
        if (TextScan::equalsNoCase(begin, end, MonthNames[m]))
            return m + 1;
    }
    for (const OtherName &other : GermanMonths) {
        if (TextScan::equalsNoCase(begin, end, other.name))
            return other.month;
    }
    return 0;
}

// "hh:mm:ss[.fraction]" as microseconds of the day.
bool parseClock(const char *begin, const char *end, qint64 &us)
{
    constexpr qint64 MaxHour = 23;
    constexpr qint64 MaxMinute = 59;
    if (end - begin < 8 || begin[2] != ':' || begin[5] != ':')
        return false;
    qint64 hour = 0;
    qint64 minute = 0;
    qint64 secondUs = 0;
    if (!TextScan::parseDec(begin, begin + 2, hour) ||
        !TextScan::parseDec(begin + 3, begin + 5, minute) ||
        !TextScan::parseScaled(begin + 6, end, 6, secondUs) || hour > MaxHour ||
        minute > MaxMinute || secondUs >= 60 * CivilTime::UsPerSecond || begin[6] == '-')
        return false;
    us = (hour * 60 + minute) * 60 * CivilTime::UsPerSecond + secondUs;
    return true;
}

// Applies "am"/"pm" to a time of day given on the 12-hour clock.
bool applyHalfDay(const char *begin, const char *end, qint64 &us)
{
    const bool am = TextScan::equalsNoCase(begin, end, "am");
    if (!am && !TextScan::equalsNoCase(begin, end, "pm"))
        return false;
    constexpr qint64 HalfDay = HoursPerHalfDay * 3600 * CivilTime::UsPerSecond;
    if (us >= HalfDay + 3600 * CivilTime::UsPerSecond || us < 3600 * CivilTime::UsPerSecond)
        return false; // hours run 1..12
    if (us >= HalfDay)
        us -= HalfDay; // 12 am is midnight, 12 pm noon
    if (!am)
        us += HalfDay;
    return true;
}

} // namespace

bool AscDate::parse(const LineTokens &t, int i, qint64 &wallUsec)
{
    constexpr qint64 MaxYear = 9999;
    if (i < t.count() && monthOf(t.begin(i), t.end(i)) == 0)
        ++i; // the weekday, ignored
    if (t.count() - i < 4)
        return false;
    const int month = monthOf(t.begin(i), t.end(i));
    qint64 day = 0;
    qint64 clock = 0;
    if (month == 0 || !TextScan::parseDec(t.begin(i + 1), t.end(i + 1), day, 2) ||
        !parseClock(t.begin(i + 2), t.end(i + 2), clock))
        return false;
    int yearToken = i + 3;
    if (yearToken < t.count() && !TextScan::isDigit(t.at(yearToken, 0))) { // "am" / "pm"
        if (!applyHalfDay(t.begin(yearToken), t.end(yearToken), clock))
            return false;
        ++yearToken;
    }
    qint64 year = 0;
    if (yearToken >= t.count() || !TextScan::parseDec(t.begin(yearToken), t.end(yearToken), year) ||
        year > MaxYear || !CivilTime::validDate(year, month, int(day)))
        return false;
    wallUsec = CivilTime::daysFromCivil(year, month, int(day)) * CivilTime::UsPerDay + clock;
    return true;
}

char *AscDate::print(char *p, qint64 wallUsec)
{
    const qint64 days = CivilTime::floorDiv(wallUsec, CivilTime::UsPerDay);
    const qint64 ms = (wallUsec - days * CivilTime::UsPerDay) / CivilTime::UsPerMs;
    const CivilTime::Date date = CivilTime::civilFromDays(days);
    const qint64 hour = ms / 3600000;
    const qint64 halfDayHour =
        hour % HoursPerHalfDay == 0 ? HoursPerHalfDay : hour % HoursPerHalfDay;
    p = TextPrint::putText(p, DayNames[CivilTime::weekday(days)], 3);
    *p++ = ' ';
    p = TextPrint::putText(p, MonthNames[date.month - 1], 3);
    *p++ = ' ';
    p = TextPrint::putDigits(p, quint64(date.day), 2);
    *p++ = ' ';
    p = TextPrint::putDigits(p, quint64(halfDayHour), 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, quint64(ms / 60000 % 60), 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, quint64(ms / 1000 % 60), 2);
    *p++ = '.';
    p = TextPrint::putDigits(p, quint64(ms % 1000), 3);
    p = TextPrint::putText(p, hour < HoursPerHalfDay ? " am " : " pm ", 4);
    return TextPrint::putUnsigned(p, quint64(qMax<qint64>(date.year, 0)));
}
