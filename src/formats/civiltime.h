// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <limits>

// Calendar arithmetic on plain integers, for the date and time fields of capture headers.
// Times here are microseconds; the sums saturate, so absurd values in a damaged file never
// overflow.
namespace CivilTime {

constexpr qint64 UsPerMs = 1000;
constexpr qint64 UsPerSecond = 1000000;
constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 UsPerDay = SecondsPerDay * UsPerSecond;

// a + b, held at the ends of the range instead of overflowing.
inline qint64 add(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// a * b, held at the ends of the range instead of overflowing.
inline qint64 multiply(qint64 a, qint64 b)
{
    qint64 product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return (a < 0) != (b < 0) ? std::numeric_limits<qint64>::min()
                                  : std::numeric_limits<qint64>::max();
    return product;
}

inline qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 q = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
inline qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = floorDiv(year, 400);
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Date
{
    qint64 year;
    int month; // 1..12
    int day;   // 1..31
};

inline Date civilFromDays(qint64 days)
{
    days += 719468;
    const qint64 era = floorDiv(days, 146097);
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

// 0 = Sunday .. 6 = Saturday.
inline int weekday(qint64 days)
{
    const qint64 w = (days + 4) % 7; // 1970-01-01 was a Thursday
    return int(w < 0 ? w + 7 : w);
}

inline bool validDate(qint64 year, int month, int day)
{
    static const int lengths[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > lengths[month - 1])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month != 2 || day <= 28 || leap;
}

} // namespace CivilTime
