// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/timeofday.h"

#include <QDateTime>
#include <chrono>

namespace {
void putDigits(char *out, uint value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
}

// Floor division: times before the epoch still fall into the right second.
qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 q = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}
} // namespace

uint TimeOfDay::msOfDay(qint64 usec)
{
    const qint64 utcMs = floorDiv(usec, 1000);
    const qint64 second = floorDiv(utcMs, 1000);
    if (second != zoneSecond) {
        zoneSecond = second;
        zoneOffsetMs = qint64(QDateTime::fromSecsSinceEpoch(second).offsetFromUtc()) * 1000;
    }
    const qint64 local = (utcMs + zoneOffsetMs) % MsPerDay;
    return uint(local < 0 ? local + MsPerDay : local);
}

qint64 TimeOfDay::nowUsec()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

QString TimeOfDay::text(uint ms)
{
    char out[12] = {0, 0, ':', 0, 0, ':', 0, 0, ':', 0, 0, 0};
    putDigits(out, ms / 3600000 % 24, 2);
    putDigits(out + 3, ms / 60000 % 60, 2);
    putDigits(out + 6, ms / 1000 % 60, 2);
    putDigits(out + 9, ms % 1000, 3);
    return QString::fromLatin1(out, sizeof out);
}

bool TimeOfDay::parse(const QString &text, uint *ms)
{
    if (text.size() != 12)
        return false;
    uint fields[4] = {};
    const int starts[4] = {0, 3, 6, 9};
    const int widths[4] = {2, 2, 2, 3};
    for (int f = 0; f < 4; ++f) {
        if (f > 0 && text.at(starts[f] - 1) != QLatin1Char(':'))
            return false;
        for (int i = 0; i < widths[f]; ++i) {
            const QChar c = text.at(starts[f] + i);
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            fields[f] = fields[f] * 10 + uint(c.unicode() - '0');
        }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59)
        return false;
    *ms = ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * 1000 + fields[3];
    return true;
}
