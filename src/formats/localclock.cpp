// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/localclock.h"

#include "formats/civiltime.h"

#include <QDateTime>

namespace {
// QDateTime covers far more than any capture; beyond this the offset is taken as 0.
constexpr qint64 MaxSeconds = 100000LL * 366 * CivilTime::SecondsPerDay;

qint64 offsetOfUtcSecond(qint64 second)
{
    if (second < -MaxSeconds || second > MaxSeconds)
        return 0;
    return qint64(QDateTime::fromSecsSinceEpoch(second).offsetFromUtc()) * CivilTime::UsPerSecond;
}

qint64 offsetOfWallSecond(qint64 second)
{
    if (second < -MaxSeconds || second > MaxSeconds)
        return 0;
    const QDateTime asUtc = QDateTime::fromSecsSinceEpoch(second, Qt::UTC);
    const QDateTime local(asUtc.date(), asUtc.time(), Qt::LocalTime);
    return local.isValid() ? qint64(local.offsetFromUtc()) * CivilTime::UsPerSecond : 0;
}
} // namespace

qint64 LocalClock::utcFromWall(qint64 wallUsec)
{
    const qint64 second = CivilTime::floorDiv(wallUsec, CivilTime::UsPerSecond);
    if (second != wallSecond) {
        wallSecond = second;
        wallOffsetUs = offsetOfWallSecond(second);
    }
    return CivilTime::add(wallUsec, -wallOffsetUs);
}

qint64 LocalClock::wallFromUtc(qint64 utcUsec)
{
    const qint64 second = CivilTime::floorDiv(utcUsec, CivilTime::UsPerSecond);
    if (second != utcSecond) {
        utcSecond = second;
        utcOffsetUs = offsetOfUtcSecond(second);
    }
    return CivilTime::add(utcUsec, utcOffsetUs);
}
