// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <limits>

// Local time of day of a moment given in microseconds since the epoch: what the "TIME" column and
// the table export show. The zone offset is looked up once per wall-clock second (zone changes
// fall on whole seconds), so converting millions of timestamps in order stays cheap. Not shared
// between threads: each user keeps its own.
class TimeOfDay final
{
public:
    static constexpr uint MsPerDay = 24u * 60 * 60 * 1000;

    // Milliseconds since local midnight, 0 .. MsPerDay - 1.
    uint msOfDay(qint64 usecSinceEpoch);
    // The current moment, microseconds since the epoch, from the realtime clock.
    static qint64 nowUsec();
    // "hh:mm:ss:zzz".
    static QString text(uint msOfDay);
    // Parses "hh:mm:ss:zzz"; false when the text is not such a time.
    static bool parse(const QString &text, uint *msOfDay);

private:
    qint64 zoneSecond = std::numeric_limits<qint64>::min(); // UTC second of zoneOffsetMs
    qint64 zoneOffsetMs = 0;
};
